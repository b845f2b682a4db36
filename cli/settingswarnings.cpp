#include "settingswarnings.h"

#include "clioutput.h"
#include "messagetext.h"

#include <limits>

std::optional<int> RefuseUnreadableSettings(const ProfileSettings &settings, const QString &settingsFile,
                                            const QString &command)
{
    if (settings.readError().isEmpty())
        return std::nullopt;
    if (!settings.found())
        return UsageError(QStringLiteral("settings file \"%1\" not found").arg(settingsFile), command);
    PrintError(QStringLiteral("cannot read settings file %1: %2").arg(Quoted(settingsFile), settings.readError()));
    return ExitFailure;
}

void WarnOfSystemValues(const ProfileSettings &settings, const QString &settingsFile)
{
    if (!settings.hasSystemSection())
        PrintWarning(QStringLiteral("settings file %1 has no [Sys] section; the start address and the version "
                                    "read as 0, and no profile is listed")
                         .arg(Quoted(settingsFile)));
    if (const std::optional<QString> devices = settings.unreadableDeviceCount())
        PrintWarning(QStringLiteral("settings file %1, [Sys] Devs=%2 is not a whole number from 0 to %3; "
                                    "no profile is listed")
                         .arg(Quoted(settingsFile), *devices)
                         .arg(std::numeric_limits<int>::max()));
}

void WarnOfValueTraps(const ProfileSettings &settings, const QString &settingsFile, int profile)
{
    for (const ProfileSettings::Trap &trap : settings.valueTraps(profile)) {
        const IniValueTrap &value = trap.value;
        const QString reading = value.kinds & IniOpenQuoteTrap
            ? QStringLiteral("opens a quote that is not closed on its line, so the lines after it, up to the next "
                             "quote or the end of the file, are read into it:")
            : QStringLiteral("is read as");
        PrintWarning(QStringLiteral("settings file %1, [%2] %3=%4 %5 %6; to mean it as written, write %3=%7")
                         .arg(Quoted(settingsFile), value.section, value.key, value.rawValue, reading,
                              Quoted(trap.reads), value.quoted));
    }
}
