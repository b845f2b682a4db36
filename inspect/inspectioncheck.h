#ifndef VANDREL_INSPECT_INSPECTIONCHECK_H
#define VANDREL_INSPECT_INSPECTIONCHECK_H

#include <QString>
#include <QVector>

// One verdict of an inspection: a short stable name (used as a JSON key by
// scripts), whether it holds, and one English line saying what was found.
// A check that does not count reports what it found without failing the
// inspection (this tool's own file layout, unless asked for strictly).
struct InspectionCheck
{
    QString name;
    bool passed = false;
    QString detail;
    bool counts = true;
};

// Whether every check that counts holds.
bool AllChecksPassed(const QVector<InspectionCheck> &checks);

#endif
