#include "imageheader.h"

#include "byteorder.h"

#include <QtEndian>

#include <algorithm>
#include <numeric>

namespace {
using namespace ImageLayout;

// A field in the order littleEndian asks for: swapped into big-endian order,
// then laid down least significant byte first.
void putField32(HeaderBytes &bytes, int offset, int littleEndian, quint32 value)
{
    qToLittleEndian<quint32>(ToByteOrder32(littleEndian, value), bytes.data() + offset);
}

void putField16(HeaderBytes &bytes, int offset, int littleEndian, quint16 value)
{
    qToLittleEndian<quint16>(ToByteOrder16(littleEndian, value), bytes.data() + offset);
}

quint32 field32(const HeaderBytes &bytes, int offset, int littleEndian)
{
    return ToByteOrder32(littleEndian, qFromLittleEndian<quint32>(bytes.data() + offset));
}

quint16 field16(const HeaderBytes &bytes, int offset, int littleEndian)
{
    return ToByteOrder16(littleEndian, qFromLittleEndian<quint16>(bytes.data() + offset));
}
} // namespace

ImageHeader StampedHeader(quint32 length, quint32 seconds, quint16 version, int littleEndian)
{
    ImageHeader header;
    header.length = length;
    header.seconds = seconds;
    header.version = version;
    header.littleEndian = littleEndian ? 1 : 0;
    header.checksum = HeaderChecksum(EncodeImageHeader(header, littleEndian));
    return header;
}

HeaderBytes EncodeImageHeader(const ImageHeader &header, int littleEndian)
{
    HeaderBytes bytes = {};
    putField32(bytes, LengthOffset, littleEndian, header.length);
    putField32(bytes, MagicOffset, littleEndian, header.magic);
    putField32(bytes, SecondsOffset, littleEndian, header.seconds);
    putField16(bytes, MillisecondsOffset, littleEndian, header.milliseconds);
    putField16(bytes, VersionOffset, littleEndian, header.version);
    putField32(bytes, LittleEndianOffset, littleEndian, header.littleEndian);
    std::copy(header.reserved.cbegin(), header.reserved.cend(), bytes.begin() + ReservedOffset);
    putField16(bytes, ChecksumOffset, littleEndian, header.checksum);
    return bytes;
}

ImageHeader DecodeImageHeader(const HeaderBytes &bytes, int littleEndian)
{
    ImageHeader header;
    header.length = field32(bytes, LengthOffset, littleEndian);
    header.magic = field32(bytes, MagicOffset, littleEndian);
    header.seconds = field32(bytes, SecondsOffset, littleEndian);
    header.milliseconds = field16(bytes, MillisecondsOffset, littleEndian);
    header.version = field16(bytes, VersionOffset, littleEndian);
    header.littleEndian = field32(bytes, LittleEndianOffset, littleEndian);
    std::copy_n(bytes.cbegin() + ReservedOffset, ReservedSize, header.reserved.begin());
    header.checksum = field16(bytes, ChecksumOffset, littleEndian);
    return header;
}

int StoredByteOrder(const HeaderBytes &bytes)
{
    return field32(bytes, MagicOffset, 0) == Magic ? 0 : 1;
}

quint16 HeaderChecksum(const HeaderBytes &bytes)
{
    return quint16(std::accumulate(bytes.cbegin(), bytes.cbegin() + ChecksumOffset, 0u));
}

TrailerBytes EncodeImageTrailer(quint16 crc)
{
    return {quint8(crc >> 8), quint8(crc & 0xFF), 0, 0};
}

ImageTrailer DecodeImageTrailer(const TrailerBytes &bytes)
{
    return {qFromBigEndian<quint16>(bytes.data()), qFromBigEndian<quint16>(bytes.data() + 2)};
}
