// The addressed source readers and their layout: record files of awkward
// forms placed as srec_cat places them, the values a user types for the
// layout, and the choice of format by name and content.

#include "addressranges.h"
#include "recordlines.h"
#include "referencetools.h"
#include "sourcefields.h"
#include "sourceformat.h"
#include "sourcelayout.h"
#include "testfiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(SourceFormat)

namespace {
QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

QByteArray Placed(const SourceLayout &layout)
{
    QByteArray bytes;
    layout.forEachChunk([&bytes](const quint8 *data, qint64 count) {
        bytes.append(reinterpret_cast<const char *>(data), int(count));
        return true;
    });
    return bytes;
}
} // namespace

class TestSourceReaders : public QObject
{
    Q_OBJECT

private slots:
    void placedAsSrecCatPlaces_data();
    void placedAsSrecCatPlaces();
    void fieldValues_data();
    void fieldValues();
    void formatChoice_data();
    void formatChoice();
    void rangesJoinAndGaps();
};

void TestSourceReaders::placedAsSrecCatPlaces_data()
{
    QTest::addColumn<SourceFormat>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("lowest");
    QTest::addColumn<QString>("reference"); // the tool that reads the file

    const QByteArray upper0800 = IntelHexLine(4, 0, QByteArray::fromHex("0800"));
    QTest::newRow("HEX record across a 64 KiB boundary after type 04")
        << SourceFormat::IntelHex
        << upper0800 + IntelHexLine(0, 0xFFF8, Pattern(32, 1)) + IntelHexLine(0, 0xFFE0, Pattern(16, 3))
               + IntelHexLine(1, 0, {})
        << 0x0800FFE0u << "srec_cat";
    // srec_cat wraps such a record within its segment; objcopy runs on, as
    // after type 04.
    QTest::newRow("HEX record across a 64 KiB boundary after type 02")
        << SourceFormat::IntelHex
        << IntelHexLine(2, 0, QByteArray::fromHex("1000")) + IntelHexLine(0, 0xFFF0, Pattern(40, 4))
               + IntelHexLine(1, 0, {})
        << 0x0001FFF0u << "objcopy";
    QTest::newRow("HEX lower case, CR LF, blank lines, out of order, with gaps")
        << SourceFormat::IntelHex
        << (upper0800 + IntelHexLine(0, 0x0100, Pattern(255, 5)) + "\n" + IntelHexLine(0, 0x0010, Pattern(3, 6))
            + IntelHexLine(5, 0, QByteArray::fromHex("08000101")) + IntelHexLine(1, 0, {}))
               .toLower()
               .replace("\n", "\r\n")
        << 0x08000010u << "srec_cat";
    QTest::newRow("S1, S2 and S3 mixed, S5 count, out of order")
        << SourceFormat::SRecord
        << SRecordLine(0, 0, "hdr") + SRecordLine(3, 0x00012000, Pattern(64, 7)) + SRecordLine(1, 0x1FF0, Pattern(9, 8))
               + SRecordLine(2, 0x011000, Pattern(200, 9)) + SRecordLine(5, 3, {}) + SRecordLine(9, 0x1FF0, {})
        << 0x00001FF0u << "srec_cat";
}

// Against srec_cat reading the same file, with the same fill.
void TestSourceReaders::placedAsSrecCatPlaces()
{
    QFETCH(SourceFormat, format);
    QFETCH(QByteArray, text);
    QFETCH(quint32, lowest);
    QFETCH(QString, reference);
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath("source.txt");
    const QString flat = dir.filePath("reference.bin");
    QVERIFY(WriteFile(source, text));
    const QString option = format == SourceFormat::IntelHex ? "-intel" : "-motorola";
    const QStringList arguments = reference == "objcopy"
        ? QStringList{"-I", "ihex", "-O", "binary", "--gap-fill", "0xA5", source, flat}
        : QStringList{"(", source, option, "-fill", "0xA5", "-over", "(", source, option, ")", ")", "-offset",
                      QStringLiteral("-0x%1").arg(lowest, 8, 16, QLatin1Char('0')), "-o", flat, "-binary"};
    QString error;
    QVERIFY2(RunTool(reference, arguments, nullptr, &error), qPrintable(error));

    QBuffer device(&text);
    QVERIFY(device.open(QIODevice::ReadOnly));
    SourceLayoutOptions options;
    options.fill = 0xA5;
    SourceLayout layout(format, options);
    QVERIFY2(layout.read(&device), qPrintable(layout.faultText()));
    QCOMPARE(layout.firstAddress(), lowest);
    QCOMPARE(Placed(layout), ReadFile(flat));
}

void TestSourceReaders::fieldValues_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint64>("first");
    QTest::addColumn<quint64>("second");

    QTest::newRow("fill FF") << "fill" << "FF" << true << quint64(0xFF) << quint64(0);
    QTest::newRow("fill 0x0 with spaces") << "fill" << " 0x0 " << true << quint64(0) << quint64(0);
    QTest::newRow("fill a5") << "fill" << "a5" << true << quint64(0xA5) << quint64(0);
    QTest::newRow("fill 100") << "fill" << "100" << false << quint64(0) << quint64(0);
    QTest::newRow("fill empty") << "fill" << "" << false << quint64(0) << quint64(0);
    QTest::newRow("fill -1") << "fill" << "-1" << false << quint64(0) << quint64(0);
    QTest::newRow("size in bytes") << "size" << "1000" << true << quint64(1000) << quint64(0);
    QTest::newRow("size 64M") << "size" << "64M" << true << quint64(64 * 1024 * 1024) << quint64(0);
    QTest::newRow("size 512k") << "size" << "512k" << true << quint64(512 * 1024) << quint64(0);
    QTest::newRow("size 0x4000000") << "size" << "0x4000000" << true << quint64(0x4000000) << quint64(0);
    QTest::newRow("size 0") << "size" << "0" << false << quint64(0) << quint64(0);
    QTest::newRow("size 4096M, over 4 GiB") << "size" << "4096M" << false << quint64(0) << quint64(0);
    QTest::newRow("size 12G") << "size" << "12G" << false << quint64(0) << quint64(0);
    QTest::newRow("size 1.5M") << "size" << "1.5M" << false << quint64(0) << quint64(0);
    QTest::newRow("range") << "range" << "08000000-08010000" << true << quint64(0x08000000) << quint64(0x08010000);
    QTest::newRow("range to 4 GiB") << "range" << "0xF0000000-0x100000000" << true << quint64(0xF0000000)
                                    << quint64(0x100000000);
    QTest::newRow("range past 4 GiB") << "range" << "0-100000001" << false << quint64(0) << quint64(0);
    QTest::newRow("range END not above START") << "range" << "100-100" << false << quint64(0) << quint64(0);
    QTest::newRow("range without END") << "range" << "100-" << false << quint64(0) << quint64(0);
    QTest::newRow("range with two dashes") << "range" << "1-2-3" << false << quint64(0) << quint64(0);
}

void TestSourceReaders::fieldValues()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(quint64, first);
    QFETCH(quint64, second);

    if (kind == "fill") {
        const std::optional<quint8> fill = ParseFillByte(text);
        QCOMPARE(fill.has_value(), valid);
        if (valid)
            QCOMPARE(quint64(*fill), first);
    } else if (kind == "size") {
        const std::optional<qint64> size = ParseSizeLimit(text);
        QCOMPARE(size.has_value(), valid);
        if (valid)
            QCOMPARE(quint64(*size), first);
    } else {
        const std::optional<AddressRange> range = ParseAddressRange(text);
        QCOMPARE(range.has_value(), valid);
        if (valid) {
            QCOMPARE(range->start, first);
            QCOMPARE(range->end, second);
        }
    }
}

void TestSourceReaders::formatChoice_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<SourceFormat>("forced");
    QTest::addColumn<SourceFormat>("format");
    QTest::addColumn<bool>("byName");

    const QByteArray hex = IntelHexLine(0, 0x20, "abc") + IntelHexLine(1, 0, {});
    const QByteArray srec = SRecordLine(1, 0x20, "abc") + SRecordLine(9, 0, {});
    const QByteArray elf("\x7F" "ELF\x01\x01\x01", 7);
    const SourceFormat automatic = SourceFormat::Auto;
    QTest::newRow(".bin holding HEX is raw") << "a.bin" << hex << automatic << SourceFormat::Binary << true;
    QTest::newRow(".HEX by name, even holding an ELF") << "a.HEX" << elf << automatic << SourceFormat::IntelHex << true;
    QTest::newRow(".mot") << "a.mot" << srec << automatic << SourceFormat::SRecord << true;
    QTest::newRow(".axf") << "a.axf" << elf << automatic << SourceFormat::Elf << true;
    QTest::newRow("other name, ELF magic") << "firmware" << elf << automatic << SourceFormat::Elf << false;
    QTest::newRow("other name, HEX line") << "a.txt" << hex << automatic << SourceFormat::IntelHex << false;
    QTest::newRow("other name, S-record line") << "a.dat" << srec << automatic << SourceFormat::SRecord << false;
    QTest::newRow("other name, a HEX line with a bad checksum is raw")
        << "a.dat" << QByteArray(hex).replace(hex.indexOf('\n') - 1, 1, "0") << automatic << SourceFormat::Binary
        << false;
    QTest::newRow("other name, binary") << "a.img" << QByteArray("\x00\x01\x02", 3) << automatic
                                        << SourceFormat::Binary << false;
    QTest::newRow("forced raw for a .hex") << "a.hex" << hex << SourceFormat::Binary << SourceFormat::Binary << false;
    QTest::newRow("forced S-records for a .bin") << "a.bin" << srec << SourceFormat::SRecord << SourceFormat::SRecord
                                                 << false;
}

void TestSourceReaders::formatChoice()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(SourceFormat, forced);
    QFETCH(SourceFormat, format);
    QFETCH(bool, byName);

    QBuffer device(&content);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const SourceFormatChoice choice = ChooseSourceFormat(name, &device, forced);
    QCOMPARE(choice.format, format);
    QCOMPARE(choice.byName, byName);
    QCOMPARE(device.pos(), qint64(0)); // rewound for the reading that follows
}

// Ranges added in any order, overlapping or touching, come out joined.
void TestSourceReaders::rangesJoinAndGaps()
{
    AddressRanges ranges;
    for (const AddressRange &range : {AddressRange{0x300, 0x310}, AddressRange{0x100, 0x110},
                                      AddressRange{0x110, 0x120}, AddressRange{0x305, 0x400},
                                      AddressRange{0x200, 0x200}, AddressRange{0x0F0, 0x101}})
        ranges.add(range);
    QCOMPARE(ranges.ranges(), (std::vector<AddressRange>{{0x0F0, 0x120}, {0x300, 0x400}}));
    QCOMPARE(ranges.gaps(), (std::vector<AddressRange>{{0x120, 0x300}}));
    QCOMPARE(ranges.span(), (AddressRange{0x0F0, 0x400}));
    ranges.add({0x050, 0x500});
    QCOMPARE(ranges.ranges(), (std::vector<AddressRange>{{0x050, 0x500}}));
}

QTEST_GUILESS_MAIN(TestSourceReaders)
#include "tst_sourcereaders.moc"
