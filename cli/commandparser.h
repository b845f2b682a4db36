#ifndef VANDREL_CLI_COMMANDPARSER_H
#define VANDREL_CLI_COMMANDPARSER_H

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

// The help of one command: its usage line, what it does, its options (as
// QCommandLineParser lists them) and examples.
struct CommandHelp
{
    QString command;     // "convert"
    QString usage;       // what follows the command name in the usage line
    QString description; // one paragraph
    QString examples;    // lines, already indented
};

QString HelpText(const QCommandLineParser &parser, const CommandHelp &help);

// Parses a command's arguments, those after the command name; the parser
// carries Qt's help option. Returns the exit status when the run ends here
// (help shown, or a usage error printed), or nothing when the command goes on.
std::optional<int> ParseCommand(QCommandLineParser &parser, const CommandHelp &help, const QStringList &arguments);

#endif
