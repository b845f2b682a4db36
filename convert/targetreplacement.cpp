#include "targetreplacement.h"

#include "messagetext.h"
#include "outputfile.h"
#include "platformfile.h"

#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <utility>

TargetReplacement::TargetReplacement(const std::vector<OutputFile *> &outputs, RenameFunction rename)
    : m_rename(rename ? std::move(rename) : RenameFunction(PlatformFile::RenameReplacing))
{
    m_steps.reserve(outputs.size());
    for (OutputFile *output : outputs)
        m_steps.emplace_back(output);
}

ReplaceFailure TargetReplacement::run()
{
    ReplaceFailure failure = closeAll();
    for (auto step = m_steps.begin(); !failure.output && step != m_steps.end(); ++step)
        failure = setAside(*step);
    for (auto step = m_steps.begin(); !failure.output && step != m_steps.end(); ++step)
        failure = place(*step);
    if (!failure.output)
        finish();
    return failure;
}

ReplaceFailure TargetReplacement::closeAll()
{
    for (const Step &step : m_steps) {
        QFile &file = step.output->m_file;
        file.close();
        if (file.error() != QFileDevice::NoError)
            return failed(step, file.errorString());
    }
    return ReplaceFailure{};
}

// A second name for the previous file, so that it can be given back.
ReplaceFailure TargetReplacement::setAside(Step &step)
{
    const QString &target = step.output->m_target;
    if (!QFileInfo::exists(target))
        return ReplaceFailure{};
    const QString backup = OutputFile::unusedTemporaryName(target);
    if (backup.isEmpty() || !step.backupCleanup.add(backup))
        return failed(step, QStringLiteral("no free temporary name in its folder"));
    const QString cause = PlatformFile::KeepAside(target, backup, &step.movedAside);
    if (!cause.isEmpty()) {
        step.backupCleanup.forget();
        step.movedAside = false;
        return failed(step, cause);
    }
    step.backup = backup;
    return ReplaceFailure{};
}

ReplaceFailure TargetReplacement::place(Step &step)
{
    const QString temporary = step.output->m_file.fileName();
    if (!QFileInfo::exists(temporary))
        return failed(step,
                      QStringLiteral("its temporary file %1 was removed by another program").arg(Quoted(temporary)));
    const QString cause = m_rename(temporary, step.output->m_target);
    if (!cause.isEmpty())
        return failed(step, cause);
    step.placed = true;
    step.output->m_placed = true;
    step.output->m_fileCleanup.forget();
    return ReplaceFailure{};
}

ReplaceFailure TargetReplacement::failed(const Step &step, const QString &cause)
{
    const QString notRestored = rollBack();
    return ReplaceFailure{step.output, cause, notRestored};
}

// Every target gets its previous file back, or, when it had none, loses the
// new one. Returns what could not be undone, naming where each file is.
QString TargetReplacement::rollBack()
{
    QStringList notRestored;
    for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
        const QString left = restore(*step);
        if (!left.isEmpty())
            notRestored << left;
    }
    return notRestored.join(QStringLiteral("; "));
}

QString TargetReplacement::restore(Step &step)
{
    const QString target = Quoted(step.output->m_target);
    QString left;
    if (!step.backup.isEmpty() && (step.placed || step.movedAside)) {
        const QString cause = m_rename(step.backup, step.output->m_target);
        if (!cause.isEmpty()) {
            // The only copy of the previous file: it stays where it is.
            step.backupCleanup.forget();
            return QStringLiteral("%1 %2; its previous file is kept as %3 (%4)")
                .arg(target, step.placed ? QStringLiteral("holds the new file") : QStringLiteral("is missing"),
                     Quoted(step.backup), cause);
        }
    } else if (step.placed) {
        const QString cause = PlatformFile::RemoveFile(step.output->m_target);
        if (!cause.isEmpty())
            left = QStringLiteral("%1 holds the new file; there was none before (%2)").arg(target, cause);
    } else if (!step.backup.isEmpty()) {
        PlatformFile::RemoveFile(step.backup);
    }
    step.backupCleanup.forget();
    step.backup.clear();
    return left;
}

void TargetReplacement::finish()
{
    QSet<QString> folders;
    for (Step &step : m_steps) {
        if (!step.backup.isEmpty())
            PlatformFile::RemoveFile(step.backup);
        step.backupCleanup.forget();
        folders.insert(QFileInfo(step.output->m_target).absolutePath());
    }
    for (const QString &folder : std::as_const(folders))
        PlatformFile::SyncFolder(folder);
}
