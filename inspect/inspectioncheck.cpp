#include "inspectioncheck.h"

#include <algorithm>

bool AllChecksPassed(const QVector<InspectionCheck> &checks)
{
    return std::all_of(checks.cbegin(), checks.cend(), [](const InspectionCheck &c) { return c.passed || !c.counts; });
}
