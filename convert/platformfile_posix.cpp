#include "platformfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PlatformFile {

namespace {
constexpr int LockReadLimit = 256;

QString systemMessage(int code)
{
    return QString::fromStdString(std::system_category().message(code));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileIdentity identityOf(const struct stat &status)
{
    return FileIdentity(quint64(status.st_dev), quint64(status.st_ino));
}

qint64 ageMs(const struct stat &status)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (nanoseconds(now) - nanoseconds(status.st_mtim)) / 1000000;
}

// Writes all of contents, retrying short writes; the cause of a failure, or empty.
QString writeWhole(int descriptor, const QByteArray &contents)
{
    qint64 done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(descriptor, contents.constData() + done, size_t(contents.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return systemMessage(n < 0 ? errno : ENOSPC);
        done += n;
    }
    return ::fsync(descriptor) == 0 ? QString() : systemMessage(errno);
}
} // namespace

QString RenameReplacing(const QString &from, const QString &to)
{
    if (std::rename(native(from).constData(), native(to).constData()) == 0)
        return QString();
    return systemMessage(errno);
}

QString KeepAside(const QString &target, const QString &backup, bool *moved)
{
    *moved = false;
    if (::link(native(target).constData(), native(backup).constData()) == 0)
        return QString();
    *moved = true;
    return RenameReplacing(target, backup);
}

QString RemoveFile(const QString &path)
{
    return ::unlink(native(path).constData()) == 0 ? QString() : systemMessage(errno);
}

QString SyncDescriptor(int descriptor)
{
    return ::fsync(descriptor) == 0 ? QString() : systemMessage(errno);
}

void SyncFolder(const QString &folder)
{
    const int descriptor = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

QString LookUpProblem(const QString &path)
{
    struct stat status;
    if (::stat(native(path).constData(), &status) == 0 || errno == ENOENT)
        return QString();
    return systemMessage(errno);
}

ContentState ContentStateOf(int descriptor)
{
    struct stat status;
    ContentState state;
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0)
        return state;
    state.identity = identityOf(status);
    state.size = qint64(status.st_size);
    state.modified = nanoseconds(status.st_mtim);
    state.changed = nanoseconds(status.st_ctim);
    state.valid = true;
    return state;
}

LockCreation CreateLockFile(const QString &path, const QByteArray &contents)
{
    LockCreation creation;
    const int descriptor = ::open(native(path).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        creation.outcome = errno == EEXIST ? LockCreation::Exists : LockCreation::Failed;
        creation.cause = systemMessage(errno);
        return creation;
    }
    struct stat status;
    creation.cause = ::fstat(descriptor, &status) == 0 ? writeWhole(descriptor, contents) : systemMessage(errno);
    if (!creation.cause.isEmpty()) {
        ::unlink(native(path).constData());
        ::close(descriptor);
        return creation;
    }
    creation.outcome = LockCreation::Created;
    creation.identity = identityOf(status);
    creation.handle = descriptor;
    return creation;
}

void CloseLockFile(qintptr handle)
{
    if (handle >= 0)
        ::close(int(handle));
}

LockEntry ExamineLock(const QString &path)
{
    LockEntry entry;
    struct stat status;
    if (::lstat(native(path).constData(), &status) != 0)
        return entry;
    entry.kind = S_ISREG(status.st_mode) ? LockEntry::RegularFile : LockEntry::Other;
    entry.identity = identityOf(status);
    entry.ageMs = ageMs(status);
    if (entry.kind != LockEntry::RegularFile)
        return entry;
    const int descriptor = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return entry;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && identityOf(status) == entry.identity) {
        char bytes[LockReadLimit];
        const ssize_t n = ::read(descriptor, bytes, sizeof bytes);
        entry.contents = QByteArray(bytes, n > 0 ? int(n) : 0);
    }
    ::close(descriptor);
    return entry;
}

bool RemoveLockIfSame(const QString &path, const FileIdentity &identity)
{
    struct stat status;
    if (::lstat(native(path).constData(), &status) != 0 || identityOf(status) != identity)
        return false;
    return ::unlink(native(path).constData()) == 0;
}

qint64 CurrentProcessId()
{
    return qint64(::getpid());
}

bool ProcessMayBeRunning(qint64 processId)
{
    if (processId <= 0 || processId != qint64(pid_t(processId)))
        return false;
    return ::kill(pid_t(processId), 0) == 0 || errno != ESRCH;
}

} // namespace PlatformFile
