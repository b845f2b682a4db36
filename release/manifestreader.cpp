#include "manifestreader.h"

#include "manifestvalues.h"
#include "messagetext.h"
#include "sourceformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr int MaxOutputs = 3;

// The formats a source is read in; never "auto": a release names what it read.
QStringList sourceFormatNames()
{
    QStringList names;
    for (const SourceFormat format :
         {SourceFormat::Binary, SourceFormat::Elf, SourceFormat::IntelHex, SourceFormat::SRecord})
        names << SourceFormatName(format);
    return names;
}

ManifestFile readFile(ManifestValues &values, const QJsonObject &object, const QString &place)
{
    ManifestFile file;
    file.path = values.path(object, QStringLiteral("path"), place);
    file.size = values.size(object, QStringLiteral("size"), place);
    file.sha256 = values.sha256(object, QStringLiteral("sha256"), place);
    return file;
}

ImageHeader readHeader(ManifestValues &values, const QJsonObject &object, const QString &place)
{
    ImageHeader header;
    header.length = quint32(values.whole(object, QStringLiteral("length"), place, 0xFFFFFFFFLL));
    header.magic = values.hexNumber(object, QStringLiteral("magic"), place, 8);
    header.seconds = quint32(values.whole(object, QStringLiteral("seconds"), place, 0xFFFFFFFFLL));
    header.milliseconds = quint16(values.whole(object, QStringLiteral("milliseconds"), place, 0xFFFF));
    header.version = quint16(values.whole(object, QStringLiteral("version"), place, 0xFFFF));
    header.littleEndian = quint32(values.whole(object, QStringLiteral("littleEndian"), place, 0xFFFFFFFFLL));
    header.checksum = quint16(values.hexNumber(object, QStringLiteral("checksum"), place, 4));
    return header;
}

void readOutputs(ManifestValues &values, const QJsonObject &object, const QString &place, ManifestProfile &profile)
{
    const QJsonArray outputs = values.array(object, QStringLiteral("outputs"), place, 1, MaxOutputs);
    for (int i = 0; i < outputs.size() && values.ok(); ++i) {
        const QString outputPlace = QStringLiteral("%1.outputs[%2]").arg(place).arg(i);
        const QJsonObject output = values.object(outputs.at(i), outputPlace);
        ManifestFile file = readFile(values, output, outputPlace);
        file.kind = values.oneOf(output, QStringLiteral("kind"), outputPlace,
                                 {OutputKind::Image(), OutputKind::SRecords(), OutputKind::IntelHex()});
        for (const ManifestFile &earlier : std::as_const(profile.outputs)) {
            if (earlier.kind == file.kind)
                values.fail(outputPlace + QStringLiteral(".kind"), QStringLiteral("names a second %1").arg(file.kind));
        }
        if ((i == 0) != (file.kind == OutputKind::Image()))
            values.fail(outputPlace + QStringLiteral(".kind"), QStringLiteral("the image must come first"));
        profile.outputs.push_back(file);
    }
}

ManifestProfile readProfile(ManifestValues &values, const QJsonValue &value, const QString &place)
{
    ManifestProfile profile;
    const QJsonObject object = values.object(value, place);
    profile.index = int(values.whole(object, QStringLiteral("index"), place, MaxManifestProfiles - 1));
    profile.name = values.text(object, QStringLiteral("name"), place);
    const QString sourcePlace = place + QStringLiteral(".source");
    const QJsonObject source = values.object(object.value(QStringLiteral("source")), sourcePlace);
    const ManifestFile sourceFile = readFile(values, source, sourcePlace);
    profile.source = ManifestSource{sourceFile.path,
                                    values.oneOf(source, QStringLiteral("format"), sourcePlace, sourceFormatNames()),
                                    sourceFile.size, sourceFile.sha256};
    profile.startAddress = values.hexNumber(object, QStringLiteral("startAddress"), place, 8);
    profile.softwareVersion = quint16(values.whole(object, QStringLiteral("softwareVersion"), place, 0xFFFF));
    profile.littleEndian = values.oneOf(object, QStringLiteral("byteOrder"), place,
                                        {QStringLiteral("big"), QStringLiteral("little")})
                               == QLatin1String("little");
    const QString headerPlace = place + QStringLiteral(".header");
    profile.header = readHeader(values, values.object(object.value(QStringLiteral("header")), headerPlace),
                                headerPlace);
    profile.crc = quint16(values.hexNumber(object, QStringLiteral("crc"), place, 4));
    readOutputs(values, object, place, profile);
    return profile;
}

void readTop(ManifestValues &values, const QJsonObject &top, ReleaseManifest &manifest)
{
    values.oneOf(top, QStringLiteral("format"), QString(), {ManifestFormat()});
    const QJsonObject tool = values.object(top.value(QStringLiteral("tool")), QStringLiteral("tool"));
    manifest.toolName = values.text(tool, QStringLiteral("name"), QStringLiteral("tool"));
    manifest.toolVersion = values.text(tool, QStringLiteral("version"), QStringLiteral("tool"));
    const QJsonObject time = values.object(top.value(QStringLiteral("time")), QStringLiteral("time"));
    manifest.seconds = quint32(values.whole(time, QStringLiteral("seconds"), QStringLiteral("time"), 0xFFFFFFFFLL));
    manifest.calendar = values.text(time, QStringLiteral("calendar"), QStringLiteral("time"));
    manifest.settings = readFile(values, values.object(top.value(QStringLiteral("settings")),
                                                       QStringLiteral("settings")),
                                 QStringLiteral("settings"));
    const QJsonArray profiles = values.array(top, QStringLiteral("profiles"), QString(), 1, MaxManifestProfiles);
    for (int i = 0; i < profiles.size() && values.ok(); ++i)
        manifest.profiles.push_back(readProfile(values, profiles.at(i), QStringLiteral("profiles[%1]").arg(i)));
}
} // namespace

ManifestReading ParseManifest(const QByteArray &bytes)
{
    ManifestReading reading;
    reading.bytes = bytes;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        reading.error = QStringLiteral("is not JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return reading;
    }
    if (!document.isObject()) {
        reading.error = QStringLiteral("is not a JSON object");
        return reading;
    }
    ManifestValues values;
    readTop(values, document.object(), reading.manifest);
    if (!values.ok()) {
        reading.error = values.error();
        reading.manifest = ReleaseManifest();
    }
    return reading;
}
