#ifndef VANDREL_CLI_CONSOLEDEVICE_H
#define VANDREL_CLI_CONSOLEDEVICE_H

#include <QIODevice>

#include <cstdio>

// Write-only device on stdout or stderr that takes UTF-8 text. A Windows
// console gets it as wide characters, so Chinese names show whatever the
// console's code page; a pipe or a file gets the UTF-8 bytes unchanged, with
// LF line ends, on every platform.
class ConsoleDevice : public QIODevice
{
    Q_OBJECT

public:
    explicit ConsoleDevice(FILE *stream, QObject *parent = nullptr);

    bool isSequential() const override { return true; }

    // The last write failed because the reader of a pipe had closed it.
    bool closedByReader() const { return m_closedByReader; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    FILE *m_stream;
    bool m_closedByReader = false;
#ifdef Q_OS_WIN
    void *m_console = nullptr; // the console's handle; null when redirected
#endif
};

#endif
