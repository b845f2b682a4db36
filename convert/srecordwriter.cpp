#include "srecordwriter.h"

namespace {
using SRecordLayout::DataRecordType;
constexpr int RecordsPerBlock = RecordFileBlockSize / SRecordLayout::DataBytesPerRecord;
}

void AppendS3Record(QByteArray &text, quint32 address, const quint8 *data, int count)
{
    if (count < 1 || count > SRecordLayout::DataBytesPerRecord)
        return;
    const auto oldSize = text.size();
    text.resize(oldSize + SRecordLayout::FullLineLength);
    const char *end = FormatSRecord(text.data() + oldSize, DataRecordType, address, data, count);
    text.resize(end - text.constData());
}

RecordFileResult WriteSRecords(QIODevice *image, quint32 startAddress, QIODevice *output)
{
    return WriteSRecordsWithProgress(image, startAddress, output, RecordBlockWritten());
}

RecordFileResult WriteSRecordsWithProgress(QIODevice *image, quint32 startAddress, QIODevice *output,
                                           const RecordBlockWritten &blockWritten)
{
    using namespace SRecordLayout;
    const auto formatBlock = [startAddress](char *out, qint64 offset, const quint8 *data, int size) {
        for (int i = 0; i < size; i += DataBytesPerRecord) {
            const quint32 address = startAddress + quint32(offset + i); // wraps modulo 2^32
            out = FormatSRecord(out, DataRecordType, address, data + i, qMin(DataBytesPerRecord, size - i));
        }
        return out;
    };
    return WriteRecordFile(image, output, QByteArray(HeaderLine), QByteArray(EndLine),
                           RecordsPerBlock * FullLineLength, formatBlock, blockWritten);
}
