#include "imageinspection.h"

#include "crc16.h"
#include "deviceio.h"
#include "messagetext.h"

#include <QByteArray>
#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {
using namespace ImageLayout;

// The header bytes the checksum sums: every byte before the checksum field.
constexpr int ChecksummedSize = ChecksumOffset - LengthOffset;
constexpr int MagicSize = int(sizeof(Magic));

// "bytes 4-7": where a field lies in the header.
QString HeaderSpanText(int offset, int size)
{
    return QStringLiteral("bytes %1-%2").arg(offset).arg(offset + size - 1);
}

QString byteList(const quint8 *bytes, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << HexDigits(bytes[i], 2);
    return parts.join(QLatin1Char(' '));
}

void add(ImageInspection &result, const QString &name, bool passed, const QString &detail)
{
    result.checks.append({name, passed, detail});
}

void addMagicCheck(const HeaderBytes &bytes, ImageInspection &result)
{
    const ImageHeader &header = result.header;
    if (header.magic != Magic) {
        add(result, ImageCheckName::Magic(), false,
            QStringLiteral("%1 are %2, not the magic %3 in either byte order")
                .arg(HeaderSpanText(MagicOffset, MagicSize), byteList(bytes.data() + MagicOffset, MagicSize),
                     HexNumber(Magic, 8)));
        return;
    }
    const quint32 expectedFlag = quint32(result.littleEndian);
    const QString order = result.littleEndian ? QStringLiteral("little-endian") : QStringLiteral("big-endian");
    if (header.littleEndian == expectedFlag)
        add(result, ImageCheckName::Magic(), true,
            QStringLiteral("%1 %2, littleEndian field %3").arg(order, HexNumber(Magic, 8)).arg(expectedFlag));
    else
        add(result, ImageCheckName::Magic(), false,
            QStringLiteral("%1 magic, but the littleEndian field is %2 (expected %3)")
                .arg(order)
                .arg(header.littleEndian)
                .arg(expectedFlag));
}

void addChecksumCheck(ImageInspection &result)
{
    const QString summed = HeaderSpanText(LengthOffset, ChecksummedSize);
    if (result.header.checksum == result.computedChecksum)
        add(result, ImageCheckName::HeaderChecksum(), true,
            QStringLiteral("%1, the byte sum of %2").arg(HexNumber(result.header.checksum, 4), summed));
    else
        add(result, ImageCheckName::HeaderChecksum(), false,
            QStringLiteral("field %1, byte sum of %2 is %3")
                .arg(HexNumber(result.header.checksum, 4), summed, HexNumber(result.computedChecksum, 4)));
}

void addReservedCheck(ImageInspection &result)
{
    const auto &reserved = result.header.reserved;
    const auto nonZero = std::find_if(reserved.cbegin(), reserved.cend(), [](quint8 b) { return b != 0; });
    if (nonZero == reserved.cend())
        add(result, ImageCheckName::Reserved(), true,
            QStringLiteral("%1 are zero").arg(HeaderSpanText(ReservedOffset, ReservedSize)));
    else
        add(result, ImageCheckName::Reserved(), false,
            QStringLiteral("byte %1 is 0x%2, expected 0")
                .arg(ReservedOffset + (nonZero - reserved.cbegin()))
                .arg(HexDigits(*nonZero, 2)));
}

void addHeaderChecks(const HeaderBytes &bytes, ImageInspection &result)
{
    if (!result.hasHeader) {
        const QString tooShort = QStringLiteral("the file is %1 bytes, shorter than the %2-byte header")
                                     .arg(result.fileSize)
                                     .arg(HeaderSize);
        for (const QString &name : {ImageCheckName::Magic(), ImageCheckName::Length(),
                                    ImageCheckName::HeaderChecksum(), ImageCheckName::Reserved()})
            add(result, name, false, tooShort);
        return;
    }

    addMagicCheck(bytes, result);
    const ImageHeader &header = result.header;
    if (qint64(header.length) == result.fileSize)
        add(result, ImageCheckName::Length(), true, QStringLiteral("%1 bytes, equal to the file size").arg(header.length));
    else
        add(result, ImageCheckName::Length(), false,
            QStringLiteral("length field %1, file size %2").arg(header.length).arg(result.fileSize));
    addChecksumCheck(result);
    addReservedCheck(result);
}

void addTrailerChecks(const TrailerBytes &bytes, ImageInspection &result)
{
    if (!result.hasTrailer) {
        const QString tooShort = QStringLiteral("the file is %1 bytes, too short for the %2-byte header and the %3-byte trailer")
                                     .arg(result.fileSize)
                                     .arg(HeaderSize)
                                     .arg(TrailerSize);
        add(result, ImageCheckName::Crc(), false, tooShort);
        add(result, ImageCheckName::TrailerPadding(), false, tooShort);
        return;
    }

    const ImageTrailer &trailer = result.trailer;
    if (trailer.crc == result.computedCrc)
        add(result, ImageCheckName::Crc(), true,
            QStringLiteral("%1, the CRC-16 of the %2 payload bytes").arg(HexNumber(trailer.crc, 4)).arg(result.payloadSize));
    else
        add(result, ImageCheckName::Crc(), false,
            QStringLiteral("trailer holds %1, CRC-16 of the %2 payload bytes is %3")
                .arg(HexNumber(trailer.crc, 4))
                .arg(result.payloadSize)
                .arg(HexNumber(result.computedCrc, 4)));

    if (trailer.padding == 0)
        add(result, ImageCheckName::TrailerPadding(), true, QStringLiteral("the last two bytes are zero"));
    else
        add(result, ImageCheckName::TrailerPadding(), false,
            QStringLiteral("the last two bytes are %1, expected 00 00").arg(byteList(bytes.data() + 2, 2)));
}

// What follows the header: the CRC of the payload, and the last TrailerSize
// bytes (fewer when the file is that short).
struct PayloadReading
{
    qint64 bytesRead = 0;
    qint64 payloadSize = 0;
    quint16 crc = 0;
    TrailerBytes trailer = {};
    qint64 trailerBytes = 0;
};

// Everything after the header is payload except the last TrailerSize bytes,
// and where the file ends is known only once it has ended: so the CRC runs
// over each chunk but the last few bytes, which are held back at the front of
// the buffer for the next round. False when a read failed.
bool ReadPayload(QIODevice *image, PayloadReading &reading)
{
    // A small file needs no full-size chunk (any size reads correctly).
    const qint64 chunkSize = image->isSequential()
        ? InspectionChunkSize
        : qBound<qint64>(TrailerSize, image->size(), InspectionChunkSize);
    QByteArray chunk(int(chunkSize + TrailerSize), Qt::Uninitialized);
    quint8 *buffer = reinterpret_cast<quint8 *>(chunk.data());
    qint64 held = 0;
    for (;;) {
        const qint64 got = image->read(reinterpret_cast<char *>(buffer + held), chunkSize);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        reading.bytesRead += got;
        const qint64 available = held + got;
        const qint64 settled = available - TrailerSize;
        if (settled > 0) {
            reading.crc = Crc16Continue(reading.crc, buffer, settled);
            reading.payloadSize += settled;
            std::memmove(buffer, buffer + settled, TrailerSize);
            held = TrailerSize;
        } else {
            held = available;
        }
    }
    std::copy_n(buffer, held, reading.trailer.begin());
    reading.trailerBytes = held;
    return true;
}

void Decode(const HeaderBytes &header, const PayloadReading &payload, ImageInspection &result)
{
    result.hasHeader = true;
    result.littleEndian = StoredByteOrder(header);
    result.header = DecodeImageHeader(header, result.littleEndian);
    result.computedChecksum = HeaderChecksum(header);
    result.hasTrailer = payload.trailerBytes == TrailerSize;
    if (result.hasTrailer) {
        result.trailer = DecodeImageTrailer(payload.trailer);
        result.computedCrc = payload.crc;
        result.payloadSize = payload.payloadSize;
    }
}
} // namespace

ImageInspection InspectImage(QIODevice *image)
{
    ImageInspection result;
    if (!image->isSequential() && !image->seek(0)) {
        result.readError = image->errorString();
        return result;
    }

    HeaderBytes header = {};
    const qint64 headerBytes = ReadUpTo(image, header.data(), HeaderSize);
    if (headerBytes < 0) {
        result.readError = image->errorString();
        return result;
    }
    PayloadReading payload;
    if (headerBytes == HeaderSize) {
        if (!ReadPayload(image, payload)) {
            result.readError = image->errorString();
            return result;
        }
        Decode(header, payload, result);
    }
    result.fileSize = headerBytes + payload.bytesRead;
    addHeaderChecks(header, result);
    addTrailerChecks(payload.trailer, result);
    return result;
}
