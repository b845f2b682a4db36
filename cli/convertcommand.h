#ifndef VANDREL_CLI_CONVERTCOMMAND_H
#define VANDREL_CLI_CONVERTCOMMAND_H

#include "commandparser.h"
#include "conversion.h"
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
    // The start address and the version as given, read once all are known.
    struct FieldTexts
    {
        QString address;
        QString version;
        QString fill; // from the settings file; empty without one
    };

    // The steps of a run; each returns the exit status when the run ends there.
    std::optional<int> readProfile(ConversionRequest &request, FieldTexts &fields) const;
    std::optional<int> readSourceOptions(ConversionRequest &request, const FieldTexts &fields) const;
    std::optional<int> readOptions(ConversionRequest &request, FieldTexts &fields) const;
    std::optional<int> readStampTime(ConversionRequest &request, QString &warning) const;
    int convert(ConversionRequest &request, const FieldTexts &fields, const QString &timeWarning) const;

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
