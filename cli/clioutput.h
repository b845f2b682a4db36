#ifndef VANDREL_CLI_CLIOUTPUT_H
#define VANDREL_CLI_CLIOUTPUT_H

#include <QString>
#include <QTextStream>

// Exit statuses of every command.
enum ExitStatus {
    ExitSuccess = 0,
    ExitFailure = 1, // the conversion failed, or a check did not hold
    ExitUsage = 2,   // bad command line, or a file that cannot be read
};

// UTF-8 with LF line ends to a pipe or file, on every platform; wide text
// to a Windows console, which shows it whatever its code page.
QTextStream &StandardOutput();
QTextStream &StandardError();

// UTF-8 bytes (JSON) on stdout, after any text already queued: as they are
// to a pipe or file, as wide text to a Windows console; false when they
// cannot be written, with the cause in error when given.
bool WriteStandardOutput(const QByteArray &bytes, QString *error = nullptr);

// "vandrel-cli: message" on stderr.
void PrintError(const QString &message);

// "vandrel-cli: warning: message" on stderr.
void PrintWarning(const QString &message);

// PrintError, then where to find the usage; returns ExitUsage.
int UsageError(const QString &message, const QString &command = QString());

#endif
