#include "verifycommand.h"

#include "clioutput.h"
#include "orderedjson.h"
#include "releaseverification.h"

namespace {
QString verdictText(VerifiedFile::Verdict verdict)
{
    switch (verdict) {
    case VerifiedFile::Ok:
        return QStringLiteral("OK");
    case VerifiedFile::NotChecked:
        return QStringLiteral("NOT CHECKED");
    case VerifiedFile::Failed:
        break;
    }
    return QStringLiteral("FAILED");
}

QString statusName(VerifiedFile::Verdict verdict)
{
    switch (verdict) {
    case VerifiedFile::Ok:
        return QStringLiteral("ok");
    case VerifiedFile::NotChecked:
        return QStringLiteral("notChecked");
    case VerifiedFile::Failed:
        break;
    }
    return QStringLiteral("failed");
}

int failedCount(const ReleaseVerification &verification)
{
    int failed = verification.manifestError.isEmpty() ? 0 : 1;
    for (const VerifiedFile &file : verification.files)
        failed += file.verdict == VerifiedFile::Failed ? 1 : 0;
    return failed;
}
} // namespace

VerifyCommand::VerifyCommand()
    : m_publicKey(QStringLiteral("public-key"),
                  QStringLiteral("Also check the manifest's signature (MANIFEST.sig) with this public key; an "
                                 "unsigned manifest then fails."),
                  QStringLiteral("FILE"))
    , m_requireSources(QStringLiteral("require-sources"),
                       QStringLiteral("A source or settings file that is not there fails instead of being "
                                      "reported as not checked."))
    , m_json(QStringLiteral("json"), QStringLiteral("Print the verdicts as one JSON object."))
{
    AddHelpOption(m_parser);
    m_parser.addOptions({m_publicKey, m_requireSources, m_json});
    m_parser.addPositionalArgument(QStringLiteral("MANIFEST"), QStringLiteral("The manifest of a release."));

    m_help.command = QStringLiteral("verify");
    m_help.usage = QStringLiteral("MANIFEST [--public-key FILE] [--require-sources] [--json]");
    m_help.description = QStringLiteral(
        "Checks a release against its manifest: every file it names has the size and SHA-256 recorded;\n"
        "each image's header and CRC are sound and as recorded; each S-record and Intel HEX file holds\n"
        "its image at the start address. Sources and the settings file are checked when they are there\n"
        "(reported NOT CHECKED otherwise); a missing output always fails. With --public-key the\n"
        "signature MANIFEST.sig is checked first. Paths are taken relative to the manifest's folder.\n"
        "Prints one line per file: PATH: OK, PATH: FAILED: reason, or PATH: NOT CHECKED: reason.\n"
        "Only reads; writes nothing.\n"
        "Exit status: 0 everything holds, 1 a file or the signature failed or the manifest cannot be\n"
        "read, 2 usage error.");
    m_help.examples = QStringLiteral("  vandrel-cli verify out/release.json\n"
                                     "  vandrel-cli verify out/release.json --public-key release.pub --require-sources\n");
}

QString VerifyCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int VerifyCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseCommand(m_parser, m_help, arguments))
        return *status;
    const QStringList positional = m_parser.positionalArguments();
    if (positional.isEmpty())
        return UsageError(QStringLiteral("no manifest given"), m_help.command);
    if (positional.size() > 1)
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(positional.at(1)), m_help.command);
    if (m_parser.isSet(m_publicKey) && m_parser.value(m_publicKey).isEmpty())
        return UsageError(QStringLiteral("--public-key is empty"), m_help.command);

    VerificationRequest request;
    request.manifestPath = positional.constFirst();
    request.publicKeyPath = m_parser.value(m_publicKey);
    request.requireSources = m_parser.isSet(m_requireSources);
    const ReleaseVerification verification = VerifyRelease(request);
    if (!verification.error.isEmpty()) {
        PrintError(verification.error);
        return ExitFailure;
    }
    return m_parser.isSet(m_json) ? printJson(request.manifestPath, verification)
                                  : printText(request.manifestPath, verification);
}

int VerifyCommand::printText(const QString &manifestPath, const ReleaseVerification &verification) const
{
    QTextStream &out = StandardOutput();
    for (const VerifiedFile &file : verification.files) {
        out << file.path << ": " << verdictText(file.verdict);
        if (!file.reason.isEmpty())
            out << ": " << file.reason;
        out << '\n';
    }
    if (!verification.manifestError.isEmpty())
        out << manifestPath << ": FAILED: the manifest " << verification.manifestError << '\n';
    out.flush();
    const int failed = failedCount(verification);
    if (failed == 0)
        return ExitSuccess;
    PrintError(QStringLiteral("%1 of the release's checks FAILED").arg(failed));
    return ExitFailure;
}

int VerifyCommand::printJson(const QString &manifestPath, const ReleaseVerification &verification) const
{
    OrderedJson files = OrderedJson::array();
    for (const VerifiedFile &file : verification.files) {
        OrderedJson entry = OrderedJson::object()
                                .add(QStringLiteral("path"), OrderedJson::string(file.path))
                                .add(QStringLiteral("what"), OrderedJson::string(file.what))
                                .add(QStringLiteral("status"), OrderedJson::string(statusName(file.verdict)));
        if (!file.reason.isEmpty())
            entry.add(QStringLiteral("reason"), OrderedJson::string(file.reason));
        files.append(entry);
    }
    OrderedJson document = OrderedJson::object()
                               .add(QStringLiteral("format"), OrderedJson::string(QStringLiteral("vandrel-verify/1")))
                               .add(QStringLiteral("manifest"), OrderedJson::string(manifestPath))
                               .add(QStringLiteral("passed"), OrderedJson::boolean(verification.passed()));
    if (!verification.manifestError.isEmpty())
        document.add(QStringLiteral("manifestError"),
                     OrderedJson::string(QStringLiteral("the manifest ") + verification.manifestError));
    document.add(QStringLiteral("files"), files);
    QString error;
    if (!WriteStandardOutput(document.toJson(), &error)) {
        PrintError(QStringLiteral("the verdicts could not be written: %1").arg(error));
        return ExitFailure;
    }
    return verification.passed() ? ExitSuccess : ExitFailure;
}
