#include "conversion.h"
#include "srecordwriter.h"
#include "imagestamp.h"
#include "testfiles.h"
#include "testpayload.h"

#include <QtEndian>
#include <QtTest>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

Q_DECLARE_METATYPE(ConversionStatus)

namespace {

constexpr quint32 PayloadSeed = 31;
constexpr int SourceSize = 100;
// Over the stamp's buffer and many copy chunks, with a short last record.
constexpr int LargeSourceSize = 3 * 1024 * 1024 + 17;
constexpr int OldOutputSize = 5000;
// Sizes of sparse sources: one byte too many for the 32-bit length, and 4 GiB.
constexpr qint64 FirstTooLargeSource = ImageLayout::MaxImageSize - ImageLayout::FrameSize + 1;
constexpr qint64 FourGiB = 0x100000000LL;

QDateTime StampTime()
{
    return QDateTime(QDate(2026, 12, 9), QTime(23, 30, 15));
}

// What an output path must hold after a run.
enum class After {
    Absent,      // not created
    Unchanged,   // as before the run (absent stays absent)
    Complete,    // the stamped image / its S-record text
    SameAsImage, // names the new image: holds the complete image
    Anything,    // left to the run (e.g. an image cut short by a failed read)
};

// What a row needs beyond the fixture folder.
enum class Setup {
    None,
    SparseSourceOneByteTooLarge, // %D/huge.bin, one byte over what the length field holds
    SparseSource4GiB,            // %D/huge.bin of 4 GiB
    Sysfs,                       // a sysfs file nobody may write
    ReadOnlyFile,                // %D/readonly.out, which permission bits must protect
    UnreadableSource,            // a source that opens but fails every read
};

struct FileState
{
    bool exists = false;
    QByteArray contents;
};

FileState Snapshot(const QString &path)
{
    FileState state;
    const QFileInfo info(path);
    state.exists = info.exists();
    // Only regular files of test size are read: not /dev/full, /proc or sparse giants.
    if (state.exists && info.isFile() && info.size() < 64 * 1024 * 1024) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            state.contents = file.readAll();
    }
    return state;
}

std::filesystem::path FsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// A conversion from the texts a user types, as the window runs it.
ConversionResult Convert(const QString &source, const QString &image, const QString &srecords,
                         const QString &version, const QString &address)
{
    ConversionRequest request;
    request.sourcePath = source;
    request.imagePath = image;
    request.srecordPath = srecords;
    request.wallClock = StampTime();
    const ConversionResult fields = ReadConversionFields(version, address, request);
    return fields.succeeded() ? RunConversion(request) : fields;
}

// The image and S-record text made by hand from the lower routines.
QByteArray ExpectedImage(const QByteArray &source, quint16 version)
{
    QByteArray image;
    QBuffer device(&image);
    device.open(QIODevice::ReadWrite);
    WriteFill(&device, 0x00, ImageLayout::HeaderSize);
    device.write(source);
    StampImage(&device, 1, version, StampTime());
    return image;
}

QByteArray ExpectedSRecords(const QByteArray &image, quint32 address)
{
    QByteArray imageBytes = image;
    QBuffer imageDevice(&imageBytes);
    imageDevice.open(QIODevice::ReadOnly);
    QByteArray text;
    QBuffer output(&text);
    output.open(QIODevice::WriteOnly);
    WriteSRecords(&imageDevice, address, &output);
    return text;
}

} // namespace

Q_DECLARE_METATYPE(After)
Q_DECLARE_METATYPE(Setup)

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusals_data();
    void refusals();
    void successes_data();
    void successes();
#ifdef Q_OS_LINUX
    void partialOutputsRemoved_data();
    void partialOutputsRemoved();
#endif

private:
    QString resolved(QString path) const;
    void checkOutput(const QString &path, const FileState &before, After after,
                     const QByteArray &complete, const QByteArray &image);

    QTemporaryDir *m_dir = nullptr;
    QString m_previousDirectory;
};

void TestConversion::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    // Relative paths resolve against the working directory, as in the window.
    m_previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));

    const QByteArray source = RandomPayload(SourceSize, PayloadSeed);
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/source.bin")), source));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/原始.bin")), source));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/empty.bin")), QByteArray()));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/old.bin")), QByteArray(OldOutputSize, 'B')));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/old.s19")), QByteArray(OldOutputSize, 'S')));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/readonly.out")), QByteArray(OldOutputSize, 'R')));
    QVERIFY(QFile::setPermissions(resolved(QStringLiteral("%D/readonly.out")),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QVERIFY(QFile::link(resolved(QStringLiteral("%D/source.bin")),
                        resolved(QStringLiteral("%D/link-to-source.bin"))));
    // Dangling until the run creates new.bin.
    QVERIFY(QFile::link(resolved(QStringLiteral("%D/new.bin")),
                        resolved(QStringLiteral("%D/link-to-new.s19"))));
    std::error_code error;
    std::filesystem::create_hard_link(FsPath(resolved(QStringLiteral("%D/source.bin"))),
                                      FsPath(resolved(QStringLiteral("%D/hard-source.bin"))), error);
    QVERIFY2(!error, error.message().c_str());
    std::filesystem::create_hard_link(FsPath(resolved(QStringLiteral("%D/old.bin"))),
                                      FsPath(resolved(QStringLiteral("%D/hard-old.s19"))), error);
    QVERIFY2(!error, error.message().c_str());
}

void TestConversion::cleanup()
{
    QDir::setCurrent(m_previousDirectory);
    delete m_dir;
    m_dir = nullptr;
}

QString TestConversion::resolved(QString path) const
{
    return path.replace(QStringLiteral("%D"), m_dir->path());
}

void TestConversion::checkOutput(const QString &path, const FileState &before, After after,
                                 const QByteArray &complete, const QByteArray &image)
{
    const FileState now = Snapshot(path);
    switch (after) {
    case After::Absent:
        QVERIFY2(!now.exists, qPrintable(path + QStringLiteral(" was created")));
        break;
    case After::Unchanged:
        QCOMPARE(now.exists, before.exists);
        QVERIFY2(now.contents == before.contents, qPrintable(path + QStringLiteral(" was changed")));
        break;
    case After::Complete:
        QVERIFY2(now.exists, qPrintable(path + QStringLiteral(" is missing")));
        QCOMPARE(now.contents.size(), complete.size());
        QVERIFY2(now.contents == complete, qPrintable(path + QStringLiteral(" is not as expected")));
        break;
    case After::SameAsImage:
        QVERIFY2(now.contents == image, qPrintable(path + QStringLiteral(" is not the image")));
        break;
    case After::Anything:
        break;
    }
}

// Each bad input with the status it must give and what it must leave on
// disk. Paths use %D for the fixture folder, which is also the working
// directory. The source, when it is a file, must always stay unchanged.
void TestConversion::refusals_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("address");
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<After>("imageAfter");
    QTest::addColumn<After>("srecordsAfter");
    QTest::addColumn<Setup>("setup");

    const QString source = QStringLiteral("%D/source.bin");
    const QString newImage = QStringLiteral("%D/new.bin");
    const QString newSRecords = QStringLiteral("%D/new.s19");
    const QString oldImage = QStringLiteral("%D/old.bin");
    const QString oldSRecords = QStringLiteral("%D/old.s19");
    const QString version = QStringLiteral("100");
    const QString address = QStringLiteral("8000000");

    using S = ConversionStatus;
    auto row = [&](const char *name, const QString &src, const QString &img, const QString &s19,
                   const QString &ver, const QString &addr, S status, After imageAfter, After srecordsAfter,
                   Setup setup = Setup::None) {
        QTest::newRow(name) << src << img << s19 << ver << addr << status << imageAfter << srecordsAfter << setup;
    };

    // The source.
    row("all paths empty", QString(), QString(), QString(), version, address, S::SourceNotFound, After::Absent, After::Absent);
    row("missing source", QStringLiteral("%D/missing.bin"), newImage, newSRecords, version, address,
        S::SourceNotFound, After::Absent, After::Absent);
    row("missing source, outputs exist", QStringLiteral("%D/missing.bin"), oldImage, oldSRecords,
        version, address, S::SourceNotFound, After::Unchanged, After::Unchanged);
    row("source is a folder", QStringLiteral("%D/folder"), oldImage, oldSRecords, version, address,
        S::SourceNotFound, After::Unchanged, After::Unchanged);
    row("source one byte too large", QStringLiteral("%D/huge.bin"), oldImage, newSRecords, version, address,
        S::SourceTooLarge, After::Unchanged, After::Absent, Setup::SparseSourceOneByteTooLarge);
    row("source of 4 GiB", QStringLiteral("%D/huge.bin"), newImage, newSRecords, version, address,
        S::SourceTooLarge, After::Absent, After::Absent, Setup::SparseSource4GiB);

    // The new image's path.
    row("empty image path", source, QString(), oldSRecords, version, address, S::ImagePathInvalid, After::Absent, After::Unchanged);
    row("missing image folder", source, QStringLiteral("%D/nodir/new.bin"), newSRecords, version,
        address, S::ImagePathInvalid, After::Absent, After::Absent);
    row("image is a folder", source, QStringLiteral("%D/folder"), oldSRecords, version, address,
        S::ImagePathInvalid, After::Anything, After::Unchanged);
    row("read-only image", source, QStringLiteral("%D/readonly.out"), oldSRecords, version, address,
        S::ImagePathInvalid, After::Unchanged, After::Unchanged, Setup::ReadOnlyFile);
    row("image = source", source, source, newSRecords, version, address, S::ImagePathInvalid, After::Unchanged, After::Absent);
    row("image = source, relative", source, QStringLiteral("source.bin"), newSRecords, version,
        address, S::ImagePathInvalid, After::Unchanged, After::Absent);
    row("image = source, through ..", source, QStringLiteral("%D/folder/../source.bin"),
        newSRecords, version, address, S::ImagePathInvalid, After::Unchanged,
        After::Absent);
    row("image = source, symbolic link", source, QStringLiteral("%D/link-to-source.bin"),
        newSRecords, version, address, S::ImagePathInvalid, After::Unchanged,
        After::Absent);
    row("image = source, hard link", source, QStringLiteral("%D/hard-source.bin"), newSRecords,
        version, address, S::ImagePathInvalid, After::Unchanged, After::Absent);
    row("source through a link, image = its target", QStringLiteral("%D/link-to-source.bin"),
        source, newSRecords, version, address, S::ImagePathInvalid,
        After::Unchanged, After::Absent);
    row("image = source, Chinese name", QStringLiteral("%D/原始.bin"), QStringLiteral("%D/./原始.bin"),
        newSRecords, version, address, S::ImagePathInvalid, After::Unchanged,
        After::Absent);

    // The S-record file's path: the new image is then complete.
    row("empty S-record path", source, newImage, QString(), version, address,
        S::SRecordPathInvalid, After::Complete, After::Absent);
    row("missing S-record folder", source, newImage, QStringLiteral("%D/nodir/new.s19"), version,
        address, S::SRecordPathInvalid, After::Complete, After::Absent);
    row("S-record file is a folder", source, newImage, QStringLiteral("%D/folder"), version,
        address, S::SRecordPathInvalid, After::Complete, After::Anything);
    row("read-only S-record file", source, newImage, QStringLiteral("%D/readonly.out"), version,
        address, S::SRecordPathInvalid, After::Complete, After::Unchanged, Setup::ReadOnlyFile);
    row("S-records = source", source, newImage, source, version, address, S::SRecordPathInvalid, After::Complete, After::Unchanged);
    row("S-records = source, symbolic link", source, newImage,
        QStringLiteral("%D/link-to-source.bin"), version, address, S::SRecordPathInvalid, After::Complete, After::Unchanged);
    row("S-records = image", source, newImage, newImage, version, address, S::SRecordPathInvalid, After::Complete, After::SameAsImage);
    row("S-records = image, relative", source, newImage, QStringLiteral("new.bin"), version,
        address, S::SRecordPathInvalid, After::Complete, After::SameAsImage);
    row("S-records = image, link made before the image", source, newImage,
        QStringLiteral("%D/link-to-new.s19"), version, address, S::SRecordPathInvalid, After::Complete, After::SameAsImage);
    row("S-records = image, hard link", source, oldImage, QStringLiteral("%D/hard-old.s19"),
        version, address, S::SRecordPathInvalid, After::Complete,
        After::SameAsImage);

#ifdef Q_OS_LINUX
    // Files that nobody, root included, may open for writing.
    const QString sysfsFile = QStringLiteral("/sys/kernel/uevent_seqnum");
    row("image in sysfs", source, sysfsFile, newSRecords, version, address, S::ImagePathInvalid,
        After::Unchanged, After::Absent, Setup::Sysfs);
    row("S-record file in sysfs", source, newImage, sysfsFile, version, address, S::SRecordPathInvalid,
        After::Complete, After::Unchanged, Setup::Sysfs);

    // Every write to /dev/full fails, at the latest when it is flushed.
    const QString full = QStringLiteral("/dev/full");
    row("image to /dev/full", source, full, oldSRecords, version, address, S::ImageWriteFailed, After::Anything, After::Unchanged);
    row("S-records to /dev/full", source, newImage, full, version, address, S::SRecordWriteFailed, After::Complete, After::Anything);

    // Opens, but every read fails.
    row("source read fails", QStringLiteral("/proc/self/mem"), newImage, newSRecords, version, address,
        S::SourceReadFailed, After::Absent, After::Absent, Setup::UnreadableSource);
#endif

    // Version and address texts are refused before any file is opened.
    const char *badVersions[][2] = {{"version empty", ""},
                                    {"version abc", "abc"},
                                    {"version 65536", "65536"},
                                    {"version -1", "-1"},
                                    {"version 1.5", "1.5"}};
    for (const auto &bad : badVersions) {
        row(bad[0], source, oldImage, oldSRecords, QString::fromLatin1(bad[1]), address,
            S::VersionInvalid, After::Unchanged, After::Unchanged);
    }
    const char *badAddresses[][2] = {{"address empty", ""},
                                     {"address G", "G"},
                                     {"address 100000000", "100000000"},
                                     {"address 8000G00", "8000G00"}};
    for (const auto &bad : badAddresses) {
        row(bad[0], source, oldImage, oldSRecords, version, QString::fromLatin1(bad[1]),
            S::AddressInvalid, After::Unchanged, After::Unchanged);
    }
    // 136 bytes from FFFFFF78 end at FFFFFFFF; one further does not fit.
    row("image would pass FFFFFFFF", source, newImage, newSRecords, version,
        QStringLiteral("FFFFFF79"), S::AddressInvalid, After::Absent, After::Absent);
    row("image would pass FFFFFFFF, outputs exist", source, oldImage, oldSRecords, version,
        QStringLiteral("FFFFFF79"), S::AddressInvalid, After::Unchanged,
        After::Unchanged);
    row("36 bytes from FFFFFFDD", QStringLiteral("%D/empty.bin"), newImage, newSRecords, version,
        QStringLiteral("FFFFFFDD"), S::AddressInvalid, After::Absent, After::Absent);
    row("36 bytes from FFFFFFFF", QStringLiteral("%D/empty.bin"), newImage, newSRecords, version,
        QStringLiteral("FFFFFFFF"), S::AddressInvalid, After::Absent, After::Absent);
}

void TestConversion::refusals()
{
    QFETCH(QString, source);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, version);
    QFETCH(QString, address);
    QFETCH(ConversionStatus, status);
    QFETCH(After, imageAfter);
    QFETCH(After, srecordsAfter);
    QFETCH(Setup, setup);

    source = resolved(source);
    image = resolved(image);
    srecords = resolved(srecords);

    switch (setup) {
    case Setup::None:
        break;
    case Setup::SparseSourceOneByteTooLarge:
    case Setup::SparseSource4GiB: {
        // Sparse: no data blocks are written.
        QFile huge(source);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(setup == Setup::SparseSource4GiB ? FourGiB : FirstTooLargeSource));
        break;
    }
    case Setup::Sysfs:
        if (!QFileInfo::exists(image.startsWith(QStringLiteral("/sys/")) ? image : srecords))
            QSKIP("no sysfs here");
        break;
    case Setup::ReadOnlyFile: {
        QFile probe(resolved(QStringLiteral("%D/readonly.out")));
        if (probe.open(QIODevice::ReadWrite))
            QSKIP("permission bits do not stop this user from writing (root)");
        break;
    }
    case Setup::UnreadableSource: {
        QFile probe(source);
        char byte;
        if (!probe.open(QIODevice::ReadOnly) || probe.read(&byte, 1) >= 0)
            QSKIP("no source here that opens but fails to read");
        break;
    }
    }

    const QDir dir(m_dir->path());
    const QDir::Filters everything = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    const QStringList entriesBefore = dir.entryList(everything);
    const FileState sourceBefore = Snapshot(source);
    const FileState imageBefore = Snapshot(image);
    const FileState srecordsBefore = Snapshot(srecords);

    const ConversionResult result = Convert(source, image, srecords, version, address);

    QCOMPARE(result.status, status);
    QVERIFY2(!result.detail.isEmpty(), "a refusal says why");

    const FileState sourceAfter = Snapshot(source);
    QCOMPARE(sourceAfter.exists, sourceBefore.exists);
    QVERIFY2(sourceAfter.contents == sourceBefore.contents, "the source was changed");

    const QByteArray expectedImage = ExpectedImage(sourceBefore.contents, 100);
    if (!image.isEmpty())
        checkOutput(image, imageBefore, imageAfter, expectedImage, expectedImage);
    if (QTest::currentTestFailed())
        return;
    if (!srecords.isEmpty())
        checkOutput(srecords, srecordsBefore, srecordsAfter, QByteArray(), expectedImage);
    if (QTest::currentTestFailed())
        return;

    // Nothing else appears in the folder: no stray outputs, no "nodir".
    QStringList allowed = entriesBefore;
    if (imageAfter == After::Complete || imageAfter == After::Anything)
        allowed << QFileInfo(image).fileName();
    if (srecordsAfter == After::Anything)
        allowed << QFileInfo(srecords).fileName();
    const QStringList entriesAfter = dir.entryList(everything);
    for (const QString &entry : entriesAfter)
        QVERIFY2(allowed.contains(entry), qPrintable(entry + QStringLiteral(" appeared")));
    for (const QString &entry : entriesBefore)
        QVERIFY2(entriesAfter.contains(entry), qPrintable(entry + QStringLiteral(" disappeared")));
}

// Good runs: both outputs equal the stamp and S-records done by hand with the
// same time, whatever was in the output files before.
void TestConversion::successes_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("versionText");
    QTest::addColumn<QString>("addressText");
    QTest::addColumn<int>("version");
    QTest::addColumn<quint32>("address");

    const QString source = QStringLiteral("%D/source.bin");
    const QString newImage = QStringLiteral("%D/new.bin");
    const QString newSRecords = QStringLiteral("%D/new.s19");
    const QString empty = QStringLiteral("%D/empty.bin");

    QTest::newRow("plain") << source << newImage << newSRecords << QStringLiteral("100")
                           << QStringLiteral("8000000") << 100 << 0x08000000u;
    QTest::newRow("longer outputs are truncated")
        << source << QStringLiteral("%D/old.bin") << QStringLiteral("%D/old.s19")
        << QStringLiteral("100") << QStringLiteral("8000000") << 100 << 0x08000000u;
    QTest::newRow("source of 3 MiB + 17") << QStringLiteral("%D/large.bin") << newImage
                                          << newSRecords << QStringLiteral("100")
                                          << QStringLiteral("8000000") << 100 << 0x08000000u;
    QTest::newRow("empty source") << empty << newImage << newSRecords << QStringLiteral("100")
                                  << QStringLiteral("8000000") << 100 << 0x08000000u;
    QTest::newRow("relative paths") << QStringLiteral("source.bin") << QStringLiteral("new.bin")
                                    << QStringLiteral("new.s19") << QStringLiteral("100")
                                    << QStringLiteral("8000000") << 100 << 0x08000000u;
    QTest::newRow("Chinese names") << QStringLiteral("%D/原始.bin") << QStringLiteral("%D/生成.bin")
                                   << QStringLiteral("%D/生成.s19") << QStringLiteral("100")
                                   << QStringLiteral("8000000") << 100 << 0x08000000u;
    QTest::newRow("version 0") << source << newImage << newSRecords << QStringLiteral("0")
                               << QStringLiteral("8000000") << 0 << 0x08000000u;
    QTest::newRow("version 65535") << source << newImage << newSRecords << QStringLiteral("65535")
                                   << QStringLiteral("8000000") << 65535 << 0x08000000u;
    QTest::newRow("address 08000000") << source << newImage << newSRecords << QStringLiteral("100")
                                      << QStringLiteral("08000000") << 100 << 0x08000000u;
    QTest::newRow("address 0x08000000") << source << newImage << newSRecords
                                        << QStringLiteral("100") << QStringLiteral("0x08000000")
                                        << 100 << 0x08000000u;
    QTest::newRow("address 8000abc") << source << newImage << newSRecords << QStringLiteral("100")
                                     << QStringLiteral("8000abc") << 100 << 0x08000ABCu;
    QTest::newRow("address 0") << source << newImage << newSRecords << QStringLiteral("100")
                               << QStringLiteral("0") << 100 << 0u;
    QTest::newRow("address 80000000") << source << newImage << newSRecords << QStringLiteral("100")
                                      << QStringLiteral("80000000") << 100 << 0x80000000u;
    QTest::newRow("last byte at FFFFFFFF") << source << newImage << newSRecords
                                           << QStringLiteral("100") << QStringLiteral("FFFFFF78")
                                           << 100 << 0xFFFFFF78u;
    QTest::newRow("36 bytes ending at FFFFFFFF") << empty << newImage << newSRecords
                                                 << QStringLiteral("100") << QStringLiteral("FFFFFFDC")
                                                 << 100 << 0xFFFFFFDCu;
}

void TestConversion::successes()
{
    QFETCH(QString, source);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, versionText);
    QFETCH(QString, addressText);
    QFETCH(int, version);
    QFETCH(quint32, address);

    source = resolved(source);
    image = resolved(image);
    srecords = resolved(srecords);
    if (source.endsWith(QStringLiteral("large.bin")))
        QVERIFY(WriteFile(source, RandomPayload(LargeSourceSize, PayloadSeed)));
    const FileState sourceBefore = Snapshot(source);

    const ConversionResult result = Convert(source, image, srecords, versionText, addressText);
    QVERIFY2(result.succeeded(), qPrintable(result.detail));
    QCOMPARE(result.status, ConversionStatus::Succeeded);
    QVERIFY(result.detail.isEmpty());

    const FileState sourceAfter = Snapshot(source);
    QVERIFY(sourceAfter.contents == sourceBefore.contents);

    const QByteArray expectedImage = ExpectedImage(sourceBefore.contents, quint16(version));
    const QByteArray written = Snapshot(image).contents;
    QCOMPARE(written.size(), sourceBefore.contents.size() + ImageLayout::FrameSize);
    QVERIFY2(written == expectedImage, "the image differs from the stamp done by hand");
    // The fields the texts decide, read independently of the routines above.
    QCOMPARE(qFromLittleEndian<quint16>(written.constData() + ImageLayout::VersionOffset),
             quint16(version));

    const QByteArray text = Snapshot(srecords).contents;
    QVERIFY2(text == ExpectedSRecords(expectedImage, address),
             "the S-records differ from those written by hand");
    const QByteArray firstRecordHead = "S315" + QByteArray::number(address, 16).rightJustified(8, '0').toUpper();
    QCOMPARE(text.split('\n').value(1).left(firstRecordHead.size()), firstRecordHead);
}


#ifdef Q_OS_LINUX
// A write that fails halfway through a regular file (here: past the process's
// file size limit) must not leave a file that looks finished.
void TestConversion::partialOutputsRemoved_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<qint64>("fileSizeLimit");
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<bool>("imageKept");

    // The image is 136 bytes, its S-record text about 500.
    QTest::newRow("image cut short") << QStringLiteral("%D/new.bin") << qint64(64)
                                     << ConversionStatus::ImageWriteFailed << false;
    QTest::newRow("old image cut short") << QStringLiteral("%D/old.bin") << qint64(64)
                                         << ConversionStatus::ImageWriteFailed << false;
    QTest::newRow("S-records cut short") << QStringLiteral("%D/new.bin") << qint64(300)
                                         << ConversionStatus::SRecordWriteFailed << true;
}

void TestConversion::partialOutputsRemoved()
{
    QFETCH(QString, image);
    QFETCH(qint64, fileSizeLimit);
    QFETCH(ConversionStatus, status);
    QFETCH(bool, imageKept);

    const QString source = resolved(QStringLiteral("%D/source.bin"));
    image = resolved(image);
    const QString srecords = resolved(QStringLiteral("%D/new.s19"));

    // Past the limit a write fails with EFBIG instead of raising SIGXFSZ.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit limit = previousLimit;
    limit.rlim_cur = rlim_t(fileSizeLimit);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const ConversionResult result = Convert(source, image, srecords, QStringLiteral("100"), QStringLiteral("08000000"));
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(result.status, status);
    QVERIFY(QFileInfo::exists(source));
    QVERIFY2(!QFileInfo::exists(srecords), "a cut-short S-record file was left behind");
    if (imageKept) {
        QCOMPARE(Snapshot(image).contents, ExpectedImage(Snapshot(source).contents, 100));
    } else {
        QVERIFY2(!QFileInfo::exists(image), "a cut-short image was left behind");
    }
}
#endif

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
