#ifndef VANDREL_CONVERT_PLATFORMFILE_H
#define VANDREL_CONVERT_PLATFORMFILE_H

#include "fileidentity.h"

#include <QByteArray>
#include <QString>

// What the operating system does for the output files of a conversion:
// one implementation for POSIX, one for Windows. Functions that can fail
// return an empty text, or the system's message for the cause.
namespace PlatformFile {

// Renames from to to, replacing what to names; the name change reaches the
// disk before it returns where the system can wait for that.
QString RenameReplacing(const QString &from, const QString &to);

// Keeps the existing target under the name backup. A second name (hard link)
// keeps the target in place meanwhile; where there is none the target is
// moved aside and *moved is set.
QString KeepAside(const QString &target, const QString &backup, bool *moved);

QString RemoveFile(const QString &path);

// Waits until what was written through the open file descriptor is on the disk.
QString SyncDescriptor(int descriptor);
// Waits until the names in the folder are on the disk.
void SyncFolder(const QString &folder);

// Why path cannot be looked up, e.g. "File name too long"; empty when it can
// or when it merely does not exist.
QString LookUpProblem(const QString &path);

// What identifies the contents of an open file: when any of it differs
// between two moments, the file may have been written in between.
struct ContentState
{
    FileIdentity identity;
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds since the epoch (100 ns steps on Windows)
    qint64 changed = 0;  // status change (POSIX) or change time (Windows)
    bool valid = false;

    friend bool operator==(const ContentState &a, const ContentState &b)
    {
        return a.valid && b.valid && a.identity == b.identity && a.size == b.size && a.modified == b.modified
               && a.changed == b.changed;
    }
    friend bool operator!=(const ContentState &a, const ContentState &b) { return !(a == b); }
};
ContentState ContentStateOf(int descriptor);

// A lock file made by this run, or why there is none.
struct LockCreation
{
    enum Outcome { Created, Exists, Failed } outcome = Failed;
    FileIdentity identity; // of the file made
    qintptr handle = -1;   // kept open while the lock is held (see CloseLockFile)
    QString cause;         // when Failed
};
// Makes path as a new file holding contents, never following a link and
// never waiting on what is already there. The file stays open, so that its
// identity cannot pass to another file while the lock is held.
LockCreation CreateLockFile(const QString &path, const QByteArray &contents);
void CloseLockFile(qintptr handle);

// What stands at a lock path, looked at without following links or waiting.
struct LockEntry
{
    enum Kind { Absent, RegularFile, Other } kind = Absent;
    FileIdentity identity;
    QByteArray contents; // the first bytes of a regular file
    qint64 ageMs = 0;    // since it was last written
};
LockEntry ExamineLock(const QString &path);

// Removes path only when it is still the file of that identity (not through a link).
bool RemoveLockIfSame(const QString &path, const FileIdentity &identity);

qint64 CurrentProcessId();
// False only when the system says that no process has that number.
bool ProcessMayBeRunning(qint64 processId);

} // namespace PlatformFile

#endif
