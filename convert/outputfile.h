#ifndef VANDREL_CONVERT_OUTPUTFILE_H
#define VANDREL_CONVERT_OUTPUTFILE_H

#include "fileidentity.h"

#include <QFile>
#include <QLockFile>
#include <QString>

#include <memory>
#include <vector>

class OutputFile;
struct ReplaceFailure;

// One file a conversion writes. It is written under a temporary name beside
// its target (".NAME.XXXXXX.tmp") and put in place by ReplaceTargets only when
// every output of the run is complete; until then the target is untouched.
// The target is the path with symbolic links followed, so a link keeps
// pointing at the file it named; a hard link is replaced by a new file.
// A lock file beside the target (".NAME.lock") keeps two runs from writing
// one target at once; a run that died leaves a lock that the next run sees
// to be stale. Methods that can fail return an empty text, or one English
// line naming the cause.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile(); // removes the temporary file unless it was put in place
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const QString &path() const { return m_path; }
    const QString &target() const { return m_target; }

    // Follows links and checks that the target can be replaced: it is a
    // regular file the user may write, or absent in an existing folder.
    QString check();

    // The target's file when it exists (check() first).
    FileIdentity targetIdentity() const { return FileIdentity::ofPath(m_target); }

    // True when both name one target, whether it exists or not.
    bool sameTarget(const OutputFile &other) const;

    // Takes the lock; fails at once when another run holds it.
    QString lock();

    // Creates the temporary file, open for reading and writing.
    QString create();
    QFile &file() { return m_file; }

    // Flushes what is written and waits until it is on the disk; the file
    // stays open for reading back.
    QString sync();

    // The cause of the last failure of the temporary file, or fallback when
    // the system gave none.
    QString failure(const QString &fallback) const;

private:
    friend ReplaceFailure ReplaceTargets(const std::vector<OutputFile *> &outputs);

    QString m_path;
    QString m_target;
    QString m_targetKey; // absolute, canonical folder: compares outputs not yet on disk
    QFile m_file;
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    bool m_placed = false;
};

struct ReplaceFailure
{
    const OutputFile *output = nullptr; // the one that could not be put in place; none on success
    QString cause;
};

// Puts each output's temporary file in place of its target, in order. When
// one cannot be put in place, the targets already replaced get their previous
// files back and the failure is returned: nothing is changed then.
ReplaceFailure ReplaceTargets(const std::vector<OutputFile *> &outputs);

#endif
