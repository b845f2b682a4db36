// The image and S-record readers on devices, where chunk edges and read
// failures can be placed exactly.

#include "srecordinspection.h"
#include "srecordwriter.h"
#include "imageinspection.h"
#include "imagestamp.h"
#include "failingdevice.h"
#include "referencetools.h"
#include "testpayload.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr quint32 PayloadSeed = 12;
constexpr quint32 StartAddress = 0x08000000;

QByteArray StampedImage(const QByteArray &payload)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    buffer.write(QByteArray(ImageLayout::HeaderSize, '\0') + payload);
    if (!StampImage(&buffer, 1, 1, QDateTime(QDate(2026, 12, 9), QTime(12, 0))))
        return QByteArray();
    return buffer.data();
}

QByteArray SRecordText(const QByteArray &image)
{
    QBuffer input;
    input.setData(image);
    input.open(QIODevice::ReadOnly);
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    return WriteSRecords(&input, StartAddress, &output) == RecordFileResult::Written ? output.data() : QByteArray();
}

ImageInspection Inspect(const QByteArray &image)
{
    QBuffer device;
    device.setData(image);
    device.open(QIODevice::ReadOnly);
    return InspectImage(&device);
}

} // namespace

class TestInspection : public QObject
{
    Q_OBJECT

private slots:
    void crcAcrossChunks_data();
    void crcAcrossChunks();
    void damageAtChunkEdges_data();
    void damageAtChunkEdges();
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

// A device that fails part-way is reported as unreadable, never as a verdict.
void TestInspection::readFailures()
{
    const QByteArray image = StampedImage(RandomPayload(300000, PayloadSeed));
    const QByteArray text = SRecordText(image);
    QVERIFY(!text.isEmpty());

    for (qint64 failAt : {qint64(0), qint64(10), qint64(ImageLayout::HeaderSize), InspectionChunkSize + 100,
                          qint64(image.size() - 2)}) {
        FailingDevice device(image);
        device.setReadFailureOffset(failAt);
        QVERIFY(device.open(QIODevice::ReadOnly));
        const ImageInspection inspection = InspectImage(&device);
        QVERIFY2(!inspection.readError.isEmpty(), qPrintable(QString::number(failAt)));
        QVERIFY(!inspection.passed());
    }

    for (qint64 failAt : {qint64(0), qint64(5000), qint64(text.size() - 3)}) {
        FailingDevice srecords(text);
        srecords.setReadFailureOffset(failAt);
        QVERIFY(srecords.open(QIODevice::ReadOnly));
        QBuffer imageDevice;
        imageDevice.setData(image);
        imageDevice.open(QIODevice::ReadOnly);
        const SRecordInspection inspection = InspectSRecords(&srecords, &imageDevice);
        QVERIFY2(!inspection.readError.isEmpty(), qPrintable(QString::number(failAt)));
        QVERIFY(!inspection.passed());
    }

    FailingDevice imageDevice(image);
    imageDevice.setReadFailureOffset(5000);
    QVERIFY(imageDevice.open(QIODevice::ReadOnly));
    QBuffer srecords;
    srecords.setData(text);
    srecords.open(QIODevice::ReadOnly);
    const SRecordInspection inspection = InspectSRecords(&srecords, &imageDevice, StartAddress);
    QVERIFY(!inspection.readError.isEmpty());
    QVERIFY(!inspection.passed());

    // The same devices without failures pass, so the failures above are the cause.
    imageDevice.setReadFailureOffset(FailingDevice::Never);
    QVERIFY(InspectSRecords(&srecords, &imageDevice, StartAddress).passed());
}

QTEST_GUILESS_MAIN(TestInspection)
#include "tst_inspection.moc"
