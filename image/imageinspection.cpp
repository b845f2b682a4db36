#include "image/imageinspection.h"

#include "image/calendar.h"
#include "image/crc16.h"
#include "image/devicereading.h"
#include "image/hextext.h"
#include "image/imagestamp.h"

#include <QByteArray>
#include <QIODevice>
#include <QStringList>
#include <QtEndian>

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

quint32 field32(const quint8 *header, int offset, bool bigEndian)
{
    return bigEndian ? qFromBigEndian<quint32>(header + offset) : qFromLittleEndian<quint32>(header + offset);
}

quint16 field16(const quint8 *header, int offset, bool bigEndian)
{
    return bigEndian ? qFromBigEndian<quint16>(header + offset) : qFromLittleEndian<quint16>(header + offset);
}

void decodeHeader(const quint8 *header, ImageInspection &result)
{
    using namespace ImageLayout;
    result.hasHeader = true;
    result.bigEndian = qFromBigEndian<quint32>(header + MagicOffset) == Magic;
    const bool big = result.bigEndian;
    result.length = field32(header, LengthOffset, big);
    result.magic = field32(header, MagicOffset, big);
    result.seconds = field32(header, SecondsOffset, big);
    result.milliseconds = field16(header, MillisecondsOffset, big);
    result.version = field16(header, VersionOffset, big);
    result.littleEndianField = field32(header, LittleEndianOffset, big);
    result.checksum = field16(header, ChecksumOffset, big);
    quint32 sum = 0;
    for (int i = 0; i < ChecksumOffset; ++i)
        sum += header[i];
    result.computedChecksum = quint16(sum);
}

void addHeaderChecks(const quint8 *header, ImageInspection &result)
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

    if (result.magic != Magic) {
        add(ImageCheckName::Magic(), false,
            QStringLiteral("bytes 4-7 are %1, not the magic %2 in either byte order")
                .arg(byteList(header + MagicOffset, 4), HexNumber(Magic, 8)));
    } else {
        const quint32 expectedFlag = result.bigEndian ? 0 : 1;
        const QString order = result.bigEndian ? QStringLiteral("big-endian") : QStringLiteral("little-endian");
        if (result.littleEndianField == expectedFlag)
            add(ImageCheckName::Magic(), true,
                QStringLiteral("%1 %2, littleEndian field %3").arg(order, HexNumber(Magic, 8)).arg(expectedFlag));
        else
            add(ImageCheckName::Magic(), false,
                QStringLiteral("%1 magic, but the littleEndian field is %2 (expected %3)")
                    .arg(order)
                    .arg(result.littleEndianField)
                    .arg(expectedFlag));
    }

    if (qint64(result.length) == result.fileSize)
        add(ImageCheckName::Length(), true, QStringLiteral("%1 bytes, equal to the file size").arg(result.length));
    else
        add(ImageCheckName::Length(), false,
            QStringLiteral("length field %1, file size %2").arg(result.length).arg(result.fileSize));

    if (result.checksum == result.computedChecksum)
        add(ImageCheckName::HeaderChecksum(), true,
            QStringLiteral("%1, the byte sum of bytes 0-29").arg(HexNumber(result.checksum, 4)));
    else
        add(ImageCheckName::HeaderChecksum(), false,
            QStringLiteral("field %1, byte sum of bytes 0-29 is %2")
                .arg(HexNumber(result.checksum, 4), HexNumber(result.computedChecksum, 4)));

    const quint8 *reserved = header + ReservedOffset;
    const quint8 *nonZero = std::find_if(reserved, reserved + ReservedSize, [](quint8 b) { return b != 0; });
    if (nonZero == reserved + ReservedSize)
        add(ImageCheckName::Reserved(), true, QStringLiteral("bytes 20-29 are zero"));
    else
        add(ImageCheckName::Reserved(), false,
            QStringLiteral("byte %1 is 0x%2, expected 0").arg(nonZero - header).arg(HexDigits(*nonZero, 2)));
}

void addTrailerChecks(const quint8 *trailer, qint64 payloadSize, ImageInspection &result)
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

    if (result.trailerCrc == result.computedCrc)
        add(ImageCheckName::Crc(), true,
            QStringLiteral("%1, the CRC-16 of the %2 payload bytes").arg(HexNumber(result.trailerCrc, 4)).arg(payloadSize));
    else
        add(ImageCheckName::Crc(), false,
            QStringLiteral("trailer holds %1, CRC-16 of the %2 payload bytes is %3")
                .arg(HexNumber(result.trailerCrc, 4))
                .arg(payloadSize)
                .arg(HexNumber(result.computedCrc, 4)));

    if (result.trailerPadding == 0)
        add(ImageCheckName::TrailerPadding(), true, QStringLiteral("the last two bytes are zero"));
    else
        add(ImageCheckName::TrailerPadding(), false,
            QStringLiteral("the last two bytes are %1, expected 00 00").arg(byteList(trailer + 2, 2)));
}
} // namespace

bool AllChecksPassed(const QVector<InspectionCheck> &checks)
{
    return std::all_of(checks.cbegin(), checks.cend(), [](const InspectionCheck &c) { return c.passed; });
}

QString StampTimeText(quint32 seconds)
{
    const EpochTime epoch{seconds, 0};
    CalendarTime calendar{};
    if (!EpochToCalendar(&epoch, &calendar))
        return QString();
    const QLatin1Char zero('0');
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(calendar.year, 4, 10, zero)
        .arg(calendar.month, 2, 10, zero)
        .arg(calendar.day, 2, 10, zero)
        .arg(calendar.hour, 2, 10, zero)
        .arg(calendar.minute, 2, 10, zero)
        .arg(calendar.second, 2, 10, zero);
}

ImageInspection InspectImage(QIODevice *image)
{
    using namespace ImageLayout;
    ImageInspection result;
    if (!image->isSequential() && !image->seek(0)) {
        result.readError = image->errorString();
        return result;
    }

    quint8 header[HeaderSize] = {};
    const qint64 headerBytes = ReadUpTo(image, header, HeaderSize);
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
    if (headerBytes == HeaderSize)
        decodeHeader(header, result);
    result.hasTrailer = held == TrailerSize;
    if (result.hasTrailer) {
        result.trailerCrc = qFromBigEndian<quint16>(buffer);
        result.trailerPadding = qFromBigEndian<quint16>(buffer + 2);
        result.computedCrc = crc;
    }

    addHeaderChecks(header, result);
    addTrailerChecks(buffer, payloadSize, result);
    return result;
}
