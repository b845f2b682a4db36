#include "consoledevice.h"

#include <QString>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The console behind a stream, or null when the stream goes to a pipe or a
// file (GetConsoleMode fails on those).
void *ConsoleOf(FILE *stream)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

bool WriteToConsole(void *console, const QString &text)
{
    const wchar_t *next = reinterpret_cast<const wchar_t *>(text.utf16());
    qint64 left = text.size();
    while (left > 0) {
        DWORD written = 0;
        // Large writes can fail on older consoles; pieces of 8 K characters do not.
        const DWORD piece = DWORD(qMin<qint64>(left, 8192));
        if (!WriteConsoleW(static_cast<HANDLE>(console), next, piece, &written, nullptr) || written == 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}
#endif

} // namespace

ConsoleDevice::ConsoleDevice(FILE *stream, QObject *parent)
    : QIODevice(parent), m_stream(stream)
{
#ifdef Q_OS_WIN
    m_console = ConsoleOf(stream);
    // Binary mode: no LF to CR LF translation, so a pipe gets the bytes as on Linux.
    if (!m_console)
        _setmode(_fileno(stream), _O_BINARY);
#endif
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 ConsoleDevice::readData(char *, qint64)
{
    return -1;
}

qint64 ConsoleDevice::writeData(const char *data, qint64 size)
{
#ifdef Q_OS_WIN
    if (m_console) {
        if (WriteToConsole(m_console, QString::fromUtf8(data, int(size))))
            return size;
        setErrorString(QStringLiteral("cannot write to the console"));
        return -1;
    }
#endif
    // Flushed at once, so that stdout and stderr keep their order.
    if (std::fwrite(data, 1, size_t(size), m_stream) != size_t(size) || std::fflush(m_stream) != 0) {
        // The cause, such as a full disk behind a redirection.
        m_closedByReader = errno == EPIPE;
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    return size;
}
