#ifndef VANDREL_CLI_INSPECTIONREPORT_H
#define VANDREL_CLI_INSPECTIONREPORT_H

#include "convert/srecordreader.h"
#include "image/imageinspection.h"

#include <QByteArray>
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

#endif
