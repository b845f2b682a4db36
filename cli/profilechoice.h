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

#endif
