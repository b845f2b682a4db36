#include "intelhexinspection.h"

#include "messagetext.h"
#include "intelhex.h"
#include "intelhexlayoutcheck.h"

#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {
using namespace IntelHexLayout;

const RecordCheckNames Names{IntelHexCheckName::Lines(), IntelHexCheckName::Records(), IntelHexCheckName::Checksums(),
                             IntelHexCheckName::Data()};

constexpr int TypeCount = StartLinearAddress + 1;
constexpr quint32 SegmentSize = 0x10000;

// Data bytes each record type holds, beyond data records.
int DataBytesOfType(quint8 type)
{
    switch (type) {
    case EndOfFile:
        return 0;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        return 2;
    default: // the start addresses
        return 4;
    }
}

QString TypeFault(const IntelHexRecord &record)
{
    if (record.type >= TypeCount)
        return QStringLiteral("record type %1 is not one of 00 to 05").arg(HexDigits(record.type, 2));
    if (record.type != Data && record.count != DataBytesOfType(record.type))
        return QStringLiteral("a type %1 record holds %2 data bytes, not %3")
            .arg(HexDigits(record.type, 2))
            .arg(record.count)
            .arg(DataBytesOfType(record.type));
    return QString();
}

QString TypesText(const std::array<qint64, TypeCount> &types)
{
    QStringList parts;
    for (int type = 0; type < TypeCount; ++type) {
        if (types[size_t(type)] > 0)
            parts << QStringLiteral("%1 type %2").arg(types[size_t(type)]).arg(HexDigits(quint32(type), 2));
    }
    return QStringLiteral("well-formed: ") + parts.join(QStringLiteral(", "));
}

quint32 BigEndianValue(const IntelHexRecord &record)
{
    quint32 value = 0;
    for (int i = 0; i < record.count; ++i)
        value = value << 8 | record.data[size_t(i)];
    return value;
}

RecordFileInspection ReadOnce(QIODevice *hex, QIODevice *image, std::optional<quint32> address, bool strictLayout)
{
    RecordFileReading reading(image, address);
    RecordFileInspection &result = reading.result();
    if (!StartReading(hex, image, &result.readError))
        return result;

    IntelHexLayoutCheck layout;
    std::array<qint64, TypeCount> types = {};
    std::optional<qint64> endLine;
    quint32 base = 0;       // from the last type 02 or 04 record
    bool segmented = false; // the last was a type 02 record
    const auto parse = [](const RecordLine &line, IntelHexRecord &record) {
        const QString fault = ParseIntelHexRecord(line.text, line.length, record);
        return fault.isEmpty() ? TypeFault(record) : fault;
    };
    const auto use = [&](const RecordLine &line, const IntelHexRecord &record) {
        ++types[record.type];
        switch (record.type) {
        case Data: {
            const quint32 start = base + record.offset; // wraps at 4 GiB
            reading.countDataRecord(start, record.count);
            // After a type 02 record, offsets wrap within the 64 KiB segment.
            const int first = segmented ? int(std::min<quint32>(quint32(record.count), SegmentSize - record.offset))
                                        : record.count;
            return reading.place(line.number, start, record.data.data(), first)
                   && reading.place(line.number, base, record.data.data() + first, record.count - first);
        }
        case EndOfFile:
            endLine = line.number;
            break;
        case ExtendedSegmentAddress:
            base = BigEndianValue(record) << 4;
            segmented = true;
            break;
        case ExtendedLinearAddress:
            base = BigEndianValue(record) << 16;
            segmented = false;
            break;
        case StartSegmentAddress: {
            const quint32 value = BigEndianValue(record);
            result.startAddress = HexDigits(value >> 16, 4) + QLatin1Char(':') + HexDigits(value & 0xFFFF, 4);
            result.startRecord = QStringLiteral("type 03, CS:IP");
            break;
        }
        case StartLinearAddress:
            result.startAddress = HexDigits(BigEndianValue(record), 8);
            result.startRecord = QStringLiteral("type 05");
            break;
        }
        return true;
    };
    if (!ReadRecordLines<IntelHexRecord>(hex, MaxLineLength, reading, layout,
                                         QStringLiteral("longer than any Intel HEX line"),
                                         QStringLiteral("a record after the end-of-file record on line %1"), endLine,
                                         parse, use))
        return result;
    if (!endLine && !reading.stopped())
        reading.recordFault(result.lineCount == 0 ? QStringLiteral("the file is empty")
                                                  : QStringLiteral("the file ends after line %1 without the "
                                                                   "end-of-file record (type 01)")
                                                        .arg(result.lineCount));
    layout.finish(result.lineCount);
    return reading.finish(Names, layout.verdict(Names.lines, strictLayout), TypesText(types));
}
} // namespace

RecordFileInspection InspectIntelHex(QIODevice *hex, QIODevice *image, std::optional<quint32> imageAddress,
                                     bool strictLayout)
{
    return InspectByAddress(hex, imageAddress, [&](std::optional<quint32> address) {
        return ReadOnce(hex, image, address, strictLayout);
    });
}
