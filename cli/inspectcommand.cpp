#include "inspectcommand.h"

#include "clioutput.h"
#include "conversionfields.h"
#include "inspectionreport.h"
#include "intelhexinspection.h"
#include "jsondocument.h"
#include "messagetext.h"
#include "regularfile.h"
#include "srecordinspection.h"
#include "standardinput.h"

#include <QFile>

#include <optional>

namespace {
// Opens an untrusted file for reading. Only a regular file is opened: the
// checks read to the end, which a device (/dev/zero) never reaches, and a
// FIFO is opened without waiting for a writer, then refused.
std::optional<QString> openForInspection(QFile &file, const QString &path, const QString &what)
{
    const QString error = OpenRegularFile(file, path);
    if (error.isEmpty())
        return std::nullopt;
    if (error == NotRegularFileText())
        return QStringLiteral("%1 %2 is %3").arg(what, Quoted(path), error);
    return QStringLiteral("cannot open %1 %2: %3").arg(what, Quoted(path), error);
}

int Unreadable(const QString &paths, const QString &error)
{
    PrintError(QStringLiteral("cannot read %1: %2").arg(paths, error));
    return ExitFailure;
}
} // namespace

// The files of one inspection, each opened before any is read.
struct InspectCommand::Files
{
    QFile image;
    QFile srecords;
    QFile intelHex;
    QFile source;
    StandardInputDevice standardInput; // for the record file given as "-"
    QIODevice *srecordDevice = &srecords;
    QIODevice *intelHexDevice = &intelHex;
};

InspectCommand::InspectCommand()
    : m_srecord(QStringLiteral("s19"),
                QStringLiteral("Also check this S-record file against the image, e.g. out/app.s19 (any tool's)."),
                QStringLiteral("FILE"))
    , m_intelHex(QStringLiteral("hex"),
                 QStringLiteral("Also check this Intel HEX file against the image, e.g. out/app.hex (any tool's)."),
                 QStringLiteral("FILE"))
    , m_source(QStringLiteral("source"),
               QStringLiteral("Also check that the image's payload equals this source: a raw file byte for byte, "
                              "e.g. build/app.bin, or an ELF, Intel HEX or S-record file placed by address with its "
                              "gaps filled, as convert places it."),
               QStringLiteral("FILE"))
    , m_address(QStringLiteral("address"),
                QStringLiteral("With --s19 or --hex: the address of the image's first byte, hexadecimal, e.g. 08000000 "
                               "(default: the lowest data address)."),
                QStringLiteral("HEX"))
    , m_strict(QStringLiteral("strict"),
               QStringLiteral("With --s19 or --hex: a file not in this tool's own layout fails (s19-lines, hex-lines)."))
    , m_json(QStringLiteral("json"), QStringLiteral("Print the report as one JSON object."))
{
    AddHelpOption(m_parser);
    m_parser.addOptions({m_srecord, m_intelHex, m_source, m_address, m_strict, m_json});
    m_parser.addOptions(m_sourceOptions.options());
    m_parser.addPositionalArgument(QStringLiteral("IMAGE.bin"), QStringLiteral("The stamped image to check."));

    m_help.command = QStringLiteral("inspect");
    m_help.usage = QStringLiteral("IMAGE.bin [--s19 FILE.s19] [--hex FILE.hex] [--address HEX] [--strict]\n"
                                  "       [--source FILE [--source-format FORMAT] [--fill HEX] [--crop START-END]]\n"
                                  "       [--json]");
    m_help.description = QStringLiteral(
        "Prints the header fields and trailer of a stamped image and a verdict per check: magic in\n"
        "either byte order agreeing with the littleEndian field, length equal to the file size, header\n"
        "checksum, reserved bytes zero, CRC-16 of the payload equal to the trailer, trailer padding zero.\n"
        "With --s19 or --hex: any well-formed file of the format, from this tool or another; every\n"
        "record checksum; the data, collected by address, equal to the image placed at the address\n"
        "(first difference, gaps, overlaps with different bytes, data outside the image). Whether the\n"
        "file has this tool's own layout is noted, and fails only with --strict.\n"
        "With --source: the payload equal to the raw file byte for byte, or to an ELF, Intel HEX or\n"
        "S-record source placed by address from its lowest data address, gaps filled (--fill).\n"
        "Exit status: 0 every check holds, 1 a check failed, a file cannot be read or the report\n"
        "cannot be written, 2 usage error.");
    m_help.examples = QStringLiteral(
        "  vandrel-cli inspect out/app_out.bin\n"
        "  vandrel-cli inspect out/app_out.bin --s19 out/app.s19 --address 08000000 --strict\n"
        "  vandrel-cli inspect out/app_out.bin --hex objcopy.hex --s19 srec_cat.s19 --source build/app.bin\n"
        "  vandrel-cli inspect out/app_out.bin --s19 out/app.s19 --json\n"
        "  ssh builder cat app.s19 | vandrel-cli inspect app_out.bin --s19 - --address 08000000\n"
        "  vandrel-cli inspect out/app_out.bin --source build/app.elf --fill FF\n");
}

QString InspectCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int InspectCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseCommand(m_parser, m_help, arguments))
        return *status;
    Choices choices;
    if (const std::optional<int> status = readChoices(choices))
        return *status;

    InspectionReport report;
    report.imagePath = choices.imagePath;
    report.srecordPath = m_parser.value(m_srecord);
    report.intelHexPath = m_parser.value(m_intelHex);
    report.sourcePath = m_parser.value(m_source);
    Files files;
    if (const std::optional<int> status = openFiles(report, files))
        return *status;
    if (const std::optional<int> status = inspect(choices, files, report))
        return *status;
    return printReport(report);
}

std::optional<int> InspectCommand::readChoices(Choices &choices) const
{
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() != 1)
        return UsageError(positional.isEmpty() ? QStringLiteral("no image given")
                                               : QStringLiteral("one image at a time, not %1").arg(positional.size()),
                          m_help.command);
    choices.imagePath = positional.constFirst();
    if (const std::optional<int> status = readStandardInputChoices(choices))
        return status;
    const bool recordFiles = m_parser.isSet(m_srecord) || m_parser.isSet(m_intelHex);
    for (const QCommandLineOption *option : {&m_address, &m_strict}) {
        if (m_parser.isSet(*option) && !recordFiles)
            return UsageError(QStringLiteral("--%1 needs --s19 or --hex").arg(option->names().constFirst()),
                              m_help.command);
    }
    if (m_parser.isSet(m_address)) {
        const QString text = m_parser.value(m_address);
        choices.address = ParseStartAddress(text);
        if (!choices.address)
            return UsageError(StartAddressRefusal(QStringLiteral("--address ") + Quoted(text)),
                              m_help.command);
    }
    choices.strict = m_parser.isSet(m_strict);
    for (const QCommandLineOption &option : m_sourceOptions.options()) {
        if (m_parser.isSet(option) && !m_parser.isSet(m_source))
            return UsageError(QStringLiteral("--%1 needs --source").arg(option.names().constFirst()), m_help.command);
    }
    return m_sourceOptions.read(m_parser, m_help.command, QString(), choices.sourceFormat, choices.sourceLayout);
}

// Only a record file, read once from the start, can come from the standard
// input: the image is read at any offset, and the source beside it.
std::optional<int> InspectCommand::readStandardInputChoices(const Choices &choices) const
{
    if (IsStandardInput(choices.imagePath))
        return UsageError(QStringLiteral("the image %1 is read at any offset, so only from a file; give its path "
                                         "(./- for a file named -)")
                              .arg(Quoted(choices.imagePath)),
                          m_help.command);
    if (m_parser.isSet(m_source) && IsStandardInput(m_parser.value(m_source)))
        return UsageError(QStringLiteral("--source %1: the source is read from a file only; give its path")
                              .arg(Quoted(m_parser.value(m_source))),
                          m_help.command);
    const bool srecords = m_parser.isSet(m_srecord) && IsStandardInput(m_parser.value(m_srecord));
    const bool intelHex = m_parser.isSet(m_intelHex) && IsStandardInput(m_parser.value(m_intelHex));
    if (srecords && intelHex)
        return UsageError(QStringLiteral("only one of --s19 and --hex may read the standard input"), m_help.command);
    if ((srecords || intelHex) && !m_parser.isSet(m_address))
        return UsageError(QStringLiteral("%1 - reads the standard input once, so it needs --address")
                              .arg(srecords ? QStringLiteral("--s19") : QStringLiteral("--hex")),
                          m_help.command);
    return std::nullopt;
}

// Every file is opened before any is read, so a wrong path costs no reading.
std::optional<int> InspectCommand::openFiles(const InspectionReport &report, Files &files) const
{
    const struct
    {
        QFile *file;
        const QCommandLineOption *option;
        const QString &path;
        QString what;
    } entries[] = {
        {&files.image, nullptr, report.imagePath, QStringLiteral("image")},
        {&files.srecords, &m_srecord, report.srecordPath, QStringLiteral("S-record file")},
        {&files.intelHex, &m_intelHex, report.intelHexPath, QStringLiteral("Intel HEX file")},
        {&files.source, &m_source, report.sourcePath, QStringLiteral("source")},
    };
    for (const auto &entry : entries) {
        if (entry.option && !m_parser.isSet(*entry.option))
            continue;
        if (entry.option && IsStandardInput(entry.path)) {
            QIODevice *&device = entry.file == &files.srecords ? files.srecordDevice : files.intelHexDevice;
            device = &files.standardInput;
            const QString error = files.standardInput.openInput();
            if (!error.isEmpty()) {
                PrintError(QStringLiteral("cannot read the %1 from the standard input: %2").arg(entry.what, error));
                return ExitFailure;
            }
            continue;
        }
        if (const std::optional<QString> error = openForInspection(*entry.file, entry.path, entry.what)) {
            PrintError(*error);
            return ExitFailure;
        }
    }
    return std::nullopt;
}

std::optional<int> InspectCommand::inspect(const Choices &choices, Files &files, InspectionReport &report) const
{
    const QString imageName = Quoted(report.imagePath);
    const auto eitherName = [&imageName](const QString &path) {
        return QStringLiteral("%1 or %2").arg(Quoted(path), imageName);
    };
    report.image = InspectImage(&files.image);
    if (!report.image.readError.isEmpty())
        return Unreadable(QStringLiteral("image ") + imageName, report.image.readError);
    if (m_parser.isSet(m_srecord)) {
        report.srecords = InspectSRecords(files.srecordDevice, &files.image, choices.address, choices.strict);
        if (!report.srecords->readError.isEmpty())
            return Unreadable(eitherName(report.srecordPath), report.srecords->readError);
    }
    if (m_parser.isSet(m_intelHex)) {
        report.intelHex = InspectIntelHex(files.intelHexDevice, &files.image, choices.address, choices.strict);
        if (!report.intelHex->readError.isEmpty())
            return Unreadable(eitherName(report.intelHexPath), report.intelHex->readError);
    }
    if (m_parser.isSet(m_source)) {
        const SourceFormat format = ChooseSourceFormat(report.sourcePath, &files.source, choices.sourceFormat).format;
        report.source = format == SourceFormat::Binary
            ? CompareWithSource(&files.image, &files.source)
            : CompareWithPlacedSource(&files.image, &files.source, format, choices.sourceLayout);
        if (!report.source->readError.isEmpty())
            return Unreadable(eitherName(report.sourcePath), report.source->readError);
    }
    return std::nullopt;
}

int InspectCommand::printReport(const InspectionReport &report) const
{
    // JSON is UTF-8 whatever the terminal's encoding.
    const int written = m_parser.isSet(m_json)
        ? PrintJsonDocument(JsonDocumentText(m_help.command, report.jsonObject()))
        : PrintStandardOutput(report.text());
    if (written != ExitSuccess)
        return written;
    return report.passed() ? ExitSuccess : ExitFailure;
}
