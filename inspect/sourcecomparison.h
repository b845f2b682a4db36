#ifndef VANDREL_INSPECT_SOURCECOMPARISON_H
#define VANDREL_INSPECT_SOURCECOMPARISON_H

#include "inspectioncheck.h"
#include "sourceformat.h"
#include "sourcelayout.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace SourceCheckName {
// The image's payload equal to the raw source byte for byte.
inline QString Source() { return QStringLiteral("source"); }
}

// The payload of a stamped image, measured against the raw file it should
// have been made from.
struct SourceComparison
{
    qint64 sourceSize = 0;

    // Set when a device failed to read; the check is then incomplete.
    QString readError;

    QVector<InspectionCheck> checks;
    bool passed() const { return readError.isEmpty() && AllChecksPassed(checks); }
};

// Compares the bytes between the image's header and trailer with the source,
// both read in chunks to the first difference. Both devices must be readable
// at any offset.
SourceComparison CompareWithSource(QIODevice *image, QIODevice *source);

// Compares the payload with an addressed source (ELF, Intel HEX, S-records)
// read from its start and placed by address with its gaps filled, as the
// conversion places it; a source that cannot be placed fails the check with
// the reason. The image must be readable at any offset.
SourceComparison CompareWithPlacedSource(QIODevice *image, QIODevice *source, SourceFormat format,
                                         const SourceLayoutOptions &options);

#endif
