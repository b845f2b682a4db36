#ifndef VANDREL_IMAGE_IMAGEINSPECTION_H
#define VANDREL_IMAGE_IMAGEINSPECTION_H

#include <QString>
#include <QVector>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// One verdict of an inspection: a short stable name (used as a JSON key by
// scripts), whether it holds, and one English line saying what was found.
struct InspectionCheck
{
    QString name;
    bool passed = false;
    QString detail;
};

bool AllChecksPassed(const QVector<InspectionCheck> &checks);

// What a stamped image holds, as read from a file that may be damaged or
// not an image at all. Header fields are decoded in the byte order that the
// magic shows (little-endian when the magic is not recognised).
struct ImageInspection
{
    qint64 fileSize = 0;

    bool hasHeader = false; // the file holds at least the whole header
    bool bigEndian = false;
    quint32 length = 0;
    quint32 magic = 0;
    quint32 seconds = 0;
    quint16 milliseconds = 0;
    quint16 version = 0;
    quint32 littleEndianField = 0;
    quint16 checksum = 0;
    quint16 computedChecksum = 0;

    bool hasTrailer = false; // header and trailer do not overlap
    quint16 trailerCrc = 0;
    quint16 trailerPadding = 0;
    quint16 computedCrc = 0;

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

// The stamp time as "YYYY-MM-DD hh:mm:ss", or an empty text when the
// seconds lie beyond 2099.
QString StampTimeText(quint32 seconds);

#endif
