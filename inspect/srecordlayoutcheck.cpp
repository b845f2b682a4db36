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

// Whether the line starts as a record of the given type ('0' to '9').
bool StartsAs(const RecordLine &line, char typeDigit)
{
    return line.length >= 2 && line.text[0] == 'S' && line.text[1] == typeDigit;
}

char TypeDigit(int type)
{
    return char('0' + type);
}

} // namespace

void SRecordLayoutCheck::line(const RecordLine &line, const SRecord *record, const QString &fault)
{
    if (differs())
        return;
    switch (m_section) {
    case Section::Header:
        if (!IsFixedLine(line, HeaderLine))
            differ(line.number, QStringLiteral("\"%1\" is not the header line \"%2\"")
                                    .arg(QuotedText(line.text, line.length), FixedText(HeaderLine)));
        m_section = Section::Records;
        break;
    case Section::Records:
        betweenFixedLines(line, record, fault);
        break;
    case Section::End:
        differ(line.number, QStringLiteral("text after the end line"));
        break;
    }
    const QString form = WrittenFormDifference(line);
    if (!form.isEmpty())
        differ(line.number, form);
}

void SRecordLayoutCheck::betweenFixedLines(const RecordLine &line, const SRecord *record, const QString &fault)
{
    if (IsFixedLine(line, EndLine)) {
        m_section = Section::End;
    } else if (StartsAs(line, TypeDigit(DataRecordType))) {
        if (record)
            dataRecord(line, *record);
        else
            differ(line.number, fault);
    } else if (StartsAs(line, TypeDigit(EndRecordType))) {
        differ(line.number, QStringLiteral("\"%1\" is not the end line \"%2\"")
                                .arg(QuotedText(line.text, line.length), FixedText(EndLine)));
    } else if (line.length >= 2 && line.text[0] == 'S' && line.text[1] >= '0' && line.text[1] <= '9') {
        differ(line.number, QStringLiteral("an S%1 record; only S%2 records stand between the header and end lines")
                                .arg(QLatin1Char(line.text[1]))
                                .arg(DataRecordType));
    } else if (line.isBlank()) {
        differ(line.number, QStringLiteral("an empty line"));
    } else {
        differ(line.number, fault);
    }
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
    if (m_section == Section::Header)
        differInFile(QStringLiteral("the file is empty; expected the header line \"%1\"").arg(FixedText(HeaderLine)));
    else if (m_section == Section::Records)
        differInFile(QStringLiteral("the file ends after line %1 without the end line \"%2\"")
                         .arg(lineCount)
                         .arg(FixedText(EndLine)));
}

InspectionCheck SRecordLayoutCheck::verdict(const QString &name, bool counts) const
{
    return RecordLayoutCheck::verdict(name, counts,
                                      QStringLiteral("header line, %1 S%2 records, end line")
                                          .arg(m_records)
                                          .arg(DataRecordType));
}
