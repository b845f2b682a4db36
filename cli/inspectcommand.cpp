#include "inspectcommand.h"

#include "clioutput.h"
#include "conversionfields.h"
#include "inspectionreport.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {
// Opens an untrusted file for reading; a device that never ends (a pipe,
// /dev/zero) or a folder is refused, since the checks read to the end.
std::optional<QString> openForInspection(QFile &file, const QString &what)
{
    // Looked at before it is opened: opening a FIFO would block.
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile() && !info.isDir())
        return QStringLiteral("%1 \"%2\" is not a regular file").arg(what, file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open %1 \"%2\": %3").arg(what, file.fileName(), file.errorString());
    if (file.isSequential())
        return QStringLiteral("%1 \"%2\" is not a regular file").arg(what, file.fileName());
    return std::nullopt;
}
} // namespace

InspectCommand::InspectCommand()
    : m_srecord(QStringLiteral("s19"),
                QStringLiteral("Also check this S-record file against the image, e.g. out/app.s19."),
                QStringLiteral("FILE"))
    , m_address(QStringLiteral("address"),
                QStringLiteral("With --s19: the address of the image's first byte, hexadecimal, e.g. 08000000 "
                               "(default: the first S3 record's)."),
                QStringLiteral("HEX"))
    , m_json(QStringLiteral("json"), QStringLiteral("Print the report as one JSON object."))
{
    m_parser.addHelpOption();
    m_parser.addOptions({m_srecord, m_address, m_json});
    m_parser.addPositionalArgument(QStringLiteral("IMAGE.bin"), QStringLiteral("The stamped image to check."));

    m_help.command = QStringLiteral("inspect");
    m_help.usage = QStringLiteral("IMAGE.bin [--s19 FILE.s19 [--address HEX]] [--json]");
    m_help.description = QStringLiteral(
        "Prints the header fields and trailer of a stamped image and a verdict per check: magic in\n"
        "either byte order agreeing with the littleEndian field, length equal to the file size, header\n"
        "checksum, reserved bytes zero, CRC-16 of the payload equal to the trailer, trailer padding zero.\n"
        "With --s19: only the fixed S0 line, upper-case S3 records and the fixed S7 line with LF ends,\n"
        "every record checksum, and data equal to the image from the address on (first mismatch shown).\n"
        "Exit status: 0 every check holds, 1 a check failed, 2 usage error or unreadable file.");
    m_help.examples = QStringLiteral(
        "  vandrel-cli inspect out/app_out.bin\n"
        "  vandrel-cli inspect out/app_out.bin --s19 out/app.s19 --address 08000000\n"
        "  vandrel-cli inspect out/app_out.bin --s19 out/app.s19 --json\n");
}

QString InspectCommand::help() const
{
    return HelpText(m_parser, m_help);
}

int InspectCommand::run(const QStringList &arguments)
{
    if (const std::optional<int> status = ParseCommand(m_parser, m_help, arguments))
        return *status;
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() != 1)
        return UsageError(positional.isEmpty() ? QStringLiteral("no image given")
                                               : QStringLiteral("one image at a time, not %1").arg(positional.size()),
                          m_help.command);
    if (m_parser.isSet(m_address) && !m_parser.isSet(m_srecord))
        return UsageError(QStringLiteral("--address needs --s19"), m_help.command);

    std::optional<quint32> address;
    if (m_parser.isSet(m_address)) {
        const QString text = m_parser.value(m_address);
        address = ParseStartAddress(text);
        if (!address)
            return UsageError(QStringLiteral("--address \"%1\" is not a hexadecimal number from 0 to FFFFFFFF").arg(text),
                              m_help.command);
    }

    InspectionReport report;
    report.imagePath = positional.constFirst();
    QFile image(report.imagePath);
    if (const std::optional<QString> error = openForInspection(image, QStringLiteral("image"))) {
        PrintError(*error);
        return ExitUsage;
    }
    report.image = InspectImage(&image);
    if (!report.image.readError.isEmpty()) {
        PrintError(QStringLiteral("cannot read image \"%1\": %2").arg(report.imagePath, report.image.readError));
        return ExitUsage;
    }

    if (m_parser.isSet(m_srecord)) {
        report.srecordPath = m_parser.value(m_srecord);
        QFile srecords(report.srecordPath);
        if (const std::optional<QString> error = openForInspection(srecords, QStringLiteral("S-record file"))) {
            PrintError(*error);
            return ExitUsage;
        }
        report.srecords = InspectSRecords(&srecords, &image, address);
        if (!report.srecords->readError.isEmpty()) {
            PrintError(QStringLiteral("cannot read \"%1\" or \"%2\": %3")
                           .arg(report.srecordPath, report.imagePath, report.srecords->readError));
            return ExitUsage;
        }
    }

    if (m_parser.isSet(m_json)) {
        // JSON is UTF-8 whatever the terminal's encoding.
        if (!WriteStandardOutput(report.json())) {
            PrintError(QStringLiteral("cannot write the report to the standard output"));
            return ExitUsage;
        }
    } else {
        StandardOutput() << report.text();
        StandardOutput().flush();
    }
    return report.passed() ? ExitSuccess : ExitFailure;
}
