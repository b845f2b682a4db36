#include "profilescommand.h"

#include "clioutput.h"
#include "conversionfields.h"
#include "jsondocument.h"
#include "messagetext.h"
#include "profilechoice.h"
#include "profilesettings.h"
#include "settingswarnings.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
// A value as the listing shows it: on its line, control characters escaped
// as the warnings show them.
QString Shown(const QString &value)
{
    const QString quoted = Quoted(value);
    return quoted.mid(1, quoted.size() - 2);
}

QJsonArray warningsJson(const QVector<SettingsWarning> &warnings)
{
    QJsonArray array;
    for (const SettingsWarning &warning : warnings)
        array.append(QJsonObject{{QStringLiteral("section"), warning.section},
                                 {QStringLiteral("key"), warning.key.isEmpty() ? QJsonValue() : warning.key},
                                 {QStringLiteral("message"), warning.text}});
    return array;
}

// The warnings of one section among those of the whole file.
QVector<SettingsWarning> warningsOf(const QVector<SettingsWarning> &all, const QString &section)
{
    QVector<SettingsWarning> chosen;
    for (const SettingsWarning &warning : all) {
        if (warning.section == section)
            chosen.append(warning);
    }
    return chosen;
}
} // namespace

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
    , m_json(QStringLiteral("json"),
             QStringLiteral("Print the listing as one JSON object: the [Sys] values, and per profile its index, "
                            "name, three paths and the warnings about its values."))
{
    AddHelpOption(m_parser);
    m_parser.addOptions({m_settings, m_sourcePath, m_imagePath, m_srecordPath, m_json});

    m_help.command = QStringLiteral("profiles");
    m_help.usage = QStringLiteral("[options]");
    m_help.description = QStringLiteral(
        "Lists the device profiles of the settings file with their paths, and the start address and\n"
        "version of its [Sys] section, with a warning on stderr for each value that reads otherwise\n"
        "than written and each listed profile without its section or one of its keys.\n"
        "Exit status: 0 listed, 1 the settings file cannot be read or the listing cannot be written,\n"
        "2 usage error.");
    m_help.examples = QStringLiteral(
        "  vandrel-cli profiles\n"
        "  vandrel-cli profiles --settings examples/VandrelSet.ini\n"
        "  vandrel-cli profiles --json | python3 -c 'import json,sys; print(json.load(sys.stdin)[\"profiles\"][0][\"name\"])'\n"
        "  vandrel-cli inspect \"$(vandrel-cli profiles --image-path 0)\"\n");
}

QString ProfilesCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int ProfilesCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseOptionsOnly(m_parser, m_help, arguments))
        return *status;

    const QCommandLineOption *pathOptions[] = {&m_sourcePath, &m_imagePath, &m_srecordPath};
    const QCommandLineOption *chosen = nullptr;
    for (const QCommandLineOption *option : pathOptions) {
        if (!m_parser.isSet(*option))
            continue;
        if (chosen)
            return UsageError(QStringLiteral("give one of --source-path, --image-path and --s19-path"), m_help.command);
        chosen = option;
    }
    if (chosen && m_parser.isSet(m_json))
        return UsageError(QStringLiteral("--json lists every profile; it cannot be given with %1")
                              .arg(OptionText(chosen->names().constFirst())),
                          m_help.command);

    const QString settingsFile = m_parser.value(m_settings);
    const ProfileSettings settings(settingsFile);
    if (const std::optional<int> status = RefuseUnreadableSettings(settings, settingsFile))
        return *status;
    WarnOfSystemValues(settings, settingsFile);
    if (chosen)
        return printPath(settings, settingsFile, *chosen);
    return m_parser.isSet(m_json) ? printJson(settings, settingsFile) : printProfiles(settings, settingsFile);
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
    // As it is, for a script to use.
    return PrintStandardOutput(path + QLatin1Char('\n'));
}

// Warnings about the listed profiles: what the INI rules read otherwise,
// what is missing, and a count beyond what is listed.
QVector<SettingsWarning> ProfilesCommand::profileWarnings(const ProfileSettings &settings,
                                                          const QString &settingsFile) const
{
    QVector<SettingsWarning> warnings = TrapWarnings(settings, settingsFile);
    const int count = settings.deviceCount();
    for (int i = 0; i < count; ++i)
        warnings += MissingKeyWarnings(settings, settingsFile, i);
    if (settings.declaredDeviceCount() > count)
        warnings.append({QStringLiteral("Sys"), QStringLiteral("Devs"),
                         QStringLiteral("settings file %1 declares Devs=%2; the first %3 profiles are listed")
                             .arg(Quoted(settingsFile))
                             .arg(settings.declaredDeviceCount())
                             .arg(count)});
    printWarnings(warnings, settings, settingsFile);
    return warnings;
}

// On stderr, profiles that lack their sections one after another make one
// line: a mistyped Devs would otherwise give a thousand.
void ProfilesCommand::printWarnings(const QVector<SettingsWarning> &warnings, const ProfileSettings &settings,
                                    const QString &settingsFile) const
{
    for (int i = 0; i < warnings.size(); ++i) {
        const int first = warnings.at(i).sectionlessProfile;
        int last = i;
        while (first >= 0 && last + 1 < warnings.size()
               && warnings.at(last + 1).sectionlessProfile == warnings.at(last).sectionlessProfile + 1)
            ++last;
        if (last == i) {
            PrintWarning(warnings.at(i).text);
            continue;
        }
        PrintWarning(QStringLiteral("settings file %1 lists profiles %2 to %3 (Devs=%4) but has none of their "
                                    "sections [Dev%2] to [Dev%3]; their names and paths read as empty")
                         .arg(Quoted(settingsFile))
                         .arg(first)
                         .arg(warnings.at(last).sectionlessProfile)
                         .arg(settings.declaredDeviceCount()));
        i = last;
    }
}

int ProfilesCommand::printProfiles(const ProfileSettings &settings, const QString &settingsFile) const
{
    profileWarnings(settings, settingsFile);
    QTextStream &out = StandardOutput();
    out << "Settings file " << Shown(settingsFile) << '\n'
        << "  start address  " << Shown(settings.startAddress()) << '\n'
        << "  version        " << Shown(settings.version()) << '\n';
    const int count = settings.deviceCount();
    for (int i = 0; i < count && out.status() == QTextStream::Ok; ++i) {
        const ProfilePaths paths = settings.paths(i);
        out << i << "  " << Shown(settings.deviceName(i)) << '\n'
            << "     source  " << Shown(paths.sourcePath) << '\n'
            << "     image   " << Shown(paths.imagePath) << '\n'
            << "     s19     " << Shown(paths.srecordPath) << '\n';
    }
    return FinishStandardOutput();
}

int ProfilesCommand::printJson(const ProfileSettings &settings, const QString &settingsFile) const
{
    const QVector<SettingsWarning> warnings =
        SystemWarnings(settings, settingsFile) + profileWarnings(settings, settingsFile);
    QJsonArray profiles;
    const int count = settings.deviceCount();
    for (int i = 0; i < count; ++i) {
        const ProfilePaths paths = settings.paths(i);
        profiles.append(QJsonObject{
            {QStringLiteral("index"), i},
            {QStringLiteral("name"), settings.deviceName(i)},
            {QStringLiteral("sourcePath"), paths.sourcePath},
            {QStringLiteral("imagePath"), paths.imagePath},
            {QStringLiteral("s19Path"), paths.srecordPath},
            {QStringLiteral("warnings"), warningsJson(warningsOf(warnings, QStringLiteral("Dev%1").arg(i)))},
        });
    }
    const std::optional<quint32> address = ParseStartAddress(settings.startAddress());
    const std::optional<quint16> version = ParseVersion(settings.version());
    const QJsonObject listing{
        {QStringLiteral("settings"), QJsonObject{{QStringLiteral("path"), settingsFile}}},
        {QStringLiteral("imageAddress"), address ? QJsonValue(JsonAddress(*address)) : QJsonValue()},
        {QStringLiteral("version"), version ? QJsonValue(int(*version)) : QJsonValue()},
        {QStringLiteral("declaredProfiles"), settings.declaredDeviceCount()},
        {QStringLiteral("profiles"), profiles},
        {QStringLiteral("warnings"), warningsJson(warningsOf(warnings, QStringLiteral("Sys")))},
    };
    return PrintJsonDocument(JsonDocumentText(m_help.command, listing));
}
