#ifndef VANDREL_INSPECT_INTELHEXINSPECTION_H
#define VANDREL_INSPECT_INTELHEXINSPECTION_H

#include "recordfileinspection.h"

#include <QtGlobal>

#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace IntelHexCheckName {
// The layout this tool writes: 16-byte data records in address order, type
// 04 records where the upper address changes, the end-of-file line, upper-case
// hex, LF ends.
inline QString Lines() { return QStringLiteral("hex-lines"); }
// Every line a well-formed record of types 00-05, an end-of-file record last.
inline QString Records() { return QStringLiteral("hex-records"); }
inline QString Checksums() { return QStringLiteral("hex-checksums"); }
// The data by address equal to the image from the address on: no byte
// different, missing, given twice with different values, or outside.
inline QString Data() { return QStringLiteral("hex-data"); }
}

// Reads any well-formed Intel HEX file: data records (00) of any length in
// any order, extended segment (02) and linear (04) address records, start
// addresses (03, 05), the end-of-file record (01), which must be the last;
// hex digits of either case, LF or CR LF line ends, empty lines skipped. A
// data record's bytes wrap within its 64 KiB segment after a type 02 record
// and at 4 GiB otherwise. Image offset k is expected at imageAddress + k;
// without an address, at the lowest data address. The image must be readable
// at any offset. The layout check (hex-lines) counts only when strictLayout
// is set.
RecordFileInspection InspectIntelHex(QIODevice *hex, QIODevice *image,
                                     std::optional<quint32> imageAddress = std::nullopt,
                                     bool strictLayout = false);

#endif
