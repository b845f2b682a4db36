#ifndef VANDREL_INSPECT_INSPECTIONREPORT_H
#define VANDREL_INSPECT_INSPECTIONREPORT_H

#include "imageinspection.h"
#include "srecordinspection.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>

// What "inspect" found, for people (text) and for scripts (one JSON object).
struct InspectionReport
{
    QString imagePath;
    ImageInspection image;
    QString srecordPath; // empty when no S-record file was inspected
    std::optional<SRecordInspection> srecords;

    bool passed() const;
    QString text() const;
    QByteArray json() const;
};

// The header and trailer as the JSON report shows them (null when the file
// is too short to hold them).
QJsonValue ImageHeaderJson(const ImageInspection &image);
QJsonValue ImageTrailerJson(const ImageInspection &image);

// A header's seconds as "YYYY-MM-DD hh:mm:ss", or an empty text when they
// lie beyond the calendar's last year.
QString StampTimeText(quint32 seconds);

#endif
