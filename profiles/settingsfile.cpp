#include "settingsfile.h"

#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

QString TooLargeText()
{
    return QStringLiteral("larger than %1 MiB, more than a settings file holds")
        .arg(MaxSettingsFileSize / (1024 * 1024));
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Nothing under the name, not even a dangling link, given the cause the open
// failed with. A name that cannot be looked up at all (too long, a file used
// as a folder) is not "missing": that cause says more.
bool IsMissing(const QString &path, const QString &cause)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink() || cause == SystemText(ENAMETOOLONG))
        return false;
    // The folder as named, not cleaned: a name too long stays too long.
    return cause == SystemText(ENOENT) || QFileInfo(info.path()).isDir();
}

} // namespace

SettingsFileRead ReadSettingsFile(const QString &path)
{
    SettingsFileRead read;
    QFile file;
    read.error = OpenRegularFile(file, path);
    if (!read.error.isEmpty()) {
        read.found = !IsMissing(path, read.error);
        return read;
    }
    // To its end or one byte past the limit, in pieces, so that a small file
    // reserves no more than it needs.
    constexpr qint64 Piece = 64 * 1024;
    while (read.bytes.size() <= MaxSettingsFileSize) {
        const QByteArray piece = file.read(qMin(Piece, MaxSettingsFileSize + 1 - read.bytes.size()));
        if (piece.isEmpty())
            break;
        read.bytes += piece;
    }
    if (file.error() != QFileDevice::NoError)
        read.error = file.errorString();
    else if (read.bytes.size() > MaxSettingsFileSize)
        read.error = TooLargeText();
    if (!read.error.isEmpty())
        read.bytes.clear();
    return read;
}
