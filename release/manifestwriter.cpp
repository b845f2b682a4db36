#include "manifestwriter.h"

#include "messagetext.h"
#include "orderedjson.h"

namespace {
OrderedJson hex(quint32 value, int width)
{
    return OrderedJson::string(HexNumber(value, width));
}

OrderedJson fileJson(const ManifestFile &file)
{
    OrderedJson object = OrderedJson::object();
    if (!file.kind.isEmpty())
        object.add(QStringLiteral("kind"), OrderedJson::string(file.kind));
    return object.add(QStringLiteral("path"), OrderedJson::string(file.path))
        .add(QStringLiteral("size"), OrderedJson::number(file.size))
        .add(QStringLiteral("sha256"), OrderedJson::string(QString::fromLatin1(file.sha256)));
}

OrderedJson headerJson(const ImageHeader &header)
{
    return OrderedJson::object()
        .add(QStringLiteral("length"), OrderedJson::number(header.length))
        .add(QStringLiteral("magic"), hex(header.magic, 8))
        .add(QStringLiteral("seconds"), OrderedJson::number(header.seconds))
        .add(QStringLiteral("milliseconds"), OrderedJson::number(header.milliseconds))
        .add(QStringLiteral("version"), OrderedJson::number(header.version))
        .add(QStringLiteral("littleEndian"), OrderedJson::number(header.littleEndian))
        .add(QStringLiteral("checksum"), hex(header.checksum, 4));
}

OrderedJson profileJson(const ManifestProfile &profile)
{
    const OrderedJson source = OrderedJson::object()
                                   .add(QStringLiteral("path"), OrderedJson::string(profile.source.path))
                                   .add(QStringLiteral("format"), OrderedJson::string(profile.source.format))
                                   .add(QStringLiteral("size"), OrderedJson::number(profile.source.size))
                                   .add(QStringLiteral("sha256"),
                                        OrderedJson::string(QString::fromLatin1(profile.source.sha256)));
    OrderedJson outputs = OrderedJson::array();
    for (const ManifestFile &output : profile.outputs)
        outputs.append(fileJson(output));
    return OrderedJson::object()
        .add(QStringLiteral("index"), OrderedJson::number(profile.index))
        .add(QStringLiteral("name"), OrderedJson::string(profile.name))
        .add(QStringLiteral("source"), source)
        .add(QStringLiteral("startAddress"), hex(profile.startAddress, 8))
        .add(QStringLiteral("softwareVersion"), OrderedJson::number(profile.softwareVersion))
        .add(QStringLiteral("byteOrder"),
             OrderedJson::string(profile.littleEndian ? QStringLiteral("little") : QStringLiteral("big")))
        .add(QStringLiteral("header"), headerJson(profile.header))
        .add(QStringLiteral("crc"), hex(profile.crc, 4))
        .add(QStringLiteral("outputs"), outputs);
}
} // namespace

QByteArray ManifestJson(const ReleaseManifest &manifest)
{
    OrderedJson profiles = OrderedJson::array();
    for (const ManifestProfile &profile : manifest.profiles)
        profiles.append(profileJson(profile));
    return OrderedJson::object()
        .add(QStringLiteral("format"), OrderedJson::string(ManifestFormat()))
        .add(QStringLiteral("tool"), OrderedJson::object()
                                         .add(QStringLiteral("name"), OrderedJson::string(manifest.toolName))
                                         .add(QStringLiteral("version"), OrderedJson::string(manifest.toolVersion)))
        .add(QStringLiteral("time"), OrderedJson::object()
                                         .add(QStringLiteral("seconds"), OrderedJson::number(manifest.seconds))
                                         .add(QStringLiteral("calendar"), OrderedJson::string(manifest.calendar)))
        .add(QStringLiteral("settings"), fileJson(manifest.settings))
        .add(QStringLiteral("profiles"), profiles)
        .toJson();
}
