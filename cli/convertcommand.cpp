#include "convertcommand.h"

#include "calendar.h"
#include "clioutput.h"
#include "conversion.h"
#include "conversionfields.h"
#include "conversionsummary.h"
#include "messagetext.h"
#include "profilechoice.h"
#include "profilesettings.h"
#include "regularfile.h"
#include "settingswarnings.h"
#include "standardoutputrecords.h"
#include "sourceoptions.h"
#include "sourcesummary.h"
#include "stamptimechoice.h"
#include "terminalprogress.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
const char SourceDateEpochVariable[] = "SOURCE_DATE_EPOCH";

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
        "One record file may go to the standard output (--s19 - or --hex -): the new image is put in\n"
        "place first, with the text complete beside it, then the text is written.\n"
        "Exit status: 0 converted, 1 the conversion was refused or failed, the settings file cannot be\n"
        "read or gives a bad value, or the output could not be written, 2 usage error.");
    help.examples = QStringLiteral(
        "  vandrel-cli convert --source app.bin --image app_out.bin --s19 app.s19 \\\n"
        "      --address 08000000 --image-version 101\n"
        "  vandrel-cli convert --profile 0\n"
        "  vandrel-cli convert --settings site/VandrelSet.ini --profile \"Controller A\" --image-version 102\n"
        "  SOURCE_DATE_EPOCH=1765289400 vandrel-cli convert --profile 0\n"
        "  vandrel-cli convert --profile 0 --time \"2026-12-09 14:30:00\"\n"
        "  vandrel-cli convert --source app.bin --image app_out.bin --hex app.hex --address 08000000 \\\n"
        "      --image-version 101 --byte-order big --json\n"
        "  vandrel-cli convert --profile 0 --s19 - | ssh flasher 'load-srec'\n"
        "  vandrel-cli convert --source build/app.elf --image app_out.bin --s19 app.s19 --hex app.hex \\\n"
        "      --image-version 101 --fill FF --json\n");
    return help;
}

// Whether the source may give the start address itself: an addressed
// source does; one that cannot be opened is left to the conversion to refuse.
bool SourceMayGiveAddress(const QString &path, SourceFormat forced)
{
    QFile file;
    if (!OpenRegularFile(file, path).isEmpty())
        return true;
    return ChooseSourceFormat(path, &file, forced).format != SourceFormat::Binary;
}

// The files are complete and in place whatever happens to the summary: say so.
int PrintSummary(const ConversionRequest &request, const ConversionResult &result)
{
    QString error;
    ConversionRequest written = request;
    written.startAddress = result.startAddress;
    QByteArray summary = ConversionSummaryJson(written, &error);
    if (!summary.isEmpty())
        summary = WithSourceFacts(summary, result.source);
    if (!summary.isEmpty() && WriteStandardOutput(summary, &error))
        return ExitSuccess;
    if (!summary.isEmpty() && StandardOutputClosedByReader())
        return ExitClosedPipe;
    PrintError(QStringLiteral("the outputs are in place, but the summary could not be written: %1").arg(error));
    return ExitFailure;
}
} // namespace

ConvertCommand::ConvertCommand()
    : m_source(QStringLiteral("source"),
               QStringLiteral("Firmware to read: a raw image, e.g. firmware/app.bin, or the linker's ELF, "
                                  "Intel HEX or S-record output, placed by its addresses (see --source-format)."),
               QStringLiteral("FILE"))
    , m_image(QStringLiteral("image"),
              QStringLiteral("New stamped image to write, e.g. out/app_stamped.bin."), QStringLiteral("FILE"))
    , m_srecord(QStringLiteral("s19"),
                QStringLiteral("S-record file to write, e.g. out/app.s19; - for the standard output."),
                QStringLiteral("FILE"))
    , m_hex(QStringLiteral("hex"),
            QStringLiteral("Intel HEX file to write as well as, or instead of, the S-record file, "
                           "e.g. out/app.hex; - for the standard output."),
            QStringLiteral("FILE"))
    , m_address(QStringLiteral("address"),
                QStringLiteral("Start address of the new image in the S-record and Intel HEX files, hexadecimal, "
                               "e.g. 08000000. An addressed source must start at this address + 32 (the header); "
                               "without --address and --profile its first data address - 32 is taken."),
                QStringLiteral("HEX"))
    , m_version(QStringLiteral("image-version"),
                QStringLiteral("Software version stamped into the header, 0 to 65535, e.g. 101."),
                QStringLiteral("N"))
    , m_profile(QStringLiteral("profile"),
                QStringLiteral("Take the three paths of this profile of the settings file (its index from 0, "
                               "or its name), and the address, version and fill (Fill) of its [Sys] section; "
                               "options given here win. Relative paths are taken from the working directory, as in the "
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
             QStringLiteral("After a successful run, print what was written as one JSON object (format "
                            "vandrel-convert/1): paths, sizes, the image address, the header fields, the CRC "
                            "trailer and the SHA-256 of each file; for an addressed source also its format, data "
                            "ranges, fill byte, filled ranges and entry address."))
    , m_relocate(SourceOptionSet::relocateOption())
{
    AddHelpOption(m_parser);
    m_parser.addOptions({m_source, m_image, m_srecord, m_hex, m_address, m_version, m_profile, m_settings, m_time,
                         m_byteOrder, m_json, m_relocate});
    m_parser.addOptions(m_sourceOptions.options());

    m_help = ConvertHelp();
}

QString ConvertCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int ConvertCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseOptionsOnly(m_parser, m_help, arguments))
        return *status;

    ConversionRequest request;
    FieldTexts fields;
    QString timeWarning;
    if (const std::optional<int> status = readPathOptions())
        return *status;
    if (const std::optional<int> status = readProfile(request, fields))
        return *status;
    if (const std::optional<int> status = readSourceOptions(request, fields))
        return *status;
    if (const std::optional<int> status = readOptions(request, fields))
        return *status;
    if (const std::optional<int> status = readFields(request, fields))
        return *status;
    if (const std::optional<int> status = readStampTime(request, timeWarning))
        return *status;
    return convert(request, timeWarning);
}

// What the path options name, before anything is read: the standard streams
// only where they can be used whole.
std::optional<int> ConvertCommand::readPathOptions() const
{
    const struct
    {
        const QCommandLineOption &option;
        const char *why; // why it cannot be a standard stream; null when it can
    } paths[] = {
        {m_source, "the source image is read from a file only: the conversion checks that it does not change "
                   "while it is read"},
        {m_image, "the new image is written to a file only: it is put in place whole, or the previous file "
                  "stays"},
        {m_srecord, nullptr},
        {m_hex, nullptr},
    };
    int toStandardOutput = 0;
    for (const auto &path : paths) {
        if (!m_parser.isSet(path.option))
            continue;
        const QString value = m_parser.value(path.option);
        const QString name = OptionText(path.option.names().constFirst());
        if (value.isEmpty())
            return UsageError(QStringLiteral("%1 needs a file name (it is empty)").arg(name), m_help.command);
        const bool standardStream = StandardOutputRecords::isStandardOutput(value);
        if (standardStream && path.why)
            return UsageError(QStringLiteral("%1 %2: %3").arg(name, Quoted(value), QLatin1String(path.why)),
                              m_help.command);
        toStandardOutput += standardStream ? 1 : 0;
    }
    if (toStandardOutput > 1)
        return UsageError(QStringLiteral("only one of --s19 and --hex may go to the standard output"), m_help.command);
    if (toStandardOutput == 1 && m_parser.isSet(m_json))
        return UsageError(QStringLiteral("--json cannot share the standard output with the record text"),
                          m_help.command);
    return std::nullopt;
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
    if (const std::optional<int> status = RefuseUnreadableSettings(settings, settingsFile))
        return status;
    WarnOfSystemValues(settings, settingsFile);
    const ProfileChoice choice = ChooseProfile(settings, settingsFile, m_parser.value(m_profile));
    if (choice.index < 0)
        return UsageError(choice.error, m_help.command);
    WarnOfValueTraps(settings, settingsFile, choice.index);
    if (const std::optional<int> status = refuseMissingKeys(settings, settingsFile, choice.index))
        return status;
    const ProfilePaths paths = settings.paths(choice.index);
    request.sourcePath = paths.sourcePath;
    request.imagePath = paths.imagePath;
    request.srecordPath = paths.srecordPath;
    request.settingsPath = QFileInfo(settingsFile).absoluteFilePath();
    const QString where = QStringLiteral("settings file %1, [Sys] ").arg(Quoted(settingsFile));
    fields.address = {settings.startAddress(), where + QStringLiteral("Addr=") + Quoted(settings.startAddress()),
                      false};
    fields.version = {settings.version(), where + QStringLiteral("Ver=") + Quoted(settings.version()), false};
    fields.fill = settings.fill();
    return std::nullopt;
}

std::optional<int> ConvertCommand::readSourceOptions(ConversionRequest &request, const FieldTexts &fields) const
{
    SourceOptions &source = request.source;
    if (const std::optional<int> status =
            m_sourceOptions.read(m_parser, m_help.command, fields.fill, source.format, source.layout))
        return status;
    source.relocate = m_parser.isSet(m_relocate);
    return std::nullopt;
}

// A key the profile lacks reads as an empty path: refused by name, unless an
// option gives the path instead.
std::optional<int> ConvertCommand::refuseMissingKeys(const ProfileSettings &settings, const QString &settingsFile,
                                                     int index) const
{
    const struct
    {
        const char *key;
        const QCommandLineOption &option;
    } keys[] = {{"PBin", m_source}, {"NBin", m_image}, {"NS19", m_srecord}};
    const QStringList missing = settings.missingProfileKeys(index);
    QStringList needed;
    QStringList givenOptions;
    for (const auto &key : keys) {
        if (missing.contains(QLatin1String(key.key)) && !m_parser.isSet(key.option)) {
            needed << QLatin1String(key.key);
            givenOptions << OptionText(key.option.names().constFirst());
        }
    }
    if (needed.isEmpty())
        return std::nullopt;
    const QString profile = QStringLiteral("profile %1 of settings file %2").arg(index).arg(Quoted(settingsFile));
    const QString section = QStringLiteral("[Dev%1]").arg(index);
    const QString options = givenOptions.size() == 1
        ? givenOptions.constFirst()
        : QStringList(givenOptions.mid(0, givenOptions.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" and ")
            + givenOptions.constLast();
    if (!settings.hasProfileSection(index))
        PrintError(QStringLiteral("%1 has no section %2 (give %3, or write the section)").arg(profile, section, options));
    else
        PrintError(QStringLiteral("%1 has no %2 in %3 (give %4, or write the key)")
                       .arg(profile, needed.join(QStringLiteral(", ")), section, options));
    return ExitFailure;
}

std::optional<int> ConvertCommand::readOptions(ConversionRequest &request, FieldTexts &fields) const
{
    struct Override
    {
        const QCommandLineOption &option;
        QString &path;
    };
    const Override paths[] = {{m_source, request.sourcePath}, {m_image, request.imagePath}};
    for (const Override &entry : paths) {
        if (m_parser.isSet(entry.option))
            entry.path = m_parser.value(entry.option);
        else if (!m_parser.isSet(m_profile))
            return missingOption(entry.option);
    }
    const std::pair<const QCommandLineOption &, FieldText &> values[] = {{m_address, fields.address},
                                                                          {m_version, fields.version}};
    for (const auto &entry : values) {
        const QString name = OptionText(entry.first.names().constFirst());
        if (m_parser.isSet(entry.first)) {
            entry.second = {m_parser.value(entry.first), name + QLatin1Char(' ') + Quoted(m_parser.value(entry.first)),
                            true};
        } else if (&entry.first == &m_address && !m_parser.isSet(m_profile) && m_parser.isSet(m_source)
                   && SourceMayGiveAddress(m_parser.value(m_source), request.source.format)) {
            // Taken from the source's first data address.
            request.source.startAddressFromSource = true;
            entry.second = {QStringLiteral("0"), name, true};
        } else if (!m_parser.isSet(m_profile))
            return missingOption(entry.first);
    }
    if (m_parser.isSet(m_srecord))
        request.srecordPath = m_parser.value(m_srecord);
    if (m_parser.isSet(m_hex))
        request.hexPath = m_parser.value(m_hex);
    if (!m_parser.isSet(m_profile) && !m_parser.isSet(m_srecord) && !m_parser.isSet(m_hex))
        return UsageError(QStringLiteral("--s19 or --hex is missing (or give --profile)"), m_help.command);

    const QString byteOrder = m_parser.value(m_byteOrder);
    const std::optional<int> littleEndian = ParseByteOrder(byteOrder);
    if (!littleEndian)
        return UsageError(QStringLiteral("--byte-order \"%1\" is neither little nor big").arg(byteOrder),
                          m_help.command);
    request.littleEndian = *littleEndian;
    return std::nullopt;
}

int ConvertCommand::missingOption(const QCommandLineOption &option) const
{
    return UsageError(QStringLiteral("%1 is missing (or give --profile)").arg(OptionText(option.names().constFirst())),
                      m_help.command);
}

// A value typed on the command line that does not read is a usage error; one
// read from the settings file fails the run, naming the key.
std::optional<int> ConvertCommand::readFields(ConversionRequest &request, const FieldTexts &fields) const
{
    const auto refuse = [this](const FieldText &field, const QString &message) {
        if (field.fromOption)
            return UsageError(message, m_help.command);
        PrintError(message);
        return int(ExitFailure);
    };
    const std::optional<quint16> version = ParseVersion(fields.version.text);
    if (!version)
        return refuse(fields.version, fields.version.named + QStringLiteral(" is not a whole number from 0 to 65535"));
    const std::optional<quint32> address = ParseStartAddress(fields.address.text);
    if (!address)
        return refuse(fields.address, StartAddressRefusal(fields.address.named));
    request.version = *version;
    request.startAddress = *address;
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

// The record file option that names the standard output, if any.
const QCommandLineOption *ConvertCommand::standardOutputOption() const
{
    for (const QCommandLineOption *option : {&m_srecord, &m_hex}) {
        if (m_parser.isSet(*option) && StandardOutputRecords::isStandardOutput(m_parser.value(*option)))
            return option;
    }
    return nullptr;
}

int ConvertCommand::convert(ConversionRequest &request, const QString &timeWarning) const
{
    StandardOutputRecords standardOutput;
    const QCommandLineOption *const toStandardOutput = standardOutputOption();
    const bool hex = toStandardOutput == &m_hex;
    if (toStandardOutput) {
        QString error;
        QString &path = hex ? request.hexPath : request.srecordPath;
        path = standardOutput.temporaryPath(&error);
        if (path.isEmpty()) {
            PrintError(error);
            return ExitFailure;
        }
    }
    if (!timeWarning.isEmpty())
        PrintWarning(timeWarning);
    TerminalProgress shown(!m_parser.isSet(m_json));
    ConversionProgress progress(shown.listener());
    request.progress = &progress;
    const ConversionResult result = RunConversion(request);
    if (!result.succeeded()) {
        PrintError(result.detail);
        return ExitFailure;
    }
    if (toStandardOutput)
        return standardOutput.copyToStandardOutput(request.imagePath,
                                                   hex ? QStringLiteral("Intel HEX") : QStringLiteral("S-record"));
    return m_parser.isSet(m_json) ? PrintSummary(request, result) : ExitSuccess;
}
