#include "commandparser.h"

#include "clioutput.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {
QString helpName()
{
    return QStringLiteral("help");
}

// Qt's parser words its errors in its own voice ("Unknown option 'x'.");
// they are said again here as every other message of the program is.
QString parserError(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("unknown option \"%1\"").arg(OptionText(unknown.constFirst()));
    const QString error = parser.errorText();
    static const QRegularExpression missingValue(QStringLiteral("^Missing value after '-*([^']*)'\\.$"));
    static const QRegularExpression unexpectedValue(QStringLiteral("^Unexpected value after '-*([^'=]*)[^']*'\\.$"));
    QRegularExpressionMatch match = missingValue.match(error);
    if (match.hasMatch())
        return QStringLiteral("%1 needs a value").arg(OptionText(match.captured(1)));
    match = unexpectedValue.match(error);
    if (match.hasMatch())
        return QStringLiteral("%1 takes no value").arg(OptionText(match.captured(1)));
    // Any other message of Qt's, lower-cased and without its full stop.
    QString text = error;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}
} // namespace

void AddHelpOption(QCommandLineParser &parser)
{
    parser.addOption(QCommandLineOption({QStringLiteral("h"), helpName()}, QStringLiteral("Displays this help.")));
}

QString OptionText(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

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
        if (help.command == QLatin1String("convert")
            && (unknown.contains(QStringLiteral("version")) || unknown.contains(QStringLiteral("v"))))
            return UsageError(QStringLiteral("--version is this program's own version ('%1 --version'); "
                                             "the image's software version is --image-version")
                                  .arg(QCoreApplication::applicationName()),
                              help.command);
        return UsageError(parserError(parser), help.command);
    }
    if (parser.isSet(helpName()))
        return PrintStandardOutput(HelpText(parser, help));
    return std::nullopt;
}

std::optional<int> ParseOptionsOnly(QCommandLineParser &parser, const CommandHelp &help, const QStringList &arguments)
{
    if (const std::optional<int> status = ParseCommand(parser, help, arguments))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()),
                          help.command);
    return std::nullopt;
}
