#ifndef VANDREL_CLI_RELEASECOMMAND_H
#define VANDREL_CLI_RELEASECOMMAND_H

#include "commandparser.h"
#include "releaserun.h"
#include "sourceoptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <optional>

class ProfileSettings;

// "release": every profile (or those named) converted as one set, with a
// manifest of what was written and, optionally, its signature.
class ReleaseCommand
{
public:
    ReleaseCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    // The steps of a run; each returns the exit status when the run ends there.
    std::optional<int> readProfiles(ReleaseRequest &release) const;
    std::optional<int> chooseProfiles(const ProfileSettings &settings, QVector<int> &indexes) const;
    std::optional<int> readRequestOptions(ConversionRequest &request, const QString &settingsFill) const;
    std::optional<int> readSigningKey(ReleaseRequest &release) const;

    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_settings;
    QCommandLineOption m_profile;
    QCommandLineOption m_manifest;
    QCommandLineOption m_sign;
    QCommandLineOption m_hex;
    QCommandLineOption m_address;
    QCommandLineOption m_version;
    QCommandLineOption m_time;
    QCommandLineOption m_byteOrder;
    QCommandLineOption m_relocate;
    SourceOptionSet m_sourceOptions;
};

#endif
