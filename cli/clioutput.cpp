#include "clioutput.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

QTextStream &StandardOutput()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &StandardError()
{
    static QTextStream stream(stderr);
    return stream;
}

bool WriteStandardOutput(const QByteArray &bytes)
{
    StandardOutput().flush();
    QFile output;
    return output.open(stdout, QIODevice::WriteOnly) && output.write(bytes) == bytes.size() && output.flush();
}

void PrintError(const QString &message)
{
    StandardOutput().flush();
    StandardError() << QCoreApplication::applicationName() << ": " << message << '\n';
    StandardError().flush();
}

void PrintWarning(const QString &message)
{
    PrintError(QStringLiteral("warning: ") + message);
}

int UsageError(const QString &message, const QString &command)
{
    PrintError(message);
    const QString help = command.isEmpty() ? QStringLiteral("--help") : command + QStringLiteral(" --help");
    StandardError() << "Try '" << QCoreApplication::applicationName() << ' ' << help << "' for more information.\n";
    StandardError().flush();
    return ExitUsage;
}
