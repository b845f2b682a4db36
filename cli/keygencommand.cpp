#include "keygencommand.h"

#include "clioutput.h"
#include "messagetext.h"
#include "newfile.h"
#include "signature.h"

#include <QFile>
#include <QFileInfo>

namespace {
bool taken(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}
} // namespace

KeygenCommand::KeygenCommand()
    : m_secret(QStringLiteral("secret"),
               QStringLiteral("Secret key file to make, readable by its owner only, e.g. release.key."),
               QStringLiteral("FILE"))
    , m_public(QStringLiteral("public"), QStringLiteral("Public key file to make, e.g. release.pub."),
               QStringLiteral("FILE"))
{
    AddHelpOption(m_parser);
    m_parser.addOptions({m_secret, m_public});
    m_help.command = QStringLiteral("keygen");
    m_help.usage = QStringLiteral("--secret FILE --public FILE");
    m_help.description = QStringLiteral(
        "Makes an Ed25519 key pair for release --sign, in the format of signify (signify-openbsd), without\n"
        "a passphrase. Keys that signify-openbsd -G -n makes work as well; keys with a passphrase are not\n"
        "read. Existing files are never replaced.\n"
        "Exit status: 0 made, 1 a file exists or cannot be written, 2 usage error.");
    m_help.examples = QStringLiteral("  vandrel-cli keygen --secret release.key --public release.pub\n");
}

QString KeygenCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int KeygenCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseOptionsOnly(m_parser, m_help, arguments))
        return *status;
    const QString secretPath = m_parser.value(m_secret);
    const QString publicPath = m_parser.value(m_public);
    if (secretPath.isEmpty() || publicPath.isEmpty())
        return UsageError(QStringLiteral("--secret and --public are both needed"), m_help.command);
    if (QFileInfo(secretPath).absoluteFilePath() == QFileInfo(publicPath).absoluteFilePath())
        return UsageError(QStringLiteral("--secret and --public name the same file"), m_help.command);
    for (const QString &path : {secretPath, publicPath}) {
        if (taken(path)) {
            PrintError(QStringLiteral("%1 exists; it is not replaced").arg(Quoted(path)));
            return ExitFailure;
        }
    }
    QByteArray secretFile;
    QByteArray publicFile;
    if (!MakeKeyFiles(&secretFile, &publicFile)) {
        PrintError(QStringLiteral("the cryptography library did not start"));
        return ExitFailure;
    }
    QString problem = CreateNewFile(secretPath, secretFile, true);
    if (!problem.isEmpty()) {
        PrintError(QStringLiteral("cannot make secret key %1: %2").arg(Quoted(secretPath), problem));
        return ExitFailure;
    }
    problem = CreateNewFile(publicPath, publicFile, false);
    if (!problem.isEmpty()) {
        // Half a pair is of no use, and the secret half must not lie about.
        QFile::remove(secretPath);
        PrintError(QStringLiteral("cannot make public key %1: %2").arg(Quoted(publicPath), problem));
        return ExitFailure;
    }
    return ExitSuccess;
}
