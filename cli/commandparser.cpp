#include "commandparser.h"

#include "clioutput.h"

#include <QCoreApplication>

QString HelpText(const QCommandLineParser &parser, const CommandHelp &help)
{
    // Keep Qt's option table, but with a usage line that names the command.
    const QString generated = parser.helpText();
    const int options = generated.indexOf(QStringLiteral("Options:"));
    const QString table = options < 0 ? QString() : generated.mid(options);
    QString text = QStringLiteral("Usage: %1 %2 %3\n\n%4\n\n%5")
                       .arg(QCoreApplication::applicationName(), help.command, help.usage, help.description, table);
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    if (!help.examples.isEmpty())
        text += QStringLiteral("\nExamples:\n") + help.examples;
    return text;
}

std::optional<int> ParseCommand(QCommandLineParser &parser, const CommandHelp &help, const QStringList &arguments)
{
    QStringList withProgram = arguments;
    withProgram.prepend(QCoreApplication::applicationName());
    if (!parser.parse(withProgram)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.contains(QStringLiteral("version")) || unknown.contains(QStringLiteral("v")))
            return UsageError(QStringLiteral("--version is this program's own version ('%1 --version'); "
                                             "the image's software version is --image-version")
                                  .arg(QCoreApplication::applicationName()),
                              help.command);
        return UsageError(parser.errorText(), help.command);
    }
    // Qt adds --help-all beside --help; a console program has no other help to give.
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        StandardOutput() << HelpText(parser, help);
        StandardOutput().flush();
        return ExitSuccess;
    }
    return std::nullopt;
}
