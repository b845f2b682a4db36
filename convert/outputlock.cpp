#include "outputlock.h"

#include "messagetext.h"
#include "platformfile.h"

#include <QFileInfo>
#include <QList>
#include <QSysInfo>

namespace {
// A lock being made is empty for a moment; one that stays unreadable longer
// was left by a run that never finished writing it.
constexpr qint64 UnreadableLockGraceMs = 2000;
constexpr int LockOwnerLines = 3; // process number, program, host

QByteArray ownerText()
{
    return QByteArray::number(PlatformFile::CurrentProcessId()) + "\nvandrel\n"
           + QSysInfo::machineHostName().toUtf8() + '\n';
}

// Whether a readable lock names a process that may still be writing.
bool ownerMayBeRunning(const QByteArray &contents, bool *readable)
{
    const QList<QByteArray> lines = contents.split('\n');
    bool isNumber = false;
    const qint64 processId = lines.value(0).toLongLong(&isNumber);
    *readable = isNumber && processId > 0 && lines.size() >= LockOwnerLines;
    if (!*readable)
        return false;
    // A process on another host cannot be asked.
    if (QString::fromUtf8(lines.at(2)) != QSysInfo::machineHostName())
        return true;
    return PlatformFile::ProcessMayBeRunning(processId);
}
} // namespace

QString OutputLock::pathFor(const QString &target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock");
}

QString OutputLock::take(const QString &path)
{
    release();
    m_path = path;
    // Registered before it exists, and interrupts held until it is made or
    // forgotten: an interrupt leaves neither our lock behind nor removes
    // another run's.
    const InterruptCleanup::Hold hold;
    if (!m_cleanup.add(path))
        return QStringLiteral("cannot be written: no room to register its lock file %1").arg(Quoted(path));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const PlatformFile::LockCreation made = PlatformFile::CreateLockFile(path, ownerText());
        if (made.outcome == PlatformFile::LockCreation::Created) {
            m_identity = made.identity;
            m_handle = made.handle;
            m_held = true;
            return QString();
        }
        if (made.outcome == PlatformFile::LockCreation::Failed) {
            m_cleanup.forget();
            return QStringLiteral("cannot be written: no lock file can be made beside it (%1)").arg(made.cause);
        }
        if (!takeOverIfStale())
            break;
    }
    m_cleanup.forget();
    return busy();
}

bool OutputLock::takeOverIfStale()
{
    const PlatformFile::LockEntry entry = PlatformFile::ExamineLock(m_path);
    if (entry.kind == PlatformFile::LockEntry::Absent)
        return true;
    if (entry.kind != PlatformFile::LockEntry::RegularFile)
        return false;
    bool readable = false;
    if (ownerMayBeRunning(entry.contents, &readable))
        return false;
    if (!readable && entry.ageMs < UnreadableLockGraceMs)
        return false;
    // Only the file looked at: a run that took it over meanwhile keeps its own.
    return PlatformFile::RemoveLockIfSame(m_path, entry.identity);
}

QString OutputLock::busy() const
{
    return QStringLiteral("is being written by another conversion "
                          "(lock file %1; remove it if no conversion is running)")
        .arg(Quoted(m_path));
}

void OutputLock::release()
{
    // Removed while still open: until then no other file can take its identity.
    if (m_held)
        PlatformFile::RemoveLockIfSame(m_path, m_identity);
    PlatformFile::CloseLockFile(m_handle);
    m_handle = -1;
    m_held = false;
    m_cleanup.forget();
}
