#include "stamptimechoice.h"

#include "calendar.h"
#include "qtcompat.h"
#include "stamptime.h"

#include <QRegularExpression>

namespace {
QString rangeText()
{
    return QStringLiteral("%1-01-01 00:00:00 to %2-12-31 23:59:59").arg(FirstCalendarYear).arg(LastCalendarYear);
}

StampTimeChoice usageError(const QString &message)
{
    StampTimeChoice choice;
    choice.error = message;
    return choice;
}

StampTimeChoice fromTimeOption(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const auto number = [&match](int group) { return match.captured(group).toInt(); };
    const QDate date = match.hasMatch() ? QDate(number(1), number(2), number(3)) : QDate();
    const QTime time = match.hasMatch() ? QTime(number(4), number(5), number(6)) : QTime();
    if (!date.isValid() || !time.isValid())
        return usageError(QStringLiteral("--time \"%1\" is not a date and time of the form \"%2\"")
                              .arg(text, StampTimeFormat()));
    StampTimeChoice choice;
    choice.time = UtcDateTime(date, time);
    if (!HeaderTimeAt(choice.time).stampable)
        return usageError(QStringLiteral("--time \"%1\" is outside the stampable range %2").arg(text, rangeText()));
    return choice;
}

StampTimeChoice fromSourceDateEpoch(const QByteArray &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,19}$"));
    const QString text = QString::fromLatin1(value);
    bool ok = false;
    const qint64 seconds = digits.match(text).hasMatch() ? text.toLongLong(&ok) : 0;
    if (!ok)
        return usageError(QStringLiteral("SOURCE_DATE_EPOCH=\"%1\" is not a whole number of seconds since 1970")
                              .arg(text));
    StampTimeChoice choice;
    choice.time = UtcFromSecsSinceEpoch(seconds);
    if (!HeaderTimeAt(choice.time).stampable)
        return usageError(QStringLiteral("SOURCE_DATE_EPOCH=%1 is outside the stampable range %2 (UTC)")
                              .arg(text, rangeText()));
    return choice;
}
} // namespace

StampTimeChoice ChooseStampTime(const std::optional<QString> &timeText, const QByteArray &sourceDateEpoch,
                                const QDateTime &localClock)
{
    if (timeText)
        return fromTimeOption(*timeText);
    if (!sourceDateEpoch.isEmpty())
        return fromSourceDateEpoch(sourceDateEpoch);

    // As in the window: a clock outside the range stamps seconds 0.
    StampTimeChoice choice;
    choice.time = localClock;
    if (!HeaderTimeAt(localClock).stampable)
        choice.warning = QStringLiteral("the local clock reads %1, outside the stampable range %2; "
                                        "the header's seconds are 0 (give --time or SOURCE_DATE_EPOCH to stamp a time)")
                             .arg(localClock.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), rangeText());
    return choice;
}
