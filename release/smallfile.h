#ifndef VANDREL_RELEASE_SMALLFILE_H
#define VANDREL_RELEASE_SMALLFILE_H

#include <QByteArray>
#include <QString>

// Reads a whole regular file of at most maxSize bytes (never a FIFO or a
// device, never waiting). Returns an empty text, or the end of a sentence
// that begins with the path: "does not exist", "is larger than ...".
QString ReadSmallFile(const QString &path, qint64 maxSize, QByteArray *contents);

#endif
