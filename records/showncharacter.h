#ifndef VANDREL_RECORDS_SHOWNCHARACTER_H
#define VANDREL_RECORDS_SHOWNCHARACTER_H

#include "hexdigits.h"

#include <QString>

// A character as a one-line message can show it, whatever byte it is:
// 'c' when printable ASCII, otherwise "byte 0xNN".
inline QString ShownCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("byte 0x%1").arg(HexDigits(byte, 2));
}

#endif
