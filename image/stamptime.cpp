#include "stamptime.h"

#include "calendar.h"

#include <QDateTime>

HeaderTime HeaderTimeAt(const QDateTime &wallClock)
{
    const QDate date = wallClock.date();
    const QTime time = wallClock.time();
    HeaderTime result;
    if (!date.isValid() || !time.isValid() || date.year() < FirstCalendarYear || date.year() > LastCalendarYear)
        return result;
    CalendarTime calendar = {};
    calendar.second = quint8(time.second());
    calendar.minute = quint8(time.minute());
    calendar.hour = quint8(time.hour());
    calendar.day = quint8(date.day());
    calendar.month = quint8(date.month());
    calendar.year = quint16(date.year());
    EpochTime epoch = {0, 0};
    result.stampable = CalendarToEpoch(&calendar, &epoch) == 1;
    result.seconds = result.stampable ? epoch.seconds : 0;
    return result;
}
