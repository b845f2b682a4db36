#include "byteorder.h"

#include <utility>

quint32 ByteSwap32(quint32 value)
{
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

quint16 ToByteOrder16(int littleEndian, quint16 value)
{
    return littleEndian ? value : quint16((value >> 8) | (value << 8));
}

quint32 ToByteOrder32(int littleEndian, quint32 value)
{
    return littleEndian ? value : ByteSwap32(value);
}

// Both work on the bytes, so any alignment and any element type are safe.
void ToByteOrderArray32(quint32 *data, int length, int littleEndian)
{
    if (!data || littleEndian == 1)
        return;
    auto *bytes = reinterpret_cast<unsigned char *>(data);
    for (int i = 0; i + 4 <= length; i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
}

void ToByteOrderArray16(quint16 *data, int length, int littleEndian)
{
    if (!data || littleEndian == 1)
        return;
    auto *bytes = reinterpret_cast<unsigned char *>(data);
    for (int i = 0; i + 2 <= length; i += 2)
        std::swap(bytes[i], bytes[i + 1]);
}

bool IsNonZero(quint32 value)
{
    return value != 0;
}
