#include "profilesettings.h"
#include "workingfolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QtGlobal>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

// Each test runs in an empty working directory of its own, where it writes
// the settings file under test.
class TestProfileSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingFileGivesDefaultsAndIsNotCreated();
    void deviceNames_data();
    void deviceNames();
    void sharedValues_data();
    void sharedValues();
    void paths_data();
    void paths();
    void pathsComeFromTheirOwnKeysAndGroup();
    void encoding_data();
    void encoding();
    void changedFileIsReadAnewEvenWithSameSizeAndTime();
    void systemValuesAsWritten_data();
    void systemValuesAsWritten();
    void filesThatCannotBeRead_data();
    void filesThatCannotBeRead();

private:
    void writeSettings(const QByteArray &bytes);

    std::unique_ptr<WorkingFolder> m_dir;
};

void TestProfileSettings::init()
{
    m_dir = std::make_unique<WorkingFolder>();
    QVERIFY(m_dir->isValid());
}

void TestProfileSettings::cleanup()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec::setCodecForLocale(nullptr);
#endif
    m_dir.reset();
}

void TestProfileSettings::writeSettings(const QByteArray &bytes)
{
    QFile file(SettingsFileName());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

void TestProfileSettings::missingFileGivesDefaultsAndIsNotCreated()
{
    {
        const ProfileSettings settings;
        QCOMPARE(settings.deviceCount(), 0);
        QCOMPARE(settings.deviceNames(), QStringList());
        QCOMPARE(settings.startAddress(), QStringLiteral("0"));
        QCOMPARE(settings.version(), QStringLiteral("0"));
        const ProfilePaths paths = settings.paths(0);
        QVERIFY(paths.sourcePath.isEmpty());
        QVERIFY(paths.imagePath.isEmpty());
        QVERIFY(paths.srecordPath.isEmpty());
    }
    QVERIFY(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

void TestProfileSettings::deviceNames_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("names");

    const QByteArray sections = "[Dev0]\nName=A\n[Dev1]\nName=B\n[Dev2]\nName=C\n[Dev3]\nName=D\n";
    QTest::newRow("Devs absent") << sections << QStringList();
    QTest::newRow("Devs 0") << "[Sys]\nDevs=0\n" + sections << QStringList();
    QTest::newRow("Devs negative") << "[Sys]\nDevs=-2\n" + sections << QStringList();
    QTest::newRow("Devs not a number") << "[Sys]\nDevs=two\n" + sections << QStringList();
    QTest::newRow("Devs a list") << "[Sys]\nDevs=2,3\n" + sections << QStringList();
    QTest::newRow("fewer than sections") << "[Sys]\nDevs=2\n" + sections << QStringList{"A", "B"};
    QTest::newRow("gap keeps its place")
        << QByteArray("[Sys]\nDevs=3\n[Dev0]\nName=A\n[Dev2]\nName=C\n") << QStringList{"A", "", "C"};

    QStringList eleven;
    for (int i = 0; i < 11; ++i)
        eleven.append(QString());
    eleven[1] = QStringLiteral("B");
    eleven[10] = QStringLiteral("K");
    QTest::newRow("eleventh from Dev10")
        << QByteArray("[Sys]\nDevs=11\n[Dev1]\nName=B\n[Dev010]\nName=padded\n[Dev10]\nName=K\n") << eleven;
}

void TestProfileSettings::deviceNames()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, names);
    writeSettings(ini);

    const ProfileSettings settings;
    QCOMPARE(settings.deviceNames(), names);
}

void TestProfileSettings::sharedValues_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("version");

    QTest::newRow("as written") << QByteArray("[Sys]\nAddr=08000000\nVer=101\n") << "08000000" << "101";
    QTest::newRow("absent") << QByteArray("[Sys]\nDevs=1\n") << "0" << "0";
    // Only the conversion judges these texts.
    QTest::newRow("not numbers") << QByteArray("[Sys]\nAddr=8000G00\nVer=v1.2\n") << "8000G00" << "v1.2";
}

void TestProfileSettings::sharedValues()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, address);
    QFETCH(QString, version);
    writeSettings(ini);

    const ProfileSettings settings;
    QCOMPARE(settings.startAddress(), address);
    QCOMPARE(settings.version(), version);
}

void TestProfileSettings::paths_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("path");

    QTest::newRow("relative") << QByteArray("PBin=firmware/app.bin") << "firmware/app.bin";
    QTest::newRow("doubled backslashes") << QByteArray("PBin=D:\\\\fw\\\\app.bin") << "D:\\fw\\app.bin";
    QTest::newRow("Qt's unicode escape") << QByteArray("PBin=fw/\\x7535\\x673a.bin") << QStringLiteral("fw/电机.bin");
    QTest::newRow("spaces kept inside") << QByteArray("PBin=my firmware/app 2.bin") << "my firmware/app 2.bin";
    // An unquoted comma makes a list, which is no path.
    QTest::newRow("unquoted comma") << QByteArray("PBin=fw/a,b.bin") << "";
    QTest::newRow("quoted comma") << QByteArray("PBin=\"fw/a,b.bin\"") << "fw/a,b.bin";
    QTest::newRow("absent") << QByteArray("Name=A") << "";
}

void TestProfileSettings::paths()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, path);
    writeSettings("[Dev0]\n" + line + "\n");

    QCOMPARE(ProfileSettings().paths(0).sourcePath, path);
}

void TestProfileSettings::pathsComeFromTheirOwnKeysAndGroup()
{
    writeSettings("[Dev0]\nPBin=a.bin\nNBin=a_out.bin\nNS19=a.s19\n"
                  "[Dev1]\nPBin=b.bin\nNS19=b.s19\n"
                  "[Dev-1]\nPBin=minus.bin\n");

    const ProfileSettings settings;
    const ProfilePaths second = settings.paths(1);
    QCOMPARE(second.sourcePath, QStringLiteral("b.bin"));
    QCOMPARE(second.imagePath, QString());
    QCOMPARE(second.srecordPath, QStringLiteral("b.s19"));
    const ProfilePaths first = settings.paths(0);
    QCOMPARE(first.imagePath, QStringLiteral("a_out.bin"));
    QCOMPARE(first.srecordPath, QStringLiteral("a.s19"));
    QCOMPARE(settings.paths(-1).sourcePath, QStringLiteral("minus.bin"));
    QCOMPARE(settings.paths(2).sourcePath, QString());
}

void TestProfileSettings::encoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("localeCodec"); // Qt 5 only: the local 8-bit code page, when not the default

    const QString name = QStringLiteral("电机驱动器");
    const QByteArray utf8 = QStringLiteral("[Sys]\nDevs=1\n[Dev0]\nName=电机驱动器\nPBin=固件/电机.bin\n").toUtf8();
    // The same text as a Chinese Windows editor saves it (GBK, from Python's codec).
    const QByteArray gbk = "[Sys]\nDevs=1\n[Dev0]\nName=\xb5\xe7\xbb\xfa\xc7\xfd\xb6\xaf\xc6\xf7\n"
                           "PBin=\xb9\xcc\xbc\xfe/\xb5\xe7\xbb\xfa.bin\n";
    // 𠮷 lies outside GBK: GB18030 writes it in four bytes.
    const QByteArray gb18030 = "[Sys]\nDevs=1\n[Dev0]\nName=\x95\x34\xb2\x35\xd2\xb0\xbc\xd2\n"
                               "PBin=\xb9\xcc\xbc\xfe/\xb5\xe7\xbb\xfa.bin\n";

    QTest::newRow("UTF-8") << utf8 << name << QByteArray();
    QTest::newRow("UTF-8 with byte-order mark") << "\xEF\xBB\xBF" + utf8 << name << QByteArray();
    QTest::newRow("GBK") << gbk << name << QByteArray();
    QTest::newRow("GB18030 four-byte character") << gb18030 << QStringLiteral("𠮷野家") << QByteArray();
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // UTF-8 wins over a local code page that would read the same bytes otherwise.
    QTest::newRow("UTF-8 under a GBK locale") << utf8 << name << QByteArray("GBK");
    QTest::newRow("UTF-8 with byte-order mark under a GBK locale") << "\xEF\xBB\xBF" + utf8 << name
                                                                    << QByteArray("GBK");
#endif
}

void TestProfileSettings::encoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QByteArray, localeCodec);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    if (!localeCodec.isEmpty())
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(localeCodec));
#endif
#ifdef Q_OS_WIN
    // There the fallback is the ANSI code page: Chinese bytes read right only
    // where it is Chinese.
    if (!QString::fromUtf8(bytes).contains(name) && !QString::fromLocal8Bit(bytes).contains(name))
        QSKIP("the ANSI code page here is not Chinese");
#endif
    writeSettings(bytes);

    const ProfileSettings settings;
    QCOMPARE(settings.deviceCount(), 1);
    QCOMPARE(settings.deviceName(0), name);
    QCOMPARE(settings.paths(0).sourcePath, QStringLiteral("固件/电机.bin"));
}

// A file edited while the program runs is seen at the next reading, also
// when the edit keeps its size and the file system's clock is too coarse to
// give it a new time stamp.
void TestProfileSettings::changedFileIsReadAnewEvenWithSameSizeAndTime()
{
    writeSettings("[Dev0]\nPBin=fw/v1.bin\n");
    const QDateTime firstWrite = QFileInfo(SettingsFileName()).lastModified();
    QCOMPARE(ProfileSettings().paths(0).sourcePath, QStringLiteral("fw/v1.bin"));

    writeSettings("[Dev0]\nPBin=fw/v2.bin\n");
    QFile file(SettingsFileName());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(firstWrite, QFileDevice::FileModificationTime));
    file.close();

    QCOMPARE(ProfileSettings().paths(0).sourcePath, QStringLiteral("fw/v2.bin"));
}

// Devs is a whole number from 0 or it is reported as written; [Sys] is
// there or its absence is reported.
void TestProfileSettings::systemValuesAsWritten_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("system");          // hasSystemSection()
    QTest::addColumn<QString>("unreadable");   // unreadableDeviceCount(), "-" for none
    QTest::addColumn<int>("count");

    const QString none = QStringLiteral("-");
    QTest::newRow("whole number") << QByteArray("[Sys]\nDevs=3\n") << true << none << 3;
    QTest::newRow("zero") << QByteArray("[Sys]\nDevs=0\n") << true << none << 0;
    QTest::newRow("spaces around") << QByteArray("[Sys]\nDevs=  3  \n") << true << none << 3;
    QTest::newRow("absent") << QByteArray("[Sys]\nAddr=0\n") << true << none << 0;
    const char *const unreadable[] = {"abc", "-1", "3.7", "0x10", "2147483648", ""};
    for (const char *text : unreadable)
        QTest::addRow("Devs=%s", text) << "[Sys]\nDevs=" + QByteArray(text) + "\n" << true << QString::fromLatin1(text)
                                       << 0;
    QTest::newRow("no [Sys]") << QByteArray("[Dev0]\nName=A\n") << false << none << 0;
    QTest::newRow("[Sys] below a comment") << QByteArray("; x\n[Sys] ; shared\nDevs=1\n") << true << none << 1;
    QTest::newRow("empty file") << QByteArray() << false << none << 0;
}

void TestProfileSettings::systemValuesAsWritten()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, system);
    QFETCH(QString, unreadable);
    QFETCH(int, count);
    writeSettings(ini);

    const ProfileSettings settings;
    QVERIFY(settings.readError().isEmpty());
    QCOMPARE(settings.hasSystemSection(), system);
    QCOMPARE(settings.unreadableDeviceCount().value_or(QStringLiteral("-")), unreadable);
    QCOMPARE(settings.declaredDeviceCount(), count);
}

// Whatever stands under the name, the reading ends at once: no wait on a
// FIFO, no endless read of a device; the settings then read as none.
void TestProfileSettings::filesThatCannotBeRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("found");

    QTest::newRow("missing") << "missing" << "" << false;
    QTest::newRow("folder") << "folder" << "not a regular file" << true;
    QTest::newRow("over 4 MiB") << "large" << "larger than 4 MiB, more than a settings file holds" << true;
    QTest::newRow("exactly 4 MiB") << "limit" << "" << true;
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << "fifo" << "not a regular file" << true;
    QTest::newRow("link to /dev/zero") << "zero" << "not a regular file" << true;
    QTest::newRow("dangling link") << "dangling" << "No such file or directory" << true;
#endif
}

void TestProfileSettings::filesThatCannotBeRead()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QFETCH(bool, found);

    const QByteArray devices = "[Sys]\nDevs=1\nAddr=08000000\n[Dev0]\nName=A\n";
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(SettingsFileName()));
    else if (kind == QLatin1String("large"))
        writeSettings(devices + QByteArray(MaxSettingsFileSize, ';'));
    else if (kind == QLatin1String("limit"))
        writeSettings(devices + QByteArray(MaxSettingsFileSize - devices.size(), '\n'));
#ifdef Q_OS_UNIX
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(SettingsFileName()).constData(), 0600), 0);
    else if (kind == QLatin1String("zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), SettingsFileName()));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(QStringLiteral("nothing.ini"), SettingsFileName()));
#endif

    QElapsedTimer timer;
    timer.start();
    const ProfileSettings settings;
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(settings.found(), found);
    if (kind == QLatin1String("missing"))
        QVERIFY(!settings.readError().isEmpty());
    else
        QCOMPARE(settings.readError(), error);
    QCOMPARE(settings.deviceCount(), error.isEmpty() && found ? 1 : 0);
    QCOMPARE(settings.startAddress(), error.isEmpty() && found ? QStringLiteral("08000000") : QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestProfileSettings)
#include "tst_profilesettings.moc"
