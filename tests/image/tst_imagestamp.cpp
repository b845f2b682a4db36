#include "imagestamp.h"
#include "qtcompat.h"
#include "failingdevice.h"
#include "referencetools.h"
#include "testpayload.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

namespace {

constexpr quint32 PayloadSeed = 20261209;
constexpr int MiB = 1024 * 1024;

// The worked example's moment: 2018-04-02 12:00:00 on the local clock.
QDateTime ExampleTime()
{
    return QDateTime(QDate(2018, 4, 2), QTime(12, 0));
}

// The device as the conversion hands it over: placeholder, then payload.
QByteArray Unstamped(const QByteArray &payload)
{
    return QByteArray(ImageLayout::HeaderSize, '\0') + payload;
}

quint32 Field32(const QByteArray &image, int offset)
{
    return qFromLittleEndian<quint32>(image.constData() + offset);
}

quint16 Field16(const QByteArray &image, int offset)
{
    return qFromLittleEndian<quint16>(image.constData() + offset);
}

} // namespace

class TestImageStamp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void workedExample_data();
    void workedExample();
    void headerCodec_data() { workedExample_data(); }
    void headerCodec();
    void stampTime_data();
    void stampTime();
    void sizesAgainstReference_data();
    void sizesAgainstReference();
    void failingDevices_data();
    void failingDevices();
    void writeFill_data();
    void writeFill();
};

void TestImageStamp::initTestCase()
{
    // A zone far from UTC, so that a stamp which applied any offset to the
    // wall-clock reading would show it.
    qputenv("TZ", "CST-8");
}

void TestImageStamp::workedExample_data()
{
    QTest::addColumn<int>("littleEndian");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("little-endian") << 1
        << QByteArray::fromHex("27000000" "BB44AA55" "401BC25A" "0000" "6400" "01000000"
                               "00000000000000000000" "0104" "616263" "9DD60000");
    QTest::newRow("big-endian") << 0
        << QByteArray::fromHex("00000027" "55AA44BB" "5AC21B40" "0000" "0064" "00000000"
                               "00000000000000000000" "0400" "616263" "9DD60000");
}

void TestImageStamp::workedExample()
{
    QFETCH(int, littleEndian);
    QFETCH(QByteArray, expected);

    QByteArray bytes = Unstamped("abc");
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(device.seek(5)); // the position on entry must not matter
    QVERIFY(StampImage(&device, littleEndian, 100, ExampleTime()));
    QCOMPARE(bytes.toHex(), expected.toHex());
    QCOMPARE(device.pos(), qint64(expected.size()));
}

// The worked example's header read into its fields and written back, in
// the byte order its magic shows.
void TestImageStamp::headerCodec()
{
    QFETCH(int, littleEndian);
    QFETCH(QByteArray, expected);

    HeaderBytes bytes;
    std::copy_n(expected.constData(), ImageLayout::HeaderSize, bytes.begin());
    QCOMPARE(StoredByteOrder(bytes), littleEndian);
    const ImageHeader header = DecodeImageHeader(bytes, littleEndian);
    QCOMPARE(header.length, 39u);
    QCOMPARE(header.magic, 0x55AA44BBu);
    QCOMPARE(header.seconds, 1522670400u);
    QCOMPARE(header.milliseconds, quint16(0));
    QCOMPARE(header.version, quint16(100));
    QCOMPARE(header.littleEndian, quint32(littleEndian));
    QCOMPARE(header.checksum, quint16(littleEndian ? 1025 : 1024));
    QCOMPARE(HeaderChecksum(bytes), header.checksum);
    QVERIFY(EncodeImageHeader(header, littleEndian) == bytes);
    QVERIFY(EncodeImageHeader(StampedHeader(39, 1522670400u, 100, littleEndian), littleEndian) == bytes);

    TrailerBytes trailer;
    std::copy_n(expected.constData() + expected.size() - ImageLayout::TrailerSize, ImageLayout::TrailerSize,
                trailer.begin());
    QCOMPARE(DecodeImageTrailer(trailer).crc, quint16(0x9DD6));
    QVERIFY(EncodeImageTrailer(0x9DD6) == trailer);
}

void TestImageStamp::stampTime_data()
{
    QTest::addColumn<QDateTime>("wallClock");
    QTest::addColumn<quint32>("seconds");

    QTest::newRow("2000-01-01 00:00:00") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << 0x386D4380u;
    QTest::newRow("2099-12-31 23:59:59")
        << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)) << 0xF48656FFu;
    QTest::newRow("milliseconds dropped")
        << QDateTime(QDate(2018, 4, 2), QTime(12, 0, 0, 999)) << 0x5AC21B40u;
    // A UTC reading is stamped as it reads, without a zone offset.
    QTest::newRow("UTC reading")
        << UtcDateTime(QDate(2018, 4, 2), QTime(12, 0)) << 0x5AC21B40u;
    QTest::newRow("1999-12-31 23:59:59")
        << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << 0u;
    QTest::newRow("2100-01-01 00:00:00") << QDateTime(QDate(2100, 1, 1), QTime(0, 0)) << 0u;
    QTest::newRow("year -5") << QDateTime(QDate(-5, 6, 1), QTime(12, 0)) << 0u;
    QTest::newRow("invalid") << QDateTime() << 0u;
}

void TestImageStamp::stampTime()
{
    QFETCH(QDateTime, wallClock);
    QFETCH(quint32, seconds);

    QByteArray bytes = Unstamped("abc");
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(StampImage(&device, 1, 100, wallClock));

    QCOMPARE(Field32(bytes, ImageLayout::SecondsOffset), seconds);
    QCOMPARE(Field16(bytes, ImageLayout::MillisecondsOffset), quint16(0));
    quint16 sum = 0;
    for (int i = 0; i < ImageLayout::ChecksumOffset; ++i)
        sum = quint16(sum + quint8(bytes[i]));
    QCOMPARE(Field16(bytes, ImageLayout::ChecksumOffset), sum);
}

// Files of many sizes, stamped as the conversion does it, checked field by
// field and against Python's CRC of the payload.
void TestImageStamp::sizesAgainstReference_data()
{
    QTest::addColumn<int>("payloadSize");

    for (int size : {0, 1, 15, 16, 17, MiB - 1, MiB, MiB + 1, 3 * MiB + 7})
        QTest::addRow("%d bytes", size) << size;
}

void TestImageStamp::sizesAgainstReference()
{
    QFETCH(int, payloadSize);
    constexpr quint16 Version = 4660;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray payload = RandomPayload(payloadSize, PayloadSeed + quint32(payloadSize));
    const QString payloadPath = dir.filePath(QStringLiteral("payload.bin"));
    const QString imagePath = dir.filePath(QStringLiteral("image.bin"));
    {
        QFile payloadFile(payloadPath);
        QVERIFY(payloadFile.open(QIODevice::WriteOnly));
        QCOMPARE(payloadFile.write(payload), qint64(payloadSize));
    }
    {
        QFile image(imagePath);
        QVERIFY(image.open(QIODevice::ReadWrite | QIODevice::Truncate));
        QVERIFY(WriteFill(&image, 0x00, ImageLayout::HeaderSize));
        QCOMPARE(image.write(payload), qint64(payloadSize));
        QVERIFY(StampImage(&image, 1, Version, ExampleTime()));
        QCOMPARE(image.pos(), image.size());
        QVERIFY(image.flush());
    }

    QFile imageFile(imagePath);
    QVERIFY(imageFile.open(QIODevice::ReadOnly));
    const QByteArray image = imageFile.readAll();
    const int imageSize = payloadSize + ImageLayout::FrameSize;
    QCOMPARE(image.size(), imageSize);
    QCOMPARE(Field32(image, ImageLayout::LengthOffset), quint32(imageSize));
    QCOMPARE(image.mid(ImageLayout::MagicOffset, 4).toHex(), QByteArray("bb44aa55"));
    QCOMPARE(Field32(image, ImageLayout::SecondsOffset), 1522670400u);
    QCOMPARE(Field16(image, ImageLayout::MillisecondsOffset), quint16(0));
    QCOMPARE(Field16(image, ImageLayout::VersionOffset), Version);
    QCOMPARE(Field32(image, ImageLayout::LittleEndianOffset), 1u);
    QCOMPARE(image.mid(ImageLayout::ReservedOffset, ImageLayout::ReservedSize),
             QByteArray(ImageLayout::ReservedSize, '\0'));
    quint16 sum = 0;
    for (int i = 0; i < ImageLayout::ChecksumOffset; ++i)
        sum = quint16(sum + quint8(image[i]));
    QCOMPARE(Field16(image, ImageLayout::ChecksumOffset), sum);
    QVERIFY(image.mid(ImageLayout::HeaderSize, payloadSize) == payload);

    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    quint16 crc = 0;
    QString error;
    QVERIFY2(PythonCrcHqx(payloadPath, &crc, &error), qPrintable(error));
    const QByteArray expectedTrailer = QByteArray::fromHex(
        QByteArray::number(crc, 16).rightJustified(4, '0') + "0000");
    QCOMPARE(image.right(ImageLayout::TrailerSize).toHex(), expectedTrailer.toHex());
}

void TestImageStamp::failingDevices_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("openMode");
    QTest::addColumn<qint64>("readFailureOffset");
    QTest::addColumn<qint64>("writeFailureOffset");

    const QByteArray image = Unstamped(RandomPayload(100, PayloadSeed));
    const int readWrite = QIODevice::ReadWrite;
    QTest::newRow("read-only") << image << int(QIODevice::ReadOnly) << FailingDevice::Never
                               << FailingDevice::Never;
    QTest::newRow("write-only") << image << int(QIODevice::WriteOnly) << FailingDevice::Never
                                << FailingDevice::Never;
    QTest::newRow("reads fail") << image << readWrite << qint64(0) << FailingDevice::Never;
    QTest::newRow("payload read fails midway") << image << readWrite << qint64(80)
                                               << FailingDevice::Never;
    QTest::newRow("header write fails") << image << readWrite << FailingDevice::Never << qint64(0);
    QTest::newRow("trailer write fails") << image << readWrite << FailingDevice::Never
                                         << qint64(image.size());
    QTest::newRow("shorter than the header") << QByteArray(31, '\0') << readWrite
                                             << FailingDevice::Never << FailingDevice::Never;
}

void TestImageStamp::failingDevices()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, openMode);
    QFETCH(qint64, readFailureOffset);
    QFETCH(qint64, writeFailureOffset);

    FailingDevice device(contents);
    device.setReadFailureOffset(readFailureOffset);
    device.setWriteFailureOffset(writeFailureOffset);
    QVERIFY(device.open(QIODevice::OpenMode(openMode)));
    QVERIFY(!StampImage(&device, 1, 100, ExampleTime()));
}

void TestImageStamp::writeFill_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("32") << 32 << QByteArray("xy") + QByteArray(32, '\x5A');
    QTest::newRow("1") << 1 << QByteArray("xyZ");
    QTest::newRow("0") << 0 << QByteArray("xy");
    QTest::newRow("-5") << -5 << QByteArray("xy");
}

void TestImageStamp::writeFill()
{
    QFETCH(int, count);
    QFETCH(QByteArray, expected);

    QByteArray bytes("xy");
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadWrite | QIODevice::Append));
    QVERIFY(WriteFill(&device, 0x5A, count));
    QCOMPARE(bytes, expected);

    QBuffer readOnly(&bytes);
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QCOMPARE(WriteFill(&readOnly, 0x5A, count), count <= 0);
    QCOMPARE(bytes, expected);

    // /dev/full refuses every byte; unbuffered, so the first write sees it.
    QFile full(QStringLiteral("/dev/full"));
    if (count > 0 && full.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        QVERIFY(!WriteFill(&full, 0x5A, count));
}

QTEST_APPLESS_MAIN(TestImageStamp)
#include "tst_imagestamp.moc"
