#ifndef VANDREL_CONVERT_CONVERSION_H
#define VANDREL_CONVERT_CONVERSION_H

#include <QDateTime>
#include <QString>

// Inputs of one conversion.
struct ConversionRequest
{
    QString sourcePath;  // raw firmware image to read
    QString imagePath;   // new stamped image to write
    QString srecordPath; // S-record file to write
    quint32 startAddress = 0;
    quint16 version = 0;
    QDateTime wallClock; // the reading to stamp (see HeaderTimeAt)
};

enum class ConversionStatus {
    Succeeded,
    VersionInvalid,
    AddressInvalid,     // also: the image would run past FFFFFFFF
    SourceNotFound,
    SourceTooLarge,
    ImagePathInvalid,
    SRecordPathInvalid,
    SourceReadFailed,
    ImageWriteFailed,
    SRecordWriteFailed,
};

struct ConversionResult
{
    ConversionStatus status = ConversionStatus::Succeeded;
    // One English line naming the file or value and the cause; empty on success.
    QString detail;

    bool succeeded() const { return status == ConversionStatus::Succeeded; }
};

// Reads the version and the start address as a user typed them (see
// ParseVersion, ParseStartAddress) into request. The first that does not
// read is the failure, which the caller reports as it reports a conversion.
ConversionResult ReadConversionFields(const QString &versionText, const QString &addressText,
                                      ConversionRequest &request);

// Runs a whole conversion: checks the inputs, writes the stamped image and
// its S-record file, and reports the first failure. Nothing is opened for
// writing before the checks that protect it have passed.
ConversionResult RunConversion(const ConversionRequest &request);

#endif
