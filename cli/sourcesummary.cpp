#include "sourcesummary.h"

#include "messagetext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr int AddressDigits = 8;
constexpr int ByteDigits = 2;

QString AddressJson(quint64 address)
{
    return QStringLiteral("0x") + HexDigits(address, AddressDigits);
}

QJsonArray RangesJson(const std::vector<AddressRange> &ranges)
{
    QJsonArray all;
    for (const AddressRange &range : ranges)
        all.append(QJsonObject{{QStringLiteral("start"), AddressJson(range.start)},
                               {QStringLiteral("end"), AddressJson(range.end)},
                               {QStringLiteral("size"), double(range.size())}});
    return all;
}
} // namespace

QByteArray WithSourceFacts(const QByteArray &summary, const SourceFacts &facts)
{
    QJsonDocument document = QJsonDocument::fromJson(summary);
    QJsonObject top = document.object();
    QJsonObject source = top.value(QStringLiteral("source")).toObject();
    source.insert(QStringLiteral("format"), SourceFormatName(facts.format));
    if (facts.format != SourceFormat::Binary) {
        source.insert(QStringLiteral("dataRanges"), RangesJson(facts.dataRanges));
        source.insert(QStringLiteral("fill"), QStringLiteral("0x") + HexDigits(facts.fill, ByteDigits));
        source.insert(QStringLiteral("filledRanges"), RangesJson(facts.filledRanges));
        if (facts.entryAddress)
            source.insert(QStringLiteral("entryAddress"), AddressJson(*facts.entryAddress));
    }
    top.insert(QStringLiteral("source"), source);
    document.setObject(top);
    return document.toJson(QJsonDocument::Indented);
}
