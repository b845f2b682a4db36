#include "calendar.h"
#include "qtcompat.h"

#include <QDateTime>
#include <QTest>

Q_DECLARE_METATYPE(CalendarTime)

namespace {

constexpr quint32 FirstValidSecond = 946684800u; // 2000-01-01 00:00:00
constexpr quint32 LastValidSecond = 4102444799u; // 2099-12-31 23:59:59
constexpr int SecondsPerDay = 86400;

CalendarTime Calendar(int year, int month, int day, int hour = 0, int minute = 0,
                      int second = 0, int milliseconds = 0, int reserved = 0)
{
    CalendarTime c;
    c.milliseconds = quint16(milliseconds);
    c.second = quint8(second);
    c.minute = quint8(minute);
    c.hour = quint8(hour);
    c.day = quint8(day);
    c.month = quint8(month);
    c.reserved = quint8(reserved);
    c.year = quint16(year);
    return c;
}

QString Describe(const CalendarTime &c)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6.%7 r%8")
        .arg(c.year)
        .arg(c.month)
        .arg(c.day)
        .arg(c.hour)
        .arg(c.minute)
        .arg(c.second)
        .arg(c.milliseconds)
        .arg(c.reserved);
}

bool SameRecord(const CalendarTime &a, const CalendarTime &b)
{
    return a.milliseconds == b.milliseconds && a.second == b.second && a.minute == b.minute
        && a.hour == b.hour && a.day == b.day && a.month == b.month && a.reserved == b.reserved
        && a.year == b.year;
}

// What a count of seconds reads as on a UTC clock: the independent reference.
CalendarTime ReferenceCalendar(quint32 seconds, quint16 milliseconds)
{
    const QDateTime utc = UtcFromSecsSinceEpoch(qint64(seconds));
    const QDate date = utc.date();
    const QTime time = utc.time();
    return Calendar(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                    time.second(), milliseconds);
}

// A record that no conversion produces, to show an output left alone.
const CalendarTime Sentinel = Calendar(1234, 56, 78, 90, 12, 34, 5678, 0xAA);
const EpochTime EpochSentinel = {0xDEADBEEFu, 0xBEEF};

} // namespace

class TestCalendar : public QObject
{
    Q_OBJECT

private slots:
    void monthTables();
    void validity_data();
    void validity();
    void calendarToEpoch_data();
    void calendarToEpoch();
    void calendarToEpochRefusals();
    void epochToCalendar_data();
    void epochToCalendar();
    void epochToCalendarRefusals_data();
    void epochToCalendarRefusals();
    void thereAndBack();
};

void TestCalendar::monthTables()
{
    // 2001 is a common year, 2000 a leap year.
    for (int month = 1; month <= 12; ++month) {
        const int index = month - 1;
        if (month != 2)
            QCOMPARE(int(MonthDays[index]), QDate(2001, month, 1).daysInMonth());
        QCOMPARE(qint64(MonthSecondsCommon[index]),
                 qint64(QDate(2001, month, 1).daysInMonth()) * SecondsPerDay);
        QCOMPARE(qint64(MonthSecondsLeap[index]),
                 qint64(QDate(2000, month, 1).daysInMonth()) * SecondsPerDay);
    }
}

void TestCalendar::validity_data()
{
    QTest::addColumn<CalendarTime>("calendar");
    QTest::addColumn<int>("valid");

    QTest::newRow("2000-01-01 00:00:00.000") << Calendar(2000, 1, 1) << 1;
    QTest::newRow("2099-12-31 23:59:59.999") << Calendar(2099, 12, 31, 23, 59, 59, 999) << 1;
    QTest::newRow("2000-02-29") << Calendar(2000, 2, 29) << 1;
    QTest::newRow("2096-02-29") << Calendar(2096, 2, 29) << 1;
    QTest::newRow("2001-02-28") << Calendar(2001, 2, 28) << 1;
    QTest::newRow("2000-04-30") << Calendar(2000, 4, 30) << 1;
    QTest::newRow("reserved 0xFF") << Calendar(2018, 4, 2, 12, 0, 0, 0, 0xFF) << 1;
    QTest::newRow("2001-02-29") << Calendar(2001, 2, 29) << 0;
    QTest::newRow("2000-02-30") << Calendar(2000, 2, 30) << 0;
    QTest::newRow("2000-04-31") << Calendar(2000, 4, 31) << 0;
    QTest::newRow("2000-01-32") << Calendar(2000, 1, 32) << 0;
    QTest::newRow("1999-12-31 23:59:59") << Calendar(1999, 12, 31, 23, 59, 59) << 0;
    QTest::newRow("2100-01-01 00:00:00") << Calendar(2100, 1, 1) << 0;
    QTest::newRow("month 0") << Calendar(2000, 0, 1) << 0;
    QTest::newRow("month 13") << Calendar(2000, 13, 1) << 0;
    QTest::newRow("day 0") << Calendar(2000, 1, 0) << 0;
    QTest::newRow("hour 24") << Calendar(2000, 1, 1, 24) << 0;
    QTest::newRow("minute 60") << Calendar(2000, 1, 1, 0, 60) << 0;
    QTest::newRow("second 60") << Calendar(2000, 1, 1, 0, 0, 60) << 0;
    QTest::newRow("milliseconds 1000") << Calendar(2000, 1, 1, 0, 0, 0, 1000) << 0;
}

void TestCalendar::validity()
{
    QFETCH(CalendarTime, calendar);
    QFETCH(int, valid);

    QCOMPARE(IsValidCalendar(&calendar), valid);

    // CalendarToEpoch accepts exactly the valid records.
    EpochTime epoch = EpochSentinel;
    QCOMPARE(CalendarToEpoch(&calendar, &epoch), valid);
    if (!valid) {
        QCOMPARE(epoch.seconds, EpochSentinel.seconds);
        QCOMPARE(epoch.milliseconds, EpochSentinel.milliseconds);
    }
}

void TestCalendar::calendarToEpoch_data()
{
    QTest::addColumn<CalendarTime>("calendar");
    QTest::addColumn<quint32>("seconds");

    QTest::newRow("2000-01-01 00:00:00.000") << Calendar(2000, 1, 1) << FirstValidSecond;
    QTest::newRow("2099-12-31 23:59:59.999")
        << Calendar(2099, 12, 31, 23, 59, 59, 999) << LastValidSecond;
    QTest::newRow("2018-04-02 12:00:00") << Calendar(2018, 4, 2, 12) << 1522670400u;
    QTest::newRow("2018-04-02 12:00:00, reserved 0xFF")
        << Calendar(2018, 4, 2, 12, 0, 0, 0, 0xFF) << 1522670400u;
    QTest::newRow("2000-02-29 00:00:00") << Calendar(2000, 2, 29) << 951782400u;
    QTest::newRow("2000-03-01 00:00:00") << Calendar(2000, 3, 1) << 951868800u;
    QTest::newRow("2001-03-01 00:00:00") << Calendar(2001, 3, 1) << 983404800u;
}

void TestCalendar::calendarToEpoch()
{
    QFETCH(CalendarTime, calendar);
    QFETCH(quint32, seconds);

    EpochTime epoch = EpochSentinel;
    QCOMPARE(CalendarToEpoch(&calendar, &epoch), 1);
    QCOMPARE(epoch.seconds, seconds);
    QCOMPARE(epoch.milliseconds, calendar.milliseconds);
}

void TestCalendar::calendarToEpochRefusals()
{
    const CalendarTime valid = Calendar(2018, 4, 2, 12);
    EpochTime epoch = EpochSentinel;
    QCOMPARE(CalendarToEpoch(nullptr, &epoch), 0);
    QCOMPARE(epoch.seconds, EpochSentinel.seconds);
    QCOMPARE(epoch.milliseconds, EpochSentinel.milliseconds);
    QCOMPARE(CalendarToEpoch(&valid, nullptr), 0);
    QCOMPARE(IsValidCalendar(nullptr), 0);
}

void TestCalendar::epochToCalendar_data()
{
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<CalendarTime>("calendar");

    QTest::newRow("0") << 0u << Calendar(1970, 1, 1);
    QTest::newRow("2678400") << 2678400u << Calendar(1970, 2, 1);
    QTest::newRow("31536000") << 31536000u << Calendar(1971, 1, 1);
    QTest::newRow("951782400") << 951782400u << Calendar(2000, 2, 29);
    QTest::newRow("946684799") << 946684799u << Calendar(1999, 12, 31, 23, 59, 59);
    QTest::newRow("4102444799") << LastValidSecond << Calendar(2099, 12, 31, 23, 59, 59);
}

void TestCalendar::epochToCalendar()
{
    QFETCH(quint32, seconds);
    QFETCH(CalendarTime, calendar);

    const EpochTime epoch = {seconds, 321};
    CalendarTime result = Sentinel;
    QCOMPARE(EpochToCalendar(&epoch, &result), 1);
    calendar.milliseconds = 321;
    QVERIFY2(SameRecord(result, calendar),
             qPrintable(Describe(result) + QStringLiteral(" != ") + Describe(calendar)));

    // Years before 2000 come out, but do not go back.
    EpochTime back = EpochSentinel;
    QCOMPARE(CalendarToEpoch(&result, &back), result.year >= 2000 ? 1 : 0);
    if (result.year >= 2000)
        QCOMPARE(back.seconds, seconds);
}

void TestCalendar::epochToCalendarRefusals_data()
{
    QTest::addColumn<quint32>("seconds");

    QTest::newRow("2100-01-01 00:00:00") << LastValidSecond + 1;
    QTest::newRow("2100-01-01 00:00:01") << LastValidSecond + 2;
    QTest::newRow("FFFFFFFF") << 0xFFFFFFFFu;
}

void TestCalendar::epochToCalendarRefusals()
{
    QFETCH(quint32, seconds);

    const EpochTime epoch = {seconds, 0};
    CalendarTime result = Sentinel;
    QCOMPARE(EpochToCalendar(&epoch, &result), 0);
    QVERIFY(SameRecord(result, Sentinel));
    QCOMPARE(EpochToCalendar(nullptr, &result), 0);
    QVERIFY(SameRecord(result, Sentinel));
    QCOMPARE(EpochToCalendar(&epoch, nullptr), 0);
}

// Every day boundary of 2000-2099 (which includes every month and year
// boundary) and one second either side, plus a prime stride that lands on
// every time of day, each checked both ways and against QDateTime in UTC.
void TestCalendar::thereAndBack()
{
    auto check = [](quint32 seconds) {
        const quint16 milliseconds = quint16(seconds % 1000);
        const CalendarTime expected = ReferenceCalendar(seconds, milliseconds);

        const EpochTime epoch = {seconds, milliseconds};
        CalendarTime calendar = Sentinel;
        if (EpochToCalendar(&epoch, &calendar) != 1 || !SameRecord(calendar, expected)) {
            qWarning("EpochToCalendar(%u): %s, expected %s", seconds, qPrintable(Describe(calendar)),
                     qPrintable(Describe(expected)));
            return false;
        }
        EpochTime back = EpochSentinel;
        if (CalendarToEpoch(&expected, &back) != 1 || back.seconds != seconds
            || back.milliseconds != milliseconds) {
            qWarning("CalendarToEpoch(%s): %u.%u, expected %u", qPrintable(Describe(expected)),
                     back.seconds, back.milliseconds, seconds);
            return false;
        }
        return true;
    };

    for (quint64 day = FirstValidSecond; day <= LastValidSecond; day += SecondsPerDay) {
        for (qint64 delta = -1; delta <= 1; ++delta) {
            const qint64 seconds = qint64(day) + delta;
            if (seconds >= qint64(FirstValidSecond) && seconds <= qint64(LastValidSecond))
                QVERIFY(check(quint32(seconds)));
        }
    }
    constexpr quint64 PrimeStride = 1009;
    for (quint64 seconds = FirstValidSecond; seconds <= LastValidSecond; seconds += PrimeStride)
        QVERIFY(check(quint32(seconds)));
    QVERIFY(check(LastValidSecond));
}

QTEST_APPLESS_MAIN(TestCalendar)
#include "tst_calendar.moc"
