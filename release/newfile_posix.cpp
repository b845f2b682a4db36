#include "newfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t OwnerOnlyMode = S_IRUSR | S_IWUSR;
constexpr mode_t UsualMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;

QString systemCause(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString writeAll(int descriptor, const QByteArray &contents)
{
    const char *data = contents.constData();
    qint64 left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(descriptor, data, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? systemCause(errno) : QStringLiteral("a write was cut short");
        data += n;
        left -= n;
    }
    return ::fsync(descriptor) == 0 ? QString() : systemCause(errno);
}
} // namespace

QString CreateNewFile(const QString &path, const QByteArray &contents, bool ownerOnly)
{
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL never follows a link and fails on anything already there.
    const int descriptor = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                                  ownerOnly ? OwnerOnlyMode : UsualMode);
    if (descriptor < 0)
        return systemCause(errno);
    QString cause = writeAll(descriptor, contents);
    if (::close(descriptor) != 0 && cause.isEmpty())
        cause = systemCause(errno);
    if (!cause.isEmpty())
        ::unlink(name.constData());
    return cause;
}
