#include "conversionset.h"

#include "conversionhooks.h"
#include "interruptcleanup.h"
#include "messagetext.h"
#include "outputfile.h"
#include "platformfile.h"
#include "setcollisions.h"

#include <QFileInfo>

#include <memory>

namespace {
ConversionSetResult refused(const QString &detail)
{
    return ConversionSetResult{detail};
}

// A file that the set removes: moved aside before the set is put in place,
// given back when it is not, removed when it is.
struct Removal
{
    explicit Removal(const SetFile &f) : file(f), output(f.path) {}
    const SetFile &file;
    OutputFile output; // for its checks and its lock; never created
    QString backup;
};

// The state of one set: the members run one inside the other, so that every
// member's written files stay until the innermost puts them all in place.
class SetRun
{
public:
    explicit SetRun(const ConversionSet &set) : m_set(set) {}

    ConversionSetResult run();

private:
    ConversionResult runMember(std::size_t index);
    ConversionResult placeAll();
    ConversionResult checkOwnFiles();
    void waitForMemberWork() const;
    ConversionResult writeAddedFiles();
    ConversionResult setRemovedAside();
    void giveRemovedBack(QString *notRestored);
    ConversionResult placed(const ReplaceFailure &replaced);

    const ConversionSet &m_set;
    InterruptCleanup m_interruptCleanup;
    WrittenOutputs m_written;
    std::vector<std::unique_ptr<OutputFile>> m_added;
    std::vector<std::unique_ptr<Removal>> m_removed;
    bool m_labelled = false; // the failure already names its member
};

ConversionSetResult SetRun::run()
{
    QString refusal = SetCleanupRoom(m_set);
    if (refusal.isEmpty())
        refusal = SetCollision(m_set);
    if (!refusal.isEmpty())
        return refused(refusal);
    const ConversionResult result = checkOwnFiles();
    if (!result.succeeded())
        return refused(result.detail);
    return refused(runMember(0).detail);
}

// The added and removed files are checked and locked before any member
// writes, as each member's own outputs are.
ConversionResult SetRun::checkOwnFiles()
{
    for (const SetFile &file : m_set.added)
        m_added.push_back(std::make_unique<OutputFile>(file.path));
    for (const SetFile &file : m_set.removed)
        m_removed.push_back(std::make_unique<Removal>(file));
    for (std::size_t i = 0; i < m_set.added.size() + m_removed.size(); ++i) {
        const bool added = i < m_set.added.size();
        const SetFile &file = added ? m_set.added[i] : m_removed[i - m_set.added.size()]->file;
        OutputFile &output = added ? *m_added[i] : m_removed[i - m_set.added.size()]->output;
        QString problem = output.check();
        if (problem.isEmpty())
            problem = output.lock();
        if (!problem.isEmpty())
            return ConversionResult{ConversionStatus::ImagePathInvalid,
                                    QStringLiteral("%1 %2 %3").arg(file.what, Quoted(file.path), problem)};
    }
    return ConversionResult{};
}

ConversionResult SetRun::runMember(std::size_t index)
{
    if (index == m_set.members.size())
        return placeAll();
    ConversionHooks hooks;
    hooks.rename = m_set.rename;
    hooks.placeTogether = [this, index](const std::vector<OutputFile *> &outputs, const ConversionResult &written) {
        m_written.push_back(outputs);
        if (m_set.memberWritten)
            m_set.memberWritten(index, outputs, written);
        const ConversionResult result = runMember(index + 1);
        // These files are closed or removed once this returns.
        waitForMemberWork();
        return result;
    };
    ConversionResult result = RunConversion(m_set.members[index].request, hooks);
    if (!result.succeeded() && !m_labelled) {
        result.detail = QStringLiteral("%1: %2").arg(m_set.members[index].label, result.detail);
        m_labelled = true;
    }
    return result;
}

void SetRun::waitForMemberWork() const
{
    if (m_set.waitForMemberWork)
        m_set.waitForMemberWork();
}

ConversionResult SetRun::writeAddedFiles()
{
    waitForMemberWork();
    QList<QByteArray> contents;
    if (m_set.makeAddedFiles) {
        const QString problem = m_set.makeAddedFiles(m_written, &contents);
        if (!problem.isEmpty())
            return ConversionResult{ConversionStatus::ImageWriteFailed, problem};
    }
    for (std::size_t i = 0; i < m_added.size(); ++i) {
        OutputFile &output = *m_added[i];
        const QByteArray bytes = contents.value(int(i));
        QString problem = output.create();
        if (problem.isEmpty() && output.file().write(bytes) != bytes.size())
            problem = output.failure(QStringLiteral("a write was cut short"));
        if (problem.isEmpty())
            problem = output.sync();
        if (!problem.isEmpty())
            return ConversionResult{ConversionStatus::ImageWriteFailed,
                                    QStringLiteral("cannot write %1 %2: %3")
                                        .arg(m_set.added[i].what, Quoted(m_set.added[i].path), problem)};
    }
    return ConversionResult{};
}

ConversionResult SetRun::placeAll()
{
    m_labelled = true; // what fails from here on is the whole set's
    ConversionResult result = writeAddedFiles();
    if (!result.succeeded())
        return result;
    std::vector<OutputFile *> files;
    for (const std::vector<OutputFile *> &outputs : m_written)
        files.insert(files.end(), outputs.cbegin(), outputs.cend());
    for (const std::unique_ptr<OutputFile> &added : m_added)
        files.push_back(added.get());
    // An interrupt waits until the set is in place or rolled back.
    InterruptCleanup::Deferral placement;
    result = setRemovedAside();
    if (!result.succeeded())
        return result;
    result = placed(TargetReplacement(files, m_set.rename).run());
    if (result.succeeded())
        placement.setComplete();
    return result;
}

ConversionResult SetRun::setRemovedAside()
{
    const RenameFunction rename = m_set.rename ? m_set.rename : RenameFunction(PlatformFile::RenameReplacing);
    for (const std::unique_ptr<Removal> &removal : m_removed) {
        const QString &target = removal->output.target();
        if (!QFileInfo::exists(target))
            continue;
        const QString backup = OutputFile::unusedTemporaryName(target);
        const QString cause = backup.isEmpty() ? QStringLiteral("no free temporary name in its folder")
                                               : rename(target, backup);
        if (!cause.isEmpty()) {
            QString notRestored;
            giveRemovedBack(&notRestored);
            return ConversionResult{ConversionStatus::ImageWriteFailed,
                                    QStringLiteral("%1 %2 could not be removed (nothing was changed): %3%4")
                                        .arg(removal->file.what, Quoted(removal->file.path), cause, notRestored)};
        }
        removal->backup = backup;
    }
    return ConversionResult{};
}

void SetRun::giveRemovedBack(QString *notRestored)
{
    const RenameFunction rename = m_set.rename ? m_set.rename : RenameFunction(PlatformFile::RenameReplacing);
    for (const std::unique_ptr<Removal> &removal : m_removed) {
        if (removal->backup.isEmpty())
            continue;
        const QString cause = rename(removal->backup, removal->output.target());
        if (!cause.isEmpty())
            *notRestored += QStringLiteral("; %1 %2 is kept as %3 (%4)")
                                .arg(removal->file.what, Quoted(removal->file.path), Quoted(removal->backup), cause);
        removal->backup.clear();
    }
}

ConversionResult SetRun::placed(const ReplaceFailure &replaced)
{
    if (!replaced.output) {
        for (const std::unique_ptr<Removal> &removal : m_removed) {
            if (!removal->backup.isEmpty())
                PlatformFile::RemoveFile(removal->backup);
        }
        return ConversionResult{};
    }
    QString notRestored = replaced.notRestored.isEmpty() ? QString()
                                                         : QStringLiteral("; undoing failed: ") + replaced.notRestored;
    giveRemovedBack(&notRestored);
    const QString head = QStringLiteral("%1 could not be put in place").arg(Quoted(replaced.output->path()));
    if (notRestored.isEmpty())
        return ConversionResult{ConversionStatus::ImageWriteFailed,
                                QStringLiteral("%1 (nothing was changed): %2").arg(head, replaced.cause)};
    return ConversionResult{ConversionStatus::ImageWriteFailed,
                            QStringLiteral("%1: %2%3").arg(head, replaced.cause, notRestored)};
}
} // namespace

ConversionSetResult RunConversionSet(const ConversionSet &set)
{
    SetRun run(set);
    return run.run();
}
