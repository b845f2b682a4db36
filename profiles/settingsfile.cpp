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
    // Read one byte past the limit, so that a file still growing is caught too.
    read.bytes = file.read(MaxSettingsFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        read.error = file.errorString();
    else if (read.bytes.size() > MaxSettingsFileSize)
        read.error = TooLargeText();
    if (!read.error.isEmpty())
        read.bytes.clear();
    return read;
}
