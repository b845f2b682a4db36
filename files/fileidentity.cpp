#include "fileidentity.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QString>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>

#include <string>
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

#ifdef Q_OS_WIN

// The volume serial number and the file index, not the drive: one volume
// reached through two drive letters (SUBST, mapped drives, Wine's C: and Z:)
// gives one identity.
FileIdentity identityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info))
        return FileIdentity();
    return FileIdentity(info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

// The name QFile opens for a path: made absolute and normalised (".", "..",
// trailing dots and spaces), then given the \\?\ prefix that lifts the
// MAX_PATH limit.
std::wstring openedName(const QString &path)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    if (native.rfind(L"\\\\.\\", 0) == 0 || native.rfind(L"\\\\?\\", 0) == 0)
        return native;
    DWORD size = GetFullPathNameW(native.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return native;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(native.c_str(), size, &full[0], nullptr);
    full.resize(size);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

#else

FileIdentity identityOfStatus(const struct stat &status)
{
    return FileIdentity(quint64(status.st_dev), quint64(status.st_ino));
}

#endif

} // namespace

#ifdef Q_OS_WIN

FileIdentity FileIdentity::ofOpenFile(const QFileDevice &file)
{
    const int descriptor = file.handle();
    if (descriptor < 0)
        return FileIdentity();
    return identityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)));
}

FileIdentity FileIdentity::ofPath(const QString &path)
{
    if (path.isEmpty())
        return FileIdentity();
    // Attribute access only: allowed on read-only and locked files, and it
    // shares everything, so no other program's open is disturbed. Backup
    // semantics let a folder be opened too.
    const HANDLE handle = CreateFileW(openedName(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FileIdentity();
    const FileIdentity identity = identityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

#else

FileIdentity FileIdentity::ofOpenFile(const QFileDevice &file)
{
    struct stat status;
    const int descriptor = file.handle();
    if (descriptor < 0 || fstat(descriptor, &status) != 0)
        return FileIdentity();
    return identityOfStatus(status);
}

// stat() gives what fstat() on the opened path would, without opening it:
// no read permission needed, no FIFO to block on, no device to wake.
FileIdentity FileIdentity::ofPath(const QString &path)
{
    struct stat status;
    if (path.isEmpty() || stat(QFile::encodeName(path).constData(), &status) != 0)
        return FileIdentity();
    return identityOfStatus(status);
}

#endif
