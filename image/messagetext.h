#ifndef VANDREL_IMAGE_MESSAGETEXT_H
#define VANDREL_IMAGE_MESSAGETEXT_H

#include "hexdigits.h"
#include "showncharacter.h"

#include <QString>

// Pieces of the one-line English messages every part of the program gives
// (hex digits and shown characters are the record formats' own).

// HexDigits with a "0x" in front.
inline QString HexNumber(quint32 value, int width)
{
    return QStringLiteral("0x") + HexDigits(value, width);
}

// A path or value in double quotes, on one line whatever it holds: control
// characters are shown escaped (\n, \r, \t, \xNN).
inline QString Quoted(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            shown += QStringLiteral("\\x") + HexDigits(c.unicode(), 2);
        else
            shown += c;
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

#endif
