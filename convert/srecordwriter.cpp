#include "convert/srecordwriter.h"

#include "image/devicereading.h"

#include <QIODevice>

#include <array>
#include <cstring>

namespace {
// Images are read in blocks of whole records: the records come out the same
// as when read 16 bytes at a time, with far fewer reads.
constexpr int ReadBlockSize = 4096 * SRecord::MaxDataBytes;
// Text beyond this is written out before more is built, so that a huge
// image cannot outgrow a QByteArray. Firmware images never get near it.
constexpr int MaxPendingText = 256 * 1024 * 1024;

// The two upper-case hex digits of every byte value, side by side.
constexpr std::array<char, 512> makeHexPairs()
{
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<char, 512> pairs{};
    for (int value = 0; value < 256; ++value) {
        pairs[2 * value] = digits[value >> 4];
        pairs[2 * value + 1] = digits[value & 0x0F];
    }
    return pairs;
}

constexpr std::array<char, 512> HexPairs = makeHexPairs();

inline char *putHexByte(char *out, quint8 value)
{
    std::memcpy(out, &HexPairs[2 * value], 2);
    return out + 2;
}

// Formats one S3 line at out and returns the end; out must have room for
// SRecord::FullLineLength characters.
char *formatS3Record(char *out, quint32 address, const quint8 *data, int count)
{
    const quint8 byteCount = quint8(count + 5);
    quint8 sum = quint8(byteCount + (address >> 24) + (address >> 16) + (address >> 8) + address);
    *out++ = 'S';
    *out++ = '3';
    out = putHexByte(out, byteCount);
    out = putHexByte(out, quint8(address >> 24));
    out = putHexByte(out, quint8(address >> 16));
    out = putHexByte(out, quint8(address >> 8));
    out = putHexByte(out, quint8(address));
    for (int i = 0; i < count; ++i) {
        sum = quint8(sum + data[i]);
        out = putHexByte(out, data[i]);
    }
    out = putHexByte(out, quint8(~sum));
    *out++ = '\n';
    return out;
}

bool writeAll(QIODevice *output, const QByteArray &text)
{
    return output->write(text) == text.size();
}
} // namespace

void AppendS3Record(QByteArray &text, quint32 address, const quint8 *data, int count)
{
    if (count < 1 || count > SRecord::MaxDataBytes)
        return;
    const int oldSize = text.size();
    text.resize(oldSize + SRecord::FullLineLength);
    char *end = formatS3Record(text.data() + oldSize, address, data, count);
    text.resize(int(end - text.constData()));
}

SRecordResult WriteSRecords(QIODevice *image, quint32 startAddress, QIODevice *output)
{
    if (!image || !output || !image->seek(0))
        return SRecordResult::ImageReadFailed;

    const qint64 imageSize = image->size();
    const qint64 expected = qint64(sizeof SRecord::HeaderLine) + qint64(sizeof SRecord::EndLine)
        + (imageSize + SRecord::MaxDataBytes - 1) / SRecord::MaxDataBytes * SRecord::FullLineLength;
    QByteArray text;
    text.reserve(int(qMin<qint64>(expected, MaxPendingText + ReadBlockSize)));
    text.append(SRecord::HeaderLine);

    QByteArray block(ReadBlockSize, Qt::Uninitialized);
    quint32 address = startAddress;
    for (;;) {
        const qint64 n = ReadUpTo(image, reinterpret_cast<quint8 *>(block.data()), ReadBlockSize);
        if (n < 0)
            return SRecordResult::ImageReadFailed;
        if (n == 0)
            break;
        const auto *data = reinterpret_cast<const quint8 *>(block.constData());
        const int records = int((n + SRecord::MaxDataBytes - 1) / SRecord::MaxDataBytes);
        const int oldSize = text.size();
        text.resize(oldSize + records * SRecord::FullLineLength);
        char *out = text.data() + oldSize;
        for (qint64 offset = 0; offset < n; offset += SRecord::MaxDataBytes) {
            const int count = int(qMin<qint64>(SRecord::MaxDataBytes, n - offset));
            out = formatS3Record(out, address, data + offset, count);
            address += quint32(count); // wraps modulo 2^32
        }
        text.resize(int(out - text.constData()));
        if (text.size() > MaxPendingText) {
            if (!writeAll(output, text))
                return SRecordResult::OutputWriteFailed;
            text.clear();
        }
        if (n < ReadBlockSize)
            break;
    }
    text.append(SRecord::EndLine);
    return writeAll(output, text) ? SRecordResult::Written : SRecordResult::OutputWriteFailed;
}
