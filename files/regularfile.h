#ifndef VANDREL_FILES_REGULARFILE_H
#define VANDREL_FILES_REGULARFILE_H

#include <QIODevice>
#include <QString>

QT_BEGIN_NAMESPACE
class QFile;
QT_END_NAMESPACE

// The cause given for a FIFO, device, socket or folder where a file is wanted.
QString NotRegularFileText();

// Opens an existing file for reading (or reading and writing) without ever
// waiting: a FIFO, a device or a terminal is opened non-blocking and never
// becomes the controlling terminal, then the open handle is examined and
// anything but a regular file is closed again. Opened from its handle, file
// has no name afterwards: callers keep the path for their messages.
// Returns an empty text, or one English phrase naming the cause: the system's
// message, or NotRegularFileText().
QString OpenRegularFile(QFile &file, const QString &path, QIODevice::OpenMode mode = QIODevice::ReadOnly);

#endif
