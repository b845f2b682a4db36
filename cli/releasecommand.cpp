#include "releasecommand.h"

#include "calendar.h"
#include "clioutput.h"
#include "conversionfields.h"
#include "messagetext.h"
#include "profilechoice.h"
#include "profilesettings.h"
#include "settingswarnings.h"
#include "signature.h"
#include "smallfile.h"
#include "stamptimechoice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
const char SourceDateEpochVariable[] = "SOURCE_DATE_EPOCH";

CommandHelp ReleaseHelp()
{
    CommandHelp help;
    help.command = QStringLiteral("release");
    help.usage = QStringLiteral("--manifest FILE [--settings FILE] [--profile INDEX|NAME]... [--sign SECRET_KEY]\n"
                                "       [--hex] [--address HEX] [--image-version N] [--time TIME] [--byte-order ORDER]\n"
                                "       [--source-format FORMAT] [--fill HEX] [--max-size BYTES] [--crop START-END]\n"
                                "       [--relocate]");
    help.description = QStringLiteral(
        "Converts every profile of the settings file (or those named with --profile) as convert --profile\n"
        "does, and writes a manifest (JSON, \"vandrel-release/1\") of what was written and from what:\n"
        "the settings file, each profile's source and the format it was read in (a raw binary, ELF,\n"
        "Intel HEX or S-records, chosen as convert chooses), start address, version, header, CRC and\n"
        "outputs, each with its size and SHA-256, paths relative to the manifest's folder. With --sign,\n"
        "also an Ed25519 signature of the manifest beside it (FILE.sig, signify's format: signify-openbsd\n"
        "-V -p KEY.pub -m FILE checks it); without, an earlier FILE.sig is removed. Every file of every\n"
        "profile, the manifest and the signature are written under temporary names and put in place\n"
        "together: a release that is refused, fails or is stopped leaves every previous file as it was.\n"
        "With --time or SOURCE_DATE_EPOCH two releases of the same inputs give identical files.\n"
        "Exit status: 0 released, 1 the release was refused or failed, 2 usage error.");
    help.examples = QStringLiteral(
        "  vandrel-cli release --manifest out/release.json\n"
        "  vandrel-cli release --manifest out/release.json --sign release.key --hex\n"
        "  vandrel-cli release --settings site/VandrelSet.ini --profile 0 --profile \"Controller B\" \\\n"
        "      --manifest site/out/release.json --time \"2026-12-09 14:30:00\"\n");
    return help;
}

// The Intel HEX file beside the S-record file: the same name, ".hex".
QString hexPathBeside(const QString &srecordPath)
{
    const QFileInfo info(srecordPath);
    const QString name = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return QDir::cleanPath(info.path() + QLatin1Char('/') + name + QStringLiteral(".hex"));
}
} // namespace

ReleaseCommand::ReleaseCommand()
    : m_settings(QStringLiteral("settings"), QStringLiteral("Settings file of the profiles, e.g. examples/VandrelSet.ini."),
                 QStringLiteral("FILE"), SettingsFileName())
    , m_profile(QStringLiteral("profile"),
                QStringLiteral("Release this profile (its index from 0, or its name); repeat it for more. "
                               "Default: every profile."),
                QStringLiteral("INDEX|NAME"))
    , m_manifest(QStringLiteral("manifest"), QStringLiteral("Manifest to write, e.g. out/release.json."),
                 QStringLiteral("FILE"))
    , m_sign(QStringLiteral("sign"),
             QStringLiteral("Sign the manifest with this secret key (vandrel-cli keygen or signify-openbsd -G -n), "
                            "writing FILE.sig."),
             QStringLiteral("SECRET_KEY"))
    , m_hex(QStringLiteral("hex"),
            QStringLiteral("Also write an Intel HEX file beside each S-record file (the same name, .hex)."))
    , m_address(QStringLiteral("address"),
                QStringLiteral("Start address for every profile, hexadecimal, instead of [Sys] Addr."),
                QStringLiteral("HEX"))
    , m_version(QStringLiteral("image-version"),
                QStringLiteral("Software version for every profile, 0 to 65535, instead of [Sys] Ver."),
                QStringLiteral("N"))
    , m_time(QStringLiteral("time"),
             QStringLiteral("Wall-clock reading to stamp instead of the local clock, %1 to %2. "
                            "Wins over SOURCE_DATE_EPOCH.")
                 .arg(FirstCalendarYear)
                 .arg(LastCalendarYear),
             StampTimeFormat())
    , m_byteOrder(QStringLiteral("byte-order"),
                  QStringLiteral("Byte order of the headers' fields: little (the default) or big."),
                  QStringLiteral("little|big"), QStringLiteral("little"))
    , m_relocate(SourceOptionSet::relocateOption())
{
    AddHelpOption(m_parser);
    m_parser.addOptions(
        {m_settings, m_profile, m_manifest, m_sign, m_hex, m_address, m_version, m_time, m_byteOrder, m_relocate});
    m_parser.addOptions(m_sourceOptions.options());
    m_help = ReleaseHelp();
}

QString ReleaseCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int ReleaseCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseOptionsOnly(m_parser, m_help, arguments))
        return *status;
    if (!m_parser.isSet(m_manifest) || m_parser.value(m_manifest).isEmpty())
        return UsageError(QStringLiteral("--manifest is missing"), m_help.command);

    ReleaseRequest release;
    release.manifestPath = m_parser.value(m_manifest);
    release.settingsPath = m_parser.value(m_settings);
    release.toolName = QCoreApplication::applicationName();
    release.toolVersion = QCoreApplication::applicationVersion();
    if (const std::optional<int> status = readProfiles(release))
        return *status;
    if (const std::optional<int> status = readSigningKey(release))
        return *status;
    const QString failure = RunRelease(release);
    if (!failure.isEmpty()) {
        PrintError(failure);
        return ExitFailure;
    }
    return ExitSuccess;
}

std::optional<int> ReleaseCommand::readProfiles(ReleaseRequest &release) const
{
    const ProfileSettings settings(release.settingsPath);
    if (const std::optional<int> status = RefuseUnreadableSettings(settings, release.settingsPath))
        return status;
    WarnOfSystemValues(settings, release.settingsPath);
    QVector<int> indexes;
    if (const std::optional<int> status = chooseProfiles(settings, indexes))
        return status;
    ConversionRequest common;
    if (const std::optional<int> status = readRequestOptions(common, settings.fill()))
        return status;
    const QString address = m_parser.isSet(m_address) ? m_parser.value(m_address) : settings.startAddress();
    const QString version = m_parser.isSet(m_version) ? m_parser.value(m_version) : settings.version();
    const ConversionResult fields = ReadConversionFields(version, address, common);
    if (!fields.succeeded()) {
        PrintError(fields.detail);
        return ExitFailure;
    }
    for (const int index : std::as_const(indexes)) {
        WarnOfValueTraps(settings, release.settingsPath, index);
        const ProfilePaths paths = settings.paths(index);
        ConversionRequest request = common;
        request.sourcePath = paths.sourcePath;
        request.imagePath = paths.imagePath;
        request.srecordPath = paths.srecordPath;
        if (m_parser.isSet(m_hex) && !paths.srecordPath.isEmpty())
            request.hexPath = hexPathBeside(paths.srecordPath);
        release.profiles.push_back({index, settings.deviceName(index), request});
    }
    return std::nullopt;
}

std::optional<int> ReleaseCommand::chooseProfiles(const ProfileSettings &settings, QVector<int> &indexes) const
{
    const QString settingsFile = m_parser.value(m_settings);
    for (const QString &name : m_parser.values(m_profile)) {
        const ProfileChoice choice = ChooseProfile(settings, settingsFile, name);
        if (choice.index < 0)
            return UsageError(choice.error, m_help.command);
        if (indexes.contains(choice.index))
            return UsageError(QStringLiteral("profile %1 is named twice").arg(choice.index), m_help.command);
        indexes << choice.index;
    }
    if (!m_parser.isSet(m_profile)) {
        for (int index = 0; index < settings.deviceCount(); ++index)
            indexes << index;
    }
    if (indexes.isEmpty()) {
        PrintError(QStringLiteral("settings file %1 lists no profile").arg(Quoted(settingsFile)));
        return ExitFailure;
    }
    return std::nullopt;
}

// What every profile shares: the byte order, the time, the settings file,
// how addressed sources are read.
std::optional<int> ReleaseCommand::readRequestOptions(ConversionRequest &request, const QString &settingsFill) const
{
    if (const std::optional<int> status = m_sourceOptions.read(m_parser, m_help.command, settingsFill,
                                                               request.source.format, request.source.layout))
        return status;
    request.source.relocate = m_parser.isSet(m_relocate);
    const QString byteOrder = m_parser.value(m_byteOrder);
    const std::optional<int> littleEndian = ParseByteOrder(byteOrder);
    if (!littleEndian)
        return UsageError(QStringLiteral("--byte-order \"%1\" is neither little nor big").arg(byteOrder),
                          m_help.command);
    request.littleEndian = *littleEndian;
    const std::optional<QString> timeText =
        m_parser.isSet(m_time) ? std::optional<QString>(m_parser.value(m_time)) : std::nullopt;
    const StampTimeChoice stampTime =
        ChooseStampTime(timeText, qgetenv(SourceDateEpochVariable), QDateTime::currentDateTime());
    if (!stampTime.error.isEmpty())
        return UsageError(stampTime.error, m_help.command);
    if (!stampTime.warning.isEmpty())
        PrintWarning(stampTime.warning);
    request.wallClock = stampTime.time;
    request.settingsPath = QFileInfo(m_parser.value(m_settings)).absoluteFilePath();
    return std::nullopt;
}

std::optional<int> ReleaseCommand::readSigningKey(ReleaseRequest &release) const
{
    if (!m_parser.isSet(m_sign))
        return std::nullopt;
    const QString path = m_parser.value(m_sign);
    QByteArray contents;
    QString problem = ReadSmallFile(path, MaxKeyFileSize, &contents);
    SecretKey key;
    if (problem.isEmpty())
        problem = ParseSecretKey(contents, &key);
    if (!problem.isEmpty()) {
        PrintError(QStringLiteral("secret key %1 %2").arg(Quoted(path), problem));
        return ExitFailure;
    }
    release.signingKey = key;
    return std::nullopt;
}
