#include "image/imagestamp.h"

#include "image/byteorder.h"
#include "image/calendar.h"
#include "image/crc16.h"

#include <QDateTime>
#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {
// The payload passes through here for its CRC; no allocation per stamp.
// Not reentrant: one stamp at a time.
quint8 ImageBuffer[ImageBufferSize];

void putField32(quint8 *header, int offset, int littleEndian, quint32 value)
{
    qToLittleEndian<quint32>(ToByteOrder32(littleEndian, value), header + offset);
}

void putField16(quint8 *header, int offset, int littleEndian, quint16 value)
{
    qToLittleEndian<quint16>(ToByteOrder16(littleEndian, value), header + offset);
}

// The wall-clock reading as seconds since 1970, taken as if it were UTC.
// Outside 2000-2099 it cannot be stamped and gives 0.
EpochTime stampSeconds(const QDateTime &wallClock)
{
    const QDate date = wallClock.date();
    const QTime time = wallClock.time();
    EpochTime epoch = {0, 0};
    if (!date.isValid() || !time.isValid() || date.year() < 0 || date.year() > 0xFFFF)
        return epoch;
    CalendarTime calendar = {};
    calendar.milliseconds = 0;
    calendar.second = quint8(time.second());
    calendar.minute = quint8(time.minute());
    calendar.hour = quint8(time.hour());
    calendar.day = quint8(date.day());
    calendar.month = quint8(date.month());
    calendar.year = quint16(date.year());
    if (!CalendarToEpoch(&calendar, &epoch))
        epoch = {0, 0};
    return epoch;
}
} // namespace

bool WriteFill(QIODevice *device, quint8 byte, int count)
{
    if (!device)
        return false;
    const char value = char(byte);
    for (int i = 0; i < count; ++i) {
        if (device->write(&value, 1) != 1)
            return false;
    }
    return true;
}

bool StampImage(QIODevice *device, int littleEndian, quint16 version)
{
    return StampImage(device, littleEndian, version, QDateTime::currentDateTime());
}

bool StampImage(QIODevice *device, int littleEndian, quint16 version, const QDateTime &wallClock)
{
    using namespace ImageLayout;
    if (!device || !device->isReadable() || !device->isWritable())
        return false;

    const EpochTime epoch = stampSeconds(wallClock);
    const qint64 size = device->size();
    if (size < HeaderSize)
        return false;

    quint8 header[HeaderSize] = {};
    putField32(header, LengthOffset, littleEndian, quint32(size + TrailerSize));
    putField32(header, MagicOffset, littleEndian, Magic);
    putField32(header, SecondsOffset, littleEndian, epoch.seconds);
    putField16(header, MillisecondsOffset, littleEndian, epoch.milliseconds);
    putField16(header, VersionOffset, littleEndian, version);
    putField32(header, LittleEndianOffset, littleEndian, quint32(littleEndian));
    // A byte sum: the same value in either byte order.
    quint16 checksum = 0;
    for (int i = 0; i < ChecksumOffset; ++i)
        checksum = quint16(checksum + header[i]);
    putField16(header, ChecksumOffset, littleEndian, checksum);

    if (!device->seek(0) || device->write(reinterpret_cast<const char *>(header), HeaderSize) != HeaderSize)
        return false;

    // The CRC covers the whole payload, one buffer at a time.
    quint16 crc = 0;
    qint64 payloadRead = 0;
    for (;;) {
        const qint64 n = device->read(reinterpret_cast<char *>(ImageBuffer), ImageBufferSize);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        crc = Crc16Continue(crc, ImageBuffer, n);
        payloadRead += n;
    }
    if (payloadRead != size - HeaderSize)
        return false;

    // High byte first in both byte orders.
    const char trailer[TrailerSize] = {char(crc >> 8), char(crc & 0xFF), 0, 0};
    return device->seek(size) && device->write(trailer, TrailerSize) == TrailerSize;
}
