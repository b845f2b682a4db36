#include "failingdevice.h"

#include <algorithm>
#include <cstring>

FailingDevice::FailingDevice(const QByteArray &contents, QObject *parent)
    : QIODevice(parent), m_contents(contents)
{
}

qint64 FailingDevice::readData(char *data, qint64 maxSize)
{
    const qint64 position = pos();
    qint64 count = std::min(maxSize, qint64(m_contents.size()) - position);
    if (m_readFailureOffset != Never) {
        if (position >= m_readFailureOffset)
            return -1;
        count = std::min(count, m_readFailureOffset - position);
    }
    if (count <= 0)
        return 0;
    std::memcpy(data, m_contents.constData() + position, size_t(count));
    return count;
}

qint64 FailingDevice::writeData(const char *data, qint64 maxSize)
{
    const qint64 position = pos();
    if (m_writeFailureOffset != Never && position + maxSize > m_writeFailureOffset)
        return -1;
    const qint64 end = position + maxSize;
    if (end > m_contents.size())
        m_contents.resize(int(end));
    std::memcpy(m_contents.data() + position, data, size_t(maxSize));
    return maxSize;
}
