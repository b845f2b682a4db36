#ifndef VANDREL_PROFILES_INIVALUETRAPS_H
#define VANDREL_PROFILES_INIVALUETRAPS_H

#include <QString>
#include <QVector>

#include <functional>

// What makes Qt's INI reader take a value otherwise than it is written.
// The reading itself stays as it is, since stored files rely on it; the trap
// is only shown.
enum IniTrapKind {
    IniListTrap = 1,       // an unquoted ',' makes it a list, read as ""
    IniCommentTrap = 2,    // an unquoted ';' right after the text starts a comment
                           // (one after a space is taken for a comment meant as such)
    IniEscapeTrap = 4,     // a backslash starts an escape: D:\fw\app.bin reads as
                           // "D:<form feed>w<bell>pp.bin"; one at the line's end joins the next line
    IniQuoteTrap = 8,      // quotes that do not enclose the whole value: "a"b reads as ab
    IniOpenQuoteTrap = 16, // a quote not closed on its line: the following lines, up to
                           // the next quote or the end of the file, are read into the value
    IniTypedValueTrap = 32 // @ByteArray(x), @Invalid(), @@x and the like are read as typed values
};

// A value of the settings file whose raw text the INI rules read as
// something else.
struct IniValueTrap
{
    QString section;  // as QSettings reads it: the text up to the first ']', trimmed
    QString key;
    QString rawValue; // as written after '=' on its line, trimmed
    QString quoted;   // what to write instead, so the value reads as meant
    int kinds = 0;    // IniTrapKind flags
};

// The traps among the values of text for which wanted(section, key) holds,
// in file order. Lines, sections, comments and quotes are found as QSettings
// finds them: LF, CR or CR LF end a line except inside quotes or after a
// backslash, an unquoted ';' ends what is read of a line, a section header
// is a line that starts with '['.
QVector<IniValueTrap> FindIniValueTraps(const QString &text,
                                        const std::function<bool(const QString &, const QString &)> &wanted);

#endif
