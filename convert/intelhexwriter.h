#ifndef VANDREL_CONVERT_INTELHEXWRITER_H
#define VANDREL_CONVERT_INTELHEXWRITER_H

#include "intelhex.h"
#include "recordfilewriter.h"

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Reads the image from offset 0 to its end and writes it as Intel HEX from
// startAddress: data records of 16 bytes (a record that would cross a 64 KiB
// boundary is split there), a type 04 record whenever the upper 16 address
// bits change, and the end-of-file record. The image must end at or below
// FFFFFFFF.
RecordFileResult WriteIntelHex(QIODevice *image, quint32 startAddress, QIODevice *output);
// The same, telling blockWritten after each block (see WriteRecordFile).
RecordFileResult WriteIntelHexWithProgress(QIODevice *image, quint32 startAddress, QIODevice *output,
                                           const RecordBlockWritten &blockWritten);

#endif
