#include "conversionfields.h"

std::optional<quint16> ParseVersion(const QString &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF)
        return std::nullopt;
    return quint16(value);
}

std::optional<quint32> ParseStartAddress(const QString &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return quint32(value);
}

QString StartAddressRefusal(const QString &named)
{
    return QStringLiteral("%1 is not a hexadecimal number from 0 to FFFFFFFF").arg(named);
}

std::optional<int> ParseByteOrder(const QString &text)
{
    if (text == QLatin1String("little"))
        return 1;
    if (text == QLatin1String("big"))
        return 0;
    return std::nullopt;
}
