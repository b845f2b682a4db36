#ifndef VANDREL_INSPECT_IMAGEINSPECTION_H
#define VANDREL_INSPECT_IMAGEINSPECTION_H

#include "imageheader.h"
#include "inspectioncheck.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// What a stamped image holds, as read from a file that may be damaged or
// not an image at all. Header fields are decoded in the byte order that the
// magic shows (little-endian when the magic is not recognised).
struct ImageInspection
{
    qint64 fileSize = 0;

    bool hasHeader = false; // the file holds at least the whole header
    int littleEndian = 1;   // the byte order the header is read in
    ImageHeader header;
    quint16 computedChecksum = 0;

    bool hasTrailer = false; // header and trailer do not overlap
    ImageTrailer trailer;
    quint16 computedCrc = 0;
    qint64 payloadSize = 0;

    // Set when the device failed to read; the fields above are then incomplete.
    QString readError;

    QVector<InspectionCheck> checks;
    bool passed() const { return readError.isEmpty() && AllChecksPassed(checks); }
};

// Names of the checks, in the order they are reported.
namespace ImageCheckName {
inline QString Magic() { return QStringLiteral("magic"); }
inline QString Length() { return QStringLiteral("length"); }
inline QString HeaderChecksum() { return QStringLiteral("header-checksum"); }
inline QString Reserved() { return QStringLiteral("reserved"); }
inline QString Crc() { return QStringLiteral("crc"); }
inline QString TrailerPadding() { return QStringLiteral("trailer-padding"); }
}

// Bytes read at a time: large enough to read fast, small enough that no
// image is held whole.
constexpr qint64 InspectionChunkSize = 256 * 1024;

// Reads the device from offset 0 to its end in fixed-size chunks, so an
// image of any size is inspected in bounded memory. The device must be open
// for reading.
ImageInspection InspectImage(QIODevice *image);

#endif
