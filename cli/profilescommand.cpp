#include "profilescommand.h"

#include "clioutput.h"
#include "profilechoice.h"
#include "profilesettings.h"
#include "settingswarnings.h"

ProfilesCommand::ProfilesCommand()
    : m_settings(QStringLiteral("settings"), QStringLiteral("Settings file to read, e.g. examples/VandrelSet.ini."),
                 QStringLiteral("FILE"), SettingsFileName())
    , m_sourcePath(QStringLiteral("source-path"),
                   QStringLiteral("Print only the source image path of this profile, e.g. 0."),
                   QStringLiteral("INDEX|NAME"))
    , m_imagePath(QStringLiteral("image-path"),
                  QStringLiteral("Print only the new image path of this profile, e.g. 0."), QStringLiteral("INDEX|NAME"))
    , m_srecordPath(QStringLiteral("s19-path"),
                    QStringLiteral("Print only the S-record file path of this profile, e.g. \"Controller A\"."),
                    QStringLiteral("INDEX|NAME"))
{
    m_parser.addHelpOption();
    m_parser.addOptions({m_settings, m_sourcePath, m_imagePath, m_srecordPath});

    m_help.command = QStringLiteral("profiles");
    m_help.usage = QStringLiteral("[options]");
    m_help.description = QStringLiteral(
        "Lists the device profiles of the settings file with their paths, and the start address and\n"
        "version of its [Sys] section. Exit status: 0 listed, 1 the settings file cannot be read,\n"
        "2 usage error or no settings file.");
    m_help.examples = QStringLiteral(
        "  vandrel-cli profiles\n"
        "  vandrel-cli profiles --settings examples/VandrelSet.ini\n"
        "  vandrel-cli inspect \"$(vandrel-cli profiles --image-path 0)\"\n");
}

QString ProfilesCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int ProfilesCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseCommand(m_parser, m_help, arguments))
        return *status;
    if (!m_parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(m_parser.positionalArguments().constFirst()),
                          m_help.command);

    const QCommandLineOption *pathOptions[] = {&m_sourcePath, &m_imagePath, &m_srecordPath};
    const QCommandLineOption *chosen = nullptr;
    for (const QCommandLineOption *option : pathOptions) {
        if (!m_parser.isSet(*option))
            continue;
        if (chosen)
            return UsageError(QStringLiteral("give one of --source-path, --image-path and --s19-path"), m_help.command);
        chosen = option;
    }

    const QString settingsFile = m_parser.value(m_settings);
    const ProfileSettings settings(settingsFile);
    if (const std::optional<int> status = RefuseUnreadableSettings(settings, settingsFile, m_help.command))
        return *status;
    WarnOfSystemValues(settings, settingsFile);
    return chosen ? printPath(settings, settingsFile, *chosen) : printProfiles(settings, settingsFile);
}

int ProfilesCommand::printPath(const ProfileSettings &settings, const QString &settingsFile,
                               const QCommandLineOption &chosen) const
{
    const ProfileChoice choice = ChooseProfile(settings, settingsFile, m_parser.value(chosen));
    if (choice.index < 0)
        return UsageError(choice.error, m_help.command);
    const ProfilePaths paths = settings.paths(choice.index);
    const QString &path = &chosen == &m_sourcePath ? paths.sourcePath
        : &chosen == &m_imagePath                  ? paths.imagePath
                                                   : paths.srecordPath;
    QTextStream &out = StandardOutput();
    out << path << '\n';
    out.flush();
    return ExitSuccess;
}

int ProfilesCommand::printProfiles(const ProfileSettings &settings, const QString &settingsFile) const
{
    QTextStream &out = StandardOutput();
    out << "Settings file " << settingsFile << '\n'
        << "  start address  " << settings.startAddress() << '\n'
        << "  version        " << settings.version() << '\n';
    const int count = settings.deviceCount();
    WarnOfValueTraps(settings, settingsFile);
    if (settings.declaredDeviceCount() > count)
        PrintWarning(QStringLiteral("settings file \"%1\" declares Devs=%2; the first %3 profiles are listed")
                         .arg(settingsFile)
                         .arg(settings.declaredDeviceCount())
                         .arg(count));
    for (int i = 0; i < count; ++i) {
        const ProfilePaths paths = settings.paths(i);
        out << i << "  " << settings.deviceName(i) << '\n'
            << "     source  " << paths.sourcePath << '\n'
            << "     image   " << paths.imagePath << '\n'
            << "     s19     " << paths.srecordPath << '\n';
    }
    out.flush();
    return ExitSuccess;
}
