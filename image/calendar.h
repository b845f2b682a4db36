#ifndef VANDREL_IMAGE_CALENDAR_H
#define VANDREL_IMAGE_CALENDAR_H

#include <QtGlobal>

// Wall-clock readings as seconds since 1970-01-01 00:00:00, with no time
// zone, daylight saving or leap seconds. A year is leap when divisible by 4,
// which holds for every year these routines accept.

// The years a calendar record may hold, and so the years a header can stamp.
constexpr int FirstCalendarYear = 2000;
constexpr int LastCalendarYear = 2099;

struct CalendarTime
{
    quint16 milliseconds; // 0-999
    quint8 second;        // 0-59
    quint8 minute;        // 0-59
    quint8 hour;          // 0-23
    quint8 day;           // 1 to the length of the month
    quint8 month;         // 1-12
    quint8 reserved;      // ignored; EpochToCalendar sets 0
    quint16 year;         // FirstCalendarYear-LastCalendarYear to be valid
};

struct EpochTime
{
    quint32 seconds;
    quint16 milliseconds;
};

extern const quint8 MonthDays[12];
extern const quint32 MonthSecondsCommon[12];
extern const quint32 MonthSecondsLeap[12];

// Each returns 1 on success and 0 on failure; a null pointer is a failure,
// and a failed conversion leaves its output unchanged.
int IsValidCalendar(const CalendarTime *calendar);
int CalendarToEpoch(const CalendarTime *calendar, EpochTime *epoch);
int EpochToCalendar(const EpochTime *epoch, CalendarTime *calendar);

#endif
