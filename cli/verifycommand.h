#ifndef VANDREL_CLI_VERIFYCOMMAND_H
#define VANDREL_CLI_VERIFYCOMMAND_H

#include "commandparser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

struct ReleaseVerification;

// "verify": checks a release against its manifest, and its signature.
class VerifyCommand
{
public:
    VerifyCommand();

    QString help() const;
    int run(const QStringList &arguments);

private:
    int printText(const QString &manifestPath, const ReleaseVerification &verification) const;
    int printJson(const QString &manifestPath, const ReleaseVerification &verification) const;

    QCommandLineParser m_parser;
    CommandHelp m_help;
    QCommandLineOption m_publicKey;
    QCommandLineOption m_requireSources;
    QCommandLineOption m_json;
};

#endif
