#include "outputfile.h"

#include "platformfile.h"
#include "regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {
constexpr int MaxLinkDepth = 40;
constexpr int TemporaryNameTries = 100;
constexpr int RandomPartLength = 6;
constexpr char TemporaryLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int TemporaryLetterCount = int(sizeof TemporaryLetters - 1);

#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseSensitive;
#endif

const QString TemporarySuffix = QStringLiteral(".tmp");

// Where a file of the target's folder and name is kept while it is written
// or set aside: hidden, and marked as ours by its suffix.
QString temporaryName(const QString &target)
{
    QString random;
    for (int i = 0; i < RandomPartLength; ++i)
        random += QLatin1Char(TemporaryLetters[QRandomGenerator::global()->bounded(TemporaryLetterCount)]);
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') + random
        + TemporarySuffix;
}

// The path with every symbolic link followed; empty when there are too many.
QString followLinks(const QString &path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; QFileInfo(target).isSymbolicLink(); ++depth) {
        if (depth == MaxLinkDepth)
            return QString();
        target = QFileInfo(target).symLinkTarget();
    }
    return target;
}
} // namespace

OutputFile::OutputFile(const QString &path) : m_path(path) {}

OutputFile::~OutputFile()
{
    if (!m_file.fileName().isEmpty() && !m_placed) {
        m_file.close();
        PlatformFile::RemoveFile(m_file.fileName());
    }
    m_fileCleanup.forget();
}

QString OutputFile::unusedTemporaryName(const QString &target)
{
    for (int i = 0; i < TemporaryNameTries; ++i) {
        const QString name = temporaryName(target);
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink())
            return name;
    }
    return QString();
}

bool OutputFile::isTemporaryName(const QString &fileName, const QString &targetName)
{
    const QString head = QLatin1Char('.') + targetName + QLatin1Char('.');
    if (fileName.size() != head.size() + RandomPartLength + TemporarySuffix.size()
        || !fileName.startsWith(head, FileNameCase) || !fileName.endsWith(TemporarySuffix, FileNameCase))
        return false;
    const QString random = fileName.mid(head.size(), RandomPartLength);
    for (const QChar c : random) {
        if (!QByteArray(TemporaryLetters).contains(char(c.toLatin1())) || c.unicode() > 0x7F)
            return false;
    }
    return true;
}

QString OutputFile::keyOf(const QString &path)
{
    const QFileInfo target(followLinks(path));
    const QString folder = QFileInfo(target.absolutePath()).canonicalFilePath();
    if (target.fileName().isEmpty() || folder.isEmpty())
        return QString();
    return QDir(folder).filePath(target.fileName());
}

QString OutputFile::check()
{
    if (m_path.isEmpty())
        return QStringLiteral("no path given");
    // What the path names now, links and all: /dev/stdout or /proc/self/fd/1
    // lead through a link that names no file (pipe:[...]) to a pipe, which
    // cannot be replaced, only written into.
    const QFileInfo given(m_path);
    if (given.exists() && !given.isDir() && !given.isFile())
        return QStringLiteral("is ") + NotRegularFileText();
    m_target = followLinks(m_path);
    if (m_target.isEmpty())
        return QStringLiteral("too many levels of symbolic links");
    const QFileInfo target(m_target);
    if (target.exists()) {
        if (target.isDir())
            return QStringLiteral("is a folder");
        if (!target.isFile())
            return QStringLiteral("is ") + NotRegularFileText();
        if (!target.isWritable())
            return QStringLiteral("cannot be replaced: Permission denied");
    }
    const QString unreachable = PlatformFile::LookUpProblem(m_target);
    if (!unreachable.isEmpty())
        return QStringLiteral("cannot be written: ") + unreachable;
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("cannot be written: its folder %1 does not exist")
            .arg(QLatin1Char('"') + folder.filePath() + QLatin1Char('"'));
    m_targetKey = keyOf(m_target);
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

QString OutputFile::reservationOf(const QString &key, const FileIdentity &identity) const
{
    if (key.isEmpty() || m_targetKey.isEmpty())
        return QString();
    const QString lock = lockPath();
    if (key.compare(lock, FileNameCase) == 0 || (identity.isValid() && identity == FileIdentity::ofPath(lock)))
        return QStringLiteral("lock file");
    const QFileInfo candidate(key);
    const QFileInfo target(m_targetKey);
    if (candidate.path().compare(target.path(), FileNameCase) == 0
        && isTemporaryName(candidate.fileName(), target.fileName()))
        return QStringLiteral("temporary file");
    return QString();
}

QString OutputFile::lock()
{
    return m_lock.take(lockPath());
}

QString OutputFile::create()
{
    const QString name = unusedTemporaryName(m_target);
    if (name.isEmpty())
        return QStringLiteral("cannot be written: no free temporary name in its folder");
    if (!m_fileCleanup.add(name))
        return QStringLiteral("cannot be written: its temporary name is too long");
    m_file.setFileName(name);
    // Unbuffered: every write meets its failure itself, with the cause.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_fileCleanup.forget();
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
    return PlatformFile::SyncDescriptor(m_file.handle());
}

QString OutputFile::failure(const QString &fallback) const
{
    return m_file.error() == QFileDevice::NoError ? fallback : m_file.errorString();
}
