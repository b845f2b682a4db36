#ifndef VANDREL_INSPECT_INSPECTIONREPORT_H
#define VANDREL_INSPECT_INSPECTIONREPORT_H

#include "imageinspection.h"
#include "recordfileinspection.h"
#include "sourcecomparison.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// What "inspect" found, for people (text) and for scripts (one JSON object).
// The optional parts are there when that file was inspected.
struct InspectionReport
{
    QString imagePath;
    ImageInspection image;
    QString srecordPath;
    std::optional<RecordFileInspection> srecords;
    QString intelHexPath;
    std::optional<RecordFileInspection> intelHex;
    QString sourcePath;
    std::optional<SourceComparison> source;

    bool passed() const;
    QString text() const;
    QByteArray json() const;
    QJsonObject jsonObject() const; // what json() writes
};

// The header and trailer as the JSON report shows them (null when the file
// is too short to hold them).
QJsonValue ImageHeaderJson(const ImageInspection &image);
QJsonValue ImageTrailerJson(const ImageInspection &image);

// A header's seconds as "YYYY-MM-DD hh:mm:ss", or an empty text when they
// lie beyond the calendar's last year.
QString StampTimeText(quint32 seconds);

#endif
