#ifndef VANDREL_IMAGE_DEVICEIO_H
#define VANDREL_IMAGE_DEVICEIO_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Reads until count bytes are in or the device ends: the count read, or -1
// on a read error. A read may return fewer bytes than asked before the end.
qint64 ReadUpTo(QIODevice *device, quint8 *data, qint64 count);

// Writes all count bytes, or fails. A write cut short (a file growing past
// its size limit, a disk filling up) is tried again for the rest, so that the
// failure is reported with its cause in the device's error string.
bool WriteAll(QIODevice *device, const char *data, qint64 count);

#endif
