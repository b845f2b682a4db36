#include "inivaluetraps.h"

#include <QStringList>

namespace {

bool IsLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// Qt's INI reader skips these before a line.
bool IsIniSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') || c == QLatin1Char('\f')
           || IsLineEnd(c);
}

// One line as QSettings reads it: [start, end), with the first '=' outside
// quotes, or -1.
struct IniLine
{
    int start = 0;
    int end = 0;
    int equals = -1;
};

// Skips a comment line from its ';' to the next line.
int SkipComment(const QString &text, int i)
{
    while (i < text.size() && !IsLineEnd(text.at(i)))
        ++i;
    while (i < text.size() && IsIniSpace(text.at(i)))
        ++i;
    return i;
}

// Reads the next line from position, as Qt's readIniLine does; position ends
// where the line ended (a line end, or the ';' of a comment after it).
bool ReadIniLine(const QString &text, int &position, IniLine &line)
{
    line = IniLine{};
    int start = position;
    while (start < text.size() && IsIniSpace(text.at(start)))
        ++start;
    bool inQuotes = false;
    int i = start;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('=') && !inQuotes && line.equals < 0) {
            line.equals = i;
        } else if (IsLineEnd(c) && !inQuotes) {
            break;
        } else if (c == QLatin1Char('\\')) {
            // The escaped character, and a whole CR LF or LF CR after it.
            if (i + 2 < text.size() && IsLineEnd(text.at(i + 1)) && IsLineEnd(text.at(i + 2))
                && text.at(i + 1) != text.at(i + 2))
                ++i;
            ++i;
        } else if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
        } else if (c == QLatin1Char(';') && i == start) {
            i = start = SkipComment(text, i);
            --i;
        } else if (c == QLatin1Char(';') && !inQuotes) {
            break;
        }
    }
    position = qMin(i, int(text.size()));
    line.start = start;
    line.end = position;
    return line.end > line.start;
}

// The name QSettings gives a section header line: up to the first ']', or
// the rest of the line; [General] is the top level.
QString SectionName(const QString &line)
{
    const int close = line.indexOf(QLatin1Char(']'));
    const QString name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
    return name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0 ? QString() : name;
}

// Positions of the quotes not escaped by a backslash.
QVector<int> QuotePositions(const QString &value)
{
    QVector<int> quotes;
    for (int i = 0; i < value.size(); ++i) {
        if (value.at(i) == QLatin1Char('\\'))
            ++i;
        else if (value.at(i) == QLatin1Char('"'))
            quotes.append(i);
    }
    return quotes;
}

// The value as its writer meant it: the text between enclosing quotes.
QString Unquoted(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

bool IsTypedValue(const QString &value)
{
    static const QStringList types{QStringLiteral("@ByteArray("), QStringLiteral("@String("),
                                   QStringLiteral("@Variant("),   QStringLiteral("@DateTime("),
                                   QStringLiteral("@Rect("),      QStringLiteral("@Size("),
                                   QStringLiteral("@Point(")};
    if (value.startsWith(QLatin1String("@@")) || value == QLatin1String("@Invalid()"))
        return true;
    if (!value.endsWith(QLatin1Char(')')))
        return false;
    for (const QString &type : types) {
        if (value.startsWith(type))
            return true;
    }
    return false;
}

int EscapeAndListTraps(const QString &value)
{
    int traps = 0;
    bool inQuotes = false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\')) {
            const QChar next = i + 1 < value.size() ? value.at(i + 1) : QChar();
            if (next != QLatin1Char('\\') && next != QLatin1Char('"'))
                traps |= IniEscapeTrap;
            ++i;
        } else if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
        } else if (!inQuotes && c == QLatin1Char(',')) {
            traps |= IniListTrap;
        }
    }
    return traps;
}

// The traps of a value: read is what QSettings takes (up to the line's end,
// which may lie lines further), written what stands after '=' on its line,
// cutAtComment whether the read part ended at a ';'.
int TrapsIn(const QString &read, const QString &written, bool cutAtComment)
{
    int traps = EscapeAndListTraps(read);
    // "2   ; a comment" is meant; "A;B" is a name cut short.
    if (cutAtComment && !read.isEmpty() && !read.back().isSpace())
        traps |= IniCommentTrap;
    if (QuotePositions(written).size() % 2 != 0)
        traps |= IniOpenQuoteTrap;
    const QString value = read.trimmed();
    const QVector<int> quotes = QuotePositions(value);
    // An odd count is the open quote above.
    if (!quotes.isEmpty() && quotes.size() % 2 == 0
        && !(quotes.size() == 2 && quotes.first() == 0 && quotes.last() == value.size() - 1))
        traps |= IniQuoteTrap;
    if (IsTypedValue(Unquoted(value)))
        traps |= IniTypedValueTrap;
    return traps;
}

// The value as it was meant, quoted: each lone backslash doubled, quotes
// inside escaped, so commas and semicolons are read as they stand; a leading
// '@' doubled, so it is not taken for a type.
QString QuotedForm(const QString &written)
{
    const QString value = Unquoted(written);
    QString quoted(QLatin1Char('"'));
    if (value.startsWith(QLatin1Char('@')))
        quoted += QLatin1Char('@');
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size() && value.at(i + 1) == QLatin1Char('\\')) {
            quoted += QStringLiteral("\\\\");
            ++i;
        } else if (c == QLatin1Char('\\')) {
            quoted += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('"')) {
            quoted += QStringLiteral("\\\"");
        } else {
            quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

// What stands after '=' on the line of equals, up to its line end.
QString WrittenValue(const QString &text, int equals)
{
    int end = equals + 1;
    while (end < text.size() && !IsLineEnd(text.at(end)))
        ++end;
    return text.mid(equals + 1, end - equals - 1).trimmed();
}

} // namespace

QVector<IniValueTrap> FindIniValueTraps(const QString &text,
                                        const std::function<bool(const QString &, const QString &)> &wanted)
{
    QVector<IniValueTrap> traps;
    QString section;
    int position = 0;
    IniLine line;
    while (ReadIniLine(text, position, line)) {
        const QString whole = text.mid(line.start, line.end - line.start);
        if (whole.startsWith(QLatin1Char('['))) {
            section = SectionName(whole);
            continue;
        }
        if (line.equals < 0)
            continue;
        const QString key = text.mid(line.start, line.equals - line.start).trimmed();
        if (!wanted(section, key))
            continue;
        const QString read = text.mid(line.equals + 1, line.end - line.equals - 1);
        const QString written = WrittenValue(text, line.equals);
        const bool cutAtComment = line.end < text.size() && text.at(line.end) == QLatin1Char(';');
        const int kinds = TrapsIn(read, written, cutAtComment);
        if (kinds != 0)
            traps.append({section, key, written, QuotedForm(written), kinds});
    }
    return traps;
}
