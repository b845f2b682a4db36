#include "imagestamp.h"

#include "crc16.h"
#include "deviceio.h"
#include "stamptime.h"

#include <QDateTime>
#include <QIODevice>

#include <vector>

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

    const qint64 size = device->size();
    if (size < HeaderSize)
        return false;
    const ImageHeader header =
        StampedHeader(quint32(size + TrailerSize), HeaderTimeAt(wallClock).seconds, version, littleEndian);
    const HeaderBytes headerBytes = EncodeImageHeader(header, littleEndian);
    if (!device->seek(0) || !WriteAll(device, reinterpret_cast<const char *>(headerBytes.data()), HeaderSize))
        return false;

    // The CRC covers the whole payload, one buffer at a time; each stamp has
    // its own buffer, so stamps may run on several threads at once.
    std::vector<quint8> buffer(ImageBufferSize);
    quint16 crc = 0;
    qint64 payloadRead = 0;
    for (;;) {
        const qint64 n = device->read(reinterpret_cast<char *>(buffer.data()), ImageBufferSize);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        crc = Crc16Continue(crc, buffer.data(), n);
        payloadRead += n;
    }
    if (payloadRead != size - HeaderSize)
        return false;

    const TrailerBytes trailer = EncodeImageTrailer(crc);
    return device->seek(size) && WriteAll(device, reinterpret_cast<const char *>(trailer.data()), TrailerSize);
}
