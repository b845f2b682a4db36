#include "standardinput.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {
constexpr int StandardInputDescriptor = 0; // the C runtime's stdin, on every system
}

bool IsStandardInput(const QString &path)
{
    return path == QLatin1String("-") || path == QLatin1String("/dev/stdin");
}

QString StandardInputDevice::openInput()
{
#ifdef Q_OS_WIN
    _setmode(StandardInputDescriptor, _O_BINARY);
#endif
    if (!m_file.open(StandardInputDescriptor, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return m_file.errorString();
    QIODevice::open(QIODevice::ReadOnly);
    return QString();
}

qint64 StandardInputDevice::readData(char *data, qint64 maxSize)
{
    const qint64 read = m_file.read(data, maxSize);
    if (read < 0)
        setErrorString(m_file.errorString());
    else if (read == 0)
        m_ended = true;
    return read;
}
