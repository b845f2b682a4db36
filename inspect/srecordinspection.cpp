#include "srecordinspection.h"

#include "messagetext.h"
#include "srecord.h"
#include "srecordlayoutcheck.h"

#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {
const RecordCheckNames Names{SRecordCheckName::Lines(), SRecordCheckName::Records(), SRecordCheckName::Checksums(),
                             SRecordCheckName::Data()};

constexpr int TypeCount = 10;

QString TypesText(const std::array<qint64, TypeCount> &types)
{
    QStringList parts;
    for (int type = 0; type < TypeCount; ++type) {
        if (types[size_t(type)] > 0)
            parts << QStringLiteral("%1 S%2").arg(types[size_t(type)]).arg(type);
    }
    return parts.isEmpty() ? QStringLiteral("no records") : QStringLiteral("well-formed: ") + parts.join(QStringLiteral(", "));
}

// The S-record format for ReadRecordLines: what each record type adds to the
// reading.
class SRecordReader
{
public:
    using Record = SRecord;
    static constexpr int MaxLineLength = SRecordLayout::MaxLineLength;

    explicit SRecordReader(RecordFileReading &reading) : m_reading(reading) {}

    static QString tooLongText() { return QStringLiteral("longer than any S-record line"); }
    static QString afterEndText(qint64 endLine)
    {
        return QStringLiteral("a record after the end record on line %1").arg(endLine);
    }
    static QString parse(const RecordLine &line, SRecord &record)
    {
        return ParseSRecord(line.text, line.length, record);
    }
    SRecordLayoutCheck &layout() { return m_layout; }
    std::optional<qint64> endLine() const { return m_endLine; }
    bool use(const RecordLine &line, const SRecord &record);

    // Once every line is read: the result with its checks.
    RecordFileInspection finish(bool strictLayout);

private:
    void checkCount(qint64 lineNumber, const SRecord &record);

    RecordFileReading &m_reading;
    SRecordLayoutCheck m_layout;
    std::array<qint64, TypeCount> m_types = {};
    std::optional<qint64> m_endLine;
};

bool SRecordReader::use(const RecordLine &line, const SRecord &record)
{
    RecordFileInspection &result = m_reading.result();
    ++m_types[size_t(record.type)];
    switch (record.type) {
    case 0:
        if (m_types[0] == 1)
            result.headerText = QuotedText(reinterpret_cast<const char *>(record.data.data()), record.count);
        break;
    case 1:
    case 2:
    case 3:
        m_reading.countDataRecord(record.address, record.count);
        return m_reading.place(line.number, record.address, record.data.data(), record.count);
    case 5:
    case 6:
        checkCount(line.number, record);
        break;
    default: // 7, 8, 9
        m_endLine = line.number;
        result.startAddress = HexDigits(record.address, 2 * record.addressBytes);
        result.startRecord = QStringLiteral("S%1").arg(record.type);
        break;
    }
    return true;
}

void SRecordReader::checkCount(qint64 lineNumber, const SRecord &record)
{
    const qint64 preceding = m_reading.result().recordCount;
    if (record.address != quint32(preceding))
        m_reading.recordFault(QStringLiteral("line %1: the S%2 record counts %3 data records, %4 precede it")
                                  .arg(lineNumber)
                                  .arg(record.type)
                                  .arg(record.address)
                                  .arg(preceding));
}

RecordFileInspection SRecordReader::finish(bool strictLayout)
{
    const RecordFileInspection &result = m_reading.result();
    if (std::all_of(m_types.cbegin(), m_types.cend(), [](qint64 n) { return n == 0; }) && !m_reading.stopped())
        m_reading.recordFault(result.lineCount == 0 ? QStringLiteral("the file is empty")
                                                    : QStringLiteral("the file holds no records"));
    m_layout.finish(result.lineCount);
    return m_reading.finish(Names, m_layout.verdict(Names.lines, strictLayout), TypesText(m_types));
}

RecordFileInspection ReadOnce(QIODevice *srecords, QIODevice *image, std::optional<quint32> address, bool strictLayout)
{
    RecordFileReading reading(image, address);
    if (!StartReading(srecords, image, &reading.result().readError))
        return reading.result();
    SRecordReader reader(reading);
    if (!ReadRecordLines(srecords, reading, reader))
        return reading.result();
    return reader.finish(strictLayout);
}
} // namespace

RecordFileInspection InspectSRecords(QIODevice *srecords, QIODevice *image, std::optional<quint32> imageAddress,
                                     bool strictLayout)
{
    return InspectByAddress(srecords, imageAddress, [&](std::optional<quint32> address) {
        return ReadOnce(srecords, image, address, strictLayout);
    });
}
