#ifndef VANDREL_IMAGE_STAMPTIME_H
#define VANDREL_IMAGE_STAMPTIME_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QDateTime;
QT_END_NAMESPACE

// The header's seconds for a wall-clock reading: its calendar fields taken as
// they read, with no time zone or daylight-saving offset, counted from
// 1970-01-01 00:00:00. Only readings from FirstCalendarYear to
// LastCalendarYear can be stamped; any other stamps 0.
struct HeaderTime
{
    bool stampable = false;
    quint32 seconds = 0;
};

HeaderTime HeaderTimeAt(const QDateTime &wallClock);

#endif
