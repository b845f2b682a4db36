#include "srecordlayoutcheck.h"

#include "messagetext.h"
#include "srecord.h"

#include <cstring>

namespace {
using namespace SRecordLayout;

// The fixed lines without their LF.
int FixedLength(const char *line)
{
    return int(std::strlen(line)) - 1;
}

bool IsFixedLine(const RecordLine &line, const char *fixed)
{
    return line.length == FixedLength(fixed) && std::memcmp(line.text, fixed, size_t(line.length)) == 0;
}

QString FixedText(const char *fixed)
{
    return QString::fromLatin1(fixed, FixedLength(fixed));
}

} // namespace

void SRecordLayoutCheck::differ(qint64 lineNumber, const QString &what)
{
    if (m_difference.isEmpty())
        m_difference = QStringLiteral("line %1: %2").arg(lineNumber).arg(what);
}

void SRecordLayoutCheck::unreadable(qint64 lineNumber, const QString &fault)
{
    differ(lineNumber, fault);
}

void SRecordLayoutCheck::line(const RecordLine &line, const SRecord *record, const QString &fault)
{
    if (!m_difference.isEmpty())
        return;
    switch (m_section) {
    case Section::Header:
        if (!IsFixedLine(line, HeaderLine))
            differ(line.number, QStringLiteral("\"%1\" is not the header line \"%2\"").arg(QuotedText(line.text, line.length), FixedText(HeaderLine)));
        m_section = Section::Records;
        break;
    case Section::Records:
        if (IsFixedLine(line, EndLine)) {
            m_section = Section::End;
        } else if (line.length >= 2 && line.text[0] == 'S' && line.text[1] == '3') {
            if (!record) {
                differ(line.number, fault);
                return;
            }
            dataRecord(line, *record);
        } else if (line.length >= 2 && line.text[0] == 'S' && line.text[1] == '7') {
            differ(line.number, QStringLiteral("\"%1\" is not the end line \"%2\"").arg(QuotedText(line.text, line.length), FixedText(EndLine)));
        } else if (line.length >= 2 && line.text[0] == 'S' && line.text[1] >= '0' && line.text[1] <= '9') {
            differ(line.number, QStringLiteral("an S%1 record; only S3 records stand between the header and end lines")
                                    .arg(QLatin1Char(line.text[1])));
        } else if (line.isBlank()) {
            differ(line.number, QStringLiteral("an empty line"));
        } else {
            differ(line.number, fault);
        }
        break;
    case Section::End:
        differ(line.number, QStringLiteral("text after the end line"));
        break;
    }
    const QString form = WrittenFormDifference(line);
    if (!form.isEmpty())
        differ(line.number, form);
}

void SRecordLayoutCheck::dataRecord(const RecordLine &line, const SRecord &record)
{
    if (record.count < 1 || record.count > DataBytesPerRecord) {
        differ(line.number, QStringLiteral("holds %1 data bytes; records hold 1 to %2").arg(record.count).arg(DataBytesPerRecord));
    } else if (m_nextAddress && record.address != *m_nextAddress) {
        differ(line.number, QStringLiteral("record at address %1, expected %2 (each record follows the one before)")
                                .arg(HexDigits(record.address, 8), HexDigits(*m_nextAddress, 8)));
    } else if (m_lastCount != 0 && m_lastCount < DataBytesPerRecord) {
        differ(line.number, QStringLiteral("a record follows one of %1 data bytes (only the last holds fewer than %2)")
                                .arg(m_lastCount)
                                .arg(DataBytesPerRecord));
    }
    ++m_records;
    m_lastCount = record.count;
    m_nextAddress = record.address + quint32(record.count);
}

void SRecordLayoutCheck::finish(qint64 lineCount)
{
    if (!m_difference.isEmpty())
        return;
    if (m_section == Section::Header)
        m_difference = QStringLiteral("the file is empty; expected the header line \"%1\"").arg(FixedText(HeaderLine));
    else if (m_section == Section::Records)
        m_difference = QStringLiteral("the file ends after line %1 without the end line \"%2\"")
                           .arg(lineCount)
                           .arg(FixedText(EndLine));
}

InspectionCheck SRecordLayoutCheck::verdict(const QString &name, bool counts) const
{
    if (!m_difference.isEmpty())
        return {name, false, m_difference, counts};
    return {name, true, QStringLiteral("header line, %1 S3 records, end line").arg(m_records), counts};
}
