#ifndef VANDREL_RECORDS_HEXDIGITS_H
#define VANDREL_RECORDS_HEXDIGITS_H

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstring>

// Hex text, as the record formats and every message show it: bytes out as
// upper-case digits, digits in of either case.

// Upper-case hex digits filled with zeros to width. A value wider than width
// keeps all of its digits (an address past 4 GiB shows as nine).
inline QString HexDigits(quint64 value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

namespace HexDigitPairs {
constexpr std::array<char, 512> make()
{
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<char, 512> pairs{};
    for (int value = 0; value < 256; ++value) {
        pairs[2 * value] = digits[value >> 4];
        pairs[2 * value + 1] = digits[value & 0x0F];
    }
    return pairs;
}

constexpr std::array<char, 512> Table = make();
}

// Writes the two digits of value at out and returns the position behind them.
inline char *PutHexByte(char *out, quint8 value)
{
    std::memcpy(out, &HexDigitPairs::Table[2 * value], 2);
    return out + 2;
}

// The value of one hex digit of either case, or -1.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The byte of the two hex digits at text, which the caller has checked.
inline quint8 HexByteAt(const char *text)
{
    return quint8(HexDigitValue(text[0]) << 4 | HexDigitValue(text[1]));
}

#endif
