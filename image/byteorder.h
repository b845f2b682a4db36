#ifndef VANDREL_IMAGE_BYTEORDER_H
#define VANDREL_IMAGE_BYTEORDER_H

#include <QtGlobal>

// littleEndian: 1 keeps little-endian order, 0 asks for big-endian.
// The single-value routines keep the value for any non-zero flag; the array
// routines keep the data only when the flag is exactly 1.

quint32 ByteSwap32(quint32 value);
quint16 ToByteOrder16(int littleEndian, quint16 value);
quint32 ToByteOrder32(int littleEndian, quint32 value);

// In place, over the whole elements within length bytes; a remainder is left alone.
void ToByteOrderArray32(quint32 *data, int length, int littleEndian);
void ToByteOrderArray16(quint16 *data, int length, int littleEndian);

bool IsNonZero(quint32 value);

#endif
