#ifndef VANDREL_CLI_CONVERTCOMMAND_H
#define VANDREL_CLI_CONVERTCOMMAND_H

#include "commandparser.h"
#include "conversion.h"
#include "profilesettings.h"
#include "sourceoptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <optional>

// "convert": writes the stamped image and its S-record and/or Intel HEX file
// through the same conversion function as the window.
class ConvertCommand
{
public:
    ConvertCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    // The start address or the version as given, read once all are known.
    struct FieldText
    {
        QString text;
        QString named;           // where it comes from, for messages: --address "x", or the file and key
        bool fromOption = false; // typed as an option, not read from the settings file
    };
    struct FieldTexts
    {
        FieldText address;
        FieldText version;
        QString fill; // from the settings file; empty without one
    };

    // The steps of a run; each returns the exit status when the run ends there.
    std::optional<int> readPathOptions() const;
    std::optional<int> readProfile(ConversionRequest &request, FieldTexts &fields) const;
    std::optional<int> refuseMissingKeys(const ProfileSettings &settings, const QString &settingsFile,
                                         int index) const;
    std::optional<int> readSourceOptions(ConversionRequest &request, const FieldTexts &fields) const;
    std::optional<int> readOptions(ConversionRequest &request, FieldTexts &fields) const;
    std::optional<int> readFields(ConversionRequest &request, const FieldTexts &fields) const;
    std::optional<int> readStampTime(ConversionRequest &request, QString &warning) const;
    int convert(ConversionRequest &request, const QString &timeWarning) const;

    int missingOption(const QCommandLineOption &option) const;
    const QCommandLineOption *standardOutputOption() const;

    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_source;
    QCommandLineOption m_image;
    QCommandLineOption m_srecord;
    QCommandLineOption m_hex;
    QCommandLineOption m_address;
    QCommandLineOption m_version;
    QCommandLineOption m_profile;
    QCommandLineOption m_settings;
    QCommandLineOption m_time;
    QCommandLineOption m_byteOrder;
    QCommandLineOption m_json;
    QCommandLineOption m_relocate;
    SourceOptionSet m_sourceOptions;
};

#endif
