#include "intelhexlayoutcheck.h"

#include "intelhex.h"
#include "messagetext.h"

#include <algorithm>
#include <cstring>

namespace {
using namespace IntelHexLayout;

int EndOfFileLength()
{
    return int(std::strlen(EndOfFileLine)) - 1;
}

QString EndOfFileText()
{
    return QString::fromLatin1(EndOfFileLine, EndOfFileLength());
}

QString TypeText(quint8 type)
{
    return HexDigits(type, 2);
}

} // namespace

void IntelHexLayoutCheck::line(const RecordLine &line, const IntelHexRecord *record, const QString &fault)
{
    if (differs())
        return;
    if (m_ended)
        differ(line.number, QStringLiteral("text after the end-of-file line"));
    else if (line.isBlank())
        differ(line.number, QStringLiteral("an empty line"));
    else if (!record)
        differ(line.number, fault);
    else
        this->record(line, *record);
}

void IntelHexLayoutCheck::record(const RecordLine &line, const IntelHexRecord &record)
{
    switch (record.type) {
    case Data:
        dataRecord(line.number, record);
        break;
    case ExtendedLinearAddress:
        upperAddressRecord(line.number, record);
        break;
    case EndOfFile:
        endOfFileRecord(line);
        break;
    default:
        differ(line.number, QStringLiteral("a type %1 record; this tool writes only types %2, %3 and %4")
                                .arg(TypeText(record.type), TypeText(Data), TypeText(ExtendedLinearAddress),
                                     TypeText(EndOfFile)));
        break;
    }
    const QString form = WrittenFormDifference(line);
    if (!form.isEmpty())
        differ(line.number, form);
}

void IntelHexLayoutCheck::dataRecord(qint64 lineNumber, const IntelHexRecord &record)
{
    const quint32 address = quint32(m_upper) << 16 | record.offset;
    if (!m_firstAddress)
        m_firstAddress = address;
    // Records hold 16 bytes counted from the first address, cut at segment boundaries.
    const quint32 full = std::min<quint32>(DataBytesPerRecord - (address - *m_firstAddress) % DataBytesPerRecord,
                                           SegmentSize - address % SegmentSize);
    if (m_nextAddress && address != *m_nextAddress)
        differ(lineNumber, QStringLiteral("data record at address %1, expected %2 (each record follows the one before)")
                               .arg(HexDigits(address, 8), HexDigits(*m_nextAddress, 8)));
    else if (m_lastShort)
        differ(lineNumber, QStringLiteral("a data record follows a short one (only the last holds fewer bytes)"));
    else if (record.count == 0 || quint32(record.count) > full)
        differ(lineNumber, QStringLiteral("holds %1 data bytes; the record at address %2 holds 1 to %3")
                               .arg(record.count)
                               .arg(HexDigits(address, 8))
                               .arg(full));
    m_lastShort = quint32(record.count) < full;
    m_nextAddress = address + quint32(record.count);
    m_upperUnused = false;
    ++m_dataRecords;
}

void IntelHexLayoutCheck::upperAddressRecord(qint64 lineNumber, const IntelHexRecord &record)
{
    const quint16 upper = quint16(record.data[0] << 8 | record.data[1]);
    if (record.offset != UpperAddressRecordOffset)
        differ(lineNumber, QStringLiteral("a type %1 record with offset %2, not %3")
                               .arg(TypeText(ExtendedLinearAddress), HexDigits(record.offset, 4),
                                    HexDigits(UpperAddressRecordOffset, 4)));
    else if (upper == m_upper)
        differ(lineNumber, QStringLiteral("a type %1 record that does not change the upper address %2")
                               .arg(TypeText(ExtendedLinearAddress), HexDigits(upper, 4)));
    else if (m_upperUnused)
        differ(lineNumber, QStringLiteral("a type %1 record follows another without data between them")
                               .arg(TypeText(ExtendedLinearAddress)));
    m_upper = upper;
    m_upperUnused = true;
    ++m_upperRecords;
}

void IntelHexLayoutCheck::endOfFileRecord(const RecordLine &line)
{
    if (line.length != EndOfFileLength() || std::memcmp(line.text, EndOfFileLine, size_t(line.length)) != 0)
        differ(line.number, QStringLiteral("\"%1\" is not the end-of-file line \"%2\"")
                                .arg(QuotedText(line.text, line.length), EndOfFileText()));
    else if (m_upperUnused)
        differ(line.number, QStringLiteral("the end-of-file line follows a type %1 record without data")
                                .arg(TypeText(ExtendedLinearAddress)));
    m_ended = true;
}

void IntelHexLayoutCheck::finish(qint64 lineCount)
{
    if (lineCount == 0)
        differInFile(QStringLiteral("the file is empty"));
    else if (!m_ended)
        differInFile(QStringLiteral("the file ends after line %1 without the end-of-file line \"%2\"")
                         .arg(lineCount)
                         .arg(EndOfFileText()));
}

InspectionCheck IntelHexLayoutCheck::verdict(const QString &name, bool counts) const
{
    return RecordLayoutCheck::verdict(name, counts,
                                      QStringLiteral("%1 data records in address order, %2 type %3 records where the "
                                                     "upper address changes, end-of-file line")
                                          .arg(m_dataRecords)
                                          .arg(m_upperRecords)
                                          .arg(TypeText(ExtendedLinearAddress)));
}
