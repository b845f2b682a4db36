#ifndef VANDREL_RELEASE_ORDEREDJSON_H
#define VANDREL_RELEASE_ORDEREDJSON_H

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

// A JSON value whose object keys keep the order they were added in (Qt's
// own objects sort them), written the same way every time: two-space
// indents, LF line ends, a final LF. Numbers are whole (byte counts, fields).
class OrderedJson
{
public:
    static OrderedJson string(const QString &text);
    static OrderedJson number(qint64 value);
    static OrderedJson boolean(bool value);
    static OrderedJson object();
    static OrderedJson array();

    // Objects: adds a key and its value behind those already there.
    OrderedJson &add(const QString &key, const OrderedJson &value);
    // Arrays: appends an item.
    OrderedJson &append(const OrderedJson &item);

    QByteArray toJson() const;

private:
    enum class Kind { String, Number, Boolean, Object, Array };

    void write(QByteArray &out, int depth) const;

    Kind m_kind = Kind::Object;
    QString m_text;
    qint64 m_number = 0;
    std::vector<std::pair<QString, OrderedJson>> m_fields;
    std::vector<OrderedJson> m_items;
};

#endif
