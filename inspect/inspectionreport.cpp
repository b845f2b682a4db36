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
    return text.isEmpty() ? QStringLiteral("(beyond %1)").arg(LastCalendarYear) : text;
}

void appendField(QStringList &lines, const QString &name, const QString &value)
{
    lines << QStringLiteral("  %1 %2").arg(name, -16).arg(value);
}

QString checkMark(const InspectionCheck &check)
{
    if (check.passed)
        return QStringLiteral("ok  ");
    return check.counts ? QStringLiteral("FAIL") : QStringLiteral("note");
}

void appendChecks(QStringList &lines, const QVector<InspectionCheck> &checks)
{
    for (const InspectionCheck &check : checks)
        lines << QStringLiteral("  %1 %2 %3").arg(checkMark(check)).arg(check.name, -16).arg(check.detail);
}

QJsonObject checksObject(const QVector<InspectionCheck> &checks)
{
    QJsonObject object;
    for (const InspectionCheck &check : checks)
        object.insert(check.name, QJsonObject{{QStringLiteral("passed"), check.passed},
                                              {QStringLiteral("detail"), check.detail},
                                              {QStringLiteral("counts"), check.counts}});
    return object;
}

// The checks that fail the inspection, and those that only note a difference.
QVector<InspectionCheck> allChecks(const InspectionReport &report)
{
    QVector<InspectionCheck> checks = report.image.checks;
    if (report.srecords)
        checks += report.srecords->checks;
    if (report.intelHex)
        checks += report.intelHex->checks;
    if (report.source)
        checks += report.source->checks;
    return checks;
}

QString addressText(const std::optional<quint32> &address)
{
    return address ? HexDigits(*address, 8) : QString();
}

QJsonValue addressValue(const std::optional<quint32> &address)
{
    return address ? QJsonValue(HexNumber(*address, 8)) : QJsonValue(QJsonValue::Null);
}

// The start-address record's value as every address is given in JSON:
// "0x0800ABCD", or "0x1234:0x5678" for a segment and an offset.
QJsonValue startAddressValue(const QString &text)
{
    if (text.isEmpty())
        return QJsonValue(QJsonValue::Null);
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() == 2)
        return QStringLiteral("0x%1:0x%2").arg(parts.at(0), parts.at(1));
    return QStringLiteral("0x") + text.rightJustified(8, QLatin1Char('0'));
}

QJsonValue textValue(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

void appendRecordFile(QStringList &lines, const QString &title, const QString &path, const RecordFileInspection &file)
{
    lines << QStringLiteral("%1 %2").arg(title, path);
    appendField(lines, QStringLiteral("lines"), QString::number(file.lineCount));
    appendField(lines, QStringLiteral("data records"),
                QStringLiteral("%1 (%2 data bytes)").arg(file.recordCount).arg(file.dataBytes));
    if (!file.headerText.isNull())
        appendField(lines, QStringLiteral("header text"), QStringLiteral("\"%1\"").arg(file.headerText));
    if (file.lowestAddress)
        appendField(lines, QStringLiteral("data addresses"),
                    QStringLiteral("%1-%2").arg(addressText(file.lowestAddress), addressText(file.highestAddress)));
    if (file.firstAddress)
        appendField(lines, QStringLiteral("first address"), addressText(file.firstAddress));
    if (file.imageAddress)
        appendField(lines, QStringLiteral("image address"), addressText(file.imageAddress));
    if (!file.startAddress.isEmpty())
        appendField(lines, QStringLiteral("start address"), QStringLiteral("%1 (%2)").arg(file.startAddress, file.startRecord));
    appendChecks(lines, file.checks);
}

QJsonObject recordFileObject(const QString &path, const RecordFileInspection &file)
{
    return QJsonObject{
        {QStringLiteral("path"), path},
        {QStringLiteral("lines"), double(file.lineCount)},
        {QStringLiteral("records"), double(file.recordCount)},
        {QStringLiteral("dataBytes"), double(file.dataBytes)},
        {QStringLiteral("firstAddress"), addressValue(file.firstAddress)},
        {QStringLiteral("lowestAddress"), addressValue(file.lowestAddress)},
        {QStringLiteral("highestAddress"), addressValue(file.highestAddress)},
        {QStringLiteral("imageAddress"), addressValue(file.imageAddress)},
        {QStringLiteral("headerText"), file.headerText.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(file.headerText)},
        {QStringLiteral("startAddress"), startAddressValue(file.startAddress)},
        {QStringLiteral("startRecord"), textValue(file.startRecord)},
        {QStringLiteral("passed"), file.passed()},
        {QStringLiteral("checks"), checksObject(file.checks)},
    };
}

QString summaryLine(const QVector<InspectionCheck> &checks)
{
    QStringList notes;
    int failed = 0;
    for (const InspectionCheck &check : checks) {
        if (!check.passed && check.counts)
            ++failed;
        else if (!check.passed)
            notes << check.name;
    }
    if (failed > 0)
        return QStringLiteral("%1 check%2 failed.").arg(failed).arg(failed == 1 ? QString() : QStringLiteral("s"));
    if (notes.isEmpty())
        return QStringLiteral("Every check holds.");
    return QStringLiteral("Every check holds; %1 note%2 (%3 count%4 only with --strict).")
        .arg(notes.size())
        .arg(notes.size() == 1 ? QString() : QStringLiteral("s"))
        .arg(notes.join(QStringLiteral(", ")))
        .arg(notes.size() == 1 ? QStringLiteral("s") : QString());
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
    return image.passed() && (!srecords || srecords->passed()) && (!intelHex || intelHex->passed())
        && (!source || source->passed());
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

    if (srecords)
        appendRecordFile(lines, QStringLiteral("S-record file"), srecordPath, *srecords);
    if (intelHex)
        appendRecordFile(lines, QStringLiteral("Intel HEX file"), intelHexPath, *intelHex);
    if (source) {
        lines << QStringLiteral("Source file %1").arg(sourcePath);
        appendField(lines, QStringLiteral("file size"), QStringLiteral("%1 bytes").arg(source->sourceSize));
        appendChecks(lines, source->checks);
    }

    lines << summaryLine(allChecks(*this));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray InspectionReport::json() const
{
    return QJsonDocument(jsonObject()).toJson(QJsonDocument::Indented);
}

QJsonObject InspectionReport::jsonObject() const
{
    QJsonObject imageObject{
        {QStringLiteral("path"), imagePath},
        {QStringLiteral("size"), double(image.fileSize)},
        {QStringLiteral("passed"), image.passed()},
        {QStringLiteral("checks"), checksObject(image.checks)},
    };
    imageObject.insert(QStringLiteral("header"), ImageHeaderJson(image));
    imageObject.insert(QStringLiteral("trailer"), ImageTrailerJson(image));

    QJsonObject report{
        {QStringLiteral("image"), imageObject},
        {QStringLiteral("passed"), passed()},
    };
    if (srecords)
        report.insert(QStringLiteral("s19"), recordFileObject(srecordPath, *srecords));
    if (intelHex)
        report.insert(QStringLiteral("hex"), recordFileObject(intelHexPath, *intelHex));
    if (source) {
        report.insert(QStringLiteral("source"), QJsonObject{
            {QStringLiteral("path"), sourcePath},
            {QStringLiteral("size"), double(source->sourceSize)},
            {QStringLiteral("passed"), source->passed()},
            {QStringLiteral("checks"), checksObject(source->checks)},
        });
    }
    return report;
}
