#ifndef VANDREL_CLI_PROFILESCOMMAND_H
#define VANDREL_CLI_PROFILESCOMMAND_H

#include "commandparser.h"
#include "profilesettings.h"
#include "settingswarnings.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// "profiles": lists the device profiles of a settings file, or prints one
// path of one profile for scripts.
class ProfilesCommand
{
public:
    ProfilesCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    // One path of one profile, for scripts; or every profile, for people.
    int printPath(const ProfileSettings &settings, const QString &settingsFile, const QCommandLineOption &chosen) const;
    int printProfiles(const ProfileSettings &settings, const QString &settingsFile) const;
    int printJson(const ProfileSettings &settings, const QString &settingsFile) const;
    QVector<SettingsWarning> profileWarnings(const ProfileSettings &settings, const QString &settingsFile) const;
    void printWarnings(const QVector<SettingsWarning> &warnings, const ProfileSettings &settings,
                       const QString &settingsFile) const;

    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_settings;
    QCommandLineOption m_sourcePath;
    QCommandLineOption m_imagePath;
    QCommandLineOption m_srecordPath;
    QCommandLineOption m_json;
};

#endif
