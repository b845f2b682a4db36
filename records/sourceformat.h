#ifndef VANDREL_RECORDS_SOURCEFORMAT_H
#define VANDREL_RECORDS_SOURCEFORMAT_H

#include <QString>

#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// What a source file holds: a raw binary, copied as it is, or an addressed
// format whose data is placed by address (ELF, Intel HEX, S-records).
enum class SourceFormat { Auto, Binary, Elf, IntelHex, SRecord };

// The name an option and JSON give it: auto, binary, elf, ihex, srec.
QString SourceFormatName(SourceFormat format);
std::optional<SourceFormat> ParseSourceFormat(const QString &name);
// The name a message gives it: "raw binary", "ELF", "Intel HEX", "S-record".
QString SourceFormatTitle(SourceFormat format);

// The format a file's name declares (*.bin raw, *.hex Intel HEX, *.s19
// S-records, *.elf ELF and their kin), or none for any other name.
std::optional<SourceFormat> SourceFormatOfName(const QString &path);

// The format of a file by its first bytes: ELF by its magic, Intel HEX or
// S-records when the first line is a well-formed record with a right
// checksum, a raw binary otherwise. Reads from offset 0 and rewinds.
SourceFormat SourceFormatOfContent(QIODevice *device);

struct SourceFormatChoice
{
    SourceFormat format = SourceFormat::Binary;
    // Set when the format came from the file's name: content that does not
    // fit it is then refused, never read as raw.
    bool byName = false;
};

// forced, unless Auto; else the name's format; else the content's.
SourceFormatChoice ChooseSourceFormat(const QString &path, QIODevice *device, SourceFormat forced);

#endif
