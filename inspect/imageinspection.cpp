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
QString byteList(const quint8 *bytes, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << HexDigits(bytes[i], 2);
    return parts.join(QLatin1Char(' '));
}

void addHeaderChecks(const HeaderBytes &bytes, ImageInspection &result)
{
    using namespace ImageLayout;
    auto add = [&result](const QString &name, bool passed, const QString &detail) {
        result.checks.append({name, passed, detail});
    };

    if (!result.hasHeader) {
        const QString tooShort = QStringLiteral("the file is %1 bytes, shorter than the %2-byte header")
                                     .arg(result.fileSize)
                                     .arg(HeaderSize);
        for (const QString &name : {ImageCheckName::Magic(), ImageCheckName::Length(),
                                    ImageCheckName::HeaderChecksum(), ImageCheckName::Reserved()})
            add(name, false, tooShort);
        return;
    }

    const ImageHeader &header = result.header;
    if (header.magic != Magic) {
        add(ImageCheckName::Magic(), false,
            QStringLiteral("bytes 4-7 are %1, not the magic %2 in either byte order")
                .arg(byteList(bytes.data() + MagicOffset, 4), HexNumber(Magic, 8)));
    } else {
        const quint32 expectedFlag = quint32(result.littleEndian);
        const QString order = result.littleEndian ? QStringLiteral("little-endian") : QStringLiteral("big-endian");
        if (header.littleEndian == expectedFlag)
            add(ImageCheckName::Magic(), true,
                QStringLiteral("%1 %2, littleEndian field %3").arg(order, HexNumber(Magic, 8)).arg(expectedFlag));
        else
            add(ImageCheckName::Magic(), false,
                QStringLiteral("%1 magic, but the littleEndian field is %2 (expected %3)")
                    .arg(order)
                    .arg(header.littleEndian)
                    .arg(expectedFlag));
    }

    if (qint64(header.length) == result.fileSize)
        add(ImageCheckName::Length(), true, QStringLiteral("%1 bytes, equal to the file size").arg(header.length));
    else
        add(ImageCheckName::Length(), false,
            QStringLiteral("length field %1, file size %2").arg(header.length).arg(result.fileSize));

    if (header.checksum == result.computedChecksum)
        add(ImageCheckName::HeaderChecksum(), true,
            QStringLiteral("%1, the byte sum of bytes 0-29").arg(HexNumber(header.checksum, 4)));
    else
        add(ImageCheckName::HeaderChecksum(), false,
            QStringLiteral("field %1, byte sum of bytes 0-29 is %2")
                .arg(HexNumber(header.checksum, 4), HexNumber(result.computedChecksum, 4)));

    const auto nonZero = std::find_if(header.reserved.cbegin(), header.reserved.cend(), [](quint8 b) { return b != 0; });
    if (nonZero == header.reserved.cend())
        add(ImageCheckName::Reserved(), true, QStringLiteral("bytes 20-29 are zero"));
    else
        add(ImageCheckName::Reserved(), false,
            QStringLiteral("byte %1 is 0x%2, expected 0")
                .arg(ReservedOffset + (nonZero - header.reserved.cbegin()))
                .arg(HexDigits(*nonZero, 2)));
}

void addTrailerChecks(const TrailerBytes &bytes, ImageInspection &result)
{
    using namespace ImageLayout;
    auto add = [&result](const QString &name, bool passed, const QString &detail) {
        result.checks.append({name, passed, detail});
    };

    if (!result.hasTrailer) {
        const QString tooShort = QStringLiteral("the file is %1 bytes, too short for the %2-byte header and the %3-byte trailer")
                                     .arg(result.fileSize)
                                     .arg(HeaderSize)
                                     .arg(TrailerSize);
        add(ImageCheckName::Crc(), false, tooShort);
        add(ImageCheckName::TrailerPadding(), false, tooShort);
        return;
    }

    const ImageTrailer &trailer = result.trailer;
    if (trailer.crc == result.computedCrc)
        add(ImageCheckName::Crc(), true,
            QStringLiteral("%1, the CRC-16 of the %2 payload bytes").arg(HexNumber(trailer.crc, 4)).arg(result.payloadSize));
    else
        add(ImageCheckName::Crc(), false,
            QStringLiteral("trailer holds %1, CRC-16 of the %2 payload bytes is %3")
                .arg(HexNumber(trailer.crc, 4))
                .arg(result.payloadSize)
                .arg(HexNumber(result.computedCrc, 4)));

    if (trailer.padding == 0)
        add(ImageCheckName::TrailerPadding(), true, QStringLiteral("the last two bytes are zero"));
    else
        add(ImageCheckName::TrailerPadding(), false,
            QStringLiteral("the last two bytes are %1, expected 00 00").arg(byteList(bytes.data() + 2, 2)));
}
} // namespace

ImageInspection InspectImage(QIODevice *image)
{
    using namespace ImageLayout;
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

    // Everything after the header is payload except the last TrailerSize
    // bytes, and where the file ends is known only once it has ended: so the
    // CRC runs over each chunk but the last few bytes, which are held back at
    // the front of the buffer for the next round.
    // A small file needs no full-size chunk (any size reads correctly).
    const qint64 chunkSize = image->isSequential()
        ? InspectionChunkSize
        : qBound<qint64>(TrailerSize, image->size(), InspectionChunkSize);
    QByteArray chunk(int(chunkSize + TrailerSize), Qt::Uninitialized);
    quint8 *buffer = reinterpret_cast<quint8 *>(chunk.data());
    qint64 held = 0;
    qint64 payloadSize = 0;
    quint16 crc = 0;
    qint64 total = headerBytes;
    while (headerBytes == HeaderSize) {
        const qint64 got = image->read(reinterpret_cast<char *>(buffer + held), chunkSize);
        if (got < 0) {
            result.readError = image->errorString();
            return result;
        }
        if (got == 0)
            break;
        total += got;
        const qint64 available = held + got;
        const qint64 settled = available - TrailerSize;
        if (settled > 0) {
            crc = Crc16Continue(crc, buffer, settled);
            payloadSize += settled;
            std::memmove(buffer, buffer + settled, TrailerSize);
            held = TrailerSize;
        } else {
            held = available;
        }
    }

    result.fileSize = total;
    if (headerBytes == HeaderSize) {
        result.hasHeader = true;
        result.littleEndian = StoredByteOrder(header);
        result.header = DecodeImageHeader(header, result.littleEndian);
        result.computedChecksum = HeaderChecksum(header);
    }
    TrailerBytes trailer = {};
    result.hasTrailer = held == TrailerSize;
    if (result.hasTrailer) {
        std::copy_n(buffer, TrailerSize, trailer.begin());
        result.trailer = DecodeImageTrailer(trailer);
        result.computedCrc = crc;
        result.payloadSize = payloadSize;
    }

    addHeaderChecks(header, result);
    addTrailerChecks(trailer, result);
    return result;
}
