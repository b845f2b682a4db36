#include "testpayload.h"

#include <random>

QByteArray RandomPayload(qint64 size, quint32 seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator() & 0xFF);
    return bytes;
}
