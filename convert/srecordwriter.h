#ifndef VANDREL_CONVERT_SRECORDWRITER_H
#define VANDREL_CONVERT_SRECORDWRITER_H

#include "recordfilewriter.h"
#include "srecord.h"

#include <QByteArray>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Appends one S3 line for 1 to 16 bytes at address: upper-case hex, LF end.
void AppendS3Record(QByteArray &text, quint32 address, const quint8 *data, int count);

// Reads the image from offset 0 to its end and writes the S-record file:
// the fixed header line, S3 records of 16 bytes from startAddress, the fixed
// end line. Addresses wrap modulo 2^32.
RecordFileResult WriteSRecords(QIODevice *image, quint32 startAddress, QIODevice *output);
// The same, telling blockWritten after each block (see WriteRecordFile).
RecordFileResult WriteSRecordsWithProgress(QIODevice *image, quint32 startAddress, QIODevice *output,
                                           const RecordBlockWritten &blockWritten);

#endif
