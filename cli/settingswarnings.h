#ifndef VANDREL_CLI_SETTINGSWARNINGS_H
#define VANDREL_CLI_SETTINGSWARNINGS_H

#include "profilesettings.h"

#include <QString>
#include <QVector>

#include <optional>

// A settings file that could not be read ends the command (exit 1): "not
// found" when there is no such file, else the cause. Returns the exit status
// after the message, or nothing when the file was read.
std::optional<int> RefuseUnreadableSettings(const ProfileSettings &settings, const QString &settingsFile);

// One warning about the settings file, for a line of its own.
struct SettingsWarning
{
    QString section; // "Sys", "Dev2"
    QString key;     // "PBin"; empty when it is about the whole section
    QString text;
    int sectionlessProfile = -1; // the profile, when its whole section is missing
};

// The warnings about values of [Sys] that give something else than the
// file seems to say: no [Sys] at all (address and version read as 0), a
// Devs that is not a whole number from 0 (no profile is listed).
QVector<SettingsWarning> SystemWarnings(const ProfileSettings &settings, const QString &settingsFile);

// Each of SystemWarnings on stderr.
void WarnOfSystemValues(const ProfileSettings &settings, const QString &settingsFile);

// The warnings for a listed profile without its section or without one of
// its keys (which then read as empty).
QVector<SettingsWarning> MissingKeyWarnings(const ProfileSettings &settings, const QString &settingsFile, int profile);

// The warnings, one line each, for the values of [Sys] and of the profile
// (every listed profile for -1) that the INI rules read otherwise than they
// are written, with the quoted form to write instead.
QVector<SettingsWarning> TrapWarnings(const ProfileSettings &settings, const QString &settingsFile, int profile = -1);

// Each of TrapWarnings on stderr.
void WarnOfValueTraps(const ProfileSettings &settings, const QString &settingsFile, int profile = -1);

#endif
