#include "jsondocument.h"

#include "messagetext.h"

#include <QJsonDocument>

QByteArray JsonDocumentText(const QString &command, const QJsonObject &object)
{
    const QByteArray format = "    \"format\": \""
        + QStringLiteral("vandrel-%1/%2").arg(command).arg(JsonFormatVersion).toUtf8() + '"';
    if (object.isEmpty())
        return "{\n" + format + "\n}\n";
    // Qt writes an object as "{\n", its members indented by four spaces, "}\n".
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    text.insert(2, format + ",\n");
    return text;
}

QString JsonAddress(quint32 address)
{
    return HexNumber(address, 8);
}
