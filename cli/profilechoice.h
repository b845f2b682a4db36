#ifndef VANDREL_CLI_PROFILECHOICE_H
#define VANDREL_CLI_PROFILECHOICE_H

#include "profilesettings.h"

#include <QString>

// Finds the profile that --profile names: a whole decimal number is an
// index (0 to Devs - 1), any other text must be the Name of exactly one
// profile. index is -1 and error says why when there is no such profile.
struct ProfileChoice
{
    int index = -1;
    QString error;
};

ProfileChoice ChooseProfile(const ProfileSettings &settings, const QString &settingsFile, const QString &profile);

// A warning on stderr for each value of [Sys] and of the profile (every
// listed profile for -1) that the INI rules read otherwise than it is
// written, with the quoted form to write instead.
void WarnOfValueTraps(const ProfileSettings &settings, const QString &settingsFile, int profile = -1);

#endif
