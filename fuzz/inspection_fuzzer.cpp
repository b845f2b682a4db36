// libFuzzer target over the readers of untrusted files: the stamped-image
// inspector, the S-record and Intel HEX readers, the source comparison, the
// addressed source readers (ELF, Intel HEX, S-records) with their layout,
// and the report built from what they found.
//
// Input layout: one flag byte (bit 0: place the image at the given address,
// bit 1: strict layout checks, bit 2: crop the addressed sources from the
// address on, bits 3-7: the fill byte's high bits), the image length (u16,
// little-endian), the address (u32, little-endian), then the image bytes,
// then the text that is read both as S-records and as Intel HEX, compared
// as the raw source, and read and placed as each addressed source.

#include "inspectionreport.h"
#include "sourceformat.h"
#include "sourcelayout.h"
#include "intelhexinspection.h"
#include "sourcecomparison.h"
#include "srecordinspection.h"
#include "imageinspection.h"

#include <QBuffer>
#include <QByteArray>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {
constexpr size_t PrefixSize = 7;
constexpr quint8 AddressGiven = 0x01;
constexpr quint8 StrictLayout = 0x02;
constexpr quint8 CropFromAddress = 0x04;
constexpr quint8 FillBits = 0xF8;
// Small enough that a span at the limit costs little; large enough for pages
// of several records.
constexpr qint64 FuzzMaxSpan = 1024 * 1024;

// A read-only device over the bytes, from their start.
void OpenOver(QBuffer &device, QByteArray &bytes)
{
    device.setBuffer(&bytes);
    device.open(QIODevice::ReadOnly);
}

// Every addressed format reads the bytes; the placed source is compared
// with the image.
void PlaceSources(QBuffer &image, QByteArray &textBytes, quint8 flags, quint32 address)
{
    SourceLayoutOptions options;
    options.fill = quint8(flags & FillBits);
    options.maxSize = FuzzMaxSpan;
    if (flags & CropFromAddress)
        options.crop = AddressRange{address, AddressSpaceEnd};
    for (const SourceFormat format : {SourceFormat::Elf, SourceFormat::IntelHex, SourceFormat::SRecord}) {
        QBuffer source;
        OpenOver(source, textBytes);
        const SourceComparison compared = CompareWithPlacedSource(&image, &source, format, options);
        volatile int sink = compared.checks.size() + compared.readError.size();
        (void)sink;
    }
    QBuffer named;
    OpenOver(named, textBytes);
    volatile int chosen = int(ChooseSourceFormat(QStringLiteral("source"), &named, SourceFormat::Auto).format);
    (void)chosen;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < PrefixSize)
        return 0;
    const quint8 flags = data[0];
    const size_t rest = size - PrefixSize;
    const size_t imageSize = qMin<size_t>(qFromLittleEndian<quint16>(data + 1), rest);
    std::optional<quint32> address;
    const quint32 givenAddress = qFromLittleEndian<quint32>(data + 3);
    if (flags & AddressGiven)
        address = givenAddress;
    const bool strict = flags & StrictLayout;

    // fromRawData: the readers see exactly the fuzzer's bytes, with no
    // terminating zero behind them to hide an overread.
    const char *bytes = reinterpret_cast<const char *>(data + PrefixSize);
    QByteArray imageBytes = QByteArray::fromRawData(bytes, int(imageSize));
    QByteArray textBytes = QByteArray::fromRawData(bytes + imageSize, int(rest - imageSize));
    QBuffer image;
    QBuffer srecords;
    QBuffer intelHex;
    QBuffer source;
    OpenOver(image, imageBytes);
    OpenOver(srecords, textBytes);
    OpenOver(intelHex, textBytes);
    OpenOver(source, textBytes);

    InspectionReport report;
    report.imagePath = QStringLiteral("image.bin");
    report.srecordPath = QStringLiteral("image.s19");
    report.intelHexPath = QStringLiteral("image.hex");
    report.sourcePath = QStringLiteral("source.bin");
    report.image = InspectImage(&image);
    report.srecords = InspectSRecords(&srecords, &image, address, strict);
    report.intelHex = InspectIntelHex(&intelHex, &image, address, strict);
    report.source = CompareWithSource(&image, &source);
    PlaceSources(image, textBytes, flags, givenAddress);
    // Both forms of the report format every field the readers filled in.
    volatile int sink = report.text().size() + report.json().size();
    (void)sink;
    return 0;
}
