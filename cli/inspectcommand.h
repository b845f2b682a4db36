#ifndef VANDREL_CLI_INSPECTCOMMAND_H
#define VANDREL_CLI_INSPECTCOMMAND_H

#include "commandparser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// "inspect": reads a stamped image, and optionally its S-record file, its
// Intel HEX file and its raw source, and gives a verdict per check.
class InspectCommand
{
public:
    InspectCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_srecord;
    QCommandLineOption m_intelHex;
    QCommandLineOption m_source;
    QCommandLineOption m_address;
    QCommandLineOption m_strict;
    QCommandLineOption m_json;
};

#endif
