#include "recordlinereader.h"

#include "hexdigits.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {
// CR, LF, and the terminating zero that QIODevice::readLine writes.
constexpr int LineEndRoom = 3;
}

RecordLineReader::RecordLineReader(QIODevice *device, int maxLineLength)
    : m_device(device), m_buffer(size_t(maxLineLength + LineEndRoom + 1))
{
}

RecordLineReader::Status RecordLineReader::next()
{
    const qint64 capacity = qint64(m_buffer.size());
    const qint64 length = m_device->readLine(m_buffer.data(), capacity);
    if (length <= 0)
        return m_device->atEnd() ? EndOfFile : ReadFailed;
    ++m_line.number;
    char *text = m_buffer.data();
    int kept = int(length);
    if (text[kept - 1] == '\n') {
        --kept;
        m_line.end = LineEnd::Lf;
        if (kept > 0 && text[kept - 1] == '\r') {
            --kept;
            m_line.end = LineEnd::CrLf;
        }
    } else if (length == capacity - 1) {
        // The buffer has room for the longest record and its line end.
        return TooLong;
    } else if (m_device->atEnd()) {
        m_line.end = LineEnd::None;
    } else { // a read failed part-way through the line
        return ReadFailed;
    }
    m_line.text = text;
    m_line.length = kept;
    return LineRead;
}

QString RecordLineReader::readError() const
{
    const QString error = m_device->errorString();
    return error.isEmpty() ? QStringLiteral("read failed") : error;
}

QString QuotedText(const char *text, int length)
{
    // Long enough for any S0 text a tool writes, short enough for one line.
    constexpr int MaxQuoted = 80;
    QString quoted = QStringLiteral(""); // empty, not null: an S0 record without text still has one
    for (int i = 0; i < std::min(length, MaxQuoted); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\')
            quoted += QLatin1Char(char(byte));
        else
            quoted += QStringLiteral("\\x") + HexDigits(byte, 2);
    }
    if (length > MaxQuoted)
        quoted += QStringLiteral("...");
    return quoted;
}

namespace {
bool IsLowerCaseHexLetter(char c)
{
    return static_cast<unsigned char>(c - 'a') <= 'f' - 'a';
}

// Whether any byte of the word lies in 'a' to 'f': a byte's low seven bits
// are offset so that its high bit ends up set exactly when it is inside the
// range, and bytes with their own high bit set are left out.
bool WordHoldsLowerCaseHex(quint64 word)
{
    constexpr quint64 Ones = ~quint64(0) / 255;
    constexpr quint64 Low7 = Ones * 0x7F;
    constexpr quint64 High = Ones * 0x80;
    const quint64 low = word & Low7;
    const quint64 belowEnd = Ones * (0x7F + 'f' + 1) - low;
    const quint64 aboveStart = low + Ones * (0x7F - ('a' - 1));
    return (belowEnd & ~word & aboveStart & High) != 0;
}

// Whether the line holds any of a-f, eight bytes at a time: nearly every line
// read holds none, and this runs on every one.
bool HoldsLowerCaseHex(const RecordLine &line)
{
    int i = 0;
    for (; i + 8 <= line.length; i += 8) {
        quint64 word;
        std::memcpy(&word, line.text + i, sizeof word);
        if (WordHoldsLowerCaseHex(word))
            return true;
    }
    for (; i < line.length; ++i) {
        if (IsLowerCaseHexLetter(line.text[i]))
            return true;
    }
    return false;
}
} // namespace

QString WrittenFormDifference(const RecordLine &line)
{
    const char *found = HoldsLowerCaseHex(line) ? std::find_if(line.text, line.text + line.length, IsLowerCaseHexLetter)
                                                : nullptr;
    if (found && found != line.text + line.length) {
        return QStringLiteral("lower-case hex digit '%1' at column %2 (records are upper case)")
            .arg(QLatin1Char(*found))
            .arg(found - line.text + 1);
    }
    if (line.end == LineEnd::CrLf)
        return QStringLiteral("ends in CR LF (lines end in LF alone)");
    if (line.end == LineEnd::None)
        return QStringLiteral("no line feed at the end of the file");
    return QString();
}
