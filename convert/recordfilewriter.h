#ifndef VANDREL_CONVERT_RECORDFILEWRITER_H
#define VANDREL_CONVERT_RECORDFILEWRITER_H

#include <QByteArray>
#include <QtGlobal>

#include <functional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

enum class RecordFileResult {
    Written,
    ImageReadFailed,
    OutputWriteFailed,
    Stopped, // the caller asked to stop after a block
};

// Formats the records of one block of the image at out and returns the end.
// offset is the block's offset in the image; blocks hold whole records.
using RecordBlockFormatter = std::function<char *(char *out, qint64 offset, const quint8 *data, int size)>;

// Told after each block how many image bytes it held; false stops the writing.
using RecordBlockWritten = std::function<bool(qint64 imageBytes)>;

// Writes a text file of records: head, the records of the image read from
// offset 0 to its end, then tail. The image is read and the text written a
// block at a time, so memory stays the same for an image of any size.
// maxTextPerBlock bounds what formatBlock writes for one block.
RecordFileResult WriteRecordFile(QIODevice *image, QIODevice *output, const QByteArray &head,
                                 const QByteArray &tail, int maxTextPerBlock,
                                 const RecordBlockFormatter &formatBlock,
                                 const RecordBlockWritten &blockWritten = {});

// Bytes of the image in one block: whole records of 16 bytes.
constexpr int RecordFileBlockSize = 4096 * 16;

#endif
