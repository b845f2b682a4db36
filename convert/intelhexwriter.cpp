#include "intelhexwriter.h"

#include <QByteArray>

namespace {
using namespace IntelHexLayout;

constexpr int RecordsPerBlock = RecordFileBlockSize / DataBytesPerRecord;
// A block crosses at most two 64 KiB boundaries, each costing a type 04 line
// and a split data line: room for a few more lines than the records.
constexpr int MaxTextPerBlock = (RecordsPerBlock + 8) * FullLineLength;

class HexBlockFormatter
{
public:
    explicit HexBlockFormatter(quint32 startAddress) : m_startAddress(startAddress) {}

    char *operator()(char *out, qint64 offset, const quint8 *data, int size)
    {
        for (int i = 0; i < size; i += DataBytesPerRecord)
            out = formatData(out, m_startAddress + quint32(offset + i), data + i, qMin(DataBytesPerRecord, size - i));
        return out;
    }

private:
    char *formatData(char *out, quint32 address, const quint8 *data, int count)
    {
        while (count > 0) {
            const quint16 upper = quint16(address >> 16);
            if (upper != m_upper) {
                const quint8 upperBytes[2] = {quint8(upper >> 8), quint8(upper)};
                out = FormatIntelHexRecord(out, ExtendedLinearAddress, UpperAddressRecordOffset, upperBytes, 2);
                m_upper = upper;
            }
            const quint32 room = SegmentSize - (address & 0xFFFF);
            const int n = int(qMin<quint32>(quint32(count), room));
            out = FormatIntelHexRecord(out, Data, quint16(address), data, n);
            address += quint32(n);
            data += n;
            count -= n;
        }
        return out;
    }

    quint32 m_startAddress;
    quint16 m_upper = FirstUpperAddress;
};
} // namespace

RecordFileResult WriteIntelHex(QIODevice *image, quint32 startAddress, QIODevice *output)
{
    return WriteIntelHexWithProgress(image, startAddress, output, RecordBlockWritten());
}

RecordFileResult WriteIntelHexWithProgress(QIODevice *image, quint32 startAddress, QIODevice *output,
                                           const RecordBlockWritten &blockWritten)
{
    return WriteRecordFile(image, output, QByteArray(), QByteArray(EndOfFileLine), MaxTextPerBlock,
                           HexBlockFormatter(startAddress), blockWritten);
}
