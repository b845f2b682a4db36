#include "platformfile.h"

#include "systemmessage.h"

#include <QDir>

#include <io.h>
#include <windows.h>

#include <string>

namespace PlatformFile {

namespace {
constexpr int LockReadLimit = 256;
constexpr qint64 HundredNanoseconds = 100;
constexpr qint64 FileTimeTicksPerMs = 10000;

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

qint64 ticks(const LARGE_INTEGER &time)
{
    return qint64(time.QuadPart);
}

FileIdentity identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return FileIdentity();
    return FileIdentity(info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

// Opens what stands at path itself, a link or junction included, for
// looking at and, when asked, deleting; never waits on it.
HANDLE openEntry(const QString &path, DWORD access)
{
    return CreateFileW(nativeName(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool isRegularFile(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tags;
    if (GetFileType(handle) != FILE_TYPE_DISK
        || !GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tags, sizeof tags))
        return false;
    return !(tags.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

qint64 ageMs(HANDLE handle)
{
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const qint64 nowTicks = qint64((quint64(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return (nowTicks - ticks(basic.LastWriteTime)) / FileTimeTicksPerMs;
}
} // namespace

QString RenameReplacing(const QString &from, const QString &to)
{
    if (MoveFileExW(nativeName(from).c_str(), nativeName(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return QString();
    return SystemMessage(GetLastError());
}

// Moved: a file open elsewhere without sharing refuses here, before any
// target has been replaced.
QString KeepAside(const QString &target, const QString &backup, bool *moved)
{
    *moved = true;
    return RenameReplacing(target, backup);
}

QString RemoveFile(const QString &path)
{
    return DeleteFileW(nativeName(path).c_str()) ? QString() : SystemMessage(GetLastError());
}

QString SyncDescriptor(int descriptor)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle))
        return QString();
    return SystemMessage(GetLastError());
}

// NTFS journals its names; MOVEFILE_WRITE_THROUGH waited for them.
void SyncFolder(const QString &) {}

QString LookUpProblem(const QString &path)
{
    if (GetFileAttributesW(nativeName(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return QString();
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? QString() : SystemMessage(code);
}

ContentState ContentStateOf(int descriptor)
{
    ContentState state;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    FILE_BASIC_INFO basic;
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)
        || !GetFileSizeEx(handle, &size))
        return state;
    state.identity = identityOf(handle);
    state.size = qint64(size.QuadPart);
    state.modified = ticks(basic.LastWriteTime) * HundredNanoseconds;
    state.changed = ticks(basic.ChangeTime) * HundredNanoseconds;
    state.valid = state.identity.isValid();
    return state;
}

LockCreation CreateLockFile(const QString &path, const QByteArray &contents)
{
    LockCreation creation;
    const HANDLE handle =
        CreateFileW(nativeName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // A folder there may be reported as access denied: what is there decides.
        const bool there = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS
                           || GetFileAttributesW(nativeName(path).c_str()) != INVALID_FILE_ATTRIBUTES;
        creation.outcome = there ? LockCreation::Exists : LockCreation::Failed;
        creation.cause = SystemMessage(code);
        return creation;
    }
    DWORD written = 0;
    const bool whole = WriteFile(handle, contents.constData(), DWORD(contents.size()), &written, nullptr)
                       && written == DWORD(contents.size()) && FlushFileBuffers(handle);
    const DWORD code = GetLastError();
    creation.identity = identityOf(handle);
    if (!whole || !creation.identity.isValid()) {
        DeleteFileW(nativeName(path).c_str());
        CloseHandle(handle);
        creation.cause = SystemMessage(whole ? ERROR_INVALID_FUNCTION : code);
        return creation;
    }
    creation.outcome = LockCreation::Created;
    creation.handle = reinterpret_cast<qintptr>(handle);
    return creation;
}

void CloseLockFile(qintptr handle)
{
    if (handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

LockEntry ExamineLock(const QString &path)
{
    LockEntry entry;
    const HANDLE handle = openEntry(path, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
            entry.kind = LockEntry::Other; // there, but it cannot be looked at
        return entry;
    }
    entry.kind = isRegularFile(handle) ? LockEntry::RegularFile : LockEntry::Other;
    entry.identity = identityOf(handle);
    entry.ageMs = ageMs(handle);
    if (entry.kind == LockEntry::RegularFile) {
        char bytes[LockReadLimit];
        DWORD n = 0;
        if (!ReadFile(handle, bytes, sizeof bytes, &n, nullptr))
            n = 0;
        entry.contents = QByteArray(bytes, int(n));
    }
    CloseHandle(handle);
    return entry;
}

bool RemoveLockIfSame(const QString &path, const FileIdentity &identity)
{
    const HANDLE handle = openEntry(path, DELETE);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    const bool removed = identityOf(handle) == identity
                         && SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(handle);
    return removed;
}

qint64 CurrentProcessId()
{
    return qint64(GetCurrentProcessId());
}

bool ProcessMayBeRunning(qint64 processId)
{
    if (processId <= 0 || processId > qint64(MAXDWORD))
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD exitCode = 0;
    const bool running = !GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

} // namespace PlatformFile
