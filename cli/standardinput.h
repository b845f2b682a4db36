#ifndef VANDREL_CLI_STANDARDINPUT_H
#define VANDREL_CLI_STANDARDINPUT_H

#include <QFile>
#include <QString>

// "-" in place of a file to read: the standard input.
bool IsStandardInput(const QString &path);

// Opens file on the standard input for reading its bytes as they are (no
// CR LF translation on Windows). Returns an empty text, or the cause.
QString OpenStandardInput(QFile &file);

#endif
