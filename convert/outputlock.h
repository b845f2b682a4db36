#ifndef VANDREL_CONVERT_OUTPUTLOCK_H
#define VANDREL_CONVERT_OUTPUTLOCK_H

#include "fileidentity.h"
#include "interruptcleanup.h"

#include <QString>

// The lock file beside an output (".NAME.lock") that keeps two runs from
// writing one target at once. It holds the process number and host of the
// run that made it, as QLockFile writes them. A lock is stale, and taken
// over, when its process has ended on this host, or when it holds nothing
// readable and has not been written for a grace time (a power cut between
// making and writing it). Whatever else stands at the lock path (a folder,
// a FIFO, a link, a device) is never opened and keeps the output from being
// written until someone removes it.
class OutputLock
{
public:
    OutputLock() = default;
    ~OutputLock() { release(); }
    OutputLock(const OutputLock &) = delete;
    OutputLock &operator=(const OutputLock &) = delete;

    // ".NAME.lock" in the target's folder.
    static QString pathFor(const QString &target);

    // Takes the lock at path. Returns an empty text, or the end of a message
    // that begins with the output's quoted path.
    QString take(const QString &path);

    // Removes the lock file when it is still the one this run made.
    void release();

    const QString &path() const { return m_path; }
    FileIdentity identity() const { return m_identity; }

private:
    bool takeOverIfStale();
    QString busy() const;

    QString m_path;
    FileIdentity m_identity;
    qintptr m_handle = -1;
    InterruptCleanup::Entry m_cleanup;
    bool m_held = false;
};

#endif
