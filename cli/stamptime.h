#ifndef VANDREL_CLI_STAMPTIME_H
#define VANDREL_CLI_STAMPTIME_H

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The wall-clock reading to stamp. --time wins over SOURCE_DATE_EPOCH, which
// wins over the local clock. Both given forms keep their calendar fields
// exactly (as UTC), so no time zone or daylight-saving gap can shift them.
struct StampTimeChoice
{
    QDateTime time;        // valid when no error
    bool fromClock = false;
    QString error;         // one line naming the value and the cause
    bool usageError = false; // the value was given on the command line or in the environment
};

// timeText: the --time value, when the option is given; sourceDateEpoch:
// the environment variable's value (empty when unset).
StampTimeChoice ChooseStampTime(const std::optional<QString> &timeText, const QByteArray &sourceDateEpoch);

// The --time format, as the user types it.
inline QString StampTimeFormat() { return QStringLiteral("YYYY-MM-DD hh:mm:ss"); }

#endif
