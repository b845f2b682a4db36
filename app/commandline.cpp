#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char ApplicationName[] = "vandrel";

QString ProjectSyntax() { return QStringLiteral("[FOLDER | FOLDER/VandrelSet.ini]"); }

void DescribeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Opens the Vandrel window, which stamps a raw firmware image (.bin) and writes the new image\n"
        "and its Motorola S-record file (.s19), with the device profiles, start address and version\n"
        "read from VandrelSet.ini in the working directory."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("project"),
        QStringLiteral("A project folder, or the VandrelSet.ini in it. It becomes the working directory "
                       "before the settings are read, so the relative paths in them are taken from there. "
                       "Without it, the working directory stays when it holds VandrelSet.ini; otherwise "
                       "the window asks for a project folder, starting in the last one opened."),
        ProjectSyntax());
}

// Qt's help with a usage line that names the program, not its path.
QString HelpText(const QCommandLineParser &parser)
{
    const QString generated = parser.helpText();
    const int firstLineEnd = generated.indexOf(QLatin1Char('\n'));
    return QStringLiteral("Usage: %1 [options] %2").arg(QLatin1String(ApplicationName), ProjectSyntax())
        + generated.mid(firstLineEnd);
}

bool IsConsoleOption(const char *argument)
{
    for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
        if (std::strcmp(argument, option) == 0)
            return true;
    }
    return false;
}

void Print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> AnswerOnConsole(int argc, char *argv[])
{
    bool asked = false;
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        asked = asked || IsConsoleOption(argv[i]);
    if (!asked)
        return std::nullopt;

    // Only a console application: no display is needed.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(ApplicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION));
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        Print(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(ApplicationName), parser.errorText()));
        return WindowExitUsage;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Print(stdout, QStringLiteral("%1 %2\n").arg(QLatin1String(ApplicationName), QStringLiteral(VANDREL_VERSION)));
        return EXIT_SUCCESS;
    }
    Print(stdout, HelpText(parser));
    return EXIT_SUCCESS;
}

WindowArguments ParseWindowArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    WindowArguments result;
    if (!parser.parse(arguments)) {
        result.problem = QStringLiteral("命令行选项不正确！\n%1").arg(arguments.mid(1).join(QLatin1Char(' ')));
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        result.problem = QStringLiteral("只能打开一个项目文件夹！\n%1").arg(positional.join(QLatin1Char('\n')));
        return result;
    }
    result.project = positional.value(0);
    return result;
}
