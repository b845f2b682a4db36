#include "calendar.h"

namespace {
constexpr quint32 SecondsPerDay = 86400;
constexpr quint32 SecondsPerCommonYear = 365 * SecondsPerDay;
constexpr quint32 SecondsPerLeapYear = 366 * SecondsPerDay;
constexpr int EpochYear = 1970;

// Divisible by 4 is exact for 1901-2099, the only years handled here.
bool isLeapYear(int year)
{
    return year % 4 == 0;
}

quint32 yearSeconds(int year)
{
    return isLeapYear(year) ? SecondsPerLeapYear : SecondsPerCommonYear;
}

const quint32 *monthSeconds(int year)
{
    return isLeapYear(year) ? MonthSecondsLeap : MonthSecondsCommon;
}
} // namespace

const quint8 MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

const quint32 MonthSecondsCommon[12] = {2678400, 2419200, 2678400, 2592000, 2678400, 2592000,
                                        2678400, 2678400, 2592000, 2678400, 2592000, 2678400};

const quint32 MonthSecondsLeap[12] = {2678400, 2505600, 2678400, 2592000, 2678400, 2592000,
                                      2678400, 2678400, 2592000, 2678400, 2592000, 2678400};

int IsValidCalendar(const CalendarTime *calendar)
{
    if (!calendar)
        return 0;
    const CalendarTime &c = *calendar;
    if (c.milliseconds > 999 || c.second > 59 || c.minute > 59 || c.hour > 23)
        return 0;
    if (c.month < 1 || c.month > 12)
        return 0;
    if (c.year < FirstCalendarYear || c.year > LastCalendarYear)
        return 0;
    if (c.day < 1)
        return 0;
    if (c.month == 2)
        return (c.day <= 28 || (c.day == 29 && isLeapYear(c.year))) ? 1 : 0;
    return c.day <= MonthDays[c.month - 1] ? 1 : 0;
}

int CalendarToEpoch(const CalendarTime *calendar, EpochTime *epoch)
{
    if (!epoch || !IsValidCalendar(calendar))
        return 0;
    const CalendarTime &c = *calendar;
    quint32 seconds = c.second + 60u * c.minute + 3600u * c.hour + SecondsPerDay * (c.day - 1u);
    const quint32 *months = monthSeconds(c.year);
    for (int m = 1; m < c.month; ++m)
        seconds += months[m - 1];
    for (int y = EpochYear; y < c.year; ++y)
        seconds += yearSeconds(y);
    epoch->seconds = seconds;
    epoch->milliseconds = c.milliseconds;
    return 1;
}

int EpochToCalendar(const EpochTime *epoch, CalendarTime *calendar)
{
    if (!epoch || !calendar)
        return 0;
    quint32 rest = epoch->seconds;
    int year = EpochYear;
    while (rest >= yearSeconds(year)) {
        rest -= yearSeconds(year);
        ++year;
        if (year > LastCalendarYear)
            return 0;
    }
    const quint32 *months = monthSeconds(year);
    int month = 1;
    while (rest >= months[month - 1]) {
        rest -= months[month - 1];
        ++month;
    }
    calendar->year = quint16(year);
    calendar->month = quint8(month);
    calendar->day = quint8(rest / SecondsPerDay + 1);
    calendar->hour = quint8(rest % SecondsPerDay / 3600);
    calendar->minute = quint8(rest % 3600 / 60);
    calendar->second = quint8(rest % 60);
    calendar->milliseconds = epoch->milliseconds;
    calendar->reserved = 0;
    return 1;
}
