#include "sourceoptions.h"

#include "clioutput.h"
#include "sourcefields.h"

SourceOptionSet::SourceOptionSet()
    : m_format(QStringLiteral("source-format"),
               QStringLiteral("Format of the source: auto (the default: *.bin is raw; *.hex and *.ihex Intel HEX; "
                              "*.s19, *.s28, *.s37, *.srec and *.mot S-records; *.elf, *.axf and *.out ELF; a file "
                              "that does not hold what its name says is refused; any other name by its content, "
                              "else raw), binary, elf, ihex or srec."),
               QStringLiteral("FORMAT"), QStringLiteral("auto"))
    , m_fill(QStringLiteral("fill"),
             QStringLiteral("Byte for the gaps between an addressed source's data, hexadecimal, e.g. 00 "
                            "(default: [Sys] Fill of the settings with --profile, else FF, erased flash)."),
             QStringLiteral("HEX"))
    , m_maxSize(QStringLiteral("max-size"),
                QStringLiteral("Largest span an addressed source's data may cover, in bytes: decimal with an "
                               "optional K or M suffix (KiB, MiB), or hexadecimal after 0x, e.g. 16M or 0x1000000 "
                               "(default 64M). A larger span is refused with its data ranges listed. Raw binaries "
                               "are not limited."),
                QStringLiteral("BYTES"), QStringLiteral("64M"))
    , m_crop(QStringLiteral("crop"),
             QStringLiteral("Keep only an addressed source's data from START up to END, END excluded, "
                            "hexadecimal, e.g. 08000000-08040000."),
             QStringLiteral("START-END"))
{
}

QCommandLineOption SourceOptionSet::relocateOption()
{
    return QCommandLineOption(
        QStringLiteral("relocate"),
        QStringLiteral("Place an addressed source's data at start address + 32 even when it was linked at another "
                       "address (for a bootloader that copies the payload). Without it such a source is refused."));
}

std::optional<int> SourceOptionSet::read(const QCommandLineParser &parser, const QString &command,
                                         const QString &settingsFill, SourceFormat &format,
                                         SourceLayoutOptions &layout) const
{
    const QString formatName = parser.value(m_format);
    const std::optional<SourceFormat> chosen = ParseSourceFormat(formatName);
    if (!chosen)
        return UsageError(QStringLiteral("--source-format \"%1\" is none of auto, binary, elf, ihex, srec")
                              .arg(formatName),
                          command);
    format = *chosen;
    if (parser.isSet(m_fill) || !settingsFill.isEmpty()) {
        const QString text = parser.isSet(m_fill) ? parser.value(m_fill) : settingsFill;
        const std::optional<quint8> fill = ParseFillByte(text);
        if (!fill && parser.isSet(m_fill))
            return UsageError(QStringLiteral("--fill \"%1\" is not a byte in hexadecimal (00 to FF)").arg(text),
                              command);
        if (!fill) {
            PrintError(QStringLiteral("[Sys] Fill \"%1\" of the settings file is not a byte in hexadecimal (00 to FF)")
                           .arg(text));
            return ExitFailure;
        }
        layout.fill = *fill;
    }
    const QString maxSize = parser.value(m_maxSize);
    const std::optional<qint64> limit = ParseSizeLimit(maxSize);
    if (!limit)
        return UsageError(QStringLiteral("--max-size \"%1\" is not a size from 1 byte to 4 GiB (e.g. 64M, 512K, "
                                         "0x4000000)")
                              .arg(maxSize),
                          command);
    layout.maxSize = *limit;
    if (parser.isSet(m_crop)) {
        const QString text = parser.value(m_crop);
        layout.crop = ParseAddressRange(text);
        if (!layout.crop)
            return UsageError(QStringLiteral("--crop \"%1\" is not START-END in hexadecimal with END above START")
                                  .arg(text),
                              command);
    }
    return std::nullopt;
}
