// release, verify and keygen as a user runs them, on a copy of the example
// project: reproducible manifests whose hashes sha256sum confirms, signatures
// that signify-openbsd checks, every tampered file named by verify, and a
// failing profile that leaves every file of the release as it was.

#include "programrun.h"
#include "referencetools.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {
const char TimeText[] = "2026-12-09 14:30:00";
const QStringList Firmware{QStringLiteral("main_board"), QStringLiteral("motor_driver"),
                           QStringLiteral("display_panel")};

using CliRun = ProgramRun;

QString Signify()
{
    return QStandardPaths::findExecutable(QStringLiteral("signify-openbsd"));
}

QByteArray Flipped(QByteArray bytes, int offset)
{
    bytes[offset] = char(bytes.at(offset) ^ 0x01);
    return bytes;
}
} // namespace

class TestRelease : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exampleReleasedTwiceIsIdentical();
    void tamperedFilesFail_data();
    void tamperedFilesFail();
    void sourcesCheckedWhenPresent();
    void addressedSourcesReleased();
    void failingProfileChangesNothing_data();
    void failingProfileChangesNothing();
    void unsignedReleaseDropsStaleSignature();
    void keygenNeverReplaces();
    void hostileManifestsRefused_data();
    void hostileManifestsRefused();
    void usageErrors_data();
    void usageErrors();

private:
    CliRun run(const QStringList &arguments) const;
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void release(const QStringList &extra = {});

    std::unique_ptr<QTemporaryDir> m_dir;
};

CliRun TestRelease::run(const QStringList &arguments) const
{
    return RunProgram(QStringLiteral(VANDREL_CLI_PATH), arguments, m_dir->path());
}

// A copy of the example project, and a key pair made by keygen.
void TestRelease::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString examples = qEnvironmentVariable("VANDREL_SOURCE_DIR") + QStringLiteral("/examples/");
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("firmware")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out")));
    QVERIFY(QFile::copy(examples + QStringLiteral("VandrelSet.ini"), path(QStringLiteral("VandrelSet.ini"))));
    for (const QString &name : Firmware) {
        const QString file = QStringLiteral("firmware/") + name + QStringLiteral(".bin");
        QVERIFY2(QFile::copy(examples + file, path(file)), qPrintable(examples + file));
    }
    const CliRun keys = run({QStringLiteral("keygen"), QStringLiteral("--secret"), QStringLiteral("key.sec"),
                             QStringLiteral("--public"), QStringLiteral("key.pub")});
    QVERIFY2(keys.exitCode == 0, keys.err.constData());
}

void TestRelease::release(const QStringList &extra)
{
    const CliRun result = run(QStringList{QStringLiteral("release"), QStringLiteral("--manifest"),
                                          QStringLiteral("out/release.json"), QStringLiteral("--sign"),
                                          QStringLiteral("key.sec"), QStringLiteral("--hex"), QStringLiteral("--time"),
                                          QString::fromLatin1(TimeText)}
                              + extra);
    QVERIFY2(result.exitCode == 0, result.err.constData());
}

// The same inputs and time give the same manifest and signature; every
// SHA-256 in it is sha256sum's; signify-openbsd checks the signature with
// our public key and refuses it with another; verify says OK for every file.
void TestRelease::exampleReleasedTwiceIsIdentical()
{
    release();
    const QByteArray manifest = ReadFile(path(QStringLiteral("out/release.json")));
    const QByteArray signature = ReadFile(path(QStringLiteral("out/release.json.sig")));
    release();
    QCOMPARE(ReadFile(path(QStringLiteral("out/release.json"))), manifest);
    QCOMPARE(ReadFile(path(QStringLiteral("out/release.json.sig"))), signature);

    const QJsonObject document = QJsonDocument::fromJson(manifest).object();
    QVERIFY(manifest.startsWith("{\n  \"format\": \"vandrel-release/1\",\n"));
    QCOMPARE(document.value(QStringLiteral("profiles")).toArray().size(), Firmware.size());
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    QStringList hashed;
    QString error;
    for (const QJsonValue &profile : document.value(QStringLiteral("profiles")).toArray()) {
        QJsonArray files = profile.toObject().value(QStringLiteral("outputs")).toArray();
        files.prepend(profile.toObject().value(QStringLiteral("source")));
        for (const QJsonValue &file : std::as_const(files)) {
            const QString name = path(QStringLiteral("out/") + file.toObject().value(QStringLiteral("path")).toString());
            QByteArray sum;
            QVERIFY2(RunTool(QStringLiteral("sha256sum"), {name}, &sum, &error), qPrintable(error));
            QCOMPARE(sum.left(64), file.toObject().value(QStringLiteral("sha256")).toString().toLatin1());
            QCOMPARE(QFileInfo(name).size(), qint64(file.toObject().value(QStringLiteral("size")).toDouble()));
            hashed << name;
        }
    }
    QCOMPARE(hashed.size(), Firmware.size() * 4);

    const CliRun verified = run({QStringLiteral("verify"), QStringLiteral("out/release.json"),
                                 QStringLiteral("--public-key"), QStringLiteral("key.pub")});
    QVERIFY2(verified.exitCode == 0, verified.out + verified.err);
    QCOMPARE(verified.out.count(": OK\n"), 1 + 1 + Firmware.size() * 4);

    if (Signify().isEmpty())
        QSKIP("signify-openbsd is not installed (Debian package signify-openbsd)");
    const QStringList check{QStringLiteral("-V"), QStringLiteral("-q"), QStringLiteral("-p"), path(QStringLiteral("key.pub")),
                            QStringLiteral("-m"), path(QStringLiteral("out/release.json"))};
    QVERIFY2(RunTool(Signify(), check, nullptr, &error), qPrintable(error));
    QVERIFY(RunTool(Signify(), {QStringLiteral("-G"), QStringLiteral("-n"), QStringLiteral("-p"),
                                path(QStringLiteral("other.pub")), QStringLiteral("-s"), path(QStringLiteral("other.sec"))},
                    nullptr, &error));
    QStringList withOther = check;
    withOther[3] = path(QStringLiteral("other.pub"));
    QVERIFY(!RunTool(Signify(), withOther, nullptr, &error));
}

void TestRelease::tamperedFilesFail_data()
{
    QTest::addColumn<QString>("file");  // relative to the project
    QTest::addColumn<QString>("how");   // byte, missing, renamed
    QTest::addColumn<QString>("failed"); // the line verify prints for it

    QTest::newRow("one byte of an image") << "out/motor_driver_app.bin" << "byte"
                                          << "out/motor_driver_app.bin: FAILED: its SHA-256 differs";
    QTest::newRow("one byte of an S-record file") << "out/display_panel_app.s19" << "byte"
                                                  << "out/display_panel_app.s19: FAILED: its SHA-256 differs";
    QTest::newRow("one byte of an Intel HEX file") << "out/main_board_app.hex" << "byte"
                                                   << "out/main_board_app.hex: FAILED: its SHA-256 differs";
    QTest::newRow("one byte of a source") << "firmware/main_board.bin" << "byte"
                                          << "firmware/main_board.bin: FAILED: its SHA-256 differs";
    QTest::newRow("one byte of the manifest") << "out/release.json" << "byte"
                                              << "out/release.json.sig: FAILED: does not match the signed file "
                                                 "(the signature of manifest \"out/release.json\")";
    QTest::newRow("one byte of the signature") << "out/release.json.sig" << "byte"
                                               << "out/release.json.sig: FAILED: does not match the signed file";
    QTest::newRow("an output missing") << "out/motor_driver_app.s19" << "missing"
                                       << "out/motor_driver_app.s19: FAILED: does not exist";
    QTest::newRow("an output renamed") << "out/display_panel_app.bin" << "renamed"
                                       << "out/display_panel_app.bin: FAILED: does not exist";
    QTest::newRow("the signature missing") << "out/release.json.sig" << "missing"
                                           << "out/release.json.sig: FAILED: the manifest is not signed";
}

void TestRelease::tamperedFilesFail()
{
    QFETCH(QString, file);
    QFETCH(QString, how);
    QFETCH(QString, failed);

    release();
    const QString target = path(file);
    if (how == QLatin1String("byte")) {
        QByteArray contents = ReadFile(target);
        if (file.endsWith(QLatin1String(".sig"))) {
            // Another base64 digit inside the signature's own 64 bytes, so
            // that it still decodes: only the signature is wrong.
            const int offset = contents.indexOf('\n') + 1 + 40;
            contents[offset] = contents.at(offset) == 'A' ? 'B' : 'A';
        } else if (file.endsWith(QLatin1String(".json"))) {
            // A digit of the first SHA-256 that stays a digit: still a valid document.
            const int offset = contents.indexOf("\"sha256\": \"") + 12;
            contents[offset] = contents.at(offset) == '0' ? '1' : '0';
        } else {
            contents = Flipped(contents, int(contents.size() / 2));
        }
        QVERIFY(WriteFile(target, contents));
    } else if (how == QLatin1String("missing")) {
        QVERIFY(QFile::remove(target));
    } else {
        QVERIFY(QFile::rename(target, target + QStringLiteral(".old")));
    }
    const CliRun result = run({QStringLiteral("verify"), QStringLiteral("out/release.json"),
                               QStringLiteral("--public-key"), QStringLiteral("key.pub")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(failed.toUtf8()), result.out.constData());
    QVERIFY2(result.err.startsWith("vandrel-cli: "), result.err.constData());
    const CliRun json = run({QStringLiteral("verify"), QStringLiteral("out/release.json"), QStringLiteral("--public-key"),
                             QStringLiteral("key.pub"), QStringLiteral("--json")});
    QCOMPARE(json.exitCode, 1);
    const QJsonObject report = QJsonDocument::fromJson(json.out).object();
    QCOMPARE(report.value(QStringLiteral("format")).toString(), QStringLiteral("vandrel-verify/1"));
    QCOMPARE(report.value(QStringLiteral("passed")).toBool(true), false);
}

// A source that is not there is not checked, unless it is required; a
// missing output fails either way.
void TestRelease::sourcesCheckedWhenPresent()
{
    release();
    QVERIFY(QFile::rename(path(QStringLiteral("firmware")), path(QStringLiteral("elsewhere"))));
    const CliRun lenient = run({QStringLiteral("verify"), QStringLiteral("out/release.json")});
    QVERIFY2(lenient.exitCode == 0, lenient.out + lenient.err);
    QVERIFY(lenient.out.contains("firmware/motor_driver.bin: NOT CHECKED: not present\n"));
    const CliRun strict = run({QStringLiteral("verify"), QStringLiteral("out/release.json"),
                               QStringLiteral("--require-sources")});
    QCOMPARE(strict.exitCode, 1);
    QVERIFY(strict.out.contains("firmware/motor_driver.bin: FAILED: not present\n"));
}

// Sources straight from the linker: the profiles' firmware as Intel HEX and
// S-records (objcopy's), one of them linked elsewhere. Refused until
// --relocate is given; then the images and record files are those of the
// raw release, and the manifest names each format and hashes the file read.
void TestRelease::addressedSourcesReleased()
{
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    release();
    const QMap<QString, QByteArray> rawOutputs = FolderState(path(QStringLiteral("out")), true);
    const struct
    {
        QString name;
        QString format; // objcopy's name
        QString suffix;
        QString address;
    } sources[] = {{Firmware.at(0), QStringLiteral("ihex"), QStringLiteral(".hex"), QStringLiteral("0x08000020")},
                   {Firmware.at(1), QStringLiteral("srec"), QStringLiteral(".s19"), QStringLiteral("0x08000020")},
                   {Firmware.at(2), QStringLiteral("srec"), QStringLiteral(".srec"), QStringLiteral("0x20000000")}};
    QByteArray settings = ReadFile(path(QStringLiteral("VandrelSet.ini")));
    QString error;
    for (const auto &source : sources) {
        const QString raw = QStringLiteral("firmware/") + source.name + QStringLiteral(".bin");
        const QString addressed = QStringLiteral("firmware/") + source.name + source.suffix;
        QVERIFY2(RunTool(QStringLiteral("objcopy"),
                         {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"), source.format,
                          QStringLiteral("--change-addresses=") + source.address, path(raw), path(addressed)},
                         nullptr, &error),
                 qPrintable(error));
        settings.replace(raw.toUtf8(), addressed.toUtf8());
    }
    QVERIFY(WriteFile(path(QStringLiteral("VandrelSet.ini")), settings));

    const QMap<QString, QByteArray> before = FolderState(m_dir->path(), true);
    const CliRun refused = run({QStringLiteral("release"), QStringLiteral("--manifest"), QStringLiteral("out/release.json"),
                                QStringLiteral("--time"), QString::fromLatin1(TimeText)});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("profile 2 \"显示面板\": source image \"firmware/display_panel.srec\" starts at "
                                  "0x20000000"),
             refused.err.constData());
    QCOMPARE(FolderState(m_dir->path(), true), before);

    release({QStringLiteral("--relocate")});
    QMap<QString, QByteArray> outputs = FolderState(path(QStringLiteral("out")), true);
    const QJsonObject manifest = QJsonDocument::fromJson(outputs.take(QStringLiteral("release.json"))).object();
    outputs.remove(QStringLiteral("release.json.sig"));
    QMap<QString, QByteArray> expected = rawOutputs;
    expected.remove(QStringLiteral("release.json"));
    expected.remove(QStringLiteral("release.json.sig"));
    QCOMPARE(outputs, expected);
    const QJsonArray profiles = manifest.value(QStringLiteral("profiles")).toArray();
    QCOMPARE(profiles.size(), 3);
    for (int i = 0; i < profiles.size(); ++i) {
        const QJsonObject source = profiles.at(i).toObject().value(QStringLiteral("source")).toObject();
        QCOMPARE(source.value(QStringLiteral("format")).toString(), sources[i].format);
        QCOMPARE(source.value(QStringLiteral("path")).toString(),
                 QStringLiteral("../firmware/") + sources[i].name + sources[i].suffix);
        const QString file = path(QStringLiteral("firmware/") + sources[i].name + sources[i].suffix);
        QByteArray sum;
        QVERIFY2(RunTool(QStringLiteral("sha256sum"), {file}, &sum, &error), qPrintable(error));
        QCOMPARE(source.value(QStringLiteral("sha256")).toString().toLatin1(), sum.left(64));
        QCOMPARE(qint64(source.value(QStringLiteral("size")).toDouble()), QFileInfo(file).size());
    }
    const CliRun verified = run({QStringLiteral("verify"), QStringLiteral("out/release.json"),
                                 QStringLiteral("--public-key"), QStringLiteral("key.pub")});
    QVERIFY2(verified.exitCode == 0, verified.out + verified.err);
    const QString hexSource = path(QStringLiteral("firmware/main_board.hex"));
    QVERIFY(WriteFile(hexSource, Flipped(ReadFile(hexSource), 20)));
    const CliRun tampered = run({QStringLiteral("verify"), QStringLiteral("out/release.json")});
    QCOMPARE(tampered.exitCode, 1);
    QVERIFY2(tampered.out.contains("firmware/main_board.hex: FAILED"), tampered.out.constData());
}

void TestRelease::failingProfileChangesNothing_data()
{
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QString>("error");

    QTest::newRow("last profile's S-record file a folder")
        << "folder" << "profile 2 \"显示面板\": S-record file \"out/display_panel_app.s19\" is a folder";
    QTest::newRow("last profile's image locked by a run")
        << "locked" << "profile 2 \"显示面板\": \"out/display_panel_app.bin\" is being written";
    QTest::newRow("last profile's image read-only") << "read-only" << "profile 2 \"显示面板\": new image";
    QTest::newRow("the manifest names a profile's source")
        << "manifest is source" << "manifest \"firmware/main_board.bin\" is also the source image";
}

// After a first release, a second one with another time and version whose
// last profile cannot be written: every file of the project stays as it
// was, and no temporary file is left.
void TestRelease::failingProfileChangesNothing()
{
    QFETCH(QString, spoil);
    QFETCH(QString, error);

    release();
    QString manifest = QStringLiteral("out/release.json");
    const QString lastImage = path(QStringLiteral("out/display_panel_app.bin"));
    QLockFile otherRun(path(QStringLiteral("out/.display_panel_app.bin.lock")));
    if (spoil == QLatin1String("folder")) {
        QVERIFY(QFile::remove(path(QStringLiteral("out/display_panel_app.s19"))));
        QVERIFY(QDir().mkdir(path(QStringLiteral("out/display_panel_app.s19"))));
    } else if (spoil == QLatin1String("locked")) {
        QVERIFY(otherRun.tryLock(0));
    } else if (spoil == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(lastImage, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QFile probe(lastImage);
        if (probe.open(QIODevice::ReadWrite))
            QSKIP("permission bits do not stop this user from writing (root)");
    } else {
        manifest = QStringLiteral("firmware/main_board.bin");
    }
    const QMap<QString, QByteArray> before = FolderState(m_dir->path(), true);
    const CliRun result = run({QStringLiteral("release"), QStringLiteral("--manifest"), manifest, QStringLiteral("--sign"),
                               QStringLiteral("key.sec"), QStringLiteral("--hex"), QStringLiteral("--time"),
                               QStringLiteral("2027-01-01 00:00:00"), QStringLiteral("--image-version"),
                               QStringLiteral("202")});
    QFile::setPermissions(lastImage, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(QString::fromUtf8(result.err).contains(error), result.err.constData());
    QCOMPARE(FolderState(m_dir->path(), true), before);
}

void TestRelease::unsignedReleaseDropsStaleSignature()
{
    release();
    const CliRun unsignedRun = run({QStringLiteral("release"), QStringLiteral("--manifest"),
                                    QStringLiteral("out/release.json"), QStringLiteral("--profile"), QStringLiteral("1")});
    QVERIFY2(unsignedRun.exitCode == 0, unsignedRun.err.constData());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("out/release.json.sig"))));
    const QJsonArray profiles =
        QJsonDocument::fromJson(ReadFile(path(QStringLiteral("out/release.json")))).object().value(QStringLiteral("profiles")).toArray();
    QCOMPARE(profiles.size(), 1);
    QCOMPARE(profiles.at(0).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("电机驱动器"));
    const CliRun verified = run({QStringLiteral("verify"), QStringLiteral("out/release.json"),
                                 QStringLiteral("--public-key"), QStringLiteral("key.pub")});
    QCOMPARE(verified.exitCode, 1);
    QVERIFY(verified.out.contains("out/release.json.sig: FAILED: the manifest is not signed"));
}

// The secret key is its owner's alone; existing files are never replaced.
void TestRelease::keygenNeverReplaces()
{
#ifdef Q_OS_UNIX
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(path(QStringLiteral("key.sec"))).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));
#endif
    const QByteArray secret = ReadFile(path(QStringLiteral("key.sec")));
    const QByteArray publicKey = ReadFile(path(QStringLiteral("key.pub")));
    const CliRun again = run({QStringLiteral("keygen"), QStringLiteral("--secret"), QStringLiteral("new.sec"),
                              QStringLiteral("--public"), QStringLiteral("key.pub")});
    QCOMPARE(again.exitCode, 1);
    QVERIFY2(again.err.contains("\"key.pub\" exists; it is not replaced"), again.err.constData());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("new.sec"))));
    QCOMPARE(ReadFile(path(QStringLiteral("key.sec"))), secret);
    QCOMPARE(ReadFile(path(QStringLiteral("key.pub"))), publicKey);
}

void TestRelease::hostileManifestsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");

    QTest::newRow("missing") << "missing" << "gone.json: FAILED: the manifest does not exist";
    QTest::newRow("over 16 MiB") << "huge" << "huge.json: FAILED: the manifest is larger than 16777216 bytes";
    QTest::newRow("not JSON") << "garbage" << "garbage.json: FAILED: the manifest is not JSON";
    QTest::newRow("a size as text") << "wrong type"
                                    << "wrong.json: FAILED: the manifest profiles[0].outputs[0].size is not a whole";
#ifdef Q_OS_UNIX
    QTest::newRow("a FIFO") << "fifo" << "fifo.json: FAILED: the manifest is not a regular file";
    QTest::newRow("a device named as an output") << "device" << "/dev/zero\" is not relative";
#endif
}

// Refused with one clear line and exit status 1, at once.
void TestRelease::hostileManifestsRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, line);

    release();
    const QByteArray valid = ReadFile(path(QStringLiteral("out/release.json")));
    QString name = QStringLiteral("gone.json");
    if (kind == QLatin1String("huge")) {
        name = QStringLiteral("huge.json");
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(16 * 1024 * 1024 + 1));
    } else if (kind == QLatin1String("garbage")) {
        name = QStringLiteral("garbage.json");
        QVERIFY(WriteFile(path(name), valid.left(valid.size() / 2)));
    } else if (kind == QLatin1String("wrong type")) {
        name = QStringLiteral("wrong.json");
        QByteArray changed = valid;
        const int at = changed.indexOf("\"size\": ", changed.indexOf("\"outputs\"")) + 8;
        changed.insert(at, '"');
        changed.insert(changed.indexOf(',', at), '"');
        QVERIFY(WriteFile(path(name), changed));
    }
#ifdef Q_OS_UNIX
    if (kind == QLatin1String("fifo")) {
        name = QStringLiteral("fifo.json");
        QCOMPARE(::mkfifo(QFile::encodeName(path(name)).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        name = QStringLiteral("out/device.json");
        QByteArray changed = valid;
        changed.replace("\"main_board_app.bin\"", "\"/dev/zero\"");
        QVERIFY(WriteFile(path(name), changed));
    }
#endif
    const CliRun result = run({QStringLiteral("verify"), name});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(line.toUtf8()), result.out.constData());
}

void TestRelease::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("release without a manifest") << QStringList{"release"} << "--manifest is missing";
    QTest::newRow("release of an unknown profile")
        << QStringList{"release", "--manifest", "r.json", "--profile", "9"} << "profile";
    QTest::newRow("release naming a profile twice")
        << QStringList{"release", "--manifest", "r.json", "--profile", "0", "--profile", "主控板"}
        << "profile 0 is named twice";
    QTest::newRow("release with an unknown source format")
        << QStringList{"release", "--manifest", "r.json", "--source-format", "coff"} << "--source-format \"coff\"";
    QTest::newRow("release with a fill that is no byte")
        << QStringList{"release", "--manifest", "r.json", "--fill", "100"} << "--fill \"100\"";
    QTest::newRow("verify without a manifest") << QStringList{"verify"} << "no manifest given";
    QTest::newRow("keygen without the public file") << QStringList{"keygen", "--secret", "a.sec"}
                                                    << "--secret and --public are both needed";
}

void TestRelease::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    const QMap<QString, QByteArray> before = FolderState(m_dir->path(), true);
    const CliRun result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.startsWith("vandrel-cli: ") && QString::fromUtf8(result.err).contains(error),
             result.err.constData());
    QCOMPARE(FolderState(m_dir->path(), true), before);
}

QTEST_GUILESS_MAIN(TestRelease)
#include "tst_release.moc"
