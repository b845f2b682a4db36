#ifndef VANDREL_CLI_CLIOUTPUT_H
#define VANDREL_CLI_CLIOUTPUT_H

#include <QString>
#include <QTextStream>

// Exit statuses of every command.
enum ExitStatus {
    ExitSuccess = 0,
    ExitFailure = 1, // the conversion failed, or a check did not hold
    ExitUsage = 2,   // bad command line: unknown option, missing or malformed value, missing argument
    // The reader of stdout closed it (head): the run ends quietly with the
    // status a shell shows for a program that SIGPIPE ended.
    ExitClosedPipe = 128 + 13,
};

// UTF-8 with LF line ends to a pipe or file, on every platform; wide text
// to a Windows console, which shows it whatever its code page.
QTextStream &StandardOutput();
QTextStream &StandardError();

// UTF-8 bytes (JSON) on stdout, after any text already queued: as they are
// to a pipe or file, as wide text to a Windows console; false when they
// cannot be written, with the cause in error when given.
bool WriteStandardOutput(const QByteArray &bytes, QString *error = nullptr);

// Flushes stdout. ExitSuccess when everything queued was written; else
// ExitClosedPipe, quietly, when its reader closed the pipe, or ExitFailure
// after saying why (a full disk).
int FinishStandardOutput();

// The text on stdout, then FinishStandardOutput.
int PrintStandardOutput(const QString &text);

// A JSON document on stdout (see WriteStandardOutput), with the exit status
// FinishStandardOutput would give.
int PrintJsonDocument(const QByteArray &json);

// Whether the last failed write to stdout met a pipe its reader had closed.
bool StandardOutputClosedByReader();

// "vandrel-cli: message" on stderr.
void PrintError(const QString &message);

// "vandrel-cli: warning: message" on stderr.
void PrintWarning(const QString &message);

// PrintError, then where to find the usage; returns ExitUsage.
int UsageError(const QString &message, const QString &command = QString());

#endif
