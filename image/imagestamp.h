#ifndef VANDREL_IMAGE_IMAGESTAMP_H
#define VANDREL_IMAGE_IMAGESTAMP_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QDateTime;
class QIODevice;
QT_END_NAMESPACE

// The new image: a 32-byte ImageHeader, the payload unchanged, and a 4-byte
// ImageTrailer (CRC-16 of the payload, high byte first, then two zeros).
//
// ImageHeader, each field in the byte order of its littleEndian field:
//   0 length (u32, file size)  4 magic (u32)   8 seconds (u32)
//  12 milliseconds (u16, 0)   14 version (u16) 16 littleEndian (u32)
//  20 reserved (10 zero bytes) 30 checksum (u16, byte sum of 0-29)
namespace ImageLayout {
constexpr int HeaderSize = 32;
constexpr int TrailerSize = 4;
constexpr int FrameSize = HeaderSize + TrailerSize;
constexpr quint32 Magic = 0x55AA44BB;
constexpr int LengthOffset = 0;
constexpr int MagicOffset = 4;
constexpr int SecondsOffset = 8;
constexpr int MillisecondsOffset = 12;
constexpr int VersionOffset = 14;
constexpr int LittleEndianOffset = 16;
constexpr int ReservedOffset = 20;
constexpr int ReservedSize = 10;
constexpr int ChecksumOffset = 30;
// Largest file whose size fits the 32-bit length field.
constexpr qint64 MaxImageSize = 0xFFFFFFFFLL;
}

// Size of the static buffer through which StampImage reads the payload.
constexpr int ImageBufferSize = 1048576;

// Writes count copies of byte at the device's position; count <= 0 writes
// nothing. Returns false when a write fails.
bool WriteFill(QIODevice *device, quint8 byte, int count);

// Stamps a device that holds the 32-byte placeholder and the payload:
// overwrites the placeholder with the header and appends the trailer. The
// device must be open read-write; it is left open, positioned after the
// trailer. Returns false when a seek, read or write fails.
// The first form reads the local clock; the second stamps the given
// wall-clock reading. A reading outside 2000-01-01 .. 2099-12-31 stamps 0.
bool StampImage(QIODevice *device, int littleEndian, quint16 version);
bool StampImage(QIODevice *device, int littleEndian, quint16 version, const QDateTime &wallClock);

#endif
