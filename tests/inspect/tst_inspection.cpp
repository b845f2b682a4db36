// The image, record-file and source readers on devices, where chunk and page
// edges, record order and read failures can be placed exactly.

#include "intelhexinspection.h"
#include "recordlinereader.h"
#include "intelhexwriter.h"
#include "sourcecomparison.h"
#include "srecordinspection.h"
#include "srecordwriter.h"
#include "imageinspection.h"
#include "imagestamp.h"
#include "failingdevice.h"
#include "referencetools.h"
#include "testpayload.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <random>

namespace {

constexpr quint32 PayloadSeed = 12;
constexpr quint32 StartAddress = 0x08000000;
// The placed image reads the image in pages of this size.
constexpr int PageSize = 64 * 1024;

enum class Format { SRecord, IntelHex };

QByteArray StampedImage(const QByteArray &payload)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    buffer.write(QByteArray(ImageLayout::HeaderSize, '\0') + payload);
    if (!StampImage(&buffer, 1, 1, QDateTime(QDate(2026, 12, 9), QTime(12, 0))))
        return QByteArray();
    return buffer.data();
}

// The record file this tool's writer gives for the image.
QByteArray WrittenText(Format format, const QByteArray &image, quint32 address = StartAddress)
{
    QBuffer input;
    input.setData(image);
    input.open(QIODevice::ReadOnly);
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    const RecordFileResult written = format == Format::SRecord ? WriteSRecords(&input, address, &output)
                                                               : WriteIntelHex(&input, address, &output);
    return written == RecordFileResult::Written ? output.data() : QByteArray();
}

ImageInspection Inspect(const QByteArray &image)
{
    QBuffer device;
    device.setData(image);
    device.open(QIODevice::ReadOnly);
    return InspectImage(&device);
}

RecordFileInspection InspectText(Format format, const QByteArray &text, const QByteArray &image,
                                 std::optional<quint32> address = std::nullopt, bool strict = false)
{
    QBuffer records;
    records.setData(text);
    records.open(QIODevice::ReadOnly);
    QBuffer imageDevice;
    imageDevice.setData(image);
    imageDevice.open(QIODevice::ReadOnly);
    return format == Format::SRecord ? InspectSRecords(&records, &imageDevice, address, strict)
                                     : InspectIntelHex(&records, &imageDevice, address, strict);
}

// Bytes at an address: what one data record carries.
struct Chunk
{
    quint32 address = 0;
    QByteArray data;
};

// Cuts data into chunks of 1 to maxSize bytes from address on.
QVector<Chunk> Chunks(const QByteArray &data, quint32 address, int maxSize, quint32 seed)
{
    std::mt19937 generator(seed);
    QVector<Chunk> chunks;
    for (int offset = 0; offset < data.size();) {
        const int size = qMin(int(generator() % quint32(maxSize)) + 1, data.size() - offset);
        chunks.append({address + quint32(offset), data.mid(offset, size)});
        offset += size;
    }
    return chunks;
}

QByteArray SRecordLine(int type, quint32 address, const QByteArray &data)
{
    char line[SRecordLayout::MaxLineLength + 2];
    const char *end = FormatSRecord(line, type, address, reinterpret_cast<const quint8 *>(data.constData()), data.size());
    return QByteArray(line, int(end - line));
}

QByteArray IntelHexLine(quint8 type, quint16 offset, const QByteArray &data)
{
    char line[IntelHexLayout::MaxLineLength + 2];
    const char *end = FormatIntelHexRecord(line, type, offset, reinterpret_cast<const quint8 *>(data.constData()),
                                           data.size());
    return QByteArray(line, int(end - line));
}

QByteArray BigEndian16(quint32 value)
{
    return QByteArray::fromHex(QByteArray::number(value & 0xFFFF, 16).rightJustified(4, '0'));
}

// An S-record file of the chunks, each in the shortest record type that
// holds its address, then an S5 count and an S9 end.
QByteArray SRecordFile(const QVector<Chunk> &chunks)
{
    QByteArray text = SRecordLine(0, 0, "another tool");
    for (const Chunk &chunk : chunks) {
        const int type = chunk.address <= 0xFFFF ? 1 : chunk.address <= 0xFFFFFF ? 2 : 3;
        text += SRecordLine(type, chunk.address, chunk.data);
    }
    return text + SRecordLine(5, quint32(chunks.size()), QByteArray()) + SRecordLine(9, 0, QByteArray());
}

// An Intel HEX file of the chunks: a type 04 record before each chunk whose
// upper address differs from the one before, or, segmented, a type 02 record
// before every chunk (the chunks must lie below 1 MiB).
QByteArray IntelHexFile(const QVector<Chunk> &chunks, bool segmented)
{
    QByteArray text;
    std::optional<quint32> upper;
    for (const Chunk &chunk : chunks) {
        if (segmented) {
            text += IntelHexLine(IntelHexLayout::ExtendedSegmentAddress, 0, BigEndian16(chunk.address >> 4));
            text += IntelHexLine(IntelHexLayout::Data, quint16(chunk.address & 0xF), chunk.data);
            continue;
        }
        if (upper != chunk.address >> 16) {
            upper = chunk.address >> 16;
            text += IntelHexLine(IntelHexLayout::ExtendedLinearAddress, 0, BigEndian16(*upper));
        }
        text += IntelHexLine(IntelHexLayout::Data, quint16(chunk.address), chunk.data);
    }
    return text + IntelHexLine(IntelHexLayout::EndOfFile, 0, QByteArray());
}

// An address as reports show it: eight upper-case hex digits.
QString Hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

QStringList FailedChecks(const QVector<InspectionCheck> &checks)
{
    QStringList failed;
    for (const InspectionCheck &check : checks) {
        if (!check.passed)
            failed << check.name;
    }
    return failed;
}

QString Detail(const QVector<InspectionCheck> &checks, const QString &name)
{
    for (const InspectionCheck &check : checks) {
        if (check.name == name)
            return check.detail;
    }
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Format)
Q_DECLARE_METATYPE(Chunk)

class TestInspection : public QObject
{
    Q_OBJECT

private slots:
    void lowerCaseAtEveryColumn();
    void crcAcrossChunks_data();
    void crcAcrossChunks();
    void damageAtChunkEdges_data();
    void damageAtChunkEdges();
    void ownFilesPassStrictly_data();
    void ownFilesPassStrictly();
    void anyRecordOrder_data();
    void anyRecordOrder();
    void dataFaults_data();
    void dataFaults();
    void segmentedOffsetsWrap();
    void sourceComparison_data();
    void sourceComparison();
    void readFailures();
};

void TestInspection::crcAcrossChunks_data()
{
    QTest::addColumn<int>("payloadSize");
    // The payload is read in chunks behind the header and the trailer is
    // held back from each: sizes that end a file just before, on and after
    // a chunk's end.
    const int chunk = int(InspectionChunkSize);
    for (int size : {0, 1, 3, 4, 5, chunk - 5, chunk - 4, chunk - 3, chunk, chunk + 1, 2 * chunk - 4, 600000})
        QTest::addRow("%d bytes", size) << size;
}

void TestInspection::crcAcrossChunks()
{
    QFETCH(int, payloadSize);
    const QByteArray payload = RandomPayload(payloadSize, PayloadSeed);
    const ImageInspection inspection = Inspect(StampedImage(payload));
    QVERIFY(inspection.readError.isEmpty());
    QVERIFY(inspection.passed());
    QCOMPARE(inspection.fileSize, qint64(payloadSize) + ImageLayout::FrameSize);

    QTemporaryDir dir;
    const QString payloadPath = dir.filePath(QStringLiteral("payload.bin"));
    QFile file(payloadPath);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(payload) == payload.size());
    file.close();
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    quint16 reference = 0;
    QString error;
    if (!PythonCrcHqx(payloadPath, &reference, &error))
        QSKIP(qPrintable(error));
    QCOMPARE(inspection.computedCrc, reference);
}

void TestInspection::damageAtChunkEdges_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("failedCheck");

    const int payloadSize = 600000;
    const int imageSize = payloadSize + ImageLayout::FrameSize;
    const int firstChunkEnd = ImageLayout::HeaderSize + int(InspectionChunkSize);
    const QString crc = QStringLiteral("crc");
    for (int offset : {ImageLayout::HeaderSize, firstChunkEnd - 5, firstChunkEnd - 4, firstChunkEnd - 1,
                       firstChunkEnd, firstChunkEnd + 3, imageSize - 5})
        QTest::addRow("payload byte %d", offset) << offset << crc;
    QTest::newRow("CRC high byte") << imageSize - 4 << crc;
    QTest::newRow("CRC low byte") << imageSize - 3 << crc;
    QTest::newRow("last byte") << imageSize - 1 << QStringLiteral("trailer-padding");
}

void TestInspection::damageAtChunkEdges()
{
    QFETCH(int, offset);
    QFETCH(QString, failedCheck);

    static const QByteArray image = StampedImage(RandomPayload(600000, PayloadSeed));
    QByteArray damaged = image;
    damaged[offset] = char(damaged.at(offset) ^ 0x80);
    const ImageInspection inspection = Inspect(damaged);
    QVERIFY(inspection.readError.isEmpty());
    for (const InspectionCheck &check : inspection.checks)
        QVERIFY2(check.passed == (check.name != failedCheck), qPrintable(check.name + QLatin1String(": ") + check.detail));
}

// What this tool writes has its own layout, so it passes even strictly:
// sizes around a page, addresses at and across 64 KiB boundaries and 2^31.
void TestInspection::ownFilesPassStrictly_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<quint32>("address");

    for (const Format format : {Format::SRecord, Format::IntelHex}) {
        const char *name = format == Format::SRecord ? "S-records" : "Intel HEX";
        QTest::addRow("%s, empty payload", name) << format << 0 << StartAddress;
        QTest::addRow("%s, 3 pages and 5 bytes", name) << format << 3 * PageSize + 5 << StartAddress;
        QTest::addRow("%s, at 0", name) << format << 1000 << 0u;
        QTest::addRow("%s, across 0800FFF8", name) << format << 5000 << 0x0800FFF8u;
        QTest::addRow("%s, across 7FFFFFFF", name) << format << 70000 << 0x7FFFF00Au;
        QTest::addRow("%s, ending at FFFFFFFF", name) << format << 4060 << 0xFFFFF000u;
    }
}

void TestInspection::ownFilesPassStrictly()
{
    QFETCH(Format, format);
    QFETCH(int, payloadSize);
    QFETCH(quint32, address);

    const QByteArray image = StampedImage(RandomPayload(payloadSize, PayloadSeed));
    const QByteArray text = WrittenText(format, image, address);
    QVERIFY(!text.isEmpty());
    for (const std::optional<quint32> given : {std::optional<quint32>(address), std::optional<quint32>()}) {
        const RecordFileInspection inspection = InspectText(format, text, image, given, true);
        QVERIFY2(inspection.passed(), qPrintable(FailedChecks(inspection.checks).join(QLatin1Char(' ')) + QLatin1Char(' ')
                                                 + inspection.checks.constFirst().detail));
        QCOMPARE(inspection.imageAddress, std::optional<quint32>(address));
        QCOMPARE(inspection.checks.size(), 4);
        QVERIFY(std::all_of(inspection.checks.cbegin(), inspection.checks.cend(),
                            [](const InspectionCheck &check) { return check.counts; }));
    }
}

// The data is collected by address: records of any length, in any order,
// give the image; without an address the image lies at the lowest one.
void TestInspection::anyRecordOrder_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<QString>("order");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<bool>("segmented");

    for (const char *order : {"ascending", "descending", "shuffled", "interleaved"}) {
        // Across 64 KiB and 16 MiB, so S1, S2 and S3 records all occur.
        QTest::addRow("S-records, %s", order) << Format::SRecord << QString::fromLatin1(order) << 0x00FE0000u << false;
        QTest::addRow("Intel HEX, type 04, %s", order) << Format::IntelHex << QString::fromLatin1(order)
                                                        << 0x0800F000u << false;
        QTest::addRow("Intel HEX, type 02, %s", order) << Format::IntelHex << QString::fromLatin1(order) << 0x0000F000u
                                                        << true;
    }
}

void TestInspection::anyRecordOrder()
{
    QFETCH(Format, format);
    QFETCH(QString, order);
    QFETCH(quint32, address);
    QFETCH(bool, segmented);

    static const QByteArray image = StampedImage(RandomPayload(3 * PageSize + 1000, PayloadSeed));
    // The longest records: S3 250 data bytes, Intel HEX 255.
    QVector<Chunk> chunks = Chunks(image, address, format == Format::SRecord ? 250 : 255, 7);
    if (order == QLatin1String("descending")) {
        std::reverse(chunks.begin(), chunks.end());
    } else if (order == QLatin1String("shuffled")) {
        std::shuffle(chunks.begin(), chunks.end(), std::mt19937(3));
    } else if (order == QLatin1String("interleaved")) {
        QVector<Chunk> interleaved;
        for (int parity : {1, 0}) {
            for (int i = parity; i < chunks.size(); i += 2)
                interleaved.append(chunks.at(i));
        }
        chunks = interleaved;
    }
    const QByteArray text = format == Format::SRecord ? SRecordFile(chunks) : IntelHexFile(chunks, segmented);

    for (const std::optional<quint32> given : {std::optional<quint32>(address), std::optional<quint32>()}) {
        const RecordFileInspection inspection = InspectText(format, text, image, given);
        QVERIFY2(inspection.passed(), qPrintable(FailedChecks(inspection.checks).join(QLatin1Char(' '))));
        QCOMPARE(inspection.imageAddress, std::optional<quint32>(address));
        QCOMPARE(inspection.lowestAddress, std::optional<quint32>(address));
        QCOMPARE(inspection.highestAddress, std::optional<quint32>(address + quint32(image.size() - 1)));
        QCOMPARE(inspection.dataBytes, qint64(image.size()));
        // Only an ascending file of 16-byte records is this tool's layout.
        QVERIFY(!inspection.checks.constFirst().passed);
        QVERIFY(!inspection.checks.constFirst().counts);
    }
}

// Data that does not give the image: the verdict names the first fault of
// each kind. Pages of the image are dropped once fully given and read again
// when a record returns to them, so the rows return to page 0 at the end.
void TestInspection::dataFaults_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QVector<Chunk>>("chunks");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QString>("detail"); // in the data check's; empty: it holds; "=...": all of it

    const QByteArray image = StampedImage(RandomPayload(3 * PageSize - 36 + 5, PayloadSeed));
    const QVector<Chunk> chunks = Chunks(image, StartAddress, 16, 1);
    const int last = chunks.size() - 1;
    auto at = [](int offset) { return StartAddress + quint32(offset); };
    auto flipped = [&image](int offset, int size, int flipAt) {
        QByteArray data = image.mid(offset, size);
        data[flipAt] = char(data.at(flipAt) ^ 0x01);
        return data;
    };
    auto without = [&chunks](QVector<int> indexes) {
        QVector<Chunk> copy;
        for (int i = 0; i < chunks.size(); ++i) {
            if (!indexes.contains(i))
                copy.append(chunks.at(i));
        }
        return copy;
    };
    const int pageEdgeChunk = int(std::find_if(chunks.cbegin(), chunks.cend(),
                                               [](const Chunk &c) { return c.address >= StartAddress + PageSize; })
                                  - chunks.cbegin());
    const quint32 pageEdge = chunks.at(pageEdgeChunk).address;
    const int pageEdgeSize = chunks.at(pageEdgeChunk).data.size();

    QTest::newRow("all data") << image << chunks << StartAddress << QString();
    QTest::newRow("page 0 again, alike") << image << chunks + QVector<Chunk>{{at(10), image.mid(10, 200)}}
                                         << StartAddress << QString();
    QTest::newRow("page 0 again, one byte other")
        << image << chunks + QVector<Chunk>{{at(10), flipped(10, 200, 150)}} << StartAddress
        << QStringLiteral("overlap with different bytes: line %1: byte at address 080000A0 (image offset 160)")
               .arg(chunks.size() + 2);
    // Records after the first do not return to its bytes but where the row says.
    const QVector<Chunk> rest = Chunks(image.mid(100), at(100), 16, 1);
    const QString imageByte = QString::number(quint8(image.at(70)), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    const QString otherByte = QString::number(quint8(image.at(70)) ^ 1, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    QTest::newRow("a byte other, then again alike")
        << image << QVector<Chunk>{{at(0), flipped(0, 100, 70)}} + rest + QVector<Chunk>{{at(70), flipped(70, 1, 0)}}
        << StartAddress
        << QStringLiteral("=line 2: byte at address 08000046 (image offset 70) is %1, the image holds %2")
               .arg(otherByte, imageByte);
    QTest::newRow("a byte other, then again as the image")
        << image << QVector<Chunk>{{at(0), flipped(0, 100, 70)}} + rest + QVector<Chunk>{{at(0), image.left(100)}}
        << StartAddress
        << QStringLiteral("; overlap with different bytes: line %1: byte at address 08000046 (image offset 70) is %2, "
                          "an earlier record gave %3 (1 bytes)")
               .arg(rest.size() + 3)
               .arg(imageByte, otherByte);
    QTest::newRow("gap at a page edge")
        << image << without({pageEdgeChunk}) << StartAddress
        << QStringLiteral("gap: no data for image offsets %1-%2").arg(pageEdge - StartAddress).arg(pageEdge - StartAddress + pageEdgeSize - 1);
    QTest::newRow("two gaps") << image << without({3, last}) << StartAddress
                              << QStringLiteral("more bytes in 1 more gaps");
    QTest::newRow("last byte missing") << image << chunks.mid(0, last) + QVector<Chunk>{{chunks.at(last).address, chunks.at(last).data.chopped(1)}}
                                       << StartAddress
                                       << QStringLiteral("gap: no data for image offsets %1-%1 (addresses %2-%2, 1 bytes)")
                                              .arg(image.size() - 1)
                                              .arg(Hex8(at(image.size() - 1)));
    QTest::newRow("data below the address")
        << image << chunks << StartAddress + 16 << QStringLiteral("16 bytes outside the image's addresses 08000010-");
    QTest::newRow("data behind the image")
        << image << chunks + QVector<Chunk>{{at(image.size()), QByteArray(7, 'x')}} << StartAddress
        << QStringLiteral("7 bytes outside the image's addresses 08000000-%1, the first on line %2 at address %3")
               .arg(Hex8(at(image.size() - 1)))
               .arg(chunks.size() + 2)
               .arg(Hex8(at(image.size())));
    const QByteArray small = image.left(32);
    QTest::newRow("wraps past FFFFFFFF") << small << QVector<Chunk>{{0xFFFFFFF0u, small}} << 0xFFFFFFF0u
                                         << QStringLiteral("16 bytes outside the image's addresses FFFFFFF0-10000000F, "
                                                           "the first on line 2 at address 00000000");
    QTest::newRow("no data") << image << QVector<Chunk>() << StartAddress << QStringLiteral("the file holds no data");
}

void TestInspection::dataFaults()
{
    QFETCH(QByteArray, image);
    QFETCH(QVector<Chunk>, chunks);
    QFETCH(quint32, address);
    QFETCH(QString, detail);

    const RecordFileInspection inspection = InspectText(Format::SRecord, SRecordFile(chunks), image, address);
    QVERIFY(inspection.readError.isEmpty());
    const QString data = Detail(inspection.checks, SRecordCheckName::Data());
    QStringList failed{SRecordCheckName::Lines()};
    if (!detail.isEmpty())
        failed << SRecordCheckName::Data();
    QCOMPARE(FailedChecks(inspection.checks), failed);
    if (detail.startsWith(QLatin1Char('=')))
        QCOMPARE(data, detail.mid(1));
    else
        QVERIFY2(data.contains(detail), qPrintable(data + QLatin1String(" <> ") + detail));
}

// After a type 02 record, a data record's offsets wrap within its segment.
void TestInspection::segmentedOffsetsWrap()
{
    const QByteArray image = RandomPayload(32, PayloadSeed);
    QByteArray text;
    text += IntelHexLine(IntelHexLayout::ExtendedSegmentAddress, 0, QByteArray::fromHex("1000")); // base 10000
    text += IntelHexLine(IntelHexLayout::Data, 0x0000, image.right(16));
    text += IntelHexLine(IntelHexLayout::Data, 0xFFF0, image.left(16) + image.right(16));
    text += IntelHexLine(IntelHexLayout::EndOfFile, 0, QByteArray());
    // The second record's last 16 bytes land on the first record's, alike.
    const RecordFileInspection inspection = InspectText(Format::IntelHex, text, image, 0x0001FFF0u);
    const QStringList failed{IntelHexCheckName::Lines(), IntelHexCheckName::Data()};
    QCOMPARE(FailedChecks(inspection.checks), failed);
    QCOMPARE(Detail(inspection.checks, IntelHexCheckName::Data()),
             QStringLiteral("32 bytes outside the image's addresses 0001FFF0-0002000F, the first on line 2 at address "
                            "00010000; gap: no data for image offsets 16-31 (addresses 00020000-0002000F, 16 bytes)"));
    QCOMPARE(inspection.lowestAddress, std::optional<quint32>(0x00010000u));

    const RecordFileInspection atSegment = InspectText(Format::IntelHex, text, image.right(16) + QByteArray(0xFFE0, '\0') + image.left(16));
    QCOMPARE(FailedChecks(atSegment.checks), failed);
    QVERIFY(Detail(atSegment.checks, IntelHexCheckName::Data()).startsWith(QStringLiteral("gap: no data for image offsets 16-65519")));
}

void TestInspection::sourceComparison_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("detail"); // empty: the check holds

    const QByteArray payload = RandomPayload(int(InspectionChunkSize) + 100, PayloadSeed);
    const QByteArray image = StampedImage(payload);
    auto flipped = [](QByteArray bytes, int offset) {
        bytes[offset] = char(bytes.at(offset) ^ 0x10);
        return bytes;
    };
    QTest::newRow("equal") << image << payload << QString();
    QTest::newRow("empty payload, empty source") << StampedImage(QByteArray()) << QByteArray() << QString();
    QTest::newRow("first byte") << image << flipped(payload, 0) << QStringLiteral("payload byte 0 (image offset 32)");
    QTest::newRow("first byte of the second chunk")
        << image << flipped(payload, int(InspectionChunkSize))
        << QStringLiteral("payload byte %1 (image offset %2)").arg(InspectionChunkSize).arg(InspectionChunkSize + 32);
    QTest::newRow("last byte") << image << flipped(payload, payload.size() - 1)
                               << QStringLiteral("payload byte %1 ").arg(payload.size() - 1);
    QTest::newRow("source one byte longer") << image << payload + 'x'
                                            << QStringLiteral("the payload is %1 bytes, the source %2; the first %1 are equal")
                                                   .arg(payload.size())
                                                   .arg(payload.size() + 1);
    QTest::newRow("source one byte shorter") << image << payload.chopped(1)
                                             << QStringLiteral("the payload is %1 bytes, the source %2")
                                                    .arg(payload.size())
                                                    .arg(payload.size() - 1);
    QTest::newRow("trailer taken for payload") << image << image.mid(32)
                                               << QStringLiteral("the first %1 are equal").arg(payload.size());
    QTest::newRow("image without a payload") << image.left(35) << payload
                                             << QStringLiteral("the image is 35 bytes, too short");
}

void TestInspection::sourceComparison()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, source);
    QFETCH(QString, detail);

    QBuffer imageDevice;
    imageDevice.setData(image);
    QBuffer sourceDevice;
    sourceDevice.setData(source);
    QVERIFY(imageDevice.open(QIODevice::ReadOnly) && sourceDevice.open(QIODevice::ReadOnly));
    const SourceComparison comparison = CompareWithSource(&imageDevice, &sourceDevice);
    QVERIFY(comparison.readError.isEmpty());
    QCOMPARE(comparison.sourceSize, qint64(source.size()));
    QCOMPARE(comparison.checks.size(), 1);
    QCOMPARE(comparison.checks.constFirst().name, SourceCheckName::Source());
    QCOMPARE(comparison.passed(), detail.isEmpty());
    QVERIFY2(comparison.checks.constFirst().detail.contains(detail), qPrintable(comparison.checks.constFirst().detail));
}

// A device that fails part-way is reported as unreadable, never as a verdict.
void TestInspection::readFailures()
{
    const QByteArray image = StampedImage(RandomPayload(300000, PayloadSeed));

    for (qint64 failAt : {qint64(0), qint64(10), qint64(ImageLayout::HeaderSize), InspectionChunkSize + 100,
                          qint64(image.size() - 2)}) {
        FailingDevice device(image);
        device.setReadFailureOffset(failAt);
        QVERIFY(device.open(QIODevice::ReadOnly));
        const ImageInspection inspection = InspectImage(&device);
        QVERIFY2(!inspection.readError.isEmpty(), qPrintable(QString::number(failAt)));
        QVERIFY(!inspection.passed());
    }

    for (const Format format : {Format::SRecord, Format::IntelHex}) {
        const QByteArray text = WrittenText(format, image);
        QVERIFY(!text.isEmpty());
        for (qint64 failAt : {qint64(0), qint64(5000), qint64(text.size() - 3)}) {
            FailingDevice records(text);
            records.setReadFailureOffset(failAt);
            QVERIFY(records.open(QIODevice::ReadOnly));
            QBuffer imageDevice;
            imageDevice.setData(image);
            imageDevice.open(QIODevice::ReadOnly);
            const RecordFileInspection inspection = format == Format::SRecord ? InspectSRecords(&records, &imageDevice)
                                                                              : InspectIntelHex(&records, &imageDevice);
            QVERIFY2(!inspection.readError.isEmpty(), qPrintable(QString::number(failAt)));
            QVERIFY(!inspection.passed());
        }

        // The image fails in its second page, read when the records reach it.
        FailingDevice imageDevice(image);
        imageDevice.setReadFailureOffset(PageSize + 5000);
        QVERIFY(imageDevice.open(QIODevice::ReadOnly));
        QBuffer records;
        records.setData(text);
        records.open(QIODevice::ReadOnly);
        auto inspect = [&] {
            return format == Format::SRecord ? InspectSRecords(&records, &imageDevice, StartAddress)
                                             : InspectIntelHex(&records, &imageDevice, StartAddress);
        };
        const RecordFileInspection inspection = inspect();
        QVERIFY(!inspection.readError.isEmpty());
        QVERIFY(!inspection.passed());

        // The same devices without failures pass, so the failures above are the cause.
        imageDevice.setReadFailureOffset(FailingDevice::Never);
        QVERIFY(inspect().passed());
    }

    FailingDevice source(image.mid(32, 300000));
    source.setReadFailureOffset(200000);
    QBuffer imageDevice;
    imageDevice.setData(image);
    QVERIFY(source.open(QIODevice::ReadOnly) && imageDevice.open(QIODevice::ReadOnly));
    QVERIFY(!CompareWithSource(&imageDevice, &source).readError.isEmpty());
    source.setReadFailureOffset(FailingDevice::Never);
    QVERIFY(CompareWithSource(&imageDevice, &source).passed());
}

QTEST_GUILESS_MAIN(TestInspection)
// The layout check scans lines several bytes at a time: a lower-case hex
// letter is named at whatever column it stands, and the characters beside
// a-f, or a-f with the high bit set, are not taken for one.
void TestInspection::lowerCaseAtEveryColumn()
{
    const QByteArray written("S31508000020000102030405060708090A0B0C0D0E0F4A");
    for (int column = 1; column <= written.size(); ++column) {
        for (char letter = 'a'; letter <= 'f'; ++letter) {
            QByteArray text = written;
            text[column - 1] = letter;
            const RecordLine line{1, text.constData(), int(text.size()), LineEnd::Lf};
            QCOMPARE(WrittenFormDifference(line),
                     QStringLiteral("lower-case hex digit '%1' at column %2 (records are upper case)")
                         .arg(QLatin1Char(letter))
                         .arg(column));
        }
        for (const char other : {'`', 'g', '\xE1', '\xE6', 'A', 'F'}) {
            QByteArray text = written;
            text[column - 1] = other;
            const RecordLine line{1, text.constData(), int(text.size()), LineEnd::Lf};
            QCOMPARE(WrittenFormDifference(line), QString());
        }
    }
}

#include "tst_inspection.moc"
