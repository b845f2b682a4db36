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

QTextStream &StandardOutput();
QTextStream &StandardError();

// Bytes as they are (UTF-8 JSON) on stdout, after any text already queued;
// false when they cannot be written.
bool WriteStandardOutput(const QByteArray &bytes);

// "vandrel-cli: message" on stderr.
void PrintError(const QString &message);

// "vandrel-cli: warning: message" on stderr.
void PrintWarning(const QString &message);

// PrintError, then where to find the usage; returns ExitUsage.
int UsageError(const QString &message, const QString &command = QString());

#endif
