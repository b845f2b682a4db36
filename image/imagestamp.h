#ifndef VANDREL_IMAGE_IMAGESTAMP_H
#define VANDREL_IMAGE_IMAGESTAMP_H

#include "imageheader.h"

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QDateTime;
class QIODevice;
QT_END_NAMESPACE

// Size of the buffer through which StampImage reads the payload.
constexpr int ImageBufferSize = 1048576;

// Writes count copies of byte at the device's position; count <= 0 writes
// nothing. Returns false when a write fails.
bool WriteFill(QIODevice *device, quint8 byte, int count);

// Stamps a device that holds the 32-byte placeholder and the payload:
// overwrites the placeholder with the header and appends the trailer. The
// device must be open read-write; it is left open, positioned after the
// trailer. Returns false when a seek, read or write fails.
// The first form reads the local clock; the second stamps the given
// wall-clock reading (see HeaderTimeAt).
bool StampImage(QIODevice *device, int littleEndian, quint16 version);
bool StampImage(QIODevice *device, int littleEndian, quint16 version, const QDateTime &wallClock);

#endif
