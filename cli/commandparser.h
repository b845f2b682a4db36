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

// -h, --help: every command's own, in place of Qt's, which adds a
// --help-all that a console program has no use for.
void AddHelpOption(QCommandLineParser &parser);

QString HelpText(const QCommandLineParser &parser, const CommandHelp &help);

// Parses a command's arguments, those after the command name; the parser
// carries AddHelpOption. Returns the exit status when the run ends here
// (help shown, or a usage error printed), or nothing when the command goes on.
std::optional<int> ParseCommand(QCommandLineParser &parser, const CommandHelp &help, const QStringList &arguments);

// ParseCommand for a command that takes options only: an argument beside
// them is a usage error.
std::optional<int> ParseOptionsOnly(QCommandLineParser &parser, const CommandHelp &help, const QStringList &arguments);

// The option as typed: "--name", or "-n" for a one-letter name.
QString OptionText(const QString &name);

#endif
