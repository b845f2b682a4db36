#include "convertcommand.h"

#include "calendar.h"
#include "clioutput.h"
#include "conversion.h"
#include "conversionfields.h"
#include "conversionsummary.h"
#include "profilechoice.h"
#include "profilesettings.h"
#include "settingswarnings.h"
#include "stamptimechoice.h"
#include "terminalprogress.h"

#include <QDateTime>
#include <QFileInfo>

namespace {
const char SourceDateEpochVariable[] = "SOURCE_DATE_EPOCH";

QString optionText(const QCommandLineOption &option)
{
    return QStringLiteral("--") + option.names().constFirst();
}

QString TimeHelp()
{
    return QStringLiteral("Wall-clock reading to stamp instead of the local clock, %1 to %2, "
                          "e.g. \"2026-12-09 14:30:00\". Wins over SOURCE_DATE_EPOCH.")
        .arg(FirstCalendarYear)
        .arg(LastCalendarYear);
}

// The usage, what the command does and examples, for --help.
CommandHelp ConvertHelp()
{
    CommandHelp help;
    help.command = QStringLiteral("convert");
    help.usage = QStringLiteral("[options]");
    help.description = QStringLiteral(
        "Writes the new image (32-byte stamped header, the source, CRC-16 trailer) and its S-record\n"
        "file, its Intel HEX file or both, with the window's checks and refusals. Every file is written\n"
        "under a temporary name beside its target and put in place only when all are complete: a run\n"
        "that fails or is stopped leaves the previous files as they were. A second run onto a file that\n"
        "a run is writing is refused. The time stamped is the local clock, or --time, or the\n"
        "environment variable SOURCE_DATE_EPOCH (seconds since 1970, stamped as its UTC calendar\n"
        "reading); with either, two runs on the same inputs give identical files.\n"
        "Exit status: 0 converted, 1 the conversion was refused or failed, or the settings file cannot\n"
        "be read, 2 usage error.");
    help.examples = QStringLiteral(
        "  vandrel-cli convert --source app.bin --image app_out.bin --s19 app.s19 \\\n"
        "      --address 08000000 --image-version 101\n"
        "  vandrel-cli convert --profile 0\n"
        "  vandrel-cli convert --settings site/VandrelSet.ini --profile \"Controller A\" --image-version 102\n"
        "  SOURCE_DATE_EPOCH=1765289400 vandrel-cli convert --profile 0\n"
        "  vandrel-cli convert --profile 0 --time \"2026-12-09 14:30:00\"\n"
        "  vandrel-cli convert --source app.bin --image app_out.bin --hex app.hex --address 08000000 \\\n"
        "      --image-version 101 --byte-order big --json\n");
    return help;
}

// The files are complete and in place whatever happens to the summary: say so.
int PrintSummary(const ConversionRequest &request)
{
    QString error;
    const QByteArray summary = ConversionSummaryJson(request, &error);
    if (!summary.isEmpty() && WriteStandardOutput(summary, &error))
        return ExitSuccess;
    PrintError(QStringLiteral("the outputs are in place, but the summary could not be written: %1").arg(error));
    return ExitFailure;
}
} // namespace

ConvertCommand::ConvertCommand()
    : m_source(QStringLiteral("source"),
               QStringLiteral("Raw firmware image to read, e.g. firmware/app.bin."), QStringLiteral("FILE"))
    , m_image(QStringLiteral("image"),
              QStringLiteral("New stamped image to write, e.g. out/app_stamped.bin."), QStringLiteral("FILE"))
    , m_srecord(QStringLiteral("s19"),
                QStringLiteral("S-record file to write, e.g. out/app.s19."), QStringLiteral("FILE"))
    , m_hex(QStringLiteral("hex"),
            QStringLiteral("Intel HEX file to write as well as, or instead of, the S-record file, "
                           "e.g. out/app.hex."),
            QStringLiteral("FILE"))
    , m_address(QStringLiteral("address"),
                QStringLiteral("Start address of the new image in the S-record and Intel HEX files, hexadecimal, "
                               "e.g. 08000000."),
                QStringLiteral("HEX"))
    , m_version(QStringLiteral("image-version"),
                QStringLiteral("Software version stamped into the header, 0 to 65535, e.g. 101."),
                QStringLiteral("N"))
    , m_profile(QStringLiteral("profile"),
                QStringLiteral("Take the three paths of this profile of the settings file (its index from 0, "
                               "or its name), and the address and version of its [Sys] section; options given "
                               "here win. Relative paths are taken from the working directory, as in the "
                               "window. E.g. 0 or \"Controller A\"."),
                QStringLiteral("INDEX|NAME"))
    , m_settings(QStringLiteral("settings"),
                 QStringLiteral("Settings file for --profile, e.g. examples/VandrelSet.ini."),
                 QStringLiteral("FILE"), SettingsFileName())
    , m_time(QStringLiteral("time"), TimeHelp(), StampTimeFormat())
    , m_byteOrder(QStringLiteral("byte-order"),
                  QStringLiteral("Byte order of the header's fields: little (the default, as the window writes) "
                                 "or big."),
                  QStringLiteral("little|big"), QStringLiteral("little"))
    , m_json(QStringLiteral("json"),
             QStringLiteral("After a successful run, print what was written as one JSON object: paths, sizes, "
                            "the start address, the header fields, the CRC trailer and the SHA-256 of each file."))
{
    m_parser.addHelpOption();
    m_parser.addOptions({m_source, m_image, m_srecord, m_hex, m_address, m_version, m_profile, m_settings, m_time,
                         m_byteOrder, m_json});

    m_help = ConvertHelp();
}

QString ConvertCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int ConvertCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseCommand(m_parser, m_help, arguments))
        return *status;
    if (!m_parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(m_parser.positionalArguments().constFirst()),
                          m_help.command);

    ConversionRequest request;
    FieldTexts fields;
    QString timeWarning;
    if (const std::optional<int> status = readProfile(request, fields))
        return *status;
    if (const std::optional<int> status = readOptions(request, fields))
        return *status;
    if (const std::optional<int> status = readStampTime(request, timeWarning))
        return *status;
    return convert(request, fields, timeWarning);
}

std::optional<int> ConvertCommand::readProfile(ConversionRequest &request, FieldTexts &fields) const
{
    if (!m_parser.isSet(m_profile)) {
        if (m_parser.isSet(m_settings))
            return UsageError(QStringLiteral("--settings is read only with --profile"), m_help.command);
        return std::nullopt;
    }
    const QString settingsFile = m_parser.value(m_settings);
    const ProfileSettings settings(settingsFile);
    if (const std::optional<int> status = RefuseUnreadableSettings(settings, settingsFile, m_help.command))
        return status;
    WarnOfSystemValues(settings, settingsFile);
    const ProfileChoice choice = ChooseProfile(settings, settingsFile, m_parser.value(m_profile));
    if (choice.index < 0)
        return UsageError(choice.error, m_help.command);
    WarnOfValueTraps(settings, settingsFile, choice.index);
    const ProfilePaths paths = settings.paths(choice.index);
    request.sourcePath = paths.sourcePath;
    request.imagePath = paths.imagePath;
    request.srecordPath = paths.srecordPath;
    request.settingsPath = QFileInfo(settingsFile).absoluteFilePath();
    fields.address = settings.startAddress();
    fields.version = settings.version();
    return std::nullopt;
}

std::optional<int> ConvertCommand::readOptions(ConversionRequest &request, FieldTexts &fields) const
{
    struct Override
    {
        const QCommandLineOption &option;
        QString &field;
    };
    const Override overrides[] = {
        {m_source, request.sourcePath}, {m_image, request.imagePath}, {m_address, fields.address},
        {m_version, fields.version},
    };
    for (const Override &entry : overrides) {
        if (m_parser.isSet(entry.option))
            entry.field = m_parser.value(entry.option);
        else if (!m_parser.isSet(m_profile))
            return UsageError(QStringLiteral("%1 is missing (or give --profile)").arg(optionText(entry.option)),
                              m_help.command);
    }
    if (m_parser.isSet(m_srecord))
        request.srecordPath = m_parser.value(m_srecord);
    if (m_parser.isSet(m_hex))
        request.hexPath = m_parser.value(m_hex);
    if (!m_parser.isSet(m_profile) && !m_parser.isSet(m_srecord) && !m_parser.isSet(m_hex))
        return UsageError(QStringLiteral("--s19 or --hex is missing (or give --profile)"), m_help.command);
    // An empty path means "no Intel HEX file" to the conversion: asked for
    // here, it would silently write none.
    if (m_parser.isSet(m_hex) && request.hexPath.isEmpty()) {
        PrintError(QStringLiteral("no Intel HEX file path given (%1 is empty)").arg(optionText(m_hex)));
        return ExitFailure;
    }

    const QString byteOrder = m_parser.value(m_byteOrder);
    const std::optional<int> littleEndian = ParseByteOrder(byteOrder);
    if (!littleEndian)
        return UsageError(QStringLiteral("--byte-order \"%1\" is neither little nor big").arg(byteOrder),
                          m_help.command);
    request.littleEndian = *littleEndian;
    return std::nullopt;
}

std::optional<int> ConvertCommand::readStampTime(ConversionRequest &request, QString &warning) const
{
    const std::optional<QString> timeText =
        m_parser.isSet(m_time) ? std::optional<QString>(m_parser.value(m_time)) : std::nullopt;
    const StampTimeChoice stampTime =
        ChooseStampTime(timeText, qgetenv(SourceDateEpochVariable), QDateTime::currentDateTime());
    if (!stampTime.error.isEmpty())
        return UsageError(stampTime.error, m_help.command);
    request.wallClock = stampTime.time;
    warning = stampTime.warning;
    return std::nullopt;
}

int ConvertCommand::convert(ConversionRequest &request, const FieldTexts &fields, const QString &timeWarning) const
{
    ConversionResult result = ReadConversionFields(fields.version, fields.address, request);
    if (!timeWarning.isEmpty() && result.succeeded())
        PrintWarning(timeWarning);
    if (result.succeeded()) {
        TerminalProgress shown(!m_parser.isSet(m_json));
        ConversionProgress progress(shown.listener());
        request.progress = &progress;
        result = RunConversion(request);
    }
    if (!result.succeeded()) {
        PrintError(result.detail);
        return ExitFailure;
    }
    return m_parser.isSet(m_json) ? PrintSummary(request) : ExitSuccess;
}
