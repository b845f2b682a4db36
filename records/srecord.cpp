#include "srecord.h"

#include "hexdigits.h"
#include "showncharacter.h"

namespace {
constexpr int CountBytes = 1;
constexpr int ChecksumBytes = 1;
} // namespace

int SRecordAddressBytes(int type)
{
    switch (type) {
    case 0: case 1: case 5: case 9:
        return 2;
    case 2: case 6: case 8:
        return 3;
    case 3: case 7:
        return 4;
    default:
        return 0;
    }
}

quint8 SRecordChecksum(int addressBytes, quint32 address, const quint8 *data, int count)
{
    unsigned sum = unsigned(addressBytes + count + ChecksumBytes);
    for (int i = 0; i < addressBytes; ++i)
        sum += (address >> (8 * i)) & 0xFF;
    for (int i = 0; i < count; ++i)
        sum += data[i];
    return quint8(~sum);
}

char *FormatSRecord(char *out, int type, quint32 address, const quint8 *data, int count)
{
    const int addressBytes = SRecordAddressBytes(type);
    *out++ = 'S';
    *out++ = char('0' + type);
    out = PutHexByte(out, quint8(addressBytes + count + ChecksumBytes));
    for (int i = addressBytes - 1; i >= 0; --i)
        out = PutHexByte(out, quint8(address >> (8 * i)));
    for (int i = 0; i < count; ++i)
        out = PutHexByte(out, data[i]);
    out = PutHexByte(out, SRecordChecksum(addressBytes, address, data, count));
    *out++ = '\n';
    return out;
}

QString ParseSRecord(const char *text, int length, SRecord &record)
{
    if (length < 2 || text[0] != 'S')
        return QStringLiteral("not an S-record line");
    record.type = text[1] - '0';
    record.addressBytes = SRecordAddressBytes(record.type);
    if (record.addressBytes == 0)
        return QStringLiteral("%1 is not a record type").arg(ShownCharacter(text[1]));
    const char *nonHex = FirstNonHexDigit(text + 2, text + length);
    if (nonHex != text + length)
        return QStringLiteral("%1 at column %2 is not a hex digit").arg(ShownCharacter(*nonHex)).arg(nonHex - text + 1);
    const int minimum = 2 + 2 * (CountBytes + record.addressBytes + ChecksumBytes);
    if (length < minimum || length % 2 != 0)
        return QStringLiteral("%1 characters is not a whole S%2 record").arg(length).arg(record.type);

    const int byteCount = HexByteAt(text + 2);
    const int bytesOnLine = (length - 4) / 2;
    if (byteCount != bytesOnLine)
        return QStringLiteral("byte count %1 does not match the %2 bytes that follow it")
            .arg(HexDigits(quint32(byteCount), 2))
            .arg(bytesOnLine);

    record.address = 0;
    for (int i = 0; i < record.addressBytes; ++i)
        record.address = record.address << 8 | HexByteAt(text + 4 + 2 * i);
    record.count = byteCount - record.addressBytes - ChecksumBytes;
    const int dataStart = 4 + 2 * record.addressBytes;
    for (int i = 0; i < record.count; ++i)
        record.data[size_t(i)] = HexByteAt(text + dataStart + 2 * i);
    record.checksum = HexByteAt(text + dataStart + 2 * record.count);
    record.computedChecksum = SRecordChecksum(record.addressBytes, record.address, record.data.data(), record.count);
    return QString();
}
