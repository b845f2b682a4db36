#include "manifestvalues.h"

#include "messagetext.h"

#include <QDir>
#include <QRegularExpression>

#include <cmath>

namespace {
// The largest byte count a file can have that a JSON number holds exactly.
constexpr qint64 MaxExactWhole = (qint64(1) << 53) - 1;
constexpr int MaxTextLength = 4096;
constexpr int Sha256HexLength = 64;

QString where(const QString &place, const QString &key)
{
    return place.isEmpty() ? key : place + QLatin1Char('.') + key;
}

bool isLowerHex(const QString &text)
{
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

// "C:name" is relative to another folder of drive C on Windows.
bool hasDrive(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).unicode() < 0x80 && path.at(0).isLetter();
}
} // namespace

void ManifestValues::fail(const QString &place, const QString &what)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("%1 %2").arg(place, what);
}

QJsonValue ManifestValues::value(const QJsonObject &object, const QString &key, const QString &place)
{
    const QJsonValue found = object.value(key);
    if (found.isUndefined())
        fail(where(place, key), QStringLiteral("is missing"));
    return found;
}

QJsonObject ManifestValues::object(const QJsonValue &value, const QString &place)
{
    if (ok() && !value.isObject())
        fail(place, value.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("is not an object"));
    return ok() ? value.toObject() : QJsonObject();
}

QJsonArray ManifestValues::array(const QJsonObject &object, const QString &key, const QString &place, int minCount,
                                 int maxCount)
{
    const QJsonValue found = value(object, key, place);
    if (ok() && !found.isArray())
        fail(where(place, key), QStringLiteral("is not an array"));
    const QJsonArray items = ok() ? found.toArray() : QJsonArray();
    if (ok() && (items.size() < minCount || items.size() > maxCount))
        fail(where(place, key), QStringLiteral("holds %1 items, not %2 to %3").arg(items.size()).arg(minCount).arg(maxCount));
    return ok() ? items : QJsonArray();
}

QString ManifestValues::text(const QJsonObject &object, const QString &key, const QString &place)
{
    const QJsonValue found = value(object, key, place);
    if (ok() && !found.isString())
        fail(where(place, key), QStringLiteral("is not a string"));
    if (ok() && found.toString().size() > MaxTextLength)
        fail(where(place, key), QStringLiteral("is longer than %1 characters").arg(MaxTextLength));
    return ok() ? found.toString() : QString();
}

QString ManifestValues::oneOf(const QJsonObject &object, const QString &key, const QString &place,
                              const QStringList &allowed)
{
    const QString found = text(object, key, place);
    if (ok() && !allowed.contains(found))
        fail(where(place, key), QStringLiteral("is %1, not %2").arg(Quoted(found), allowed.join(QStringLiteral(" or "))));
    return ok() ? found : QString();
}

qint64 ManifestValues::whole(const QJsonObject &object, const QString &key, const QString &place, qint64 max)
{
    const QJsonValue found = value(object, key, place);
    const double number = found.toDouble(-1);
    // Compared as doubles first: a huge number must not be cast to an integer.
    if (ok() && (!found.isDouble() || !std::isfinite(number) || number < 0 || number > double(max)
                 || std::floor(number) != number))
        fail(where(place, key), QStringLiteral("is not a whole number from 0 to %1").arg(max));
    return ok() ? qint64(number) : 0;
}

qint64 ManifestValues::size(const QJsonObject &object, const QString &key, const QString &place)
{
    return whole(object, key, place, MaxExactWhole);
}

quint32 ManifestValues::hexNumber(const QJsonObject &object, const QString &key, const QString &place, int width)
{
    const QString found = text(object, key, place);
    static const QRegularExpression upperHex(QStringLiteral("^0x[0-9A-F]+$"));
    if (ok() && (found.size() != width + 2 || !upperHex.match(found).hasMatch()))
        fail(where(place, key), QStringLiteral("is not \"0x\" and %1 upper-case hex digits").arg(width));
    return ok() ? found.mid(2).toUInt(nullptr, 16) : 0;
}

QByteArray ManifestValues::sha256(const QJsonObject &object, const QString &key, const QString &place)
{
    const QString found = text(object, key, place);
    if (ok() && (found.size() != Sha256HexLength || !isLowerHex(found)))
        fail(where(place, key), QStringLiteral("is not a SHA-256 (%1 lower-case hex digits)").arg(Sha256HexLength));
    return ok() ? found.toLatin1() : QByteArray();
}

QString ManifestValues::path(const QJsonObject &object, const QString &key, const QString &place)
{
    const QString found = text(object, key, place);
    if (!ok())
        return QString();
    if (found.isEmpty() || found.contains(QChar(0)) || found.contains(QLatin1Char('\\')) || found.endsWith(QLatin1Char('/')))
        fail(where(place, key), QStringLiteral("%1 is not a file path with \"/\" separators").arg(Quoted(found)));
    // Relative to the manifest's folder: no root, no drive.
    else if (QDir::isAbsolutePath(found) || found.startsWith(QLatin1Char('/')) || hasDrive(found))
        fail(where(place, key), QStringLiteral("%1 is not relative to the manifest's folder").arg(Quoted(found)));
    return ok() ? found : QString();
}
