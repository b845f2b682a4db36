#include "recordlines.h"

#include <utility>

QByteArray SRecordLine(int type, quint32 address, const QByteArray &data)
{
    const int addressBytes = type == 1 || type == 5 || type == 9 ? 2 : type == 2 || type == 6 || type == 8 ? 3 : 4;
    QByteArray bytes;
    bytes.append(char(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.append(char(address >> (8 * i)));
    bytes.append(data);
    quint8 sum = 0;
    for (const char c : std::as_const(bytes))
        sum = quint8(sum + quint8(c));
    bytes.append(char(~sum));
    return "S" + QByteArray::number(type) + bytes.toHex().toUpper() + "\n";
}

QByteArray IntelHexLine(int type, quint16 offset, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(offset >> 8));
    bytes.append(char(offset));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (const char c : std::as_const(bytes))
        sum = quint8(sum + quint8(c));
    bytes.append(char(quint8(0x100 - sum)));
    return ":" + bytes.toHex().toUpper() + "\n";
}
