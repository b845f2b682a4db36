#include "clioutput.h"

#include "consoledevice.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// A text stream on stdout or stderr: UTF-8 into the device, which hands it
// on as a Windows console or a pipe needs it.
class ConsoleStream
{
public:
    explicit ConsoleStream(FILE *file) : m_device(file), m_stream(&m_device)
    {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        m_stream.setCodec("UTF-8"); // Qt 6 streams write UTF-8 by default
#endif
    }

    QTextStream &stream() { return m_stream; }
    const ConsoleDevice &device() const { return m_device; }

private:
    ConsoleDevice m_device;
    QTextStream m_stream;
};


ConsoleStream &outputStream()
{
    static ConsoleStream output(stdout);
    return output;
}
} // namespace

QTextStream &StandardOutput()
{
    return outputStream().stream();
}

QTextStream &StandardError()
{
    static ConsoleStream error(stderr);
    return error.stream();
}

bool WriteStandardOutput(const QByteArray &bytes, QString *error)
{
    // Through the same device: a pipe gets the bytes, a console wide text.
    QTextStream &stream = StandardOutput();
    stream.flush();
    if (stream.status() == QTextStream::Ok && stream.device()->write(bytes) == bytes.size())
        return true;
    if (error)
        *error = stream.device()->errorString();
    return false;
}

bool StandardOutputClosedByReader()
{
    return outputStream().device().closedByReader();
}

int FinishStandardOutput()
{
    QTextStream &stream = StandardOutput();
    stream.flush();
    if (stream.status() == QTextStream::Ok)
        return ExitSuccess;
    if (StandardOutputClosedByReader())
        return ExitClosedPipe;
    PrintError(QStringLiteral("cannot write to the standard output: %1").arg(stream.device()->errorString()));
    return ExitFailure;
}

int PrintJsonDocument(const QByteArray &json)
{
    QString error;
    if (WriteStandardOutput(json, &error))
        return ExitSuccess;
    if (StandardOutputClosedByReader())
        return ExitClosedPipe;
    PrintError(QStringLiteral("cannot write to the standard output: %1").arg(error));
    return ExitFailure;
}

int PrintStandardOutput(const QString &text)
{
    StandardOutput() << text;
    return FinishStandardOutput();
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
    // A line of its own, in the program's voice like every other.
    StandardError() << QCoreApplication::applicationName() << ": try '" << QCoreApplication::applicationName() << ' '
                    << help << "' for more information\n";
    StandardError().flush();
    return ExitUsage;
}
