#ifndef VANDREL_INSPECT_RECORDFILEINSPECTION_H
#define VANDREL_INSPECT_RECORDFILEINSPECTION_H

#include "inspectioncheck.h"
#include "placedimage.h"
#include "recordlinereader.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// What a record file (S-records or Intel HEX) holds, measured against the
// image it should carry.
struct RecordFileInspection
{
    qint64 lineCount = 0;   // lines read (all of them, unless one is not a record)
    qint64 recordCount = 0; // data records among them
    qint64 dataBytes = 0;   // data bytes of those records
    std::optional<quint32> firstAddress;   // of the first data record
    std::optional<quint32> lowestAddress;  // of the lowest data byte
    std::optional<quint32> highestAddress; // of the highest data byte
    std::optional<quint32> imageAddress;   // where image offset 0 was placed
    QString headerText;   // S-records: the first S0 record's data, quoted
    QString startAddress; // the execution start address the file gives, if any
    QString startRecord;  // the record that gives it ("S7", "type 05")

    // Set when a device failed to read; the checks are then incomplete.
    QString readError;

    QVector<InspectionCheck> checks;
    bool passed() const { return readError.isEmpty() && AllChecksPassed(checks); }
};

// The four checks of a record file, in the order they are reported.
struct RecordCheckNames
{
    QString lines;     // this tool's own layout; counts only when asked for strictly
    QString records;   // every line a well-formed record of the format, the file complete
    QString checksums; // every record checksum right
    QString data;      // the data by address equal to the image placed at the address
};

// The course of one reading of a record file, shared by the format readers:
// the faults of form, the checksums, and the data laid against the image.
class RecordFileReading
{
public:
    RecordFileReading(QIODevice *image, std::optional<quint32> address);

    RecordFileInspection &result() { return m_result; }

    // A line that is not a well-formed record: the first stops the reading,
    // since what follows it cannot be trusted.
    void stop(qint64 lineNumber, const QString &what);
    bool stopped() const { return m_stopped; }
    // A fault of the records that does not stop the reading (a wrong count,
    // no end record).
    void recordFault(const QString &what);
    void checksum(qint64 lineNumber, quint8 stored, quint8 computed);

    void countDataRecord(quint32 address, int count);
    // Lays the bytes against the image; false when the image cannot be read
    // (the result's readError says why).
    bool place(qint64 lineNumber, quint32 address, const quint8 *data, int count);

    // The result with its checks. lines is the verdict of the layout check,
    // records says what the file holds when it is well-formed.
    RecordFileInspection finish(const RecordCheckNames &names, const InspectionCheck &lines, const QString &records);

private:
    PlacedImage m_image;
    RecordFileInspection m_result;
    bool m_stopped = false;
    QString m_stopFault;
    QString m_recordFault;
    QString m_checksumFault;
    qint64 m_badChecksums = 0;
};

// Reads a record file line by line into reading, by the rules every format
// shares: a read error ends the reading at once; an over-long or malformed
// line, or a record after the end record, stops it; a blank line goes only to
// the layout check. The format's reader supplies the rest:
//   Reader::Record, Reader::MaxLineLength   its record type, its longest line
//   tooLongText(), afterEndText(endLine)    what stops the reading
//   parse(line, record)                     a line's fault, or an empty text
//   layout()                                its layout check, shown every line
//   endLine()                               the line of its end record, once read
//   use(line, record)                       takes each well-formed record in
//                                           turn; false when the image cannot
//                                           be read
// False when the reading ended at once (readError says why).
template <typename Reader>
bool ReadRecordLines(QIODevice *records, RecordFileReading &reading, Reader &reader)
{
    RecordLineReader lines(records, Reader::MaxLineLength);
    typename Reader::Record record;
    while (!reading.stopped()) {
        const RecordLineReader::Status status = lines.next();
        if (status == RecordLineReader::EndOfFile)
            return true;
        if (status == RecordLineReader::ReadFailed) {
            reading.result().readError = lines.readError();
            return false;
        }
        const RecordLine &line = lines.line();
        reading.result().lineCount = line.number;
        if (status == RecordLineReader::TooLong) {
            reader.layout().unreadable(line.number, reader.tooLongText());
            reading.stop(line.number, reader.tooLongText());
            return true;
        }
        if (line.isBlank()) {
            reader.layout().line(line, nullptr, QString());
            continue;
        }
        const QString fault = reader.parse(line, record);
        reader.layout().line(line, fault.isEmpty() ? &record : nullptr, fault);
        if (!fault.isEmpty()) {
            reading.stop(line.number, fault);
            return true;
        }
        if (const std::optional<qint64> endLine = reader.endLine()) {
            // Loaders stop at the end record: data behind it would not be loaded.
            reading.stop(line.number, reader.afterEndText(*endLine));
            return true;
        }
        reading.checksum(line.number, record.checksum, record.computedChecksum);
        if (!reader.use(line, record))
            return false;
    }
    return true;
}

// Reads the file once with pass, which places the image at the address it is
// given. Without an address the first data record's is taken; when a lower
// one turns up, the file is read again with the image at the lowest, so a
// file in address order is read once.
using RecordFilePass = std::function<RecordFileInspection(std::optional<quint32> address)>;
RecordFileInspection InspectByAddress(QIODevice *records, std::optional<quint32> address, const RecordFilePass &pass);

// Rewinds the record file (unless it is sequential) and checks that the
// image can be read at any offset; false with readError set otherwise.
bool StartReading(QIODevice *records, QIODevice *image, QString *readError);

#endif
