#ifndef VANDREL_IMAGE_DEVICEREADING_H
#define VANDREL_IMAGE_DEVICEREADING_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Reads until count bytes are in or the device ends: the count read, or -1
// on a read error. A read may return fewer bytes than asked before the end.
qint64 ReadUpTo(QIODevice *device, quint8 *data, qint64 count);

#endif
