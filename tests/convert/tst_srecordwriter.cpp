#include "srecordwriter.h"
#include "imagestamp.h"
#include "failingdevice.h"
#include "referencetools.h"
#include "testfiles.h"
#include "testpayload.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr quint32 PayloadSeed = 1209;
constexpr int MiB = 1024 * 1024;
const QByteArray HeaderLine("S01000005570646174654170702E73313960");
const QByteArray EndLine("S705080052910F");

struct S3Record
{
    quint32 address = 0;
    QByteArray data;
};

// Decodes one S3 line on its own terms: count, address and checksum.
bool ParseS3(const QByteArray &line, S3Record *record, QString *error)
{
    const auto fail = [&](const char *why) {
        *error = QString::fromLatin1(why) + QStringLiteral(": ") + QString::fromLatin1(line);
        return false;
    };
    if (!line.startsWith("S3") || line.size() % 2 != 0)
        return fail("not an S3 line");
    for (char c : line.mid(2)) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return fail("not upper-case hex");
    }
    const QByteArray bytes = QByteArray::fromHex(line.mid(2));
    const int count = quint8(bytes[0]);
    if (count != bytes.size() - 1 || count < 6 || count > 5 + SRecordLayout::DataBytesPerRecord)
        return fail("wrong byte count");
    quint8 sum = 0;
    for (char byte : bytes)
        sum = quint8(sum + quint8(byte));
    if (sum != 0xFF)
        return fail("wrong checksum");
    record->address = (quint32(quint8(bytes[1])) << 24) | (quint32(quint8(bytes[2])) << 16)
        | (quint32(quint8(bytes[3])) << 8) | quint32(quint8(bytes[4]));
    record->data = bytes.mid(5, count - 5);
    return true;
}

QByteArray SRecordText(const QByteArray &image, quint32 startAddress)
{
    QByteArray imageBytes = image;
    QBuffer imageDevice(&imageBytes);
    QByteArray text;
    QBuffer output(&text);
    if (!imageDevice.open(QIODevice::ReadOnly) || !output.open(QIODevice::WriteOnly))
        return QByteArray();
    imageDevice.seek(imageDevice.size()); // WriteSRecords starts from offset 0 itself
    if (WriteSRecords(&imageDevice, startAddress, &output) != RecordFileResult::Written)
        return QByteArray();
    return text;
}

QByteArray S3Lines(const QByteArray &text)
{
    QByteArray lines;
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith("S3"))
            lines += line + '\n';
    }
    return lines;
}

} // namespace

class TestSRecordWriter : public QObject
{
    Q_OBJECT

private slots:
    void appendS3Record_data();
    void appendS3Record();
    void lineStructure_data();
    void lineStructure();
    void againstReferences_data();
    void againstReferences();
    void imageReadFails_data();
    void imageReadFails();
    void outputWriteFails_data();
    void outputWriteFails();
};

void TestSRecordWriter::appendS3Record_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("00..0F at 08000020")
        << QByteArray::fromHex("000102030405060708090A0B0C0D0E0F") << 0x08000020u
        << QByteArray("S31508000020000102030405060708090A0B0C0D0E0F4A\n");
    QTest::newRow("12 34 00 00 at 08000030") << QByteArray::fromHex("12340000") << 0x08000030u
                                             << QByteArray("S309080000301234000078\n");
    QTest::newRow("AB at 0") << QByteArray::fromHex("AB") << 0u << QByteArray("S30600000000AB4E\n");
    QTest::newRow("16 x FF at 7FFFFFF0")
        << QByteArray(16, '\xFF') << 0x7FFFFFF0u
        << QByteArray("S3157FFFFFF0FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF8D\n");
}

void TestSRecordWriter::appendS3Record()
{
    QFETCH(QByteArray, data);
    QFETCH(quint32, address);
    QFETCH(QByteArray, line);

    QByteArray text("before\n");
    AppendS3Record(text, address, reinterpret_cast<const quint8 *>(data.constData()), data.size());
    QCOMPARE(text, QByteArray("before\n") + line);
}

// Whole files: fixed first and last lines, records of up to 16 bytes at
// rising addresses that wrap at 2^32, valid checksums, LF only.
void TestSRecordWriter::lineStructure_data()
{
    QTest::addColumn<int>("imageSize");
    QTest::addColumn<quint32>("startAddress");
    QTest::addColumn<QList<int>>("recordSizes");
    QTest::addColumn<QList<quint32>>("addresses");

    QTest::newRow("36 bytes") << 36 << 0x08000000u << QList<int>{16, 16, 4}
                              << QList<quint32>{0x08000000u, 0x08000010u, 0x08000020u};
    QTest::newRow("37 bytes") << 37 << 0x08000000u << QList<int>{16, 16, 5}
                              << QList<quint32>{0x08000000u, 0x08000010u, 0x08000020u};
    QTest::newRow("48 bytes, start 0") << 48 << 0u << QList<int>{16, 16, 16}
                                       << QList<quint32>{0u, 0x10u, 0x20u};
    QTest::newRow("crossing 80000000") << 36 << 0x7FFFFFF0u << QList<int>{16, 16, 4}
                                       << QList<quint32>{0x7FFFFFF0u, 0x80000000u, 0x80000010u};
    QTest::newRow("wraps at FFFFFFFF") << 40 << 0xFFFFFFF8u << QList<int>{16, 16, 8}
                                       << QList<quint32>{0xFFFFFFF8u, 0x8u, 0x18u};
    QTest::newRow("empty image") << 0 << 0x08000000u << QList<int>{} << QList<quint32>{};
}

void TestSRecordWriter::lineStructure()
{
    QFETCH(int, imageSize);
    QFETCH(quint32, startAddress);
    QFETCH(QList<int>, recordSizes);
    QFETCH(QList<quint32>, addresses);

    const QByteArray image = RandomPayload(imageSize, PayloadSeed);
    const QByteArray text = SRecordText(image, startAddress);
    QVERIFY(text.endsWith('\n'));
    QVERIFY(!text.contains('\r'));

    QList<QByteArray> lines = text.split('\n');
    lines.removeLast(); // after the final LF
    QCOMPARE(lines.size(), recordSizes.size() + 2);
    QCOMPARE(lines.first(), HeaderLine);
    QCOMPARE(lines.last(), EndLine);

    QByteArray data;
    for (int i = 0; i < recordSizes.size(); ++i) {
        S3Record record;
        QString error;
        QVERIFY2(ParseS3(lines[i + 1], &record, &error), qPrintable(error));
        QCOMPARE(record.address, addresses[i]);
        QCOMPARE(record.data.size(), recordSizes[i]);
        data += record.data;
    }
    QVERIFY(data == image);
}

// Stamped images written out as S-records and read back by srec_cat, which
// checks every checksum, must give the image exactly; objcopy must write
// the same data lines for the same bytes.
void TestSRecordWriter::againstReferences_data()
{
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<quint32>("startAddress");

    // 65500 and 100000: images of exactly 64 KiB and of a long last part,
    // around the blocks in which readers commonly take large images.
    for (int size : {0, 1, 15, 16, 17, 65500, 100000, MiB, MiB + 1, 3 * MiB + 7})
        QTest::addRow("%d bytes at 08000000", size) << size << 0x08000000u;
    QTest::newRow("100 bytes at 0") << 100 << 0u;
    QTest::newRow("100 bytes at 80000000") << 100 << 0x80000000u;
    QTest::newRow("100 bytes ending at FFFFFFFF") << 100 << quint32(0x100000000LL - 136);
}

void TestSRecordWriter::againstReferences()
{
    QFETCH(int, payloadSize);
    QFETCH(quint32, startAddress);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString imagePath = dir.filePath(QStringLiteral("image.bin"));
    const QString srecordPath = dir.filePath(QStringLiteral("image.s19"));
    {
        QFile image(imagePath);
        QVERIFY(image.open(QIODevice::ReadWrite | QIODevice::Truncate));
        QVERIFY(WriteFill(&image, 0x00, ImageLayout::HeaderSize));
        QVERIFY(image.write(RandomPayload(payloadSize, PayloadSeed)) == payloadSize);
        QVERIFY(StampImage(&image, 1, 100, QDateTime(QDate(2026, 12, 9), QTime(23, 0))));
        QFile srecords(srecordPath);
        QVERIFY(srecords.open(QIODevice::ReadWrite | QIODevice::Truncate));
        QCOMPARE(WriteSRecords(&image, startAddress, &srecords), RecordFileResult::Written);
        QVERIFY(srecords.flush());
        QCOMPARE(image.pos(), image.size());
    }
    const QByteArray image = ReadFile(imagePath);
    const QByteArray text = ReadFile(srecordPath);
    QCOMPARE(image.size(), payloadSize + ImageLayout::FrameSize);
    QVERIFY(!text.contains('\r'));
    QCOMPARE(text.count('\n'), (image.size() + 15) / 16 + 2);

    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    QString error;
    const QString backPath = dir.filePath(QStringLiteral("back.bin"));
    QVERIFY2(SrecCatToBinary(srecordPath, startAddress, backPath, &error), qPrintable(error));
    QVERIFY2(ReadFile(backPath) == image, "srec_cat read back other bytes");

    const QString objcopyPath = dir.filePath(QStringLiteral("objcopy.s19"));
    QVERIFY2(ObjcopyToSRecords(imagePath, startAddress, objcopyPath, &error), qPrintable(error));
    const QByteArray expectedLines = S3Lines(ReadFile(objcopyPath).replace('\r', QByteArray()));
    const QByteArray lines = S3Lines(text);
    QCOMPARE(lines.size(), expectedLines.size());
    QVERIFY2(lines == expectedLines, "data lines differ from objcopy's");
}

void TestSRecordWriter::imageReadFails_data()
{
    QTest::addColumn<qint64>("readFailureOffset");

    QTest::newRow("first read") << qint64(0);
    QTest::newRow("within the first record") << qint64(5);
    QTest::newRow("after some records") << qint64(1000);
    QTest::newRow("near the end") << qint64(100000 - 1);
}

void TestSRecordWriter::imageReadFails()
{
    QFETCH(qint64, readFailureOffset);

    FailingDevice image(RandomPayload(100000, PayloadSeed));
    image.setReadFailureOffset(readFailureOffset);
    QVERIFY(image.open(QIODevice::ReadOnly));
    QByteArray text;
    QBuffer output(&text);
    QVERIFY(output.open(QIODevice::WriteOnly));
    QCOMPARE(WriteSRecords(&image, 0x08000000u, &output), RecordFileResult::ImageReadFailed);
    // The text is written as it is made; what came before the failure must
    // never look like a finished file.
    QVERIFY2(!text.contains(QByteArray(SRecordLayout::EndLine).trimmed()), "a failed read wrote the end line");
}

void TestSRecordWriter::outputWriteFails_data()
{
    QTest::addColumn<QString>("outputKind");
    QTest::addColumn<int>("imageSize");

    QTest::newRow("read-only buffer") << QStringLiteral("read-only") << 36;
    QTest::newRow("fails midway") << QStringLiteral("fails midway") << 36;
    QTest::newRow("/dev/full, small image") << QStringLiteral("/dev/full") << 36;
    QTest::newRow("/dev/full, large image") << QStringLiteral("/dev/full") << MiB;
}

void TestSRecordWriter::outputWriteFails()
{
    QFETCH(QString, outputKind);
    QFETCH(int, imageSize);

    QByteArray imageBytes = RandomPayload(imageSize, PayloadSeed);
    QBuffer image(&imageBytes);
    QVERIFY(image.open(QIODevice::ReadOnly));

    RecordFileResult result;
    if (outputKind == QStringLiteral("/dev/full")) {
        // Unbuffered: the write itself meets the full device, not a later flush.
        QFile output(outputKind);
        if (!output.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            QSKIP("/dev/full is not available here");
        result = WriteSRecords(&image, 0x08000000u, &output);
    } else {
        FailingDevice output(QByteArray{});
        output.setWriteFailureOffset(outputKind == QStringLiteral("read-only") ? 0 : 100);
        QVERIFY(output.open(outputKind == QStringLiteral("read-only") ? QIODevice::ReadOnly
                                                                      : QIODevice::WriteOnly));
        result = WriteSRecords(&image, 0x08000000u, &output);
    }
    QCOMPARE(result, RecordFileResult::OutputWriteFailed);
}

QTEST_APPLESS_MAIN(TestSRecordWriter)
#include "tst_srecordwriter.moc"
