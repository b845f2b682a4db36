#include "argumentencoding.h"
#include "clioutput.h"
#include "convertcommand.h"
#include "inspectcommand.h"
#include "keygencommand.h"
#include "profilescommand.h"
#include "releasecommand.h"
#include "verifycommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>

namespace {
// Every message of this program is one line of its own on stderr; Qt's own
// warnings (an empty file name, a device it cannot use) would add lines that
// say less, so they are dropped.
void DropQtMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

QString overview()
{
    return QStringLiteral(
        "Usage: vandrel-cli COMMAND [options]\n"
        "       vandrel-cli --help | --version\n"
        "\n"
        "Stamps firmware images and writes their S-record files, as the Vandrel window does, and\n"
        "checks images and S-record files.\n"
        "\n"
        "Commands:\n"
        "  convert    write a stamped image and its S-record file\n"
        "  profiles   list the device profiles of a settings file\n"
        "  inspect    check a stamped image and, optionally, its S-record or Intel HEX file and source\n"
        "  release    convert several profiles as one set, with a manifest and, optionally, its signature\n"
        "  verify     check a release against its manifest and signature\n"
        "  keygen     make a key pair for signing releases\n"
        "\n"
        "Options:\n"
        "  -h, --help     Displays this help: every command and option.\n"
        "  -v, --version  Displays the version of vandrel-cli.\n"
        "\n"
        "Exit status: 0 success, 1 the run failed or a check did not hold, 2 usage error;\n"
        "141 when the reader of the standard output closed it early (a listing or report piped\n"
        "into head), as for a program that SIGPIPE ends.\n"
        "\n"
        "Run 'vandrel-cli COMMAND --help' for one command.\n");
}
} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(DropQtMessages);
#ifdef SIGPIPE
    // A reader that closes its end early (vandrel-cli profiles | head) shows
    // as a failed write, so the run ends as it decides, its temporary files
    // removed, and not in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vandrel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION));

    // Before any command reads a path: a name replaced by a look-alike would
    // read or write another file.
    if (const std::optional<QString> problem = UndecodableArgument(argc, argv))
        return UsageError(*problem);

    ConvertCommand convert;
    ProfilesCommand profiles;
    InspectCommand inspect;
    ReleaseCommand release;
    VerifyCommand verify;
    KeygenCommand keygen;

    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    const QStringList rest = arguments.mid(2);

    if (command == QLatin1String("convert"))
        return convert.run(rest);
    if (command == QLatin1String("profiles"))
        return profiles.run(rest);
    if (command == QLatin1String("inspect"))
        return inspect.run(rest);
    if (command == QLatin1String("release"))
        return release.run(rest);
    if (command == QLatin1String("verify"))
        return verify.run(rest);
    if (command == QLatin1String("keygen"))
        return keygen.run(rest);

    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        const QString separator(QStringLiteral("\n"));
        return PrintStandardOutput(overview() + separator + convert.help() + separator + profiles.help() + separator
                                   + inspect.help() + separator + release.help() + separator + verify.help()
                                   + separator + keygen.help());
    }
    if (command == QLatin1String("-v") || command == QLatin1String("--version"))
        return PrintStandardOutput(QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                                 QCoreApplication::applicationVersion()));
    if (command.isEmpty())
        return UsageError(QStringLiteral("no command given (convert, profiles, inspect, release, verify or keygen)"));
    return UsageError(QStringLiteral("unknown command \"%1\" (convert, profiles, inspect, release, verify or keygen)").arg(command));
}
