#ifndef VANDREL_INSPECT_SRECORDINSPECTION_H
#define VANDREL_INSPECT_SRECORDINSPECTION_H

#include "inspectioncheck.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// What an S-record file holds, measured against the image it should carry.
struct SRecordInspection
{
    qint64 lineCount = 0;   // lines read (all of them, unless a line is malformed)
    qint64 recordCount = 0; // S3 records among them
    qint64 dataBytes = 0;   // data bytes of those records
    std::optional<quint32> firstAddress; // of the first S3 record
    std::optional<quint32> imageAddress; // where image offset 0 was expected

    // Set when a device failed to read; the checks are then incomplete.
    QString readError;

    QVector<InspectionCheck> checks;
    bool passed() const { return readError.isEmpty() && AllChecksPassed(checks); }
};

namespace SRecordCheckName {
// Only the fixed S0 line, well-formed S3 records and the fixed S7 line, LF ends.
inline QString Lines() { return QStringLiteral("s19-lines"); }
inline QString Checksums() { return QStringLiteral("s19-checksums"); }
// The records carry the image byte for byte, from the address on, without gap.
inline QString Data() { return QStringLiteral("s19-data"); }
}

// Reads the S-record file line by line and the image alongside it, both from
// offset 0 and in bounded memory. Image offset k is expected at address
// imageAddress + k; without an address, the first S3 record's is taken.
// Reports the first fault of each kind.
SRecordInspection InspectSRecords(QIODevice *srecords, QIODevice *image,
                                  std::optional<quint32> imageAddress = std::nullopt);

#endif
