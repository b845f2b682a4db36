#ifndef VANDREL_PROFILES_INIVALUETRAPS_H
#define VANDREL_PROFILES_INIVALUETRAPS_H

#include <QString>
#include <QVector>

#include <functional>

// A value of the settings file whose raw text the INI rules read as
// something else: an unquoted ',' makes it a list (read as ""), an unquoted
// ';' right after the text starts a comment (one after a space is taken for
// a comment meant as such), a backslash starts an escape (D:\fw\app.bin reads as
// "D:<form feed>w<bell>pp.bin"). The reading itself stays as it is, since
// stored files rely on it; the trap is only shown.
struct IniValueTrap
{
    QString section; // as written between the brackets
    QString key;
    QString rawValue;  // as written after '=', trimmed
    QString quoted;    // what to write instead, so the value reads as meant
};

// The traps among the values of text for which wanted(section, key) holds,
// in file order.
QVector<IniValueTrap> FindIniValueTraps(const QString &text,
                                        const std::function<bool(const QString &, const QString &)> &wanted);

#endif
