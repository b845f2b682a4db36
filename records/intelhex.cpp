#include "intelhex.h"

#include "hexdigits.h"
#include "showncharacter.h"

namespace {
using namespace IntelHexLayout;

// Count, two offset bytes, type and checksum.
constexpr int FrameBytes = 5;

// Data bytes each record type holds, beyond data records.
int DataBytesOfType(quint8 type)
{
    switch (type) {
    case EndOfFile:
        return 0;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        return 2;
    default: // the start addresses
        return 4;
    }
}
} // namespace

quint8 IntelHexChecksum(quint8 type, quint16 offset, const quint8 *data, int count)
{
    unsigned sum = unsigned(count) + (offset >> 8) + (offset & 0xFF) + type;
    for (int i = 0; i < count; ++i)
        sum += data[i];
    return quint8(0x100 - (sum & 0xFF));
}

char *FormatIntelHexRecord(char *out, quint8 type, quint16 offset, const quint8 *data, int count)
{
    *out++ = ':';
    out = PutHexByte(out, quint8(count));
    out = PutHexByte(out, quint8(offset >> 8));
    out = PutHexByte(out, quint8(offset));
    out = PutHexByte(out, type);
    for (int i = 0; i < count; ++i)
        out = PutHexByte(out, data[i]);
    out = PutHexByte(out, IntelHexChecksum(type, offset, data, count));
    *out++ = '\n';
    return out;
}

QString ParseIntelHexRecord(const char *text, int length, IntelHexRecord &record)
{
    if (length < 1 || text[0] != ':')
        return QStringLiteral("not an Intel HEX line (no ':' at its start)");
    const char *nonHex = FirstNonHexDigit(text + 1, text + length);
    if (nonHex != text + length)
        return QStringLiteral("%1 at column %2 is not a hex digit").arg(ShownCharacter(*nonHex)).arg(nonHex - text + 1);
    if (length < 1 + 2 * FrameBytes || (length - 1) % 2 != 0)
        return QStringLiteral("%1 characters is not a whole record").arg(length);

    record.count = HexByteAt(text + 1);
    const int bytesOnLine = (length - 1) / 2;
    if (record.count + FrameBytes != bytesOnLine)
        return QStringLiteral("byte count %1 does not match the %2 data bytes that follow it")
            .arg(HexDigits(quint32(record.count), 2))
            .arg(bytesOnLine - FrameBytes);
    record.offset = quint16(HexByteAt(text + 3) << 8 | HexByteAt(text + 5));
    record.type = HexByteAt(text + 7);
    for (int i = 0; i < record.count; ++i)
        record.data[size_t(i)] = HexByteAt(text + 9 + 2 * i);
    record.checksum = HexByteAt(text + 9 + 2 * record.count);
    record.computedChecksum = IntelHexChecksum(record.type, record.offset, record.data.data(), record.count);
    return QString();
}

QString IntelHexTypeFault(const IntelHexRecord &record)
{
    if (record.type > StartLinearAddress)
        return QStringLiteral("record type %1 is not one of 00 to 05").arg(HexDigits(record.type, 2));
    if (record.type != Data && record.count != DataBytesOfType(record.type))
        return QStringLiteral("a type %1 record holds %2 data bytes, not %3")
            .arg(HexDigits(record.type, 2))
            .arg(record.count)
            .arg(DataBytesOfType(record.type));
    return QString();
}
