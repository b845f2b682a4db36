#ifndef VANDREL_INSPECT_RECORDLAYOUTCHECK_H
#define VANDREL_INSPECT_RECORDLAYOUTCHECK_H

#include "inspectioncheck.h"

#include <QString>
#include <QtGlobal>

// What the layout checks of every record format share: the first line that
// differs from the layout this tool writes, and the verdict built from it.
class RecordLayoutCheck
{
public:
    // A line that could not be read as a record at all (too long).
    void unreadable(qint64 lineNumber, const QString &fault);

protected:
    // Keeps only the first difference: what follows it is measured against a
    // layout the file has already left.
    void differ(qint64 lineNumber, const QString &what);
    // A difference of the whole file (it is empty, it ends too soon).
    void differInFile(const QString &what);
    bool differs() const { return !m_difference.isEmpty(); }
    // Passed with sameText when no line differed.
    InspectionCheck verdict(const QString &name, bool counts, const QString &sameText) const;

private:
    QString m_difference;
};

#endif
