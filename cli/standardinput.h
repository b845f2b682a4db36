#ifndef VANDREL_CLI_STANDARDINPUT_H
#define VANDREL_CLI_STANDARDINPUT_H

#include <QFile>
#include <QIODevice>
#include <QString>

// "-" in place of a file to read: the standard input.
bool IsStandardInput(const QString &path);

// The standard input as bytes (no CR LF translation on Windows), read in
// large blocks: a QFile on a pipe reads a line one byte per system call,
// hundreds of times slower than the same text from a file.
class StandardInputDevice : public QIODevice
{
    Q_OBJECT

public:
    // Opens it for reading. Returns an empty text, or the cause.
    QString openInput();

    bool isSequential() const override { return true; }
    // At the end only once the input has ended, not whenever nothing is
    // buffered: a reader tells a read error from the end by it.
    bool atEnd() const override { return m_ended && QIODevice::atEnd(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile m_file;
    bool m_ended = false;
};

#endif
