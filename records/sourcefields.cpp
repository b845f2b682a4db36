#include "sourcefields.h"

#include <QRegularExpression>

namespace {
constexpr quint64 MaxSizeLimit = 0xFFFFFFFFu;
constexpr qint64 KiB = 1024;
constexpr qint64 MiB = 1024 * KiB;

// Hexadecimal digits with or without "0x", and nothing else.
std::optional<quint64> HexValue(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(0[xX])?([0-9A-Fa-f]{1,16})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const quint64 value = match.captured(2).toULongLong(&ok, 16);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}
} // namespace

std::optional<quint8> ParseFillByte(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,2}$"));
    if (!form.match(text.trimmed()).hasMatch())
        return std::nullopt;
    const std::optional<quint64> value = HexValue(text);
    return value ? std::optional<quint8>(quint8(*value)) : std::nullopt;
}

std::optional<qint64> ParseSizeLimit(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^(?:0[xX]([0-9A-Fa-f]{1,8})|([0-9]{1,10})([kKmM]?))$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    quint64 value = 0;
    if (!match.captured(1).isEmpty()) {
        value = match.captured(1).toULongLong(&ok, 16);
    } else {
        value = match.captured(2).toULongLong(&ok, 10);
        const QString suffix = match.captured(3).toUpper();
        value *= suffix == QLatin1String("K") ? KiB : suffix == QLatin1String("M") ? MiB : 1;
    }
    if (!ok || value == 0 || value > MaxSizeLimit)
        return std::nullopt;
    return qint64(value);
}

std::optional<AddressRange> ParseAddressRange(const QString &text)
{
    const int dash = text.indexOf(QLatin1Char('-'));
    if (dash < 0 || text.indexOf(QLatin1Char('-'), dash + 1) >= 0)
        return std::nullopt;
    const std::optional<quint64> start = HexValue(text.left(dash));
    const std::optional<quint64> end = HexValue(text.mid(dash + 1));
    if (!start || !end || *end <= *start || *end > AddressSpaceEnd)
        return std::nullopt;
    return AddressRange{*start, *end};
}
