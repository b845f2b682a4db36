#ifndef VANDREL_CONVERT_OUTPUTFILE_H
#define VANDREL_CONVERT_OUTPUTFILE_H

#include "fileidentity.h"
#include "interruptcleanup.h"
#include "outputlock.h"

#include <QFile>
#include <QString>

// One file a conversion writes. It is written under a temporary name beside
// its target (".NAME.XXXXXX.tmp") and put in place by TargetReplacement only
// when every output of the run is complete; until then the target is
// untouched. The target is the path with symbolic links followed, so a link
// keeps pointing at the file it named; a hard link is replaced by a new file.
// A lock file beside the target (see OutputLock) keeps two runs from writing
// one target at once. Methods that can fail return an empty text, or one
// English line naming the cause.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile(); // removes the temporary file unless it was put in place
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const QString &path() const { return m_path; }
    const QString &target() const { return m_target; }

    // The path with links followed, as its absolute canonical folder and its
    // name: two keys are equal when they name one file, made or not. Empty
    // when the folder does not exist.
    static QString keyOf(const QString &path);

    // Follows links and checks that the target can be replaced: it is a
    // regular file the user may write, or absent in an existing folder.
    QString check();

    // The key of the target (check() first).
    const QString &targetKey() const { return m_targetKey; }

    // The target's file when it exists (check() first).
    FileIdentity targetIdentity() const { return FileIdentity::ofPath(m_target); }

    // True when both name one target, whether it exists or not.
    bool sameTarget(const OutputFile &other) const;

    // The lock file's path (check() first).
    QString lockPath() const { return OutputLock::pathFor(m_targetKey); }

    // Takes the lock; fails at once when another run holds it.
    QString lock();
    void unlock() { m_lock.release(); }

    // Creates the temporary file, open for reading and writing.
    QString create();
    QFile &file() { return m_file; }

    // Flushes what is written and waits until it is on the disk; the file
    // stays open for reading back.
    QString sync();

    // The cause of the last failure of the temporary file, or fallback when
    // the system gave none.
    QString failure(const QString &fallback) const;

    // A temporary name for a file beside target that no file has yet; empty
    // when none was found.
    static QString unusedTemporaryName(const QString &target);
    // Whether fileName has the form of a temporary name of targetName.
    static bool isTemporaryName(const QString &fileName, const QString &targetName);

    // What the file of that key (see keyOf) and identity is to this output
    // when the run makes, renames or removes it: "lock file", "temporary
    // file", or an empty text (check() first).
    QString reservationOf(const QString &key, const FileIdentity &identity) const;

private:
    friend class TargetReplacement;

    QString m_path;
    QString m_target;
    QString m_targetKey;
    QFile m_file;
    InterruptCleanup::Entry m_fileCleanup;
    OutputLock m_lock;
    bool m_placed = false;
};

#endif
