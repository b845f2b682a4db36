#ifndef VANDREL_RELEASE_NEWFILE_H
#define VANDREL_RELEASE_NEWFILE_H

#include <QByteArray>
#include <QString>

// Makes path as a new file holding contents and waits until it is on the
// disk. Never replaces what is there (a file, a link, anything); ownerOnly
// makes it readable by its owner alone from the start (POSIX permissions;
// on Windows the folder's access rules apply). Returns an empty text, or
// the system's cause; a file left half-written is removed again.
QString CreateNewFile(const QString &path, const QByteArray &contents, bool ownerOnly);

#endif
