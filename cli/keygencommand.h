#ifndef VANDREL_CLI_KEYGENCOMMAND_H
#define VANDREL_CLI_KEYGENCOMMAND_H

#include "commandparser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// "keygen": a new key pair for signing releases, in signify's format.
class KeygenCommand
{
public:
    KeygenCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_secret;
    QCommandLineOption m_public;
};

#endif
