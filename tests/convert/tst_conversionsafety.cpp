// What a run does when the files around it are not what it expects: names of
// its own lock and temporary files given as paths, the settings file given as
// an output, a source rewritten while it is read, locks left in odd states,
// renames that fail while the set is put in place, interrupts, and runs on
// several threads at once. Every refusal leaves every file exactly as it was;
// every success leaves exactly the promised files.

#include "conversion.h"
#include "conversionhooks.h"
#include "imagestamp.h"
#include "platformfile.h"
#include "referencetools.h"
#include "srecordwriter.h"
#include "testfiles.h"
#include "testpayload.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

Q_DECLARE_METATYPE(ConversionStatus)

namespace {

constexpr quint32 PayloadSeed = 47;
constexpr int SourceSize = 100;
// Several copy pieces, so that the source can change between two of them.
constexpr int ChangingSourceSize = 4 * 64 * 1024 + 5;
constexpr qint64 LongAgoMs = 60 * 1000;
const QByteArray OldImage(3000, 'B');
const QByteArray OldSRecords(3000, 'S');
const QByteArray OldHex(3000, 'H');

QDateTime StampTime()
{
    return QDateTime(QDate(2026, 12, 9), QTime(23, 30, 15));
}

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

bool SetAge(const QString &path, qint64 ageMs)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
           && file.setFileTime(QDateTime::currentDateTime().addMSecs(-ageMs), QFileDevice::FileModificationTime);
}

// A process number that no process has any more.
qint64 EndedProcessId()
{
    QProcess process;
#ifdef Q_OS_WIN
    process.start(QStringLiteral("cmd"), {QStringLiteral("/c"), QStringLiteral("exit")});
#else
    process.start(QStringLiteral("true"), QStringList());
#endif
    process.waitForFinished();
    return process.processId() ? qint64(process.processId()) : 999999;
}

} // namespace

// What stands at the lock path before the run.
enum class LockSetup {
    OwnProcess,      // QLockFile of this process, which is running
    EndedProcess,    // written by a process that has ended
    OtherHost,       // an ended process number, but on another host
    EmptyFresh,      // empty, just made: a run is about to write it
    EmptyOld,        // empty for a minute: a power cut left it
    GarbageFresh,
    GarbageOld,
    Folder,
    Fifo,
    DanglingLink,
    LinkToFile,      // a link to a file that is nobody's lock
    LinkToDevice,
};
Q_DECLARE_METATYPE(LockSetup)

class TestConversionSafety : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void reservedNames_data();
    void reservedNames();
    void settingsFileIsNoOutput_data();
    void settingsFileIsNoOutput();
    void sourceChangedDuringRead_data();
    void sourceChangedDuringRead();
    void locksLeftBehind_data();
    void locksLeftBehind();
    void releaseKeepsAnotherLock();
    void failedRenamesRollBack_data();
    void failedRenamesRollBack();
#ifdef Q_OS_UNIX
    void interrupts_data();
    void interrupts();
#endif
    void threadsConvertAtOnce();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    ConversionRequest request(const QString &image, const QString &srecords, const QString &hex = QString()) const;
    void expectRefusal(const ConversionResult &result, ConversionStatus status, const QString &detail,
                       const QMap<QString, QByteArray> &before);
    void expectConverted(const ConversionResult &result, const QStringList &outputs);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDirectory;
    QByteArray m_source;
};

void TestConversionSafety::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_source = RandomPayload(SourceSize, PayloadSeed);
    QVERIFY(WriteFile(path(QStringLiteral("source.bin")), m_source));
    QVERIFY(WriteFile(path(QStringLiteral("app.bin")), OldImage));
    QVERIFY(WriteFile(path(QStringLiteral("app.s19")), OldSRecords));
    QVERIFY(WriteFile(path(QStringLiteral("app.hex")), OldHex));
    QVERIFY(WriteFile(path(QStringLiteral("VandrelSet.ini")), "[Sys]\nDevs=0\n"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
}

void TestConversionSafety::cleanup()
{
    QDir::setCurrent(m_previousDirectory);
    m_dir.reset();
}

ConversionRequest TestConversionSafety::request(const QString &image, const QString &srecords,
                                                const QString &hex) const
{
    ConversionRequest request;
    request.sourcePath = path(QStringLiteral("source.bin"));
    request.imagePath = image;
    request.srecordPath = srecords;
    request.hexPath = hex;
    request.startAddress = 0x08000000;
    request.version = 7;
    request.wallClock = StampTime();
    return request;
}

void TestConversionSafety::expectRefusal(const ConversionResult &result, ConversionStatus status,
                                         const QString &detail, const QMap<QString, QByteArray> &before)
{
    QVERIFY2(result.status == status, qPrintable(result.detail));
    QVERIFY2(result.detail.contains(detail), qPrintable(result.detail));
    QVERIFY2(!result.detail.contains(QLatin1Char('\n')), "the reason is one line");
    const QMap<QString, QByteArray> after = FolderState(m_dir->path());
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + QStringLiteral(" was changed")));
}

// The named outputs hold exactly the new image and its records, and no
// temporary or lock file is left.
void TestConversionSafety::expectConverted(const ConversionResult &result, const QStringList &outputs)
{
    QVERIFY2(result.succeeded(), qPrintable(result.detail));
    const QByteArray image = ExpectedImage(ReadFile(path(QStringLiteral("source.bin"))), 7);
    QCOMPARE(ReadFile(outputs.value(0)), image);
    QByteArray imageBytes = image;
    QBuffer imageDevice(&imageBytes);
    QByteArray records;
    QBuffer recordDevice(&records);
    QVERIFY(imageDevice.open(QIODevice::ReadOnly) && recordDevice.open(QIODevice::WriteOnly));
    QVERIFY(WriteSRecords(&imageDevice, 0x08000000, &recordDevice) == RecordFileResult::Written);
    QVERIFY2(ReadFile(outputs.value(1)) == records, "the S-records differ from those of the image");
    const QStringList left = QDir(m_dir->path()).entryList({QStringLiteral(".*.lock"), QStringLiteral(".*.tmp")},
                                                           QDir::AllEntries | QDir::Hidden | QDir::System);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

// An output, the source or the settings file that names a lock or temporary
// file of an output, directly, through a link or by another spelling.
void TestConversionSafety::reservedNames_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("existing"); // a file made first with that name, or none
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("notRestored"); // the output left without its previous file, when a restore fails

    using S = ConversionStatus;
    const QString none;
    const QString source = QStringLiteral("source.bin");
    const QString image = QStringLiteral("app.bin");
    const QString srecords = QStringLiteral("app.s19");
    QTest::newRow("S-records = image's lock") << source << image << ".app.bin.lock" << none << none << none
                                               << S::SRecordPathInvalid
                                               << "S-record file \".app.bin.lock\" is the lock file of new image";
    QTest::newRow("S-records = image's lock, which exists") << source << image << ".app.bin.lock" << none << none
                                                             << ".app.bin.lock" << S::SRecordPathInvalid
                                                             << "is the lock file of new image";
    QTest::newRow("HEX = S-records' lock") << source << image << srecords << ".app.s19.lock" << none << none
                                            << S::HexPathInvalid
                                            << "Intel HEX file \".app.s19.lock\" is the lock file of S-record file";
    QTest::newRow("image = S-records' lock") << source << ".app.s19.lock" << srecords << none << none << none
                                              << S::ImagePathInvalid << "is the lock file of S-record file";
    QTest::newRow("image = S-records' lock, through ./ and ..")
        << source << "./sub/../.app.s19.lock" << srecords << none << none << none << S::ImagePathInvalid
        << "is the lock file of S-record file";
    QTest::newRow("S-records = image's temporary name") << source << image << ".app.bin.Ab3dE9.tmp" << none << none
                                                         << none << S::SRecordPathInvalid
                                                         << "is the temporary file of new image";
    QTest::newRow("source = image's lock") << ".app.bin.lock" << image << srecords << none << none << ".app.bin.lock"
                                            << S::ImagePathInvalid
                                            << "source image \".app.bin.lock\" is the lock file of new image";
    QTest::newRow("settings = HEX's lock") << source << image << srecords << "app.hex" << ".app.hex.lock"
                                            << ".app.hex.lock" << S::HexPathInvalid
                                            << "settings file \".app.hex.lock\" is the lock file of Intel HEX file";
#ifdef Q_OS_UNIX
    QTest::newRow("S-records through a link to image's lock") << source << image << "to-lock.s19" << none << none
                                                               << none << S::SRecordPathInvalid
                                                               << "is the lock file of new image";
    QTest::newRow("source through a link to image's lock") << "to-lock.s19" << image << srecords << none << none
                                                            << ".app.bin.lock" << S::ImagePathInvalid
                                                            << "is the lock file of new image";
    QTest::newRow("S-records = a hard link of image's lock") << source << image << "hard.s19" << none << none
                                                              << ".app.bin.lock" << S::SRecordPathInvalid
                                                              << "is the lock file of new image";
#endif
}

void TestConversionSafety::reservedNames()
{
    QFETCH(QString, source);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, hex);
    QFETCH(QString, settings);
    QFETCH(QString, existing);
    QFETCH(ConversionStatus, status);
    QFETCH(QString, detail);

    // Old and garbage: a run would take it over as stale, then remove it.
    if (!existing.isEmpty()) {
        QVERIFY(WriteFile(path(existing), m_source));
        QVERIFY(SetAge(path(existing), LongAgoMs));
    }
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(QStringLiteral(".app.bin.lock"), path(QStringLiteral("to-lock.s19"))));
    if (QTest::currentDataTag() == QByteArrayLiteral("S-records = a hard link of image's lock"))
        QCOMPARE(::link(QFile::encodeName(path(existing)).constData(), "hard.s19"), 0);
#endif
    ConversionRequest run = request(image, srecords, hex);
    run.sourcePath = source;
    run.settingsPath = settings;
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    expectRefusal(RunConversion(run), status, detail, before);
}

// The settings file the values came from, by any spelling, as any output.
void TestConversionSafety::settingsFileIsNoOutput_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("notRestored"); // the output left without its previous file, when a restore fails

    using S = ConversionStatus;
    const QString ini = QStringLiteral("VandrelSet.ini");
    QTest::newRow("image = settings") << ini << ini << "app.s19" << QString() << S::ImagePathInvalid
                                      << "new image \"VandrelSet.ini\" is the settings file \"VandrelSet.ini\"";
    QTest::newRow("S-records = settings through ./") << ini << "app.bin" << "./VandrelSet.ini" << QString()
                                                      << S::SRecordPathInvalid
                                                      << "is the settings file \"VandrelSet.ini\"";
    QTest::newRow("HEX = settings through ..") << ini << "app.bin" << "app.s19" << "sub/../VandrelSet.ini"
                                                << S::HexPathInvalid << "is the settings file";
    QTest::newRow("settings given absolute, image relative") << "%D/VandrelSet.ini" << ini << "app.s19" << QString()
                                                              << S::ImagePathInvalid << "is the settings file";
    QTest::newRow("settings not made yet") << "site.ini" << "site.ini" << "app.s19" << QString()
                                           << S::ImagePathInvalid << "is the settings file \"site.ini\"";
#ifdef Q_OS_UNIX
    QTest::newRow("image = link to settings") << ini << "to-settings.bin" << "app.s19" << QString()
                                              << S::ImagePathInvalid << "is the settings file";
    QTest::newRow("settings through a link, image = its file") << "to-settings.bin" << ini << "app.s19" << QString()
                                                               << S::ImagePathInvalid << "is the settings file";
    QTest::newRow("S-records = hard link of settings") << ini << "app.bin" << "hard.ini" << QString()
                                                        << S::SRecordPathInvalid << "is the settings file";
#endif
}

void TestConversionSafety::settingsFileIsNoOutput()
{
    QFETCH(QString, settings);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, hex);
    QFETCH(ConversionStatus, status);
    QFETCH(QString, detail);

#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(QStringLiteral("VandrelSet.ini"), path(QStringLiteral("to-settings.bin"))));
    QCOMPARE(::link("VandrelSet.ini", "hard.ini"), 0);
#endif
    ConversionRequest run = request(image, srecords, hex);
    run.settingsPath = settings.replace(QStringLiteral("%D"), m_dir->path());
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    expectRefusal(RunConversion(run), status, detail, before);
}

// Another program writes the source after its first piece was read: in
// place at the same size, by growing it, by putting another file in its
// place, or by only touching it. The run is refused; the previous pair stays.
void TestConversionSafety::sourceChangedDuringRead_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("rewritten in place, same size") << "in place";
    QTest::newRow("one byte changed at the end") << "last byte";
    QTest::newRow("grown") << "append";
#ifndef Q_OS_WIN
    // Windows renames nothing over a file that is open.
    QTest::newRow("replaced by another file") << "rename";
#endif
    QTest::newRow("times changed, bytes the same") << "touch";
}

void TestConversionSafety::sourceChangedDuringRead()
{
    QFETCH(QString, how);
    const QString source = path(QStringLiteral("source.bin"));
    QVERIFY(WriteFile(source, RandomPayload(ChangingSourceSize, PayloadSeed)));
    QVERIFY(WriteFile(path(QStringLiteral("other.bin")), RandomPayload(ChangingSourceSize, PayloadSeed + 1)));
    QVERIFY(SetAge(source, LongAgoMs));
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());

    ConversionHooks hooks;
    bool rewritten = false;
    hooks.afterFirstSourcePiece = [&]() {
        QFile file(source);
        if (how == QLatin1String("rename")) {
            rewritten = QFile::copy(path(QStringLiteral("other.bin")), path(QStringLiteral("next.bin")))
                        && PlatformFile::RenameReplacing(path(QStringLiteral("next.bin")), source).isEmpty();
        } else if (how == QLatin1String("touch")) {
            rewritten = SetAge(source, 0);
        } else if (how == QLatin1String("append")) {
            rewritten = file.open(QIODevice::Append) && file.write("x", 1) == 1;
        } else {
            const QByteArray other = ReadFile(path(QStringLiteral("other.bin")));
            const qint64 at = how == QLatin1String("last byte") ? ChangingSourceSize - 1 : 0;
            rewritten = file.open(QIODevice::ReadWrite) && file.seek(at) && file.write(other.mid(int(at))) > 0;
        }
    };
    const ConversionResult result = RunConversion(request(path(QStringLiteral("app.bin")),
                                                          path(QStringLiteral("app.s19"))), hooks);
    QVERIFY(rewritten);
    QVERIFY2(result.status == ConversionStatus::SourceReadFailed, qPrintable(result.detail));
    QVERIFY2(result.detail.contains(QStringLiteral("changed while it was read")), qPrintable(result.detail));
    QVERIFY2(result.detail.contains(source), qPrintable(result.detail));
    const QMap<QString, QByteArray> after = FolderState(m_dir->path());
    QCOMPARE(after.value(QStringLiteral("app.bin")), OldImage);
    QCOMPARE(after.value(QStringLiteral("app.s19")), OldSRecords);
    QCOMPARE(after.keys(), before.keys());
}

// A lock left at the image's lock path: a live run's is respected, a dead
// or unreadable old one is taken over, anything else is never opened and
// named in the refusal.
void TestConversionSafety::locksLeftBehind_data()
{
    QTest::addColumn<LockSetup>("setup");
    QTest::addColumn<bool>("takenOver");

    QTest::newRow("lock of a running process") << LockSetup::OwnProcess << false;
    QTest::newRow("lock of an ended process") << LockSetup::EndedProcess << true;
    QTest::newRow("lock of a process on another host") << LockSetup::OtherHost << false;
    QTest::newRow("empty lock, just made") << LockSetup::EmptyFresh << false;
    QTest::newRow("empty lock, a minute old") << LockSetup::EmptyOld << true;
    QTest::newRow("garbage lock, just made") << LockSetup::GarbageFresh << false;
    QTest::newRow("garbage lock, a minute old") << LockSetup::GarbageOld << true;
    QTest::newRow("folder") << LockSetup::Folder << false;
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << LockSetup::Fifo << false;
    QTest::newRow("dangling link") << LockSetup::DanglingLink << false;
    QTest::newRow("link to a file") << LockSetup::LinkToFile << false;
    QTest::newRow("link to a device") << LockSetup::LinkToDevice << false;
#endif
}

void TestConversionSafety::locksLeftBehind()
{
    QFETCH(LockSetup, setup);
    QFETCH(bool, takenOver);

    const QString lock = path(QStringLiteral(".app.bin.lock"));
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    QLockFile running(lock);
    switch (setup) {
    case LockSetup::OwnProcess:
        QVERIFY(running.tryLock(0));
        break;
    case LockSetup::EndedProcess:
        QVERIFY(WriteFile(lock, QByteArray::number(EndedProcessId()) + "\nvandrel\n" + host + '\n'));
        break;
    case LockSetup::OtherHost:
        QVERIFY(WriteFile(lock, QByteArray::number(EndedProcessId()) + "\nvandrel\nnot-" + host + '\n'));
        QVERIFY(SetAge(lock, LongAgoMs));
        break;
    case LockSetup::EmptyFresh:
    case LockSetup::EmptyOld:
        QVERIFY(WriteFile(lock, QByteArray()));
        break;
    case LockSetup::GarbageFresh:
    case LockSetup::GarbageOld:
        QVERIFY(WriteFile(lock, "\x01\xFFnot a lock"));
        break;
    case LockSetup::Folder:
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral(".app.bin.lock")));
        break;
#ifdef Q_OS_UNIX
    case LockSetup::Fifo:
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        break;
    case LockSetup::DanglingLink:
        QVERIFY(QFile::link(path(QStringLiteral("nothing")), lock));
        break;
    case LockSetup::LinkToFile:
        QVERIFY(QFile::link(path(QStringLiteral("VandrelSet.ini")), lock));
        break;
    case LockSetup::LinkToDevice:
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), lock));
        break;
#else
    default:
        break;
#endif
    }
    if (setup == LockSetup::EmptyOld || setup == LockSetup::GarbageOld)
        QVERIFY(SetAge(lock, LongAgoMs));

    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    const QString image = path(QStringLiteral("app.bin"));
    const ConversionResult result = RunConversion(request(image, path(QStringLiteral("app.s19"))));
    if (takenOver) {
        expectConverted(result, {image, path(QStringLiteral("app.s19"))});
        QVERIFY(!QFileInfo::exists(lock));
        return;
    }
    expectRefusal(result, ConversionStatus::ImagePathInvalid,
                  QStringLiteral("\"%1\" is being written by another conversion (lock file \"").arg(image), before);
    QVERIFY2(result.detail.endsWith(QStringLiteral(".app.bin.lock\"; remove it if no conversion is running)")),
             qPrintable(result.detail));
}

// A run removes only the lock file it made: one that took its place
// meanwhile (someone removed the first, another run made its own) stays.
void TestConversionSafety::releaseKeepsAnotherLock()
{
    const QString lock = path(QStringLiteral(".app.bin.lock"));
    ConversionHooks hooks;
    QByteArray ours;
    bool replaced = false;
    hooks.afterFirstSourcePiece = [&]() {
        ours = ReadFile(lock);
        replaced = QFile::remove(lock) && WriteFile(lock, "another run's lock");
    };
    const ConversionResult result = RunConversion(request(path(QStringLiteral("app.bin")),
                                                          path(QStringLiteral("app.s19"))), hooks);
    QVERIFY2(result.succeeded(), qPrintable(result.detail));
#ifdef Q_OS_WIN
    if (!replaced)
        QSKIP("the name of a removed file stays taken here until the run closes it");
#endif
    QVERIFY(replaced);
    QVERIFY2(ours.startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'), ours.constData());
    QCOMPARE(ReadFile(lock), QByteArray("another run's lock"));
}

// The Nth rename of the placement fails (a rename gives a target its new
// file, or gives it back its previous file). The run says which output
// could not be placed and, when an undoing rename fails too, what is on
// disk where.
void TestConversionSafety::failedRenamesRollBack_data()
{
    QTest::addColumn<bool>("previousFiles"); // the outputs exist before the run
    QTest::addColumn<int>("failFrom");       // the first rename to fail
    QTest::addColumn<int>("failTo");         // the last one (inclusive)
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("notRestored"); // the output left without its previous file, when a restore fails

    using S = ConversionStatus;
    const QString clean = QStringLiteral("(nothing was changed)");
    const QString notPlaced = QStringLiteral("\" could not be put in place ");
    QTest::newRow("image placed: fails")
        << true << 1 << 1 << S::ImageWriteFailed << "app.bin" + notPlaced + clean << -1;
    QTest::newRow("S-records placed: fails") << true << 2 << 2 << S::SRecordWriteFailed
                                             << "app.s19" + notPlaced + clean << -1;
    QTest::newRow("HEX placed: fails") << true << 3 << 3 << S::HexWriteFailed << "app.hex" + notPlaced + clean << -1;
    QTest::newRow("HEX fails, new outputs") << false << 3 << 3 << S::HexWriteFailed << clean << -1;
    const QString undoFailed = QStringLiteral("undoing the other outputs failed: \"%D/%1\" %2; "
                                              "its previous file is kept as \"%D/.%1.");
#ifdef Q_OS_WIN
    // Windows moves each previous file aside (no second name for it), so
    // the first rename of the undo gives the HEX file its previous file back.
    const QString missing = QStringLiteral("is missing");
    QTest::newRow("HEX fails, giving the HEX file back fails")
        << true << 3 << 4 << S::HexWriteFailed << undoFailed.arg(QStringLiteral("app.hex"), missing) << 2;
    QTest::newRow("S-records fail, giving the HEX file back fails")
        << true << 2 << 3 << S::SRecordWriteFailed << undoFailed.arg(QStringLiteral("app.hex"), missing) << 2;
#else
    const QString holdsNew = QStringLiteral("holds the new file");
    QTest::newRow("HEX fails, giving S-records back fails")
        << true << 3 << 4 << S::HexWriteFailed << undoFailed.arg(QStringLiteral("app.s19"), holdsNew) << 1;
    QTest::newRow("S-records fail, giving the image back fails")
        << true << 2 << 3 << S::SRecordWriteFailed << undoFailed.arg(QStringLiteral("app.bin"), holdsNew) << 0;
#endif
}

void TestConversionSafety::failedRenamesRollBack()
{
    QFETCH(bool, previousFiles);
    QFETCH(int, failFrom);
    QFETCH(int, failTo);
    QFETCH(ConversionStatus, status);
    QFETCH(QString, detail);
    QFETCH(int, notRestored);

    const QStringList outputs{path(QStringLiteral("app.bin")), path(QStringLiteral("app.s19")),
                              path(QStringLiteral("app.hex"))};
    if (!previousFiles) {
        for (const QString &output : outputs)
            QVERIFY(QFile::remove(output));
    }
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    ConversionHooks hooks;
    int renames = 0;
    hooks.rename = [&](const QString &from, const QString &to) {
        ++renames;
        if (renames >= failFrom && renames <= failTo)
            return QStringLiteral("Input/output error");
        return PlatformFile::RenameReplacing(from, to);
    };
    const ConversionResult result = RunConversion(request(outputs[0], outputs[1], outputs[2]), hooks);
    detail.replace(QStringLiteral("%D"), m_dir->path());
    if (failTo == failFrom) {
        expectRefusal(result, status, detail, before);
        return;
    }
    // The output whose restore failed holds the new file; its previous
    // file is where the message says; everything else is as it was.
    QVERIFY2(result.status == status, qPrintable(result.detail));
    QVERIFY2(result.detail.contains(detail), qPrintable(result.detail));
    const QString kept = result.detail.section(QStringLiteral("kept as \""), 1).section(QLatin1Char('"'), 0, 0);
    QCOMPARE(ReadFile(kept), before.value(QFileInfo(outputs[notRestored]).fileName()));
    if (notRestored == 0)
        QCOMPARE(ReadFile(outputs[0]), ExpectedImage(m_source, 7));
    else if (notRestored == 1)
        QVERIFY(ReadFile(outputs[1]).startsWith("S0"));
    else
        QVERIFY(!QFileInfo::exists(outputs[2]));
    QMap<QString, QByteArray> after = FolderState(m_dir->path());
    after.remove(QFileInfo(kept).fileName());
    after.remove(QFileInfo(outputs[notRestored]).fileName());
    QMap<QString, QByteArray> unchanged = before;
    unchanged.remove(QFileInfo(outputs[notRestored]).fileName());
    QCOMPARE(after, unchanged);
}

#ifdef Q_OS_UNIX
// SIGTERM at a known point of a run in a child process: before the set is
// in place it ends the process and nothing changes; once the set is being
// put in place it waits, and a complete set lets the run report success.
void TestConversionSafety::interrupts_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<bool>("ended");    // the child was ended by the signal
    QTest::addColumn<bool>("converted"); // the new set is in place

    QTest::newRow("while the source is read") << "read" << true << false;
    QTest::newRow("while the set is put in place") << "placing" << false << true;
    QTest::newRow("while a failed placement is rolled back") << "placing, failing" << true << false;
}

void TestConversionSafety::interrupts()
{
    QFETCH(QString, when);
    QFETCH(bool, ended);
    QFETCH(bool, converted);

    const QStringList outputs{path(QStringLiteral("app.bin")), path(QStringLiteral("app.s19"))};
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    ConversionHooks hooks;
    int renames = 0;
    if (when == QLatin1String("read"))
        hooks.afterFirstSourcePiece = []() { ::raise(SIGTERM); };
    hooks.rename = [&](const QString &from, const QString &to) {
        if (++renames == 1)
            ::raise(SIGTERM);
        if (renames == 2 && when == QLatin1String("placing, failing"))
            return QStringLiteral("Input/output error");
        return PlatformFile::RenameReplacing(from, to);
    };
    const ConversionRequest run = request(outputs[0], outputs[1]);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0)
        ::_exit(RunConversion(run, hooks).succeeded() ? 0 : 1);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM, ended);
    if (!ended)
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (!converted) {
        expectRefusal(ConversionResult{ConversionStatus::ImageWriteFailed, QString()},
                      ConversionStatus::ImageWriteFailed, QString(), before);
        return;
    }
    expectConverted(ConversionResult{}, outputs);
}
#endif

// Conversions on several threads at once, each with its own source and
// outputs: each image's CRC agrees with binascii.crc_hqx over its payload,
// and its S-records read back by srec_cat give the image.
void TestConversionSafety::threadsConvertAtOnce()
{
    constexpr int Threads = 6;
    constexpr int BaseSize = 1024 * 1024 + 300; // over the stamp's buffer
    std::vector<ConversionResult> results(Threads);
    std::vector<ConversionRequest> requests;
    for (int i = 0; i < Threads; ++i) {
        const QString name = QStringLiteral("t%1").arg(i);
        QVERIFY(WriteFile(path(name + QStringLiteral(".src")), RandomPayload(BaseSize + i * 4099, PayloadSeed + i)));
        ConversionRequest run = request(path(name + QStringLiteral(".bin")), path(name + QStringLiteral(".s19")));
        run.sourcePath = path(name + QStringLiteral(".src"));
        run.version = quint16(i);
        requests.push_back(run);
    }
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < Threads; ++i) {
        threads.emplace_back([&, i]() {
            ++ready;
            while (ready.load() < Threads)
                std::this_thread::yield();
            results[size_t(i)] = RunConversion(requests[size_t(i)]);
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    for (int i = 0; i < Threads; ++i) {
        QVERIFY2(results[size_t(i)].succeeded(), qPrintable(results[size_t(i)].detail));
        const QByteArray source = ReadFile(requests[size_t(i)].sourcePath);
        const QByteArray image = ReadFile(requests[size_t(i)].imagePath);
        QCOMPARE(image.size(), source.size() + ImageLayout::FrameSize);
        QVERIFY(image.mid(ImageLayout::HeaderSize, source.size()) == source);
        if (!ReferenceToolsAvailable)
            continue;
        quint16 crc = 0;
        QString error;
        QVERIFY2(PythonCrcHqx(requests[size_t(i)].sourcePath, &crc, &error), qPrintable(error));
        QCOMPARE(image.right(ImageLayout::TrailerSize).toHex(),
                 QByteArray::number(crc, 16).rightJustified(4, '0') + "0000");
        const QString back = path(QStringLiteral("t%1.back").arg(i));
        QVERIFY2(SrecCatToBinary(requests[size_t(i)].srecordPath, requests[size_t(i)].startAddress, back, &error),
                 qPrintable(error));
        QVERIFY2(ReadFile(back) == image, "the S-records do not give the image back");
    }
    const QStringList left = QDir(m_dir->path()).entryList({QStringLiteral(".*")},
                                                           QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

QTEST_GUILESS_MAIN(TestConversionSafety)
#include "tst_conversionsafety.moc"
