#ifndef VANDREL_TESTS_TESTFILES_H
#define VANDREL_TESTS_TESTFILES_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The whole contents of a file; an empty array when it cannot be read.
QByteArray ReadFile(const QString &path);

// Writes the file whole, replacing what it held; false when that fails.
bool WriteFile(const QString &path, const QByteArray &contents);

// The names in a folder, hidden ones included, sorted.
QStringList FolderEntries(const QString &folder);

// Every entry of a folder, hidden ones included (and those of its
// subfolders, named relative to it, when recursive), with what each is: a
// file's contents, "folder", "link to TARGET" (never followed) or "special"
// (a FIFO or device, never opened). A run that changes nothing leaves this
// exactly as it was.
QMap<QString, QByteArray> FolderState(const QString &folder, bool recursive = false);

#endif
