#include "recordlayoutcheck.h"

void RecordLayoutCheck::unreadable(qint64 lineNumber, const QString &fault)
{
    differ(lineNumber, fault);
}

void RecordLayoutCheck::differ(qint64 lineNumber, const QString &what)
{
    if (m_difference.isEmpty())
        m_difference = QStringLiteral("line %1: %2").arg(lineNumber).arg(what);
}

void RecordLayoutCheck::differInFile(const QString &what)
{
    if (m_difference.isEmpty())
        m_difference = what;
}

InspectionCheck RecordLayoutCheck::verdict(const QString &name, bool counts, const QString &sameText) const
{
    if (differs())
        return {name, false, m_difference, counts};
    return {name, true, sameText, counts};
}
