#ifndef VANDREL_TESTS_TESTFILES_H
#define VANDREL_TESTS_TESTFILES_H

#include <QByteArray>
#include <QString>

// The whole contents of a file; an empty array when it cannot be read.
QByteArray ReadFile(const QString &path);

// Writes the file whole, replacing what it held; false when that fails.
bool WriteFile(const QString &path, const QByteArray &contents);

#endif
