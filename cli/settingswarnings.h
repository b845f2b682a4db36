#ifndef VANDREL_CLI_SETTINGSWARNINGS_H
#define VANDREL_CLI_SETTINGSWARNINGS_H

#include "profilesettings.h"

#include <QString>

#include <optional>

// A settings file that could not be read ends the command: "not found"
// (exit 2) when there is no such file, else the cause (exit 1). Returns the
// exit status after the message, or nothing when the file was read.
std::optional<int> RefuseUnreadableSettings(const ProfileSettings &settings, const QString &settingsFile,
                                            const QString &command);

// A warning on stderr for each value of [Sys] that gives something else than
// the file seems to say: no [Sys] at all (address and version read as 0), a
// Devs that is not a whole number from 0 (no profile is listed).
void WarnOfSystemValues(const ProfileSettings &settings, const QString &settingsFile);

// A warning on stderr for each value of [Sys] and of the profile (every
// listed profile for -1) that the INI rules read otherwise than it is
// written, with the quoted form to write instead.
void WarnOfValueTraps(const ProfileSettings &settings, const QString &settingsFile, int profile = -1);

#endif
