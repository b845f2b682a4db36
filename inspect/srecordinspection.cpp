#include "srecordinspection.h"

#include "messagetext.h"
#include "srecord.h"
#include "srecordlayoutcheck.h"

#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {
const RecordCheckNames Names{SRecordCheckName::Lines(), SRecordCheckName::Records(), SRecordCheckName::Checksums(),
                             SRecordCheckName::Data()};

constexpr int TypeCount = 10;

QString TypesText(const std::array<qint64, TypeCount> &types)
{
    QStringList parts;
    for (int type = 0; type < TypeCount; ++type) {
        if (types[size_t(type)] > 0)
            parts << QStringLiteral("%1 S%2").arg(types[size_t(type)]).arg(type);
    }
    return parts.isEmpty() ? QStringLiteral("no records") : QStringLiteral("well-formed: ") + parts.join(QStringLiteral(", "));
}

RecordFileInspection ReadOnce(QIODevice *srecords, QIODevice *image, std::optional<quint32> address, bool strictLayout)
{
    RecordFileReading reading(image, address);
    RecordFileInspection &result = reading.result();
    if (!StartReading(srecords, image, &result.readError))
        return result;

    SRecordLayoutCheck layout;
    std::array<qint64, TypeCount> types = {};
    std::optional<qint64> endLine;
    const auto parse = [](const RecordLine &line, SRecord &record) {
        return ParseSRecord(line.text, line.length, record);
    };
    const auto use = [&](const RecordLine &line, const SRecord &record) {
        ++types[size_t(record.type)];
        switch (record.type) {
        case 0:
            if (types[0] == 1)
                result.headerText = QuotedText(reinterpret_cast<const char *>(record.data.data()), record.count);
            break;
        case 1:
        case 2:
        case 3:
            reading.countDataRecord(record.address, record.count);
            return reading.place(line.number, record.address, record.data.data(), record.count);
        case 5:
        case 6:
            if (record.address != quint32(result.recordCount))
                reading.recordFault(QStringLiteral("line %1: the S%2 record counts %3 data records, %4 precede it")
                                        .arg(line.number)
                                        .arg(record.type)
                                        .arg(record.address)
                                        .arg(result.recordCount));
            break;
        default: // 7, 8, 9
            endLine = line.number;
            result.startAddress = HexDigits(record.address, 2 * record.addressBytes);
            result.startRecord = QStringLiteral("S%1").arg(record.type);
            break;
        }
        return true;
    };
    if (!ReadRecordLines<SRecord>(srecords, SRecordLayout::MaxLineLength, reading, layout,
                                  QStringLiteral("longer than any S-record line"),
                                  QStringLiteral("a record after the end record on line %1"), endLine, parse, use))
        return result;
    if (std::all_of(types.cbegin(), types.cend(), [](qint64 n) { return n == 0; }) && !reading.stopped())
        reading.recordFault(result.lineCount == 0 ? QStringLiteral("the file is empty")
                                                  : QStringLiteral("the file holds no records"));
    layout.finish(result.lineCount);
    return reading.finish(Names, layout.verdict(Names.lines, strictLayout), TypesText(types));
}
} // namespace

RecordFileInspection InspectSRecords(QIODevice *srecords, QIODevice *image, std::optional<quint32> imageAddress,
                                     bool strictLayout)
{
    return InspectByAddress(srecords, imageAddress, [&](std::optional<quint32> address) {
        return ReadOnce(srecords, image, address, strictLayout);
    });
}
