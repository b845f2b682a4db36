#ifndef VANDREL_CONVERT_CONVERSION_H
#define VANDREL_CONVERT_CONVERSION_H

#include "addressrange.h"
#include "sourceformat.h"
#include "sourcelayout.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class ConversionProgress;

#include <optional>
#include <vector>

// How an addressed source (ELF, Intel HEX, S-records) becomes the payload.
// A raw binary is copied as it is and takes none of these.
struct SourceOptions
{
    SourceFormat format = SourceFormat::Auto; // Auto: by the file's name, else its content
    SourceLayoutOptions layout;
    // Take the start address from the source: its first data address - 32.
    bool startAddressFromSource = false;
    // Place the data at start address + 32 even when the source's own
    // addresses differ (a bootloader copies the payload).
    bool relocate = false;
};

// Inputs of one conversion.
struct ConversionRequest
{
    QString sourcePath;  // firmware to read: a raw image, or an addressed source (see SourceOptions)
    QString imagePath;   // new stamped image to write
    QString srecordPath; // S-record file to write; may stay empty when hexPath is given
    QString hexPath;     // Intel HEX file to write, or empty for none
    quint32 startAddress = 0;
    quint16 version = 0;
    int littleEndian = 1; // the header's byte order: 1 little-endian, 0 big-endian
    QDateTime wallClock;  // the reading to stamp (see HeaderTimeAt)
    QString settingsPath; // the settings file the values came from, never an output; empty for none
    SourceOptions source;
    ConversionProgress *progress = nullptr; // told how far the run is and asked to stop; may be null
};

enum class ConversionStatus {
    Succeeded,
    VersionInvalid,
    AddressInvalid, // also: the image would run past FFFFFFFF
    SourceNotFound,
    SourceTooLarge,
    ImagePathInvalid,
    SRecordPathInvalid,
    HexPathInvalid,
    SourceReadFailed,
    ImageWriteFailed,
    SRecordWriteFailed,
    HexWriteFailed,
    SourceFormatInvalid,   // an addressed source that is not well-formed, or holds no data
    SourceAddressMismatch, // an addressed source that does not start at start address + 32
    SourceSpanTooLarge,    // its data spans more than the limit
    SourceOverlap,         // it gives bytes twice with different values
    FillInvalid,           // the fill byte is not a byte in hexadecimal
    Cancelled, // stopped on request before anything was put in place
};

// What an addressed source gave, for the summary.
struct SourceFacts
{
    SourceFormat format = SourceFormat::Binary;
    std::vector<AddressRange> dataRanges;
    std::vector<AddressRange> filledRanges;
    quint8 fill = SourceLayoutOptions::DefaultFill;
    std::optional<quint64> entryAddress;
};

struct ConversionResult
{
    ConversionResult() = default;
    ConversionResult(ConversionStatus status, const QString &detail) : status(status), detail(detail) {}

    ConversionStatus status = ConversionStatus::Succeeded;
    // One English line naming the file or value and the cause; empty on success.
    QString detail;
    // On success: the start address written, and what the source gave.
    quint32 startAddress = 0;
    SourceFacts source;
    // On success: the files put in place (image first, as given), the new
    // image's size and the CRC-16 in its trailer.
    QStringList writtenPaths;
    qint64 imageSize = 0;
    quint16 crc = 0;

    bool succeeded() const { return status == ConversionStatus::Succeeded; }
};

// Reads the version and the start address as a user typed them (see
// ParseVersion, ParseStartAddress) into request. The first that does not
// read is the failure, which the caller reports as it reports a conversion.
ConversionResult ReadConversionFields(const QString &versionText, const QString &addressText,
                                      ConversionRequest &request);

// Reads the fill byte of an addressed source's gaps as the settings give it
// ([Sys] Fill, see ParseFillByte) into request.
ConversionResult ReadFillField(const QString &fillText, ConversionRequest &request);

// Runs a whole conversion: checks every input, writes the stamped image and
// its record files under temporary names beside their targets, and only when
// all are complete and on the disk puts them in place, the image first. A run
// that is refused, fails, is interrupted or is cancelled through
// request.progress changes nothing on disk. A second run onto an output that
// a run is writing is refused at once.
ConversionResult RunConversion(const ConversionRequest &request);

#endif
