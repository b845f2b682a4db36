#include "outputfile.h"

#include "deviceio.h"
#include "interruptcleanup.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <system_error>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace {
constexpr int MaxLinkDepth = 40;
constexpr int TemporaryNameTries = 100;
constexpr int RandomPartLength = 6;

#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseSensitive;
#endif

// Where a file of the target's folder and name is kept while it is written
// or set aside: hidden, and marked as ours by its suffix.
QString temporaryName(const QString &target)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString random;
    for (int i = 0; i < RandomPartLength; ++i)
        random += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') + random
        + QStringLiteral(".tmp");
}

// A name of that form that no file has yet; empty when none was found.
QString unusedTemporaryName(const QString &target)
{
    for (int i = 0; i < TemporaryNameTries; ++i) {
        const QString name = temporaryName(target);
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink())
            return name;
    }
    return QString();
}

QString systemMessage(int code)
{
    return QString::fromStdString(std::system_category().message(code));
}

#ifdef Q_OS_WIN
std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Replaces an existing file; the name change reaches the disk before it returns.
QString renameReplacing(const QString &from, const QString &to)
{
    if (MoveFileExW(nativeName(from).c_str(), nativeName(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return QString();
    return systemMessage(int(GetLastError()));
}

// Moved: a file open elsewhere without sharing refuses here, before any
// target has been replaced.
QString keepAside(const QString &target, const QString &backup, bool *moved)
{
    *moved = true;
    return renameReplacing(target, backup);
}

QString syncHandle(int descriptor)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle))
        return QString();
    return systemMessage(int(GetLastError()));
}

// NTFS journals its names; MOVEFILE_WRITE_THROUGH waited for them.
void syncFolder(const QString &) {}
#else
QString renameReplacing(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return QString();
    return systemMessage(errno);
}

// A second name for the previous file keeps the target in place meanwhile;
// where the file system has no hard links it is moved aside instead.
QString keepAside(const QString &target, const QString &backup, bool *moved)
{
    *moved = false;
    if (::link(QFile::encodeName(target).constData(), QFile::encodeName(backup).constData()) == 0)
        return QString();
    *moved = true;
    return renameReplacing(target, backup);
}

QString syncHandle(int descriptor)
{
    return ::fsync(descriptor) == 0 ? QString() : systemMessage(errno);
}

void syncFolder(const QString &folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}
#endif

bool removeFile(const QString &path)
{
    return QFile::remove(path);
}

// Why nothing can be written in a folder (QLockFile does not say): the
// cause met when a small file is made there, or an empty text.
QString folderWriteProblem(const QString &target)
{
    const QString name = unusedTemporaryName(target);
    QFile probe(name);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return probe.errorString();
    const QByteArray bytes(256, '\0');
    const QString cause = WriteAll(&probe, bytes.constData(), bytes.size()) ? QString() : probe.errorString();
    probe.close();
    probe.remove();
    return cause;
}
} // namespace

OutputFile::OutputFile(const QString &path) : m_path(path) {}

OutputFile::~OutputFile()
{
    if (!m_file.fileName().isEmpty() && !m_placed) {
        m_file.close();
        InterruptCleanup::forget(m_file.fileName());
        removeFile(m_file.fileName());
    }
    if (m_lock && m_lock->isLocked())
        InterruptCleanup::forget(m_lockPath);
}

QString OutputFile::check()
{
    if (m_path.isEmpty())
        return QStringLiteral("no path given");
    m_target = QFileInfo(m_path).absoluteFilePath();
    for (int depth = 0; QFileInfo(m_target).isSymbolicLink(); ++depth) {
        if (depth == MaxLinkDepth)
            return QStringLiteral("too many levels of symbolic links");
        m_target = QFileInfo(m_target).symLinkTarget();
    }
    const QFileInfo target(m_target);
    if (target.exists()) {
        if (target.isDir())
            return QStringLiteral("is a folder");
        if (!target.isFile())
            return QStringLiteral("is not a regular file");
        if (!target.isWritable())
            return QStringLiteral("cannot be replaced: Permission denied");
    }
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("cannot be written: its folder \"%1\" does not exist").arg(folder.filePath());
    m_targetKey = QDir(folder.canonicalFilePath()).filePath(target.fileName());
    return QString();
}

bool OutputFile::sameTarget(const OutputFile &other) const
{
    const FileIdentity mine = targetIdentity();
    const FileIdentity theirs = other.targetIdentity();
    if (mine.isValid() || theirs.isValid())
        return mine == theirs;
    return m_targetKey.compare(other.m_targetKey, FileNameCase) == 0;
}

QString OutputFile::lock()
{
    const QFileInfo target(m_target);
    m_lockPath = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".lock");
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a lock whose process has ended is stale: a long run keeps its own.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        InterruptCleanup::add(m_lockPath);
        return QString();
    }
    if (m_lock->error() == QLockFile::LockFailedError)
        return QStringLiteral("is being written by another conversion");
    const QString cause = folderWriteProblem(m_target);
    return QStringLiteral("cannot be written: no lock file can be made beside it (%1)")
        .arg(cause.isEmpty() ? QStringLiteral("Permission denied") : cause);
}

QString OutputFile::create()
{
    const QString name = unusedTemporaryName(m_target);
    if (name.isEmpty())
        return QStringLiteral("cannot be written: no free temporary name in its folder");
    if (!InterruptCleanup::add(name))
        return QStringLiteral("cannot be written: its temporary name is too long");
    m_file.setFileName(name);
    // Unbuffered: every write meets its failure itself, with the cause.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        InterruptCleanup::forget(name);
        const QString cause = failure(QStringLiteral("cannot create a file in its folder"));
        m_file.setFileName(QString());
        return QStringLiteral("cannot be written: ") + cause;
    }
    // A replaced file keeps its permissions; a new one gets the usual ones.
    const QFileInfo target(m_target);
    if (target.exists())
        m_file.setPermissions(target.permissions());
    return QString();
}

QString OutputFile::sync()
{
    if (!m_file.flush())
        return failure(QStringLiteral("the data could not be written"));
    return syncHandle(m_file.handle());
}

QString OutputFile::failure(const QString &fallback) const
{
    return m_file.error() == QFileDevice::NoError ? fallback : m_file.errorString();
}

ReplaceFailure ReplaceTargets(const std::vector<OutputFile *> &outputs)
{
    struct Step
    {
        OutputFile *output;
        QString backup; // the previous file, when there was one
        bool movedAside = false;
        bool placed = false;
    };
    std::vector<Step> steps;
    for (OutputFile *output : outputs)
        steps.push_back({output, QString(), false, false});

    // Give every target its previous file back, and remove the new ones.
    const auto undo = [&steps]() {
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
            const QString &target = step->output->m_target;
            if (step->placed || step->movedAside) {
                if (!step->backup.isEmpty())
                    renameReplacing(step->backup, target);
                else
                    removeFile(target);
            } else if (!step->backup.isEmpty()) {
                removeFile(step->backup);
            }
            if (!step->backup.isEmpty())
                InterruptCleanup::forget(step->backup);
        }
    };
    const auto failed = [&undo](const OutputFile *output, const QString &cause) {
        undo();
        return ReplaceFailure{output, cause};
    };

    InterruptCleanup::Deferral deferral;
    for (Step &step : steps) {
        step.output->m_file.close();
        if (step.output->m_file.error() != QFileDevice::NoError)
            return failed(step.output, step.output->m_file.errorString());
    }
    for (Step &step : steps) {
        if (!QFileInfo::exists(step.output->m_target))
            continue;
        step.backup = unusedTemporaryName(step.output->m_target);
        if (step.backup.isEmpty() || !InterruptCleanup::add(step.backup))
            return failed(step.output, QStringLiteral("no free temporary name in its folder"));
        const QString cause = keepAside(step.output->m_target, step.backup, &step.movedAside);
        if (!cause.isEmpty()) {
            InterruptCleanup::forget(step.backup);
            step.backup.clear();
            step.movedAside = false;
            return failed(step.output, cause);
        }
    }
    for (Step &step : steps) {
        const QString &temporary = step.output->m_file.fileName();
        if (!QFileInfo::exists(temporary))
            return failed(step.output, QStringLiteral("its temporary file \"%1\" was removed by another program")
                                           .arg(temporary));
        const QString cause = renameReplacing(temporary, step.output->m_target);
        if (!cause.isEmpty())
            return failed(step.output, cause);
        step.placed = true;
        step.output->m_placed = true;
        InterruptCleanup::forget(temporary);
    }

    QSet<QString> folders;
    for (Step &step : steps) {
        if (!step.backup.isEmpty()) {
            removeFile(step.backup);
            InterruptCleanup::forget(step.backup);
        }
        folders.insert(QFileInfo(step.output->m_target).absolutePath());
    }
    for (const QString &folder : std::as_const(folders))
        syncFolder(folder);
    return ReplaceFailure{};
}
