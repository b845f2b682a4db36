#ifndef VANDREL_RELEASE_MANIFESTVALUES_H
#define VANDREL_RELEASE_MANIFESTVALUES_H

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// Takes typed values out of a JSON document that nobody vouches for. The
// first value that is missing or out of its range is the error; after it,
// every reading gives a default and the error stays as it is. A place is a
// value's position in the document, e.g. profiles[1].outputs[0].
class ManifestValues
{
public:
    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    void fail(const QString &place, const QString &what);

    QJsonObject object(const QJsonValue &value, const QString &place);
    QJsonArray array(const QJsonObject &object, const QString &key, const QString &place, int minCount, int maxCount);
    QString text(const QJsonObject &object, const QString &key, const QString &place);
    QString oneOf(const QJsonObject &object, const QString &key, const QString &place, const QStringList &allowed);
    // A whole number from 0 to max.
    qint64 whole(const QJsonObject &object, const QString &key, const QString &place, qint64 max);
    // A byte count.
    qint64 size(const QJsonObject &object, const QString &key, const QString &place);
    // "0x" and exactly width upper-case hex digits.
    quint32 hexNumber(const QJsonObject &object, const QString &key, const QString &place, int width);
    // 64 lower-case hex digits.
    QByteArray sha256(const QJsonObject &object, const QString &key, const QString &place);
    // A relative path with "/" separators that stays a file name.
    QString path(const QJsonObject &object, const QString &key, const QString &place);

private:
    QJsonValue value(const QJsonObject &object, const QString &key, const QString &place);

    QString m_error;
};

#endif
