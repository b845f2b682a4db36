#ifndef VANDREL_CLI_STAMPTIMECHOICE_H
#define VANDREL_CLI_STAMPTIMECHOICE_H

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The wall-clock reading to stamp. --time wins over SOURCE_DATE_EPOCH, which
// wins over the local clock. Both given forms keep their calendar fields
// exactly (as UTC), so no time zone or daylight-saving gap can shift them.
struct StampTimeChoice
{
    QDateTime time;  // valid when there is no error
    QString error;   // a given time that cannot be stamped: a usage error, one line
    QString warning; // the local clock cannot be stamped: the header gets seconds 0
};

// timeText: the --time value, when the option is given; sourceDateEpoch:
// the environment variable's value (empty when unset); localClock: the
// local clock, read once by the caller.
StampTimeChoice ChooseStampTime(const std::optional<QString> &timeText, const QByteArray &sourceDateEpoch,
                                const QDateTime &localClock);

// The --time format, as the user types it.
inline QString StampTimeFormat() { return QStringLiteral("YYYY-MM-DD hh:mm:ss"); }

#endif
