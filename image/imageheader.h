#ifndef VANDREL_IMAGE_IMAGEHEADER_H
#define VANDREL_IMAGE_IMAGEHEADER_H

#include <QtGlobal>

#include <array>

// The new image: a 32-byte header, the payload unchanged, and a 4-byte
// trailer (CRC-16 of the payload, high byte first, then two zeros).
//
// Header, each field in the byte order that its littleEndian field names:
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

using HeaderBytes = std::array<quint8, ImageLayout::HeaderSize>;
using TrailerBytes = std::array<quint8, ImageLayout::TrailerSize>;

// The header's fields as numbers. littleEndian is the field as stored: 1 for
// a little-endian header, 0 for a big-endian one.
struct ImageHeader
{
    quint32 length = 0;
    quint32 magic = ImageLayout::Magic;
    quint32 seconds = 0;
    quint16 milliseconds = 0;
    quint16 version = 0;
    quint32 littleEndian = 1;
    std::array<quint8, ImageLayout::ReservedSize> reserved = {};
    quint16 checksum = 0;
};

// The header a stamp writes: the magic, milliseconds 0, the littleEndian
// field equal to the byte order chosen, and the checksum of these fields.
ImageHeader StampedHeader(quint32 length, quint32 seconds, quint16 version, int littleEndian);

// Stores every field in the byte order littleEndian asks for (1 little-,
// 0 big-endian); the checksum is stored as it stands in the header.
HeaderBytes EncodeImageHeader(const ImageHeader &header, int littleEndian);

// Reads every field in the given byte order.
ImageHeader DecodeImageHeader(const HeaderBytes &bytes, int littleEndian);

// The byte order that the stored magic shows: 0 when it reads as the magic
// big-endian, otherwise 1 (also when it is no magic at all).
int StoredByteOrder(const HeaderBytes &bytes);

// The byte sum of bytes 0-29 modulo 65536: the same in either byte order.
quint16 HeaderChecksum(const HeaderBytes &bytes);

// The trailer: CRC high byte, CRC low byte, then two zero bytes; the same in
// either byte order.
struct ImageTrailer
{
    quint16 crc = 0;
    quint16 padding = 0; // the last two bytes, 0 when sound
};

TrailerBytes EncodeImageTrailer(quint16 crc);
ImageTrailer DecodeImageTrailer(const TrailerBytes &bytes);

#endif
