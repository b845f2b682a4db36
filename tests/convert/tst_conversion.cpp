// The conversion as the window and the command line run it: every refusal
// with what it leaves on disk, good runs against the stamp done by hand, and
// runs whose writes fail. A run either writes every output completely or
// changes nothing on disk.

#include "conversion.h"
#include "imagestamp.h"
#include "intelhexwriter.h"
#include "srecordwriter.h"
#include "testfiles.h"
#include "testpayload.h"
#include "workingfolder.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QtEndian>
#include <QTest>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
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

// What a row needs beyond the fixture folder.
enum class Setup {
    None,
    SparseSourceOneByteTooLarge, // %D/huge.bin, one byte over what the length field holds
    SparseSource4GiB,            // %D/huge.bin of 4 GiB
    Sysfs,                       // a sysfs file nobody may write
    ReadOnlyFile,                // %D/readonly.out, which permission bits must protect
    UnreadableSource,            // a source that opens but fails every read
    Fifo,                        // %D/fifo, a named pipe nobody writes to
    ImageLocked,                 // another run holds the lock of %D/old.bin
    SRecordsLocked,              // another run holds the lock of %D/old.s19
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
    // Only regular files of test size are read: not FIFOs, /dev/full, /proc or sparse giants.
    if (state.exists && info.isFile() && info.size() < 64 * 1024 * 1024)
        state.contents = ReadFile(path);
    return state;
}

std::filesystem::path FsPath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

#ifdef Q_OS_WIN
// The same folder through another drive letter, or "" when there is none.
// Wine maps C: to drive_c in its prefix and Z: to the Linux root, so
// Z:<prefix>\drive_c reaches every file of C:.
QString OtherDriveSpelling(const QString &folder)
{
    QString prefix = qEnvironmentVariable("WINECONFIGDIR");
    if (prefix.startsWith(QLatin1String("\\??\\")))
        prefix.remove(0, 4);
    if (prefix.isEmpty() || !folder.startsWith(QLatin1String("C:"), Qt::CaseInsensitive))
        return QString();
    const QString alias = QDir::fromNativeSeparators(prefix) + QStringLiteral("/drive_c") + folder.mid(2);
    return QFileInfo(alias).isDir() ? alias : QString();
}
#endif

// Everything in a folder, hidden files included: temporary files and locks
// must not stay behind.
QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                  QDir::Name);
}

struct Paths
{
    QString source;
    QString image;
    QString srecords;
    QString hex;
};

// A conversion from the texts a user types, as the window runs it.
ConversionResult Convert(const Paths &paths, const QString &version, const QString &address, int littleEndian = 1)
{
    ConversionRequest request;
    request.sourcePath = paths.source;
    request.imagePath = paths.image;
    request.srecordPath = paths.srecords;
    request.hexPath = paths.hex;
    request.littleEndian = littleEndian;
    request.wallClock = StampTime();
    const ConversionResult fields = ReadConversionFields(version, address, request);
    return fields.succeeded() ? RunConversion(request) : fields;
}

// The image, S-record and Intel HEX text made by hand from the lower routines.
QByteArray ExpectedImage(const QByteArray &source, quint16 version, int littleEndian = 1)
{
    QByteArray image;
    QBuffer device(&image);
    device.open(QIODevice::ReadWrite);
    WriteFill(&device, 0x00, ImageLayout::HeaderSize);
    device.write(source);
    StampImage(&device, littleEndian, version, StampTime());
    return image;
}

template<typename Writer>
QByteArray ExpectedText(const QByteArray &image, quint32 address, Writer write)
{
    QByteArray imageBytes = image;
    QBuffer imageDevice(&imageBytes);
    imageDevice.open(QIODevice::ReadOnly);
    QByteArray text;
    QBuffer output(&text);
    output.open(QIODevice::WriteOnly);
    write(&imageDevice, address, &output);
    return text;
}

#ifdef Q_OS_UNIX
QFile::Permissions ModeBits(mode_t mode)
{
    QFile::Permissions permissions;
    const std::pair<mode_t, QFile::Permission> bits[] = {
        {S_IRUSR, QFile::ReadOwner}, {S_IWUSR, QFile::WriteOwner}, {S_IXUSR, QFile::ExeOwner},
        {S_IRGRP, QFile::ReadGroup}, {S_IWGRP, QFile::WriteGroup}, {S_IXGRP, QFile::ExeGroup},
        {S_IROTH, QFile::ReadOther}, {S_IWOTH, QFile::WriteOther}, {S_IXOTH, QFile::ExeOther}};
    for (const auto &bit : bits) {
        if (mode & bit.first)
            permissions |= bit.second;
    }
    return permissions;
}
#endif

} // namespace

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
    void linksAndPermissions();
#ifdef Q_OS_LINUX
    void failedWritesChangeNothing_data();
    void failedWritesChangeNothing();
#endif

private:
    QString resolved(QString path) const
    {
        return path.replace(QStringLiteral("%D"), m_dir->path()).replace(QStringLiteral("%Z"), m_otherDrive);
    }

    std::unique_ptr<WorkingFolder> m_dir;
    QString m_otherDrive; // the fixture folder through another drive letter (Windows)
};

void TestConversion::init()
{
    // Relative paths resolve against the working directory, as in the window.
    m_dir = std::make_unique<WorkingFolder>();
    QVERIFY(m_dir->isValid());

    const QByteArray source = RandomPayload(SourceSize, PayloadSeed);
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/source.bin")), source));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/原始.bin")), source));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/empty.bin")), QByteArray()));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/old.bin")), QByteArray(OldOutputSize, 'B')));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/old.s19")), QByteArray(OldOutputSize, 'S')));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/old.hex")), QByteArray(OldOutputSize, 'H')));
    QVERIFY(WriteFile(resolved(QStringLiteral("%D/readonly.out")), QByteArray(OldOutputSize, 'R')));
    QVERIFY(QFile::setPermissions(resolved(QStringLiteral("%D/readonly.out")),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
#ifndef Q_OS_WIN
    // On Windows QFile::link makes .lnk shortcuts, which the file system does not follow.
    QVERIFY(QFile::link(resolved(QStringLiteral("%D/source.bin")),
                        resolved(QStringLiteral("%D/link-to-source.bin"))));
    // Dangling: names new.bin, which no run here has made.
    QVERIFY(QFile::link(resolved(QStringLiteral("%D/new.bin")),
                        resolved(QStringLiteral("%D/link-to-new.s19"))));
#else
    m_otherDrive = OtherDriveSpelling(m_dir->path());
#endif
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
    // Windows deletes no read-only file, so the folder would stay behind.
    QFile::setPermissions(resolved(QStringLiteral("%D/readonly.out")), QFile::ReadOwner | QFile::WriteOwner);
    m_dir.reset();
}

// Each bad input with the status it must give. Paths use %D for the fixture
// folder, which is also the working directory. Every refusal leaves every
// file as it was and adds nothing to the folder.
void TestConversion::refusals_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("address");
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<QString>("detail"); // in the one line that says why
    QTest::addColumn<Setup>("setup");

    const QString source = QStringLiteral("%D/source.bin");
    const QString newImage = QStringLiteral("%D/new.bin");
    const QString newSRecords = QStringLiteral("%D/new.s19");
    const QString oldImage = QStringLiteral("%D/old.bin");
    const QString oldSRecords = QStringLiteral("%D/old.s19");
    const QString version = QStringLiteral("100");
    const QString address = QStringLiteral("8000000");
    const QString none;

    using S = ConversionStatus;
    auto row = [&](const char *name, const QString &src, const QString &img, const QString &s19, S status,
                   const QString &detail, Setup setup = Setup::None) {
        QTest::newRow(name) << src << img << s19 << none << version << address << status << detail << setup;
    };

    // The source.
    row("all paths empty", none, none, none, S::SourceNotFound, "no source image given");
    row("missing source", QStringLiteral("%D/missing.bin"), newImage, newSRecords, S::SourceNotFound,
        "does not exist");
    row("missing source, outputs exist", QStringLiteral("%D/missing.bin"), oldImage, oldSRecords,
        S::SourceNotFound, "does not exist");
    row("source is a folder", QStringLiteral("%D/folder"), oldImage, oldSRecords, S::SourceNotFound, "a folder");
    row("source one byte too large", QStringLiteral("%D/huge.bin"), oldImage, newSRecords, S::SourceTooLarge,
        "4294967260 bytes", Setup::SparseSourceOneByteTooLarge);
    row("source of 4 GiB", QStringLiteral("%D/huge.bin"), newImage, newSRecords, S::SourceTooLarge,
        "4294967296 bytes", Setup::SparseSource4GiB);

    // The new image's path.
    row("empty image path", source, none, oldSRecords, S::ImagePathInvalid, "no new image path given");
    row("missing image folder", source, QStringLiteral("%D/nodir/new.bin"), newSRecords, S::ImagePathInvalid,
        "does not exist");
    row("image is a folder", source, QStringLiteral("%D/folder"), oldSRecords, S::ImagePathInvalid, "a folder");
    row("read-only image", source, QStringLiteral("%D/readonly.out"), oldSRecords, S::ImagePathInvalid,
        "Permission denied", Setup::ReadOnlyFile);
    row("image = source", source, source, newSRecords, S::ImagePathInvalid, "is the source image");
    row("image = source, relative", source, QStringLiteral("source.bin"), newSRecords, S::ImagePathInvalid,
        "is the source image");
    row("image = source, through ..", source, QStringLiteral("%D/folder/../source.bin"), newSRecords,
        S::ImagePathInvalid, "is the source image");
    row("image = source, symbolic link", source, QStringLiteral("%D/link-to-source.bin"), newSRecords,
        S::ImagePathInvalid, "is the source image");
    row("image = source, hard link", source, QStringLiteral("%D/hard-source.bin"), newSRecords,
        S::ImagePathInvalid, "is the source image");
    row("source through a link, image = its target", QStringLiteral("%D/link-to-source.bin"), source,
        newSRecords, S::ImagePathInvalid, "is the source image");
    row("image = source, Chinese name", QStringLiteral("%D/原始.bin"), QStringLiteral("%D/./原始.bin"),
        newSRecords, S::ImagePathInvalid, "is the source image");
    row("image being written by another run", source, oldImage, oldSRecords, S::ImagePathInvalid,
        "\"" + oldImage + "\" is being written by another conversion", Setup::ImageLocked);

    // The S-record file's path: refused before anything is written, so the
    // image stays as it was too.
    row("empty S-record path", source, newImage, none, S::SRecordPathInvalid, "no S-record file path given");
    row("missing S-record folder", source, oldImage, QStringLiteral("%D/nodir/new.s19"), S::SRecordPathInvalid,
        "does not exist");
    row("S-record file is a folder", source, newImage, QStringLiteral("%D/folder"), S::SRecordPathInvalid,
        "a folder");
    row("read-only S-record file", source, newImage, QStringLiteral("%D/readonly.out"), S::SRecordPathInvalid,
        "Permission denied", Setup::ReadOnlyFile);
    row("S-records = source", source, newImage, source, S::SRecordPathInvalid, "is the source image");
    row("S-records = source, symbolic link", source, oldImage, QStringLiteral("%D/link-to-source.bin"),
        S::SRecordPathInvalid, "is the source image");
    row("S-records = source, hard link", source, newImage, QStringLiteral("%D/hard-source.bin"),
        S::SRecordPathInvalid, "is the source image");
    row("S-records = source, through ..", source, oldImage, QStringLiteral("%D/folder/../source.bin"),
        S::SRecordPathInvalid, "is the source image");
    row("S-records = image", source, newImage, newImage, S::SRecordPathInvalid, "is the new image too");
    row("S-records = image, relative", source, newImage, QStringLiteral("new.bin"), S::SRecordPathInvalid,
        "is the new image too");
    row("S-records = image, through a link to a file not yet made", source, newImage,
        QStringLiteral("%D/link-to-new.s19"), S::SRecordPathInvalid, "is the new image too");
    row("S-records = image, hard link", source, oldImage, QStringLiteral("%D/hard-old.s19"), S::SRecordPathInvalid,
        "is the new image too");
    row("S-record file being written by another run", source, oldImage, oldSRecords, S::SRecordPathInvalid,
        "is being written by another conversion", Setup::SRecordsLocked);

#ifdef Q_OS_WIN
    // Spellings that reach the source on Windows only: letter case, a
    // trailing dot, another drive letter for the same volume (%Z).
    const char *windowsSpellings[][2] = {{"upper case", "%D/SOURCE.BIN"},
                                         {"mixed case", "%D/Source.Bin"},
                                         {"trailing dot", "%D/source.bin."},
                                         {"other drive letter", "%Z/source.bin"},
                                         {"other drive letter, upper case, ..", "%Z/FOLDER/../SOURCE.BIN"},
                                         {"other drive letter, hard link", "%Z/hard-source.bin"}};
    for (const auto &spelling : windowsSpellings) {
        const QString path = QString::fromLatin1(spelling[1]);
        row(qPrintable(QStringLiteral("image = source, %1").arg(QLatin1String(spelling[0]))), source, path,
            newSRecords, S::ImagePathInvalid, "is the source image");
        row(qPrintable(QStringLiteral("S-records = source, %1").arg(QLatin1String(spelling[0]))), source,
            oldImage, path, S::SRecordPathInvalid, "is the source image");
    }
    row("source through the other drive letter, image = source", QStringLiteral("%Z/source.bin"), source,
        newSRecords, S::ImagePathInvalid, "is the source image");
    row("S-records = image through the other drive letter", source, oldImage, QStringLiteral("%Z/old.bin"),
        S::SRecordPathInvalid, "is the new image too");
#endif

#ifdef Q_OS_UNIX
    // Nothing may block in open(): a FIFO is refused before it is opened.
    const QString fifo = QStringLiteral("%D/fifo");
    row("source is a FIFO", fifo, oldImage, oldSRecords, S::SourceNotFound, "not a regular file", Setup::Fifo);
    row("image is a FIFO", source, fifo, oldSRecords, S::ImagePathInvalid, "not a regular file", Setup::Fifo);
    row("S-record file is a FIFO", source, oldImage, fifo, S::SRecordPathInvalid, "not a regular file", Setup::Fifo);
    // Devices: a source that never ends, outputs that are no files.
    row("source is /dev/zero", QStringLiteral("/dev/zero"), oldImage, oldSRecords, S::SourceNotFound,
        "not a regular file");
    row("image is /dev/full", source, QStringLiteral("/dev/full"), oldSRecords, S::ImagePathInvalid,
        "not a regular file");
    row("S-record file is /dev/null", source, oldImage, QStringLiteral("/dev/null"), S::SRecordPathInvalid,
        "not a regular file");
    // Names the system refuses for their length: the cause is the length,
    // not a missing folder.
    const QString longName(300, QLatin1Char('n'));
    const QString longFolders =
        QStringLiteral("%D") + QString(QLatin1Char('/') + QString(200, QLatin1Char('f'))).repeated(25);
    row("image in a folder whose name is too long", source,
        QStringLiteral("%D/") + longName + QStringLiteral("/new.bin"), newSRecords, S::ImagePathInvalid,
        "cannot be written: File name too long");
    row("image path over 4096 bytes", source, longFolders + QStringLiteral("/new.bin"), newSRecords,
        S::ImagePathInvalid, "cannot be written: File name too long");
    row("S-record file name too long", source, oldImage, QStringLiteral("%D/") + longName + QStringLiteral(".s19"),
        S::SRecordPathInvalid, "cannot be written: File name too long");
#endif
#ifdef Q_OS_LINUX
    // Files that nobody, root included, may replace.
    const QString sysfsFile = QStringLiteral("/sys/kernel/uevent_seqnum");
    row("image in sysfs", source, sysfsFile, newSRecords, S::ImagePathInvalid, "uevent_seqnum", Setup::Sysfs);
    row("S-record file in sysfs", source, oldImage, sysfsFile, S::SRecordPathInvalid, "uevent_seqnum",
        Setup::Sysfs);
    // Opens, but every read fails.
    row("source read fails", QStringLiteral("/proc/self/mem"), newImage, newSRecords, S::SourceReadFailed,
        "cannot read source image", Setup::UnreadableSource);
#endif

    // Version and address texts are refused before any file is opened.
    auto fieldRow = [&](const char *name, const QString &ver, const QString &addr, S status, const QString &detail) {
        QTest::newRow(name) << source << oldImage << oldSRecords << none << ver << addr << status << detail
                            << Setup::None;
    };
    for (const char *bad : {"", "abc", "65536", "-1", "1.5"})
        fieldRow(qPrintable(QStringLiteral("version \"%1\"").arg(QLatin1String(bad))), QLatin1String(bad), address,
                 S::VersionInvalid, QStringLiteral("software version \"%1\"").arg(QLatin1String(bad)));
    for (const char *bad : {"", "G", "100000000", "8000G00"})
        fieldRow(qPrintable(QStringLiteral("address \"%1\"").arg(QLatin1String(bad))), version, QLatin1String(bad),
                 S::AddressInvalid, QStringLiteral("start address \"%1\"").arg(QLatin1String(bad)));
    // A control character in a value is shown escaped, so the line stays one line.
    fieldRow("version with a line feed", QStringLiteral("10\n1"), address, S::VersionInvalid, "\"10\\n1\"");
    // 136 bytes from FFFFFF78 end at FFFFFFFF; one further does not fit.
    fieldRow("image would pass FFFFFFFF", version, QStringLiteral("FFFFFF79"), S::AddressInvalid,
             "would run past 0xFFFFFFFF");
    QTest::newRow("36 bytes from FFFFFFDD") << QStringLiteral("%D/empty.bin") << newImage << newSRecords << none
                                            << version << QStringLiteral("FFFFFFDD") << S::AddressInvalid
                                            << "would run past" << Setup::None;

    // The Intel HEX file's path, when one is asked for.
    QTest::newRow("HEX = source") << source << newImage << none << source << version << address
                                  << S::HexPathInvalid << "is the source image" << Setup::None;
    QTest::newRow("HEX = S-record file") << source << newImage << newSRecords << newSRecords << version << address
                                         << S::HexPathInvalid << "is the S-record file too" << Setup::None;
    QTest::newRow("HEX folder missing") << source << oldImage << oldSRecords << QStringLiteral("%D/nodir/a.hex")
                                        << version << address << S::HexPathInvalid << "does not exist"
                                        << Setup::None;
}

void TestConversion::refusals()
{
    QFETCH(QString, source);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, hex);
    QFETCH(QString, version);
    QFETCH(QString, address);
    QFETCH(ConversionStatus, status);
    QFETCH(QString, detail);
    QFETCH(Setup, setup);

#ifdef Q_OS_WIN
    if ((source + image + srecords).contains(QStringLiteral("link-to-")))
        QSKIP("symbolic links: QFile::link makes .lnk shortcuts on Windows");
    if ((source + image + srecords).contains(QStringLiteral("%Z")) && m_otherDrive.isEmpty())
        QSKIP("no second drive letter reaches the fixture folder (under Wine, Z: does)");
#endif
    const Paths paths{resolved(source), resolved(image), resolved(srecords), resolved(hex)};
    detail = resolved(detail);
    std::unique_ptr<QLockFile> otherRun;
    switch (setup) {
    case Setup::None:
        break;
    case Setup::SparseSourceOneByteTooLarge:
    case Setup::SparseSource4GiB: {
        // Sparse: no data blocks are written.
        QFile huge(paths.source);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(setup == Setup::SparseSource4GiB ? FourGiB : FirstTooLargeSource));
        break;
    }
    case Setup::Sysfs:
        if (!QFileInfo::exists(paths.image.startsWith(QStringLiteral("/sys/")) ? paths.image : paths.srecords))
            QSKIP("no sysfs here");
        break;
    case Setup::ReadOnlyFile: {
        QFile probe(resolved(QStringLiteral("%D/readonly.out")));
        if (probe.open(QIODevice::ReadWrite))
            QSKIP("permission bits do not stop this user from writing (root)");
        break;
    }
    case Setup::UnreadableSource: {
        QFile probe(paths.source);
        char byte;
        if (!probe.open(QIODevice::ReadOnly) || probe.read(&byte, 1) >= 0)
            QSKIP("no source here that opens but fails to read");
        break;
    }
    case Setup::Fifo:
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(resolved(QStringLiteral("%D/fifo"))).constData(), 0600), 0);
#endif
        break;
    case Setup::ImageLocked:
    case Setup::SRecordsLocked: {
        const QString locked = setup == Setup::ImageLocked ? QStringLiteral("old.bin") : QStringLiteral("old.s19");
        otherRun = std::make_unique<QLockFile>(resolved(QStringLiteral("%D/.%1.lock").arg(locked)));
        QVERIFY(otherRun->tryLock(0));
        break;
    }
    }

    const QStringList entriesBefore = Entries(m_dir->path());
    QMap<QString, FileState> before;
    for (const QString &path : {paths.source, paths.image, paths.srecords, paths.hex}) {
        if (!path.isEmpty())
            before.insert(path, Snapshot(path));
    }

    const ConversionResult result = Convert(paths, version, address);

    QCOMPARE(result.status, status);
    QVERIFY2(result.detail.contains(detail), qPrintable(result.detail));
    QVERIFY2(!result.detail.contains(QLatin1Char('\n')), "the reason is one line");
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const FileState now = Snapshot(it.key());
        QVERIFY2(now.exists == it.value().exists && now.contents == it.value().contents,
                 qPrintable(it.key() + QStringLiteral(" was changed")));
    }
    // No output, temporary file or lock file appears; nothing disappears.
    QCOMPARE(Entries(m_dir->path()), entriesBefore);
}

// Good runs: every output equals the stamp and records done by hand with the
// same time, whatever was in the output files before, and nothing else is
// left in the folder.
void TestConversion::successes_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("versionText");
    QTest::addColumn<QString>("addressText");
    QTest::addColumn<int>("littleEndian");
    QTest::addColumn<int>("version");
    QTest::addColumn<quint32>("address");

    const QString source = QStringLiteral("%D/source.bin");
    const QString newImage = QStringLiteral("%D/new.bin");
    const QString newSRecords = QStringLiteral("%D/new.s19");
    const QString none;
    auto row = [&](const char *name, const QString &src, const QString &img, const QString &s19,
                   const QString &versionText, const QString &addressText, int version, quint32 address) {
        QTest::newRow(name) << src << img << s19 << none << versionText << addressText << 1 << version << address;
    };

    row("plain", source, newImage, newSRecords, "100", "8000000", 100, 0x08000000u);
    row("longer outputs are replaced whole", source, QStringLiteral("%D/old.bin"), QStringLiteral("%D/old.s19"),
        "100", "8000000", 100, 0x08000000u);
    row("source of 3 MiB + 17", QStringLiteral("%D/large.bin"), newImage, newSRecords, "100", "8000000", 100,
        0x08000000u);
    row("empty source", QStringLiteral("%D/empty.bin"), newImage, newSRecords, "100", "8000000", 100, 0x08000000u);
    row("relative paths", QStringLiteral("source.bin"), QStringLiteral("new.bin"), QStringLiteral("new.s19"), "100",
        "8000000", 100, 0x08000000u);
    row("Chinese names", QStringLiteral("%D/原始.bin"), QStringLiteral("%D/生成.bin"), QStringLiteral("%D/生成.s19"),
        "100", "8000000", 100, 0x08000000u);
    row("version 0", source, newImage, newSRecords, "0", "8000000", 0, 0x08000000u);
    row("version 65535", source, newImage, newSRecords, "65535", "8000000", 65535, 0x08000000u);
    row("version \" +7 \"", source, newImage, newSRecords, " +7 ", "8000000", 7, 0x08000000u);
    row("address 08000000", source, newImage, newSRecords, "100", "08000000", 100, 0x08000000u);
    row("address 0x08000000", source, newImage, newSRecords, "100", "0x08000000", 100, 0x08000000u);
    row("address 8000abc", source, newImage, newSRecords, "100", "8000abc", 100, 0x08000ABCu);
    row("address 0", source, newImage, newSRecords, "100", "0", 100, 0u);
    row("address 80000000", source, newImage, newSRecords, "100", "80000000", 100, 0x80000000u);
    row("last byte at FFFFFFFF", source, newImage, newSRecords, "100", "FFFFFF78", 100, 0xFFFFFF78u);
    row("36 bytes ending at FFFFFFFF", QStringLiteral("%D/empty.bin"), newImage, newSRecords, "100", "FFFFFFDC", 100,
        0xFFFFFFDCu);
    QTest::newRow("big-endian header") << source << newImage << newSRecords << none << "100" << "8000000" << 0 << 100
                                       << 0x08000000u;
    QTest::newRow("S-records and Intel HEX") << source << QStringLiteral("%D/old.bin") << newSRecords
                                             << QStringLiteral("%D/old.hex") << "100" << "8000000" << 1 << 100
                                             << 0x08000000u;
    QTest::newRow("Intel HEX alone") << source << newImage << none << QStringLiteral("%D/new.hex") << "100"
                                     << "0800FFF0" << 1 << 100 << 0x0800FFF0u;
}

void TestConversion::successes()
{
    QFETCH(QString, source);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, hex);
    QFETCH(QString, versionText);
    QFETCH(QString, addressText);
    QFETCH(int, littleEndian);
    QFETCH(int, version);
    QFETCH(quint32, address);

    const Paths paths{resolved(source), resolved(image), resolved(srecords), resolved(hex)};
    if (paths.source.endsWith(QStringLiteral("large.bin")))
        QVERIFY(WriteFile(paths.source, RandomPayload(LargeSourceSize, PayloadSeed)));
    const QByteArray sourceBytes = ReadFile(paths.source);
    QStringList expectedEntries = Entries(m_dir->path());
    for (const QString &path : {paths.image, paths.srecords, paths.hex}) {
        if (!path.isEmpty())
            expectedEntries << QFileInfo(path).fileName();
    }
    expectedEntries.removeDuplicates();
    expectedEntries.sort();

    const ConversionResult result = Convert(paths, versionText, addressText, littleEndian);
    QVERIFY2(result.succeeded(), qPrintable(result.detail));
    QVERIFY(result.detail.isEmpty());
    QCOMPARE(ReadFile(paths.source), sourceBytes);

    const QByteArray expectedImage = ExpectedImage(sourceBytes, quint16(version), littleEndian);
    const QByteArray written = ReadFile(paths.image);
    QCOMPARE(written.size(), sourceBytes.size() + ImageLayout::FrameSize);
    QVERIFY2(written == expectedImage, "the image differs from the stamp done by hand");
    // The fields the texts decide, read independently of the routines above.
    const auto *header = reinterpret_cast<const uchar *>(written.constData());
    QCOMPARE(littleEndian ? qFromLittleEndian<quint16>(header + ImageLayout::VersionOffset)
                          : qFromBigEndian<quint16>(header + ImageLayout::VersionOffset),
             quint16(version));

    if (!paths.srecords.isEmpty()) {
        const QByteArray text = ReadFile(paths.srecords);
        QVERIFY2(text == ExpectedText(expectedImage, address, WriteSRecords),
                 "the S-records differ from those written by hand");
        const QByteArray firstRecordHead = "S315" + QByteArray::number(address, 16).rightJustified(8, '0').toUpper();
        QCOMPARE(text.split('\n').value(1).left(firstRecordHead.size()), firstRecordHead);
    }
    if (!paths.hex.isEmpty())
        QVERIFY2(ReadFile(paths.hex) == ExpectedText(expectedImage, address, WriteIntelHex),
                 "the Intel HEX text differs from that written by hand");
    QCOMPARE(Entries(m_dir->path()), expectedEntries);
}

// A symbolic link keeps pointing at the file it names, which is replaced; a
// hard link is replaced by a new file, the other name keeping the old one;
// a replaced file keeps its permissions.
void TestConversion::linksAndPermissions()
{
#ifndef Q_OS_UNIX
    QSKIP("symbolic links, hard links and permission bits as POSIX has them");
#else
    const QString target = resolved(QStringLiteral("%D/folder/target.bin"));
    const QString link = resolved(QStringLiteral("%D/link.bin"));
    QVERIFY(WriteFile(target, "old target"));
    QVERIFY(QFile::link(target, link));
    QVERIFY(QFile::setPermissions(resolved(QStringLiteral("%D/old.s19")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const Paths paths{resolved(QStringLiteral("%D/source.bin")), link, resolved(QStringLiteral("%D/old.s19")),
                      resolved(QStringLiteral("%D/hard-old.s19"))};
    // hard-old.s19 and old.bin are one file: the HEX replaces hard-old.s19 alone.
    const ConversionResult result = Convert(paths, QStringLiteral("100"), QStringLiteral("0"));
    QVERIFY2(result.succeeded(), qPrintable(result.detail));

    const QByteArray image = ExpectedImage(ReadFile(paths.source), 100);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(ReadFile(target), image);
    QCOMPARE(ReadFile(resolved(QStringLiteral("%D/old.bin"))), QByteArray(OldOutputSize, 'B'));
    QCOMPARE(ReadFile(paths.hex), ExpectedText(image, 0, WriteIntelHex));

    const QFile::Permissions modeBits = ModeBits(0777);
    QCOMPARE(QFile::permissions(paths.srecords) & modeBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    // A new file gets what any new file gets here: 0666 less the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const QFileInfo newFile(target);
    QCOMPARE(newFile.permissions() & modeBits, ModeBits(0666 & ~mask));
#endif
}

#ifdef Q_OS_LINUX
// A write that fails at any step (past the file size limit, on a full disk)
// names the cause and leaves the previous outputs exactly as they were, with
// no temporary file beside them.
void TestConversion::failedWritesChangeNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("limit"); // bytes for RLIMIT_FSIZE, pages left free on the tmpfs
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<QString>("cause");

    // The image is 136 bytes, its S-record text 565, its HEX text 337; each
    // output's lock file takes a page of the tmpfs while the run lasts.
    QTest::newRow("file size limit: image") << "rlimit" << 120 << ConversionStatus::ImageWriteFailed
                                            << "File too large";
    QTest::newRow("file size limit: S-records") << "rlimit" << 300 << ConversionStatus::SRecordWriteFailed
                                                << "File too large";
    QTest::newRow("full disk: lock files") << "tmpfs" << 2 << ConversionStatus::HexPathInvalid
                                           << "No space left on device";
    QTest::newRow("full disk: image") << "tmpfs" << 3 << ConversionStatus::ImageWriteFailed
                                      << "No space left on device";
    QTest::newRow("full disk: S-records") << "tmpfs" << 4 << ConversionStatus::SRecordWriteFailed
                                          << "No space left on device";
    QTest::newRow("full disk: Intel HEX") << "tmpfs" << 5 << ConversionStatus::HexWriteFailed
                                          << "No space left on device";
}

void TestConversion::failedWritesChangeNothing()
{
    QFETCH(QString, how);
    QFETCH(int, limit);
    QFETCH(ConversionStatus, status);
    QFETCH(QString, cause);

    constexpr int PageSize = 4096;
    constexpr int TmpfsPages = 16;
    QString folder = m_dir->path();
    bool mounted = false;
    if (how == QLatin1String("tmpfs")) {
        folder = resolved(QStringLiteral("%D/small"));
        QVERIFY(QDir().mkpath(folder));
        const int status = QProcess::execute(QStringLiteral("mount"),
                                             {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=%1").arg(TmpfsPages * PageSize),
                                              QStringLiteral("tmpfs"), folder});
        if (status != 0)
            QSKIP("cannot mount a small tmpfs here (needs root)");
        mounted = true;
    }
    const auto unmount = qScopeGuard([&]() {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {folder});
    });

    const Paths paths{resolved(QStringLiteral("%D/source.bin")), folder + QStringLiteral("/out.bin"),
                      folder + QStringLiteral("/out.s19"), folder + QStringLiteral("/out.hex")};
    QVERIFY(WriteFile(paths.image, "previous image"));
    QVERIFY(WriteFile(paths.srecords, "previous S-records"));
    QVERIFY(WriteFile(paths.hex, "previous Intel HEX"));
    if (mounted) {
        // Every file takes a page: leave `limit` pages free.
        QVERIFY(WriteFile(folder + QStringLiteral("/filler"), QByteArray((TmpfsPages - 3 - limit) * PageSize, 'F')));
    }
    const QStringList entriesBefore = Entries(folder);

    rlimit previousLimit;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    if (how == QLatin1String("rlimit")) {
        rlimit fileSizeLimit = previousLimit;
        fileSizeLimit.rlim_cur = rlim_t(limit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &fileSizeLimit), 0);
    }
    const ConversionResult result = Convert(paths, QStringLiteral("100"), QStringLiteral("08000000"));
    setrlimit(RLIMIT_FSIZE, &previousLimit);

    QVERIFY2(result.status == status, qPrintable(result.detail));
    QVERIFY2(result.detail.contains(cause), qPrintable(result.detail));
    QCOMPARE(ReadFile(paths.image), QByteArray("previous image"));
    QCOMPARE(ReadFile(paths.srecords), QByteArray("previous S-records"));
    QCOMPARE(ReadFile(paths.hex), QByteArray("previous Intel HEX"));
    QCOMPARE(Entries(folder), entriesBefore);
}
#endif

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
