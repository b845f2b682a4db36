#ifndef VANDREL_RECORDS_RECORDLINEREADER_H
#define VANDREL_RECORDS_RECORDLINEREADER_H

#include <QString>
#include <QtGlobal>

#include <vector>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// How a line of a record file ends.
enum class LineEnd { Lf, CrLf, None };

// One line of a record file, its line end removed.
struct RecordLine
{
    qint64 number = 0; // from 1
    const char *text = nullptr;
    int length = 0;
    LineEnd end = LineEnd::Lf;
    bool isBlank() const { return length == 0; }
};

// Reads a text file of records line by line, each line into one buffer of a
// fixed size, so a file of any size or content is read in bounded memory.
class RecordLineReader
{
public:
    enum Status {
        LineRead,   // line() holds the next line
        EndOfFile,
        TooLong,    // the line is longer than maxLineLength; line() holds its number
        ReadFailed, // readError() says why
    };

    // maxLineLength: the longest line a record can take, line end excluded.
    RecordLineReader(QIODevice *device, int maxLineLength);

    Status next();
    const RecordLine &line() const { return m_line; }
    QString readError() const;

private:
    QIODevice *m_device;
    std::vector<char> m_buffer;
    RecordLine m_line;
};

// What differs in a line's form from the lines this tool writes (upper-case
// hex, LF alone), or an empty text.
QString WrittenFormDifference(const RecordLine &line);

// A line as it can be quoted in a one-line message: bytes that are not
// printable ASCII are written as \xNN, and a long line is cut short ("...").
QString QuotedText(const char *text, int length);

#endif
