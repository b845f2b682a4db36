#include "intelhexinspection.h"

#include "intelhex.h"
#include "intelhexlayoutcheck.h"
#include "messagetext.h"

#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {
using namespace IntelHexLayout;

const RecordCheckNames Names{IntelHexCheckName::Lines(), IntelHexCheckName::Records(), IntelHexCheckName::Checksums(),
                             IntelHexCheckName::Data()};

constexpr int TypeCount = StartLinearAddress + 1;

QString TypesText(const std::array<qint64, TypeCount> &types)
{
    QStringList parts;
    for (int type = 0; type < TypeCount; ++type) {
        if (types[size_t(type)] > 0)
            parts << QStringLiteral("%1 type %2").arg(types[size_t(type)]).arg(HexDigits(quint32(type), 2));
    }
    return QStringLiteral("well-formed: ") + parts.join(QStringLiteral(", "));
}

quint32 BigEndianValue(const IntelHexRecord &record)
{
    quint32 value = 0;
    for (int i = 0; i < record.count; ++i)
        value = value << 8 | record.data[size_t(i)];
    return value;
}

// The Intel HEX format for ReadRecordLines: what each record type adds to the
// reading, and the address base that types 02 and 04 set.
class IntelHexReader
{
public:
    using Record = IntelHexRecord;
    static constexpr int MaxLineLength = IntelHexLayout::MaxLineLength;

    explicit IntelHexReader(RecordFileReading &reading) : m_reading(reading) {}

    static QString tooLongText() { return QStringLiteral("longer than any Intel HEX line"); }
    static QString afterEndText(qint64 endLine)
    {
        return QStringLiteral("a record after the end-of-file record on line %1").arg(endLine);
    }
    static QString parse(const RecordLine &line, IntelHexRecord &record)
    {
        const QString fault = ParseIntelHexRecord(line.text, line.length, record);
        return fault.isEmpty() ? IntelHexTypeFault(record) : fault;
    }
    IntelHexLayoutCheck &layout() { return m_layout; }
    std::optional<qint64> endLine() const { return m_endLine; }
    bool use(const RecordLine &line, const IntelHexRecord &record);

    // Once every line is read: the result with its checks.
    RecordFileInspection finish(bool strictLayout);

private:
    bool placeData(qint64 lineNumber, const IntelHexRecord &record);
    void startAddress(const IntelHexRecord &record);

    RecordFileReading &m_reading;
    IntelHexLayoutCheck m_layout;
    std::array<qint64, TypeCount> m_types = {};
    std::optional<qint64> m_endLine;
    quint32 m_base = 0;       // from the last type 02 or 04 record
    bool m_segmented = false; // the last was a type 02 record
};

bool IntelHexReader::use(const RecordLine &line, const IntelHexRecord &record)
{
    ++m_types[record.type];
    switch (record.type) {
    case Data:
        return placeData(line.number, record);
    case EndOfFile:
        m_endLine = line.number;
        break;
    case ExtendedSegmentAddress:
        m_base = BigEndianValue(record) << 4;
        m_segmented = true;
        break;
    case ExtendedLinearAddress:
        m_base = BigEndianValue(record) << 16;
        m_segmented = false;
        break;
    default: // the start addresses
        startAddress(record);
        break;
    }
    return true;
}

bool IntelHexReader::placeData(qint64 lineNumber, const IntelHexRecord &record)
{
    const quint32 start = m_base + record.offset; // wraps at 4 GiB
    m_reading.countDataRecord(start, record.count);
    // After a type 02 record, offsets wrap within the 64 KiB segment.
    const int first = m_segmented ? int(std::min<quint32>(quint32(record.count), SegmentSize - record.offset))
                                  : record.count;
    return m_reading.place(lineNumber, start, record.data.data(), first)
           && m_reading.place(lineNumber, m_base, record.data.data() + first, record.count - first);
}

void IntelHexReader::startAddress(const IntelHexRecord &record)
{
    RecordFileInspection &result = m_reading.result();
    const quint32 value = BigEndianValue(record);
    if (record.type == StartSegmentAddress) {
        result.startAddress = HexDigits(value >> 16, 4) + QLatin1Char(':') + HexDigits(value & 0xFFFF, 4);
        result.startRecord = QStringLiteral("type 03, CS:IP");
    } else {
        result.startAddress = HexDigits(value, 8);
        result.startRecord = QStringLiteral("type 05");
    }
}

RecordFileInspection IntelHexReader::finish(bool strictLayout)
{
    const RecordFileInspection &result = m_reading.result();
    if (!m_endLine && !m_reading.stopped())
        m_reading.recordFault(result.lineCount == 0 ? QStringLiteral("the file is empty")
                                                    : QStringLiteral("the file ends after line %1 without the "
                                                                     "end-of-file record (type 01)")
                                                          .arg(result.lineCount));
    m_layout.finish(result.lineCount);
    return m_reading.finish(Names, m_layout.verdict(Names.lines, strictLayout), TypesText(m_types));
}

RecordFileInspection ReadOnce(QIODevice *hex, QIODevice *image, std::optional<quint32> address, bool strictLayout)
{
    RecordFileReading reading(image, address);
    if (!StartReading(hex, image, &reading.result().readError))
        return reading.result();
    IntelHexReader reader(reading);
    if (!ReadRecordLines(hex, reading, reader))
        return reading.result();
    return reader.finish(strictLayout);
}
} // namespace

RecordFileInspection InspectIntelHex(QIODevice *hex, QIODevice *image, std::optional<quint32> imageAddress,
                                     bool strictLayout)
{
    return InspectByAddress(hex, imageAddress, [&](std::optional<quint32> address) {
        return ReadOnce(hex, image, address, strictLayout);
    });
}
