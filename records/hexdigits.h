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

namespace HexDigitValues {
constexpr std::array<qint8, 256> make()
{
    std::array<qint8, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[size_t(c)] = -1;
    for (int value = 0; value < 16; ++value) {
        values[size_t("0123456789ABCDEF"[value])] = qint8(value);
        values[size_t("0123456789abcdef"[value])] = qint8(value);
    }
    return values;
}

constexpr std::array<qint8, 256> Table = make();
}

// The value of one hex digit of either case, or -1.
inline int HexDigitValue(char c)
{
    return HexDigitValues::Table[static_cast<unsigned char>(c)];
}

// The first character from begin to end that is not a hex digit, or end. A
// check without an early exit runs first, since lines nearly always pass.
inline const char *FirstNonHexDigit(const char *begin, const char *end)
{
    int values = 0; // a -1 anywhere makes it negative
    for (const char *c = begin; c != end; ++c)
        values |= HexDigitValue(*c);
    if (values >= 0)
        return end;
    while (HexDigitValue(*begin) >= 0)
        ++begin;
    return begin;
}

// The byte of the two hex digits at text, which the caller has checked.
inline quint8 HexByteAt(const char *text)
{
    return quint8(HexDigitValue(text[0]) << 4 | HexDigitValue(text[1]));
}

#endif
