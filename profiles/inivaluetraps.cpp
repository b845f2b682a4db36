#include "inivaluetraps.h"

#include <QStringList>

namespace {
enum Trap { NoTrap = 0, ListTrap = 1, CommentTrap = 2, EscapeTrap = 4 };

int trapsIn(const QString &value)
{
    int traps = NoTrap;
    bool inQuotes = false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\')) {
            const QChar next = i + 1 < value.size() ? value.at(i + 1) : QChar();
            if (next != QLatin1Char('\\') && next != QLatin1Char('"'))
                traps |= EscapeTrap;
            ++i;
        } else if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
        } else if (!inQuotes && c == QLatin1Char(',')) {
            traps |= ListTrap;
        } else if (!inQuotes && c == QLatin1Char(';')) {
            // "2   ; a comment" is meant; "A;B" is a name cut short.
            if (i > 0 && !value.at(i - 1).isSpace())
                traps |= CommentTrap;
            break;
        }
    }
    return traps;
}

// The value as it was meant, quoted: each lone backslash doubled, quotes
// inside escaped, so commas and semicolons are read as they stand.
QString quotedForm(QString value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    QString quoted(QLatin1Char('"'));
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
} // namespace

QVector<IniValueTrap> FindIniValueTraps(const QString &text,
                                        const std::function<bool(const QString &, const QString &)> &wanted)
{
    QVector<IniValueTrap> traps;
    QString section;
    for (const QString &rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (!wanted(section, key) || trapsIn(value) == NoTrap)
            continue;
        traps.append({section, key, value, quotedForm(value)});
    }
    return traps;
}
