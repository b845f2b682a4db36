#include "srecordinspection.h"

#include "deviceio.h"
#include "messagetext.h"
#include "srecord.h"

#include <QByteArray>
#include <QIODevice>

namespace {
using namespace SRecordLayout;

// Room for lines somewhat longer than the writer's, so that a record of too
// many bytes is named as such; a line that does not fit is refused whole.
constexpr int LineBufferSize = 2 * FullLineLength;

// A line as it can be quoted in a one-line message: bytes that are not
// printable ASCII are written as \xNN.
QString lineText(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    QString text;
    for (const char c : qAsConst(line)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + HexDigits(byte, 2);
    }
    return text;
}

// Parses the text of one line that starts with "S3" (without its LF), as
// this tool writes them: upper-case hex, LF alone, 1 to 16 data bytes.
// Returns an empty text, or what is wrong with the line's form.
QString parseS3(const char *text, int length, SRecord &record)
{
    for (int i = 2; i < length; ++i) {
        if (text[i] >= 'a' && text[i] <= 'f')
            return QStringLiteral("lower-case hex digit '%1' at column %2 (records are upper case)")
                .arg(QLatin1Char(text[i]))
                .arg(i + 1);
        if (text[i] == '\r' && i == length - 1)
            return QStringLiteral("ends in CR LF (lines end in LF alone)");
    }
    const QString problem = ParseSRecord(text, length, record);
    if (!problem.isEmpty())
        return problem;
    if (record.count < 1 || record.count > DataBytesPerRecord)
        return QStringLiteral("holds %1 data bytes; records hold 1 to %2").arg(record.count).arg(DataBytesPerRecord);
    return QString();
}

// Compares the records, in file order, with the image read alongside them.
class ImageComparison
{
public:
    ImageComparison(QIODevice *image, std::optional<quint32> address) : m_image(image), m_address(address) {}

    std::optional<quint32> address() const { return m_address; }
    bool mismatched() const { return !m_mismatch.isEmpty(); }
    QString mismatch() const { return m_mismatch; }
    QString readError() const { return m_readError; }

    void compare(qint64 lineNumber, const SRecord &record)
    {
        if (mismatched() || !m_readError.isEmpty())
            return;
        if (!m_address)
            m_address = record.address;
        const quint32 expected = quint32(*m_address + quint64(m_offset));
        if (record.address != expected) {
            m_mismatch = QStringLiteral("line %1: record at address %2, expected %3 (image offset %4)")
                             .arg(lineNumber)
                             .arg(HexDigits(record.address, 8), HexDigits(expected, 8))
                             .arg(m_offset);
            return;
        }
        quint8 imageBytes[DataBytesPerRecord];
        const qint64 got = ReadUpTo(m_image, imageBytes, record.count);
        if (got < 0) {
            m_readError = m_image->errorString();
            return;
        }
        for (int i = 0; i < got; ++i) {
            if (record.data[i] != imageBytes[i]) {
                m_mismatch = QStringLiteral("line %1: byte at address %2 (image offset %3) is %4, the image holds %5")
                                 .arg(lineNumber)
                                 .arg(HexDigits(quint32(record.address + quint32(i)), 8))
                                 .arg(m_offset + i)
                                 .arg(HexDigits(record.data[i], 2), HexDigits(imageBytes[i], 2));
                return;
            }
        }
        if (got < record.count) {
            m_mismatch = QStringLiteral("line %1: data runs past the end of the image (%2 bytes) at address %3")
                             .arg(lineNumber)
                             .arg(m_offset + got)
                             .arg(HexDigits(quint32(record.address + quint32(got)), 8));
            return;
        }
        m_offset += record.count;
    }

    // Once every record is compared: the image must have no bytes left.
    void finish()
    {
        if (mismatched() || !m_readError.isEmpty())
            return;
        quint8 extra = 0;
        const qint64 got = ReadUpTo(m_image, &extra, 1);
        if (got < 0) {
            m_readError = m_image->errorString();
        } else if (got > 0) {
            const QString size = m_image->isSequential()
                ? QStringLiteral("more")
                : QString::number(m_image->size());
            m_mismatch = QStringLiteral("the records end at image offset %1, but the image is %2 bytes")
                             .arg(m_offset)
                             .arg(size);
        }
    }

private:
    QIODevice *m_image;
    std::optional<quint32> m_address;
    qint64 m_offset = 0;
    QString m_mismatch;
    QString m_readError;
};

enum class Section { Header, Records, End };
} // namespace

SRecordInspection InspectSRecords(QIODevice *srecords, QIODevice *image, std::optional<quint32> imageAddress)
{
    SRecordInspection result;
    if ((!srecords->isSequential() && !srecords->seek(0)) || (!image->isSequential() && !image->seek(0))) {
        result.readError = srecords->errorString().isEmpty() ? image->errorString() : srecords->errorString();
        return result;
    }

    ImageComparison comparison(image, imageAddress);
    const QByteArray headerLine(HeaderLine);
    const QByteArray endLine(EndLine);
    Section section = Section::Header;
    QString formatFault;
    QString checksumFault;
    qint64 badChecksums = 0;
    char buffer[LineBufferSize];

    while (formatFault.isEmpty()) {
        const qint64 length = srecords->readLine(buffer, LineBufferSize);
        if (length <= 0) {
            if (!srecords->atEnd()) {
                result.readError = srecords->errorString();
                return result;
            }
            break;
        }
        const qint64 lineNumber = ++result.lineCount;
        const QByteArray line = QByteArray::fromRawData(buffer, int(length));
        auto fault = [lineNumber](const QString &what) { return QStringLiteral("line %1: %2").arg(lineNumber).arg(what); };

        if (!line.endsWith('\n')) {
            if (length == LineBufferSize - 1) {
                formatFault = fault(QStringLiteral("longer than any S-record line"));
            } else if (srecords->atEnd()) {
                formatFault = fault(QStringLiteral("no line feed at the end of the file"));
            } else { // a read failed part-way through the line
                result.readError = srecords->errorString();
                return result;
            }
            break;
        }
        switch (section) {
        case Section::Header:
            if (line != headerLine)
                formatFault = fault(QStringLiteral("\"%1\" is not the header line \"%2\"")
                                        .arg(lineText(line), lineText(headerLine)));
            section = Section::Records;
            break;
        case Section::Records:
            if (line == endLine) {
                section = Section::End;
            } else if (line.startsWith("S3")) {
                SRecord record;
                const QString problem = parseS3(buffer, int(length) - 1, record);
                if (!problem.isEmpty()) {
                    formatFault = fault(problem);
                    break;
                }
                ++result.recordCount;
                result.dataBytes += record.count;
                if (!result.firstAddress)
                    result.firstAddress = record.address;
                if (!record.checksumMatches() && badChecksums++ == 0)
                    checksumFault = fault(QStringLiteral("checksum %1, the record sums to %2")
                                              .arg(HexDigits(record.checksum, 2), HexDigits(record.computedChecksum, 2)));
                comparison.compare(lineNumber, record);
                if (!comparison.readError().isEmpty()) {
                    result.readError = comparison.readError();
                    return result;
                }
            } else if (line.startsWith("S7")) {
                formatFault = fault(QStringLiteral("\"%1\" is not the end line \"%2\"").arg(lineText(line), lineText(endLine)));
            } else if (line.size() >= 2 && line.at(0) == 'S' && line.at(1) >= '0' && line.at(1) <= '9') {
                formatFault = fault(QStringLiteral("an S%1 record; only S3 records stand between the header and end lines")
                                        .arg(QLatin1Char(line.at(1))));
            } else {
                formatFault = fault(QStringLiteral("not an S-record line"));
            }
            break;
        case Section::End:
            formatFault = fault(QStringLiteral("text after the end line"));
            break;
        }
    }

    if (formatFault.isEmpty() && section == Section::Header)
        formatFault = QStringLiteral("the file is empty; expected the header line \"%1\"").arg(lineText(headerLine));
    else if (formatFault.isEmpty() && section == Section::Records)
        formatFault = QStringLiteral("the file ends after line %1 without the end line \"%2\"")
                          .arg(result.lineCount)
                          .arg(lineText(endLine));

    // A malformed line stops the reading, so the records behind it are unknown.
    const bool readAll = section == Section::End && formatFault.isEmpty();
    if (readAll)
        comparison.finish();
    if (!comparison.readError().isEmpty()) {
        result.readError = comparison.readError();
        return result;
    }
    result.imageAddress = comparison.address();
    const QString unread = QStringLiteral("not all records were read: the file is malformed (%1)").arg(SRecordCheckName::Lines());

    if (formatFault.isEmpty())
        result.checks.append({SRecordCheckName::Lines(), true,
                              QStringLiteral("header line, %1 S3 records, end line").arg(result.recordCount)});
    else
        result.checks.append({SRecordCheckName::Lines(), false, formatFault});

    if (badChecksums > 0)
        result.checks.append({SRecordCheckName::Checksums(), false,
                              QStringLiteral("%1 bad record checksums; first: %2").arg(badChecksums).arg(checksumFault)});
    else if (!readAll)
        result.checks.append({SRecordCheckName::Checksums(), false, unread});
    else
        result.checks.append({SRecordCheckName::Checksums(), true, QStringLiteral("every record checksum is right")});

    if (comparison.mismatched())
        result.checks.append({SRecordCheckName::Data(), false, comparison.mismatch()});
    else if (!readAll)
        result.checks.append({SRecordCheckName::Data(), false, unread});
    else
        result.checks.append({SRecordCheckName::Data(), true,
                              QStringLiteral("%1 bytes equal to the image from address %2")
                                  .arg(result.dataBytes)
                                  .arg(HexDigits(comparison.address().value_or(0), 8))});
    return result;
}
