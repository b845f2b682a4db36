#include "orderedjson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
constexpr int IndentWidth = 2;

// Qt's own escaping: a one-item array written compactly, brackets cut off.
QByteArray quotedString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray indent(int depth)
{
    return QByteArray(depth * IndentWidth, ' ');
}
} // namespace

OrderedJson OrderedJson::string(const QString &text)
{
    OrderedJson value;
    value.m_kind = Kind::String;
    value.m_text = text;
    return value;
}

OrderedJson OrderedJson::number(qint64 number)
{
    OrderedJson value;
    value.m_kind = Kind::Number;
    value.m_number = number;
    return value;
}

OrderedJson OrderedJson::boolean(bool flag)
{
    OrderedJson value;
    value.m_kind = Kind::Boolean;
    value.m_number = flag ? 1 : 0;
    return value;
}

OrderedJson OrderedJson::object()
{
    return OrderedJson();
}

OrderedJson OrderedJson::array()
{
    OrderedJson value;
    value.m_kind = Kind::Array;
    return value;
}

OrderedJson &OrderedJson::add(const QString &key, const OrderedJson &value)
{
    m_fields.emplace_back(key, value);
    return *this;
}

OrderedJson &OrderedJson::append(const OrderedJson &item)
{
    m_items.push_back(item);
    return *this;
}

QByteArray OrderedJson::toJson() const
{
    QByteArray out;
    write(out, 0);
    out += '\n';
    return out;
}

void OrderedJson::write(QByteArray &out, int depth) const
{
    switch (m_kind) {
    case Kind::String:
        out += quotedString(m_text);
        return;
    case Kind::Number:
        out += QByteArray::number(m_number);
        return;
    case Kind::Boolean:
        out += m_number ? "true" : "false";
        return;
    case Kind::Object:
    case Kind::Array:
        break;
    }
    const bool isObject = m_kind == Kind::Object;
    const std::size_t count = isObject ? m_fields.size() : m_items.size();
    out += isObject ? '{' : '[';
    for (std::size_t i = 0; i < count; ++i) {
        out += (i == 0 ? "\n" : ",\n") + indent(depth + 1);
        if (isObject) {
            out += quotedString(m_fields[i].first) + ": ";
            m_fields[i].second.write(out, depth + 1);
        } else {
            m_items[i].write(out, depth + 1);
        }
    }
    if (count > 0)
        out += '\n' + indent(depth);
    out += isObject ? '}' : ']';
}
