#include "recordfilewriter.h"

#include "deviceio.h"

#include <QIODevice>

RecordFileResult WriteRecordFile(QIODevice *image, QIODevice *output, const QByteArray &head,
                                 const QByteArray &tail, int maxTextPerBlock,
                                 const RecordBlockFormatter &formatBlock, const RecordBlockWritten &blockWritten)
{
    if (!image || !output || !image->seek(0))
        return RecordFileResult::ImageReadFailed;
    if (!WriteAll(output, head.constData(), head.size()))
        return RecordFileResult::OutputWriteFailed;

    QByteArray block(RecordFileBlockSize, Qt::Uninitialized);
    QByteArray text(maxTextPerBlock, Qt::Uninitialized);
    qint64 offset = 0;
    for (;;) {
        const qint64 n = ReadUpTo(image, reinterpret_cast<quint8 *>(block.data()), RecordFileBlockSize);
        if (n < 0)
            return RecordFileResult::ImageReadFailed;
        if (n == 0)
            break;
        const char *end = formatBlock(text.data(), offset, reinterpret_cast<const quint8 *>(block.constData()), int(n));
        if (!WriteAll(output, text.constData(), end - text.constData()))
            return RecordFileResult::OutputWriteFailed;
        offset += n;
        if (blockWritten && !blockWritten(n))
            return RecordFileResult::Stopped;
        if (n < RecordFileBlockSize)
            break;
    }
    return WriteAll(output, tail.constData(), tail.size()) ? RecordFileResult::Written
                                                           : RecordFileResult::OutputWriteFailed;
}
