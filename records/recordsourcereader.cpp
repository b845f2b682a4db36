#include "recordsourcereader.h"

#include "hexdigits.h"
#include "intelhex.h"
#include "recordlinereader.h"
#include "srecord.h"

#include <QIODevice>

namespace {
QString LineFault(qint64 lineNumber, const QString &what)
{
    return QStringLiteral("line %1: %2").arg(lineNumber).arg(what);
}

QString ChecksumFault(qint64 lineNumber, quint8 stored, quint8 computed)
{
    return LineFault(lineNumber, QStringLiteral("checksum %1, the record sums to %2")
                                     .arg(HexDigits(stored, 2), HexDigits(computed, 2)));
}

quint32 BigEndianValue(const IntelHexRecord &record)
{
    quint32 value = 0;
    for (int i = 0; i < record.count; ++i)
        value = value << 8 | record.data[size_t(i)];
    return value;
}

// The rules both formats share: each line read and parsed by Format, which
// takes every well-formed record in turn through use(line, record).
template <typename Format>
SourceReading ReadRecordSource(QIODevice *device, Format &format)
{
    SourceReading reading;
    RecordLineReader lines(device, Format::MaxLineLength);
    typename Format::Record record;
    for (;;) {
        const RecordLineReader::Status status = lines.next();
        if (status == RecordLineReader::EndOfFile)
            break;
        const RecordLine &line = lines.line();
        if (status == RecordLineReader::ReadFailed) {
            reading.fault = lines.readError();
            reading.readFailed = true;
        }
        if (status == RecordLineReader::TooLong)
            reading.fault = LineFault(line.number, Format::tooLongText());
        if (!reading.fault.isEmpty())
            return reading;
        if (line.isBlank())
            continue;
        if (format.endLine) {
            reading.fault = LineFault(line.number, QStringLiteral("a record after the end record on line %1")
                                                       .arg(format.endLine));
            return reading;
        }
        const QString fault = Format::parse(line, record);
        if (!fault.isEmpty())
            reading.fault = LineFault(line.number, fault);
        else if (!record.checksumMatches())
            reading.fault = ChecksumFault(line.number, record.checksum, record.computedChecksum);
        else
            format.use(line.number, record, reading);
        if (!reading.complete())
            return reading;
    }
    reading.fault = format.finish(lines.line().number);
    return reading;
}

class IntelHexFormat
{
public:
    using Record = IntelHexRecord;
    static constexpr int MaxLineLength = IntelHexLayout::MaxLineLength;

    explicit IntelHexFormat(const SourcePieceSink &sink) : m_sink(sink) {}

    static QString tooLongText() { return QStringLiteral("longer than any Intel HEX line"); }
    static QString parse(const RecordLine &line, IntelHexRecord &record)
    {
        const QString fault = ParseIntelHexRecord(line.text, line.length, record);
        return fault.isEmpty() ? IntelHexTypeFault(record) : fault;
    }
    void use(qint64 lineNumber, const IntelHexRecord &record, SourceReading &reading);
    QString finish(qint64 lineCount) const;

    qint64 endLine = 0;

private:
    const SourcePieceSink &m_sink;
    quint64 m_base = 0; // from the last type 02 or 04 record
};

void IntelHexFormat::use(qint64 lineNumber, const IntelHexRecord &record, SourceReading &reading)
{
    using namespace IntelHexLayout;
    switch (record.type) {
    case Data:
        if (record.count > 0 && !m_sink({m_base + record.offset, record.data.data(), record.count, lineNumber}))
            reading.stopped = true;
        break;
    case EndOfFile:
        endLine = lineNumber;
        break;
    case ExtendedSegmentAddress:
        m_base = quint64(BigEndianValue(record)) << 4;
        break;
    case ExtendedLinearAddress:
        m_base = quint64(BigEndianValue(record)) << 16;
        break;
    case StartSegmentAddress: // CS:IP
        reading.entryAddress = (quint64(BigEndianValue(record) >> 16) << 4) + (BigEndianValue(record) & 0xFFFF);
        break;
    default:
        reading.entryAddress = BigEndianValue(record);
        break;
    }
}

QString IntelHexFormat::finish(qint64 lineCount) const
{
    if (endLine)
        return QString();
    if (lineCount == 0)
        return QStringLiteral("the file is empty");
    return QStringLiteral("the file ends after line %1 without the end-of-file record (type 01): it may be cut short")
        .arg(lineCount);
}

class SRecordFormat
{
public:
    using Record = SRecord;
    static constexpr int MaxLineLength = SRecordLayout::MaxLineLength;

    explicit SRecordFormat(const SourcePieceSink &sink) : m_sink(sink) {}

    static QString tooLongText() { return QStringLiteral("longer than any S-record line"); }
    static QString parse(const RecordLine &line, SRecord &record)
    {
        return ParseSRecord(line.text, line.length, record);
    }
    void use(qint64 lineNumber, const SRecord &record, SourceReading &reading);
    QString finish(qint64 lineCount) const;

    qint64 endLine = 0;

private:
    const SourcePieceSink &m_sink;
    qint64 m_dataRecords = 0;
    qint64 m_otherRecords = 0; // S0, S5, S6
};

void SRecordFormat::use(qint64 lineNumber, const SRecord &record, SourceReading &reading)
{
    switch (record.type) {
    case 0:
        ++m_otherRecords;
        break;
    case 1:
    case 2:
    case 3:
        ++m_dataRecords;
        if (record.count > 0 && !m_sink({record.address, record.data.data(), record.count, lineNumber}))
            reading.stopped = true;
        break;
    case 5:
    case 6:
        ++m_otherRecords;
        if (record.address != quint64(m_dataRecords))
            reading.fault = LineFault(lineNumber, QStringLiteral("the S%1 record counts %2 data records, %3 precede it")
                                                      .arg(record.type)
                                                      .arg(record.address)
                                                      .arg(m_dataRecords));
        break;
    default: // 7, 8, 9
        endLine = lineNumber;
        reading.entryAddress = record.address;
        break;
    }
}

// The end record is optional: srec_cat leaves it out when it has no start
// address to give.
QString SRecordFormat::finish(qint64 lineCount) const
{
    if (endLine || m_dataRecords > 0 || m_otherRecords > 0)
        return QString();
    return lineCount == 0 ? QStringLiteral("the file is empty") : QStringLiteral("the file holds no records");
}
} // namespace

SourceReading ReadIntelHexSource(QIODevice *device, const SourcePieceSink &sink)
{
    IntelHexFormat format(sink);
    return ReadRecordSource(device, format);
}

SourceReading ReadSRecordSource(QIODevice *device, const SourcePieceSink &sink)
{
    SRecordFormat format(sink);
    return ReadRecordSource(device, format);
}
