#ifndef VANDREL_INSPECT_SRECORDINSPECTION_H
#define VANDREL_INSPECT_SRECORDINSPECTION_H

#include "recordfileinspection.h"

#include <QtGlobal>

#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace SRecordCheckName {
// The layout this tool writes: the fixed S0 and S7 lines around S3 records
// of 16 bytes in address order, upper-case hex, LF ends.
inline QString Lines() { return QStringLiteral("s19-lines"); }
// Every line a well-formed record (S0-S3, S5-S9), counts right, nothing
// after the end record.
inline QString Records() { return QStringLiteral("s19-records"); }
inline QString Checksums() { return QStringLiteral("s19-checksums"); }
// The data by address equal to the image from the address on: no byte
// different, missing, given twice with different values, or outside.
inline QString Data() { return QStringLiteral("s19-data"); }
}

// Reads any well-formed S-record file: S0 with any text, S1/S2/S3 data
// records of any length in any order, S5/S6 counts (checked), S7/S8/S9 ends;
// hex digits of either case, LF or CR LF line ends, empty lines skipped.
// Image offset k is expected at imageAddress + k; without an address, at the
// lowest data address. The image must be readable at any offset. The layout
// check (s19-lines) counts only when strictLayout is set.
RecordFileInspection InspectSRecords(QIODevice *srecords, QIODevice *image,
                                     std::optional<quint32> imageAddress = std::nullopt,
                                     bool strictLayout = false);

#endif
