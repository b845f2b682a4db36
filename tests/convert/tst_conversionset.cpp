// Several conversions and the caller's own files put in place as one set:
// a refusal or failure of any member, at any step, leaves every file of
// every member as it was; files that overlap are refused before anything
// is written; an interrupt before the set is in place changes nothing.

#include "conversionset.h"
#include "imagestamp.h"
#include "interruptcleanup.h"
#include "outputfile.h"
#include "outputlock.h"
#include "platformfile.h"
#include "profilesettings.h"
#include "setcollisions.h"
#include "testfiles.h"
#include "testpayload.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
constexpr int Members = 3;
constexpr int SourceSize = 1000;
constexpr quint32 PayloadSeed = 57;

QDateTime StampTime()
{
    return QDateTime(QDate(2026, 12, 9), QTime(14, 30, 0));
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

// How a row spoils the set, at the last member unless it says otherwise.
enum class Spoil {
    LockedImage,        // another run holds the image's lock
    SRecordsIsFolder,   // the S-record path is a folder
    ReadOnlyImage,      // the existing image may not be replaced
    MissingSource,      // the source is gone
    RenameFails,        // putting its S-record file in place fails
    AddedFileFails,     // the caller cannot make its own file
    AddedFileIsFolder,  // the caller's own file is a folder
};
} // namespace

Q_DECLARE_METATYPE(Spoil)

class TestConversionSet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void placesEverything();
    void bothOrNothing_data();
    void bothOrNothing();
    void overlapsRefusedFirst_data();
    void overlapsRefusedFirst();
    void tooManyFilesRefusedFirst();
    void largestReleaseFits();
#ifdef Q_OS_UNIX
    void interrupts_data();
    void interrupts();
#endif

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString name(const char *pattern, int member) const { return path(QString::fromLatin1(pattern).arg(member)); }
    ConversionSet makeSet() const;
    void expectUnchanged(const QMap<QString, QByteArray> &before) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestConversionSet::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    for (int i = 0; i < Members; ++i) {
        QVERIFY(WriteFile(name("m%1.src", i), RandomPayload(SourceSize + i * 7, PayloadSeed + quint32(i))));
        QVERIFY(WriteFile(name("m%1.bin", i), "previous image " + QByteArray::number(i)));
        QVERIFY(WriteFile(name("m%1.s19", i), "previous records " + QByteArray::number(i)));
    }
    QVERIFY(WriteFile(path(QStringLiteral("set.txt")), "previous list"));
    QVERIFY(WriteFile(path(QStringLiteral("set.txt.sig")), "stale signature"));
}

void TestConversionSet::cleanup()
{
    if (m_dir)
        QFile::setPermissions(name("m%1.bin", Members - 1), QFile::ReadOwner | QFile::WriteOwner);
    m_dir.reset();
}

// Three members, an added list of what they wrote, and a stale file to remove.
ConversionSet TestConversionSet::makeSet() const
{
    ConversionSet set;
    for (int i = 0; i < Members; ++i) {
        ConversionRequest request;
        request.sourcePath = name("m%1.src", i);
        request.imagePath = name("m%1.bin", i);
        request.srecordPath = name("m%1.s19", i);
        request.version = quint16(100 + i);
        request.startAddress = 0x08000000;
        request.wallClock = StampTime();
        set.members.push_back({request, QStringLiteral("member %1").arg(i)});
    }
    set.added.push_back({path(QStringLiteral("set.txt")), QStringLiteral("list")});
    set.removed.push_back({path(QStringLiteral("set.txt.sig")), QStringLiteral("stale signature")});
    set.makeAddedFiles = [](const WrittenOutputs &written, QList<QByteArray> *contents) {
        QByteArray list;
        for (const std::vector<OutputFile *> &outputs : written) {
            for (OutputFile *output : outputs)
                list += QFileInfo(output->path()).fileName().toUtf8() + ' '
                    + QByteArray::number(output->file().size()) + '\n';
        }
        *contents << list;
        return QString();
    };
    return set;
}

void TestConversionSet::expectUnchanged(const QMap<QString, QByteArray> &before) const
{
    const QMap<QString, QByteArray> after = FolderState(m_dir->path());
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + QStringLiteral(" was changed")));
}

// Every member's outputs in place, the added file made from the written
// temporaries, the stale file gone, nothing left behind.
void TestConversionSet::placesEverything()
{
    const ConversionSetResult result = RunConversionSet(makeSet());
    QVERIFY2(result.succeeded(), qPrintable(result.detail));
    QByteArray list;
    for (int i = 0; i < Members; ++i) {
        const QByteArray image = ExpectedImage(ReadFile(name("m%1.src", i)), quint16(100 + i));
        QCOMPARE(ReadFile(name("m%1.bin", i)), image);
        QVERIFY(ReadFile(name("m%1.s19", i)).startsWith("S0"));
        list += QStringLiteral("m%1.bin %2\nm%1.s19 %3\n")
                    .arg(i)
                    .arg(image.size())
                    .arg(QFileInfo(name("m%1.s19", i)).size())
                    .toUtf8();
    }
    QCOMPARE(ReadFile(path(QStringLiteral("set.txt"))), list);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("set.txt.sig"))));
    const QStringList left = QDir(m_dir->path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

void TestConversionSet::bothOrNothing_data()
{
    QTest::addColumn<Spoil>("spoil");
    QTest::addColumn<QString>("detail");

    QTest::newRow("last member's image locked by another run")
        << Spoil::LockedImage << "member 2: \"%D/m2.bin\" is being written";
    QTest::newRow("last member's S-record path a folder") << Spoil::SRecordsIsFolder << "member 2: S-record file";
    QTest::newRow("last member's image read-only") << Spoil::ReadOnlyImage << "member 2: new image";
    QTest::newRow("last member's source missing") << Spoil::MissingSource << "member 2: source image";
    QTest::newRow("last member's S-record file cannot be put in place")
        << Spoil::RenameFails << "\"%D/m2.s19\" could not be put in place (nothing was changed): Input/output error";
    QTest::newRow("the caller's own file cannot be made") << Spoil::AddedFileFails << "no room for the list";
    QTest::newRow("the caller's own file a folder") << Spoil::AddedFileIsFolder << "list \"%D/set.txt\" is a folder";
}

void TestConversionSet::bothOrNothing()
{
    QFETCH(Spoil, spoil);
    QFETCH(QString, detail);

    ConversionSet set = makeSet();
    OutputLock otherRun;
    const QString lastImage = name("m%1.bin", Members - 1);
    switch (spoil) {
    case Spoil::LockedImage:
        QVERIFY(otherRun.take(OutputLock::pathFor(OutputFile::keyOf(lastImage))).isEmpty());
        break;
    case Spoil::SRecordsIsFolder:
        QVERIFY(QFile::remove(name("m%1.s19", Members - 1)));
        QVERIFY(QDir().mkdir(name("m%1.s19", Members - 1)));
        break;
    case Spoil::ReadOnlyImage: {
        QVERIFY(QFile::setPermissions(lastImage, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QFile probe(lastImage);
        if (probe.open(QIODevice::ReadWrite))
            QSKIP("permission bits do not stop this user from writing (root)");
        break;
    }
    case Spoil::MissingSource:
        QVERIFY(QFile::remove(name("m%1.src", Members - 1)));
        break;
    case Spoil::RenameFails:
        // Its first rename is the placing; the rest give files back.
        set.rename = [target = name("m%1.s19", Members - 1), failed = false](const QString &from,
                                                                              const QString &to) mutable {
            if (to == target && !failed) {
                failed = true;
                return QStringLiteral("Input/output error");
            }
            return PlatformFile::RenameReplacing(from, to);
        };
        break;
    case Spoil::AddedFileFails:
        set.makeAddedFiles = [](const WrittenOutputs &, QList<QByteArray> *) { return QStringLiteral("no room for the list"); };
        break;
    case Spoil::AddedFileIsFolder:
        QVERIFY(QFile::remove(path(QStringLiteral("set.txt"))));
        QVERIFY(QDir().mkdir(path(QStringLiteral("set.txt"))));
        break;
    }
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    const ConversionSetResult result = RunConversionSet(set);
    QVERIFY(!result.succeeded());
    detail.replace(QStringLiteral("%D"), m_dir->path());
    QVERIFY2(result.detail.contains(detail), qPrintable(result.detail));
    expectUnchanged(before);
}

void TestConversionSet::overlapsRefusedFirst_data()
{
    QTest::addColumn<QString>("member");  // which path of member 2 to change
    QTest::addColumn<QString>("newPath"); // relative to the folder
    QTest::addColumn<QString>("detail");

    QTest::newRow("two members write one image")
        << "image" << "m0.bin" << "new image \"%D/m0.bin\" of member 2 is also the new image \"%D/m0.bin\" of member 0";
    QTest::newRow("one member's S-records are another's image, spelt otherwise")
        << "srecords" << "sub/../m1.bin" << "is also the new image \"%D/m1.bin\" of member 1";
    QTest::newRow("an output is another member's source")
        << "image" << "m0.src" << "new image \"%D/m0.src\" of member 2 is also the source image \"%D/m0.src\" of member 0";
    QTest::newRow("a member reads the caller's own file")
        << "source" << "set.txt" << "list \"%D/set.txt\" is also the source image \"%D/set.txt\" of member 2";
    QTest::newRow("a member writes the removed file")
        << "srecords" << "set.txt.sig" << "stale signature \"%D/set.txt.sig\" is also the S-record file";
}

void TestConversionSet::overlapsRefusedFirst()
{
    QFETCH(QString, member);
    QFETCH(QString, newPath);
    QFETCH(QString, detail);

    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    ConversionSet set = makeSet();
    ConversionRequest &request = set.members.back().request;
    QString &changed = member == QLatin1String("image") ? request.imagePath
        : member == QLatin1String("srecords")           ? request.srecordPath
                                                        : request.sourcePath;
    changed = path(newPath);
    // Nothing may be written at all: the first member's image would be
    // made first if the refusal came late.
    QVERIFY(QFile::remove(name("m%1.bin", 0)));
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    bool made = false;
    set.makeAddedFiles = [&made](const WrittenOutputs &, QList<QByteArray> *) {
        made = true;
        return QString();
    };
    const ConversionSetResult result = RunConversionSet(set);
    QVERIFY(!result.succeeded());
    QVERIFY(!made);
    detail.replace(QStringLiteral("%D"), m_dir->path());
    QVERIFY2(result.detail.contains(detail), qPrintable(result.detail));
    expectUnchanged(before);
}

// A set whose temporaries, locks and backups the interrupt clean-up could
// not all hold is refused before any file is opened.
void TestConversionSet::tooManyFilesRefusedFirst()
{
    ConversionSet set;
    const int members = InterruptCleanup::MaxFiles / 6 + 1; // two outputs of three names each
    for (int i = 0; i < members; ++i) {
        ConversionRequest request;
        request.sourcePath = name("m%1.src", 0);
        request.imagePath = name("many%1.bin", i);
        request.srecordPath = name("many%1.s19", i);
        set.members.push_back({request, QStringLiteral("member %1").arg(i)});
    }
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    const ConversionSetResult result = RunConversionSet(set);
    QVERIFY(!result.succeeded());
    QVERIFY2(result.detail.contains(QStringLiteral("more than the interrupt clean-up can hold")), qPrintable(result.detail));
    expectUnchanged(before);
}

// The clean-up has room for a release of every profile a settings file can
// list, each with all three outputs, with its manifest and signature.
void TestConversionSet::largestReleaseFits()
{
    ConversionSet set;
    for (int i = 0; i < ProfileSettings::MaxDevices; ++i) {
        ConversionRequest request;
        request.sourcePath = name("m%1.src", i);
        request.imagePath = name("many%1.bin", i);
        request.srecordPath = name("many%1.s19", i);
        request.hexPath = name("many%1.hex", i);
        set.members.push_back({request, QStringLiteral("member %1").arg(i)});
    }
    set.added = {{name("release%1.json", 0), QStringLiteral("manifest")},
                 {name("release%1.json.sig", 0), QStringLiteral("signature")}};
    set.removed = {{name("old%1.sig", 0), QStringLiteral("earlier signature")}};
    QCOMPARE(SetCleanupRoom(set), QString());
}

#ifdef Q_OS_UNIX
// SIGTERM in a child process once every member is written but before the set
// is in place ends it, and no file changes; once the set is being put in
// place the signal waits and the set is complete.
void TestConversionSet::interrupts_data()
{
    QTest::addColumn<bool>("whilePlacing");
    QTest::newRow("every member written, nothing in place") << false;
    QTest::newRow("while the set is put in place") << true;
}

void TestConversionSet::interrupts()
{
    QFETCH(bool, whilePlacing);

    ConversionSet set = makeSet();
    if (whilePlacing) {
        set.rename = [](const QString &from, const QString &to) {
            ::raise(SIGTERM);
            return PlatformFile::RenameReplacing(from, to);
        };
    } else {
        set.makeAddedFiles = [](const WrittenOutputs &, QList<QByteArray> *) {
            ::raise(SIGTERM);
            return QString();
        };
    }
    const QMap<QString, QByteArray> before = FolderState(m_dir->path());
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0)
        ::_exit(RunConversionSet(set).succeeded() ? 0 : 1);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    if (!whilePlacing) {
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        expectUnchanged(before);
        return;
    }
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < Members; ++i)
        QCOMPARE(ReadFile(name("m%1.bin", i)), ExpectedImage(ReadFile(name("m%1.src", i)), quint16(100 + i)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("set.txt.sig"))));
}
#endif

QTEST_GUILESS_MAIN(TestConversionSet)
#include "tst_conversionset.moc"
