#ifndef VANDREL_TESTS_FAILINGDEVICE_H
#define VANDREL_TESTS_FAILINGDEVICE_H

#include <QByteArray>
#include <QIODevice>

// A random-access device over a byte array whose reads or writes fail from a
// chosen offset on, like a file on a failing disk. Reads stop short at that
// offset and the next read returns -1; a write that would reach it returns -1
// and changes nothing.
class FailingDevice : public QIODevice
{
public:
    static constexpr qint64 Never = -1;

    explicit FailingDevice(const QByteArray &contents, QObject *parent = nullptr);

    void setReadFailureOffset(qint64 offset) { m_readFailureOffset = offset; }
    void setWriteFailureOffset(qint64 offset) { m_writeFailureOffset = offset; }

    const QByteArray &contents() const { return m_contents; }

    // Always unbuffered, as QBuffer is, so that pos() in readData and
    // writeData is the device's own position.
    bool open(OpenMode mode) override { return QIODevice::open(mode | QIODevice::Unbuffered); }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_contents.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QByteArray m_contents;
    qint64 m_readFailureOffset = Never;
    qint64 m_writeFailureOffset = Never;
};

#endif
