#ifndef VANDREL_CLI_JSONDOCUMENT_H
#define VANDREL_CLI_JSONDOCUMENT_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Every --json document of vandrel-cli is one object whose first key is
// "format": "vandrel-<command>/<version>", so a reader knows what it holds
// before it reads on. The version goes up only when a key changes its
// meaning or goes away; new keys keep it.
constexpr int JsonFormatVersion = 1;

// The object as indented UTF-8 text, "format" first (QJsonObject itself
// orders its keys by name), ending in a line feed.
QByteArray JsonDocumentText(const QString &command, const QJsonObject &object);

// How each kind of number appears as a JSON string: "0x" and upper-case
// hex digits of a fixed width.
QString JsonAddress(quint32 address); // "0x08000000"

#endif
