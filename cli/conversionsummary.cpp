#include "conversionsummary.h"

#include "messagetext.h"
#include "imageinspection.h"
#include "inspectionreport.h"
#include "jsondocument.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace {
struct FileFacts
{
    qint64 size = 0;
    QByteArray sha256;
};

std::optional<FileFacts> readFacts(const QString &path, QString *error)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        *error = QStringLiteral("cannot read back \"%1\": %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return FileFacts{file.size(), hash.result().toHex()};
}

QJsonObject fileObject(const QString &path, const FileFacts &facts)
{
    return QJsonObject{
        {QStringLiteral("path"), path},
        {QStringLiteral("size"), double(facts.size)},
        {QStringLiteral("sha256"), QString::fromLatin1(facts.sha256)},
    };
}
} // namespace

QByteArray ConversionSummaryJson(const ConversionRequest &request, QString *error)
{
    QFile image(request.imagePath);
    if (!image.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read back \"%1\": %2").arg(request.imagePath, image.errorString());
        return QByteArray();
    }
    const ImageInspection inspection = InspectImage(&image);
    if (!inspection.readError.isEmpty()) {
        *error = QStringLiteral("cannot read back \"%1\": %2").arg(request.imagePath, inspection.readError);
        return QByteArray();
    }
    const std::optional<FileFacts> imageFacts = readFacts(request.imagePath, error);
    if (!imageFacts)
        return QByteArray();

    QJsonObject imageObject = fileObject(request.imagePath, *imageFacts);
    imageObject.insert(QStringLiteral("header"), ImageHeaderJson(inspection));
    imageObject.insert(QStringLiteral("trailer"), ImageTrailerJson(inspection));
    QJsonObject summary{
        {QStringLiteral("source"), QJsonObject{{QStringLiteral("path"), request.sourcePath},
                                               {QStringLiteral("size"), double(inspection.payloadSize)}}},
        {QStringLiteral("imageAddress"), JsonAddress(request.startAddress)},
        {QStringLiteral("image"), imageObject},
    };
    const std::pair<const char *, QString> recordFiles[] = {{"s19", request.srecordPath}, {"hex", request.hexPath}};
    for (const auto &file : recordFiles) {
        if (file.second.isEmpty())
            continue;
        const std::optional<FileFacts> facts = readFacts(file.second, error);
        if (!facts)
            return QByteArray();
        summary.insert(QLatin1String(file.first), fileObject(file.second, *facts));
    }
    return JsonDocumentText(QStringLiteral("convert"), summary);
}
