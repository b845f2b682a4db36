#include "settingswarnings.h"

#include "clioutput.h"
#include "messagetext.h"

#include <limits>

std::optional<int> RefuseUnreadableSettings(const ProfileSettings &settings, const QString &settingsFile)
{
    if (settings.readError().isEmpty())
        return std::nullopt;
    if (!settings.found()) {
        PrintError(QStringLiteral("settings file %1 not found").arg(Quoted(settingsFile)));
        return ExitFailure;
    }
    PrintError(QStringLiteral("cannot read settings file %1: %2").arg(Quoted(settingsFile), settings.readError()));
    return ExitFailure;
}

QVector<SettingsWarning> SystemWarnings(const ProfileSettings &settings, const QString &settingsFile)
{
    QVector<SettingsWarning> warnings;
    if (!settings.hasSystemSection())
        warnings.append({QStringLiteral("Sys"), QString(),
                         QStringLiteral("settings file %1 has no [Sys] section; the start address and the version "
                                        "read as 0, and no profile is listed")
                             .arg(Quoted(settingsFile))});
    if (const std::optional<QString> devices = settings.unreadableDeviceCount())
        warnings.append({QStringLiteral("Sys"), QStringLiteral("Devs"),
                         QStringLiteral("settings file %1, [Sys] Devs=%2 is not a whole number from 0 to %3; "
                                        "no profile is listed")
                             .arg(Quoted(settingsFile), *devices)
                             .arg(std::numeric_limits<int>::max())});
    return warnings;
}

void WarnOfSystemValues(const ProfileSettings &settings, const QString &settingsFile)
{
    for (const SettingsWarning &warning : SystemWarnings(settings, settingsFile))
        PrintWarning(warning.text);
}

QVector<SettingsWarning> MissingKeyWarnings(const ProfileSettings &settings, const QString &settingsFile, int profile)
{
    const QStringList missing = settings.missingProfileKeys(profile);
    if (missing.isEmpty())
        return {};
    const QString section = QStringLiteral("Dev%1").arg(profile);
    const QString where = QStringLiteral("settings file %1 lists profile %2 (Devs=%3)")
                              .arg(Quoted(settingsFile))
                              .arg(profile)
                              .arg(settings.declaredDeviceCount());
    if (!settings.hasProfileSection(profile))
        return {{section, QString(),
                 QStringLiteral("%1 but has no section [%2]; its name and paths read as empty").arg(where, section),
                 profile}};
    QVector<SettingsWarning> warnings;
    for (const QString &key : missing)
        warnings.append({section, key,
                         QStringLiteral("%1 but its section [%2] has no %3; it reads as empty").arg(where, section, key)});
    return warnings;
}

QVector<SettingsWarning> TrapWarnings(const ProfileSettings &settings, const QString &settingsFile, int profile)
{
    QVector<SettingsWarning> warnings;
    for (const ProfileSettings::Trap &trap : settings.valueTraps(profile)) {
        const IniValueTrap &value = trap.value;
        const QString reading = value.kinds & IniOpenQuoteTrap
            ? QStringLiteral("opens a quote that is not closed on its line, so the lines after it, up to the next "
                             "quote or the end of the file, are read into it:")
            : QStringLiteral("is read as");
        warnings.append({value.section, value.key,
                         QStringLiteral("settings file %1, [%2] %3=%4 %5 %6; to mean it as written, write %3=%7")
                             .arg(Quoted(settingsFile), value.section, value.key, value.rawValue, reading,
                                  Quoted(trap.reads), value.quoted)});
    }
    return warnings;
}

void WarnOfValueTraps(const ProfileSettings &settings, const QString &settingsFile, int profile)
{
    for (const SettingsWarning &warning : TrapWarnings(settings, settingsFile, profile))
        PrintWarning(warning.text);
}
