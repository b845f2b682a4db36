#include "deviceio.h"

#include <QIODevice>

qint64 ReadUpTo(QIODevice *device, quint8 *data, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const qint64 got = device->read(reinterpret_cast<char *>(data) + done, count - done);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool WriteAll(QIODevice *device, const char *data, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const qint64 written = device->write(data + done, count - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}
