#ifndef VANDREL_INSPECT_INTELHEXLAYOUTCHECK_H
#define VANDREL_INSPECT_INTELHEXLAYOUTCHECK_H

#include "inspectioncheck.h"
#include "intelhex.h"
#include "recordlayoutcheck.h"
#include "recordlinereader.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// Whether an Intel HEX file has the layout this tool writes: data records of
// 16 bytes in address order, each following the one before (a record is
// split where it would cross a 64 KiB boundary, and the last may hold fewer),
// a type 04 record wherever the upper 16 address bits change (they start at
// 0), the end-of-file line and nothing after it; upper-case hex, every line
// ended by LF alone. Names the first difference.
class IntelHexLayoutCheck : public RecordLayoutCheck
{
public:
    // Each line as read; record is null when the line is not a record, and
    // fault then says why.
    void line(const RecordLine &line, const IntelHexRecord *record, const QString &fault);
    // Once the reading has ended after lineCount lines.
    void finish(qint64 lineCount);

    InspectionCheck verdict(const QString &name, bool counts) const;

private:
    void record(const RecordLine &line, const IntelHexRecord &record);
    void dataRecord(qint64 lineNumber, const IntelHexRecord &record);
    void upperAddressRecord(qint64 lineNumber, const IntelHexRecord &record);
    void endOfFileRecord(const RecordLine &line);

    bool m_ended = false;
    bool m_upperUnused = false; // a type 04 record without data behind it yet
    quint16 m_upper = IntelHexLayout::FirstUpperAddress;
    std::optional<quint32> m_firstAddress;
    std::optional<quint32> m_nextAddress;
    bool m_lastShort = false;
    qint64 m_dataRecords = 0;
    qint64 m_upperRecords = 0;
};

#endif
