#ifndef VANDREL_CONVERT_SRECORDWRITER_H
#define VANDREL_CONVERT_SRECORDWRITER_H

#include <QByteArray>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace SRecord {
// Fixed header and end lines, the same in every file.
constexpr char HeaderLine[] = "S01000005570646174654170702E73313960\n";
constexpr char EndLine[] = "S705080052910F\n";
constexpr int MaxDataBytes = 16;
// A full S3 line: "S3", count, 8 address digits, 16 data bytes, checksum, LF.
constexpr int FullLineLength = 2 + 2 + 8 + 2 * MaxDataBytes + 2 + 1;
}

enum class SRecordResult {
    Written,
    ImageReadFailed,
    OutputWriteFailed,
};

// Appends one S3 line for 1 to 16 bytes at address: upper-case hex, LF end.
void AppendS3Record(QByteArray &text, quint32 address, const quint8 *data, int count);

// Reads the image from offset 0 to its end and writes the whole S-record
// text (header line, S3 records of 16 bytes from startAddress, end line) to
// output in one write. Addresses wrap modulo 2^32.
SRecordResult WriteSRecords(QIODevice *image, quint32 startAddress, QIODevice *output);

#endif
