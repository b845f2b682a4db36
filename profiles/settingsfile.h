#ifndef VANDREL_PROFILES_SETTINGSFILE_H
#define VANDREL_PROFILES_SETTINGSFILE_H

#include <QByteArray>
#include <QString>

// A settings file holds a few lines per profile; anything larger is not one,
// and reading it whole could exhaust memory.
constexpr qint64 MaxSettingsFileSize = 4 * 1024 * 1024;

// The bytes of a settings file, or why they could not be read.
struct SettingsFileRead
{
    QByteArray bytes;
    QString error; // one English phrase naming the cause; "" when read
    bool found = true; // false when there is no file at all under the name

    bool succeeded() const { return error.isEmpty(); }
};

// Reads a settings file without ever waiting: a FIFO, a device, a folder or a
// link to one of them is refused as "not a regular file", a file over
// MaxSettingsFileSize as too large.
SettingsFileRead ReadSettingsFile(const QString &path);

#endif
