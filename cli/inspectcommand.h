#ifndef VANDREL_CLI_INSPECTCOMMAND_H
#define VANDREL_CLI_INSPECTCOMMAND_H

#include "commandparser.h"
#include "inspectionreport.h"

#include "sourceoptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// "inspect": reads a stamped image, and optionally its S-record file, its
// Intel HEX file and its raw source, and gives a verdict per check.
class InspectCommand
{
public:
    InspectCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    // What the command line asks for beyond the files.
    struct Choices
    {
        QString imagePath;
        std::optional<quint32> address;
        bool strict = false;
        SourceFormat sourceFormat = SourceFormat::Auto;
        SourceLayoutOptions sourceLayout;
    };
    struct Files;

    // Each step returns the exit status when the command ends there.
    std::optional<int> readChoices(Choices &choices) const;
    std::optional<int> readStandardInputChoices(const Choices &choices) const;
    std::optional<int> openFiles(const InspectionReport &report, Files &files) const;
    std::optional<int> inspect(const Choices &choices, Files &files, InspectionReport &report) const;
    int printReport(const InspectionReport &report) const;

    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_srecord;
    QCommandLineOption m_intelHex;
    QCommandLineOption m_source;
    QCommandLineOption m_address;
    QCommandLineOption m_strict;
    QCommandLineOption m_json;
    SourceOptionSet m_sourceOptions;
};

#endif
