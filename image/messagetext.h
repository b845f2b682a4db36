#ifndef VANDREL_IMAGE_MESSAGETEXT_H
#define VANDREL_IMAGE_MESSAGETEXT_H

#include <QString>

// Pieces of the one-line English messages every part of the program gives.

// Upper-case hex digits filled with zeros to width, as the record lines and
// every message that quotes a byte or an address show them.
inline QString HexDigits(quint32 value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

// The same with a "0x" in front.
inline QString HexNumber(quint32 value, int width)
{
    return QStringLiteral("0x") + HexDigits(value, width);
}

// A character as a one-line message can show it, whatever byte it is:
// 'c' when printable ASCII, otherwise "byte 0xNN".
inline QString ShownCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("byte 0x%1").arg(HexDigits(byte, 2));
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
