#ifndef VANDREL_TESTS_PROGRAMRUN_H
#define VANDREL_TESTS_PROGRAMRUN_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a program run as a user runs it left: its exit status (-1 when it
// crashed or did not end in time) and its two outputs.
struct ProgramRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs program in folder to its end, without SOURCE_DATE_EPOCH (a CI may set
// it) and with the NAME=VALUE entries of environment added.
ProgramRun RunProgram(const QString &program, const QStringList &arguments, const QString &folder,
                      const QStringList &environment = {}, int timeoutMs = 60000);

#endif
