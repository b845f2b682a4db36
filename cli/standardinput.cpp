#include "standardinput.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

bool IsStandardInput(const QString &path)
{
    return path == QLatin1String("-") || path == QLatin1String("/dev/stdin");
}

QString OpenStandardInput(QFile &file)
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    if (!file.open(stdin, QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}
