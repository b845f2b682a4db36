// Progress and cancel of a conversion: how far a run has come, and a run
// stopped on request at any point changes no file on disk.
#include "conversion.h"
#include "conversionprogress.h"
#include "referencetools.h"
#include "testfiles.h"
#include "testpayload.h"
#include "workingfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// Large enough for many pieces in the image and in each record file.
constexpr qint64 SourceSize = 3 * 1024 * 1024 + 5;
constexpr qint64 ImageSize = SourceSize + 36;

ConversionRequest requestIn(const QString &folder)
{
    ConversionRequest request;
    request.sourcePath = folder + QStringLiteral("/source.bin");
    request.imagePath = folder + QStringLiteral("/out/app.bin");
    request.srecordPath = folder + QStringLiteral("/out/app.s19");
    request.hexPath = folder + QStringLiteral("/out/app.hex");
    request.startAddress = 0x08000000;
    request.version = 101;
    request.wallClock = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    return request;
}

} // namespace

class TestConversionProgress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void progressCoversEveryOutput();
    void cancelChangesNothing_data();
    void cancelChangesNothing();

private:
    std::unique_ptr<WorkingFolder> m_dir;
};

void TestConversionProgress::init()
{
    m_dir = std::make_unique<WorkingFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("source.bin"), RandomPayload(SourceSize, 17)));
}

void TestConversionProgress::cleanup()
{
    m_dir.reset();
}

// The figures only grow, end at the whole work (the image once per output
// file), and a successful run reports what it wrote.
void TestConversionProgress::progressCoversEveryOutput()
{
    QList<qint64> seen;
    qint64 lastTotal = -1;
    ConversionProgress progress([&](qint64 done, qint64 total) {
        seen.append(done);
        lastTotal = total;
    });
    ConversionRequest request = requestIn(m_dir->path());
    request.progress = &progress;
    const ConversionResult result = RunConversion(request);
    QVERIFY2(result.succeeded(), qPrintable(result.detail));

    QCOMPARE(lastTotal, 3 * ImageSize);
    QCOMPARE(progress.total(), 3 * ImageSize);
    QCOMPARE(progress.done(), 3 * ImageSize);
    QVERIFY(seen.size() > 3 * (SourceSize / (64 * 1024)));
    QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
    QCOMPARE(seen.first(), qint64(0));

    QCOMPARE(result.writtenPaths, (QStringList{request.imagePath, request.srecordPath, request.hexPath}));
    QCOMPARE(result.imageSize, QFileInfo(request.imagePath).size());
    QCOMPARE(result.imageSize, ImageSize);
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    quint16 crc = 0;
    QString error;
    QVERIFY2(PythonCrcHqx(request.sourcePath, &crc, &error), qPrintable(error));
    QCOMPARE(result.crc, crc);
}

void TestConversionProgress::cancelChangesNothing_data()
{
    QTest::addColumn<qint64>("cancelAt"); // bytes done when cancel is asked; -1 before the run

    QTest::newRow("before the run") << qint64(-1);
    QTest::newRow("at the start") << qint64(0);
    QTest::newRow("in the image") << ImageSize / 3;
    QTest::newRow("in the S-records") << ImageSize + ImageSize / 2;
    QTest::newRow("in the Intel HEX") << 2 * ImageSize + 1;
    QTest::newRow("after the last piece") << 3 * ImageSize;
}

void TestConversionProgress::cancelChangesNothing()
{
    QFETCH(qint64, cancelAt);
    const QString out = m_dir->filePath(QStringLiteral("out"));
    ConversionRequest request = requestIn(m_dir->path());
    QVERIFY(WriteFile(request.imagePath, "previous image"));
    QVERIFY(WriteFile(request.srecordPath, "previous S-records"));
    QVERIFY(WriteFile(request.hexPath, "previous Intel HEX"));
    const QStringList before = FolderEntries(out);

    ConversionProgress *progressPointer = nullptr;
    ConversionProgress progress([&](qint64 done, qint64) {
        if (cancelAt >= 0 && done >= cancelAt)
            progressPointer->cancel();
    });
    progressPointer = &progress;
    if (cancelAt < 0)
        progress.cancel();
    request.progress = &progress;
    const ConversionResult result = RunConversion(request);

    QCOMPARE(result.status, ConversionStatus::Cancelled);
    QVERIFY(!result.detail.isEmpty());
    QVERIFY(result.writtenPaths.isEmpty());
    QCOMPARE(ReadFile(request.imagePath), QByteArray("previous image"));
    QCOMPARE(ReadFile(request.srecordPath), QByteArray("previous S-records"));
    QCOMPARE(ReadFile(request.hexPath), QByteArray("previous Intel HEX"));
    // No temporary file and no lock left beside the outputs.
    QCOMPARE(FolderEntries(out), before);
}

QTEST_GUILESS_MAIN(TestConversionProgress)
#include "tst_conversionprogress.moc"
