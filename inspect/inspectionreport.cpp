#include "inspectionreport.h"

#include "calendar.h"
#include "messagetext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <algorithm>

namespace {
QString byteOrderText(const ImageInspection &image)
{
    return image.littleEndian ? QStringLiteral("little-endian") : QStringLiteral("big-endian");
}

QString stampTimeOrNote(quint32 seconds)
{
    const QString text = StampTimeText(seconds);
    return text.isEmpty() ? QStringLiteral("(beyond 2099)") : text;
}

void appendField(QStringList &lines, const QString &name, const QString &value)
{
    lines << QStringLiteral("  %1 %2").arg(name, -16).arg(value);
}

void appendChecks(QStringList &lines, const QVector<InspectionCheck> &checks)
{
    for (const InspectionCheck &check : checks)
        lines << QStringLiteral("  %1 %2 %3")
                     .arg(check.passed ? QStringLiteral("ok  ") : QStringLiteral("FAIL"))
                     .arg(check.name, -16)
                     .arg(check.detail);
}

QJsonObject checksObject(const QVector<InspectionCheck> &checks)
{
    QJsonObject object;
    for (const InspectionCheck &check : checks)
        object.insert(check.name, QJsonObject{{QStringLiteral("passed"), check.passed},
                                              {QStringLiteral("detail"), check.detail}});
    return object;
}

int failedCount(const QVector<InspectionCheck> &checks)
{
    return int(std::count_if(checks.cbegin(), checks.cend(), [](const InspectionCheck &c) { return !c.passed; }));
}
} // namespace

QString StampTimeText(quint32 seconds)
{
    const EpochTime epoch{seconds, 0};
    CalendarTime calendar{};
    if (!EpochToCalendar(&epoch, &calendar))
        return QString();
    const QLatin1Char zero('0');
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(calendar.year, 4, 10, zero)
        .arg(calendar.month, 2, 10, zero)
        .arg(calendar.day, 2, 10, zero)
        .arg(calendar.hour, 2, 10, zero)
        .arg(calendar.minute, 2, 10, zero)
        .arg(calendar.second, 2, 10, zero);
}

QJsonValue ImageHeaderJson(const ImageInspection &image)
{
    if (!image.hasHeader)
        return QJsonValue(QJsonValue::Null);
    const QString stampTime = StampTimeText(image.header.seconds);
    return QJsonObject{
        {QStringLiteral("length"), double(image.header.length)},
        {QStringLiteral("magic"), HexNumber(image.header.magic, 8)},
        {QStringLiteral("byteOrder"), byteOrderText(image)},
        {QStringLiteral("littleEndian"), double(image.header.littleEndian)},
        {QStringLiteral("seconds"), double(image.header.seconds)},
        {QStringLiteral("stampTime"), stampTime.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(stampTime)},
        {QStringLiteral("milliseconds"), image.header.milliseconds},
        {QStringLiteral("version"), image.header.version},
        {QStringLiteral("checksum"), HexNumber(image.header.checksum, 4)},
    };
}

QJsonValue ImageTrailerJson(const ImageInspection &image)
{
    if (!image.hasTrailer)
        return QJsonValue(QJsonValue::Null);
    return QJsonObject{
        {QStringLiteral("crc"), HexNumber(image.trailer.crc, 4)},
        {QStringLiteral("padding"), HexNumber(image.trailer.padding, 4)},
    };
}

bool InspectionReport::passed() const
{
    return image.passed() && (!srecords || srecords->passed());
}

QString InspectionReport::text() const
{
    QStringList lines;
    lines << QStringLiteral("Image %1").arg(imagePath);
    appendField(lines, QStringLiteral("file size"), QStringLiteral("%1 bytes").arg(image.fileSize));
    if (image.hasHeader) {
        appendField(lines, QStringLiteral("length"), QString::number(image.header.length));
        appendField(lines, QStringLiteral("magic"), HexNumber(image.header.magic, 8));
        appendField(lines, QStringLiteral("byte order"),
                    QStringLiteral("%1 (littleEndian field %2)").arg(byteOrderText(image)).arg(image.header.littleEndian));
        appendField(lines, QStringLiteral("stamp time"),
                    QStringLiteral("%1 (%2 seconds since 1970)").arg(stampTimeOrNote(image.header.seconds)).arg(image.header.seconds));
        appendField(lines, QStringLiteral("milliseconds"), QString::number(image.header.milliseconds));
        appendField(lines, QStringLiteral("version"), QString::number(image.header.version));
        appendField(lines, QStringLiteral("header checksum"), HexNumber(image.header.checksum, 4));
    }
    if (image.hasTrailer) {
        appendField(lines, QStringLiteral("CRC trailer"),
                    QStringLiteral("%1, padding %2").arg(HexNumber(image.trailer.crc, 4), HexNumber(image.trailer.padding, 4)));
    }
    appendChecks(lines, image.checks);

    if (srecords) {
        lines << QStringLiteral("S-record file %1").arg(srecordPath);
        appendField(lines, QStringLiteral("lines"), QString::number(srecords->lineCount));
        appendField(lines, QStringLiteral("S3 records"),
                    QStringLiteral("%1 (%2 data bytes)").arg(srecords->recordCount).arg(srecords->dataBytes));
        if (srecords->firstAddress)
            appendField(lines, QStringLiteral("first address"), HexDigits(*srecords->firstAddress, 8));
        if (srecords->imageAddress)
            appendField(lines, QStringLiteral("image address"), HexDigits(*srecords->imageAddress, 8));
        appendChecks(lines, srecords->checks);
    }

    const int failed = failedCount(image.checks) + (srecords ? failedCount(srecords->checks) : 0);
    lines << (failed == 0 ? QStringLiteral("Every check holds.")
                          : QStringLiteral("%1 check%2 failed.").arg(failed).arg(failed == 1 ? QString() : QStringLiteral("s")));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray InspectionReport::json() const
{
    QJsonObject imageObject{
        {QStringLiteral("path"), imagePath},
        {QStringLiteral("fileSize"), double(image.fileSize)},
        {QStringLiteral("passed"), image.passed()},
        {QStringLiteral("checks"), checksObject(image.checks)},
    };
    imageObject.insert(QStringLiteral("header"), ImageHeaderJson(image));
    imageObject.insert(QStringLiteral("trailer"), ImageTrailerJson(image));

    QJsonObject report{
        {QStringLiteral("image"), imageObject},
        {QStringLiteral("passed"), passed()},
    };
    if (srecords) {
        const auto address = [](const std::optional<quint32> &value) {
            return value ? QJsonValue(HexDigits(*value, 8)) : QJsonValue(QJsonValue::Null);
        };
        report.insert(QStringLiteral("s19"), QJsonObject{
            {QStringLiteral("path"), srecordPath},
            {QStringLiteral("lines"), double(srecords->lineCount)},
            {QStringLiteral("records"), double(srecords->recordCount)},
            {QStringLiteral("dataBytes"), double(srecords->dataBytes)},
            {QStringLiteral("firstAddress"), address(srecords->firstAddress)},
            {QStringLiteral("imageAddress"), address(srecords->imageAddress)},
            {QStringLiteral("passed"), srecords->passed()},
            {QStringLiteral("checks"), checksObject(srecords->checks)},
        });
    }
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}
