#ifndef VANDREL_INSPECT_SRECORDLAYOUTCHECK_H
#define VANDREL_INSPECT_SRECORDLAYOUTCHECK_H

#include "inspectioncheck.h"
#include "recordlayoutcheck.h"
#include "recordlinereader.h"

#include <QString>
#include <QtGlobal>

#include <optional>

struct SRecord;

// Whether an S-record file has the layout this tool writes: the fixed header
// line, S3 records of 16 data bytes each following the one before (the last
// may hold fewer), the fixed end line and nothing after it; upper-case hex,
// every line ended by LF alone. Names the first difference.
class SRecordLayoutCheck : public RecordLayoutCheck
{
public:
    // Each line as read; record is null when the line is not a record, and
    // fault then says why.
    void line(const RecordLine &line, const SRecord *record, const QString &fault);
    // Once the reading has ended after lineCount lines.
    void finish(qint64 lineCount);

    InspectionCheck verdict(const QString &name, bool counts) const;

private:
    void betweenFixedLines(const RecordLine &line, const SRecord *record, const QString &fault);
    void dataRecord(const RecordLine &line, const SRecord &record);

    enum class Section { Header, Records, End };
    Section m_section = Section::Header;
    qint64 m_records = 0;
    std::optional<quint32> m_nextAddress;
    int m_lastCount = 0;
};

#endif
