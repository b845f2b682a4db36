#ifndef VANDREL_IMAGE_QTCOMPAT_H
#define VANDREL_IMAGE_QTCOMPAT_H

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
#include <QTimeZone>
#endif

// UTC date-times on every supported Qt. From 6.5 UTC is a light time zone and
// the time spec is on its way out; before it QTimeZone::utc() is a zone from
// the database with another time spec, so the spec stays there.
inline QDateTime UtcDateTime(const QDate &date, const QTime &time)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime(date, time, QTimeZone::UTC);
#else
    return QDateTime(date, time, Qt::UTC);
#endif
}

inline QDateTime UtcFromSecsSinceEpoch(qint64 seconds)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::UTC);
#else
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
#endif
}

#endif
