#ifndef VANDREL_RELEASE_FILEHASH_H
#define VANDREL_RELEASE_FILEHASH_H

#include <QByteArray>
#include <QString>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// The size and SHA-256 (lower-case hex, as sha256sum prints it) of a whole
// file, and of one span inside it.
struct FileHash
{
    qint64 size = 0;
    QByteArray sha256;
    QByteArray spanSha256;
};

// Reads the device from its start to its end. The span is [spanBegin,
// spanEnd) of the file; it is hashed as well when not empty. Returns an
// empty text, or the device's error.
QString HashDevice(QIODevice *device, FileHash *hash, qint64 spanBegin = 0, qint64 spanEnd = 0);

// Opens path as a regular file (never waiting on a FIFO or device) and
// hashes it whole. Returns an empty text, or the end of a sentence that
// begins with the path ("does not exist", "is not a regular file").
QString HashFile(const QString &path, FileHash *hash);

#endif
