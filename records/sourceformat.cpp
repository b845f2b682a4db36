#include "sourceformat.h"

#include "intelhex.h"
#include "recordlinereader.h"
#include "srecord.h"

#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>

namespace {
struct FormatName
{
    SourceFormat format;
    const char *name;
    const char *title;
};

constexpr FormatName FormatNames[] = {
    {SourceFormat::Auto, "auto", "automatic"},
    {SourceFormat::Binary, "binary", "raw binary"},
    {SourceFormat::Elf, "elf", "ELF"},
    {SourceFormat::IntelHex, "ihex", "Intel HEX"},
    {SourceFormat::SRecord, "srec", "S-record"},
};

struct Suffix
{
    const char *suffix;
    SourceFormat format;
};

constexpr Suffix Suffixes[] = {
    {"bin", SourceFormat::Binary},  {"hex", SourceFormat::IntelHex}, {"ihex", SourceFormat::IntelHex},
    {"s19", SourceFormat::SRecord}, {"s28", SourceFormat::SRecord},  {"s37", SourceFormat::SRecord},
    {"srec", SourceFormat::SRecord}, {"mot", SourceFormat::SRecord}, {"elf", SourceFormat::Elf},
    {"axf", SourceFormat::Elf},     {"out", SourceFormat::Elf},
};

constexpr char ElfMagic[] = "\x7F" "ELF";
constexpr int ElfMagicSize = 4;

bool IsIntelHexLine(const RecordLine &line)
{
    IntelHexRecord record;
    return ParseIntelHexRecord(line.text, line.length, record).isEmpty() && IntelHexTypeFault(record).isEmpty()
           && record.checksumMatches();
}

bool IsSRecordLine(const RecordLine &line)
{
    SRecord record;
    return ParseSRecord(line.text, line.length, record).isEmpty() && record.checksumMatches();
}

SourceFormat FormatOfFirstLine(QIODevice *device)
{
    RecordLineReader lines(device, std::max(IntelHexLayout::MaxLineLength, SRecordLayout::MaxLineLength));
    if (lines.next() != RecordLineReader::LineRead)
        return SourceFormat::Binary;
    if (IsIntelHexLine(lines.line()))
        return SourceFormat::IntelHex;
    if (IsSRecordLine(lines.line()))
        return SourceFormat::SRecord;
    return SourceFormat::Binary;
}
} // namespace

QString SourceFormatName(SourceFormat format)
{
    for (const FormatName &entry : FormatNames) {
        if (entry.format == format)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

std::optional<SourceFormat> ParseSourceFormat(const QString &name)
{
    for (const FormatName &entry : FormatNames) {
        if (name == QLatin1String(entry.name))
            return entry.format;
    }
    return std::nullopt;
}

QString SourceFormatTitle(SourceFormat format)
{
    for (const FormatName &entry : FormatNames) {
        if (entry.format == format)
            return QString::fromLatin1(entry.title);
    }
    return QString();
}

std::optional<SourceFormat> SourceFormatOfName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const Suffix &entry : Suffixes) {
        if (suffix == QLatin1String(entry.suffix))
            return entry.format;
    }
    return std::nullopt;
}

SourceFormat SourceFormatOfContent(QIODevice *device)
{
    if (!device->seek(0))
        return SourceFormat::Binary;
    std::array<char, ElfMagicSize> magic{};
    const bool elf = device->read(magic.data(), ElfMagicSize) == ElfMagicSize
                     && std::memcmp(magic.data(), ElfMagic, ElfMagicSize) == 0;
    SourceFormat format = SourceFormat::Elf;
    if (!elf && device->seek(0))
        format = FormatOfFirstLine(device);
    else if (!elf)
        format = SourceFormat::Binary;
    device->seek(0);
    return format;
}

SourceFormatChoice ChooseSourceFormat(const QString &path, QIODevice *device, SourceFormat forced)
{
    if (forced != SourceFormat::Auto)
        return {forced, false};
    if (const std::optional<SourceFormat> named = SourceFormatOfName(path))
        return {*named, true};
    return {SourceFormatOfContent(device), false};
}
