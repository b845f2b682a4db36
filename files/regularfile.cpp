#include "regularfile.h"

#include "systemmessage.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QDir>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

QString NotRegularFileText()
{
    return QStringLiteral("not a regular file");
}

#ifdef Q_OS_WIN

namespace {

bool IsRegularFile(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)
           && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

QString OpenRegularFile(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    const bool write = mode & QIODevice::WriteOnly;
    // Backup semantics open a folder too, so that it is refused by what it is
    // rather than by a permission message.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ | (write ? GENERIC_WRITE : 0),
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return SystemMessage(GetLastError());
    if (!IsRegularFile(handle)) {
        CloseHandle(handle);
        return NotRegularFileText();
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), (write ? _O_RDWR : _O_RDONLY) | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return QStringLiteral("cannot open the file");
    }
    if (!file.open(descriptor, mode, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        return file.errorString();
    }
    return QString();
}

#else

QString OpenRegularFile(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    const bool write = mode & QIODevice::WriteOnly;
    const int descriptor = ::open(QFile::encodeName(path).constData(),
                                  (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return NotRegularFileText();
    }
    // Non-blocking mattered only for the open; reads of a regular file block anyway.
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(descriptor, mode, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return file.errorString();
    }
    return QString();
}

#endif
