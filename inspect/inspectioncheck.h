#ifndef VANDREL_INSPECT_INSPECTIONCHECK_H
#define VANDREL_INSPECT_INSPECTIONCHECK_H

#include <QString>
#include <QVector>

// One verdict of an inspection: a short stable name (used as a JSON key by
// scripts), whether it holds, and one English line saying what was found.
struct InspectionCheck
{
    QString name;
    bool passed = false;
    QString detail;
};

bool AllChecksPassed(const QVector<InspectionCheck> &checks);

#endif
