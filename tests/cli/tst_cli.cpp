// Runs the built vandrel-cli as a user or a build script would.

#include "conversion.h"
#include "imagestamp.h"
#include "intelhexwriter.h"
#include "programrun.h"
#include "referencetools.h"
#include "srecordwriter.h"
#include "testfiles.h"
#include "testpayload.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

constexpr quint32 PayloadSeed = 4;
constexpr int SourceSize = 5000; // not a multiple of 16: the last record is short
constexpr quint16 Version = 101;
const char TimeText[] = "2026-12-09 14:30:00";
// calendar.timegm of the readings used below, from Python.
constexpr quint32 TimeTextSeconds = 1796826600;
constexpr quint32 BerlinGapSeconds = 1774751400; // 2026-03-29 02:30:00, skipped by Berlin's clocks
constexpr quint32 SourceDateEpoch = 1765289400;

// The image format's worked example: "abc", version 100, stamped 2018-04-02 12:00:00.
const QByteArray WorkedExample = QByteArray::fromHex(
    "27000000" "BB44AA55" "401BC25A" "0000" "6400" "01000000" "00000000000000000000" "0104"
    "616263" "9DD60000");

QStringList AllImageChecks()
{
    return {QStringLiteral("crc"), QStringLiteral("header-checksum"), QStringLiteral("length"),
            QStringLiteral("magic"), QStringLiteral("reserved"), QStringLiteral("trailer-padding")};
}

QStringList AllSRecordChecks()
{
    return {QStringLiteral("s19-checksums"), QStringLiteral("s19-data"), QStringLiteral("s19-lines"),
            QStringLiteral("s19-records")};
}

QStringList AllIntelHexChecks()
{
    return {QStringLiteral("hex-checksums"), QStringLiteral("hex-data"), QStringLiteral("hex-lines"),
            QStringLiteral("hex-records")};
}

// Rewrites the header checksum after a header field was changed on purpose,
// so that only the intended check fails.
QByteArray WithField(QByteArray image, int offset, const QByteArray &bytes, bool fixChecksum = true)
{
    image.replace(offset, bytes.size(), bytes);
    if (fixChecksum) {
        const bool bigEndian = image.mid(ImageLayout::MagicOffset, 4) == QByteArray::fromHex("55AA44BB");
        quint16 sum = 0;
        for (int i = 0; i < ImageLayout::ChecksumOffset; ++i)
            sum += quint8(image.at(i));
        const char high = char(sum >> 8);
        const char low = char(sum & 0xFF);
        image[ImageLayout::ChecksumOffset] = bigEndian ? high : low;
        image[ImageLayout::ChecksumOffset + 1] = bigEndian ? low : high;
    }
    return image;
}

// The same line with the hex digit at index replaced by another one.
QByteArray OtherDigit(QByteArray line, int index)
{
    line[index] = line.at(index) == '0' ? '1' : '0';
    return line;
}

QByteArray Flipped(QByteArray bytes, int offset)
{
    bytes[offset] = char(bytes.at(offset) ^ 0x01);
    return bytes;
}

QList<QByteArray> Lines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast(); // the text ends in LF
    return lines;
}

QByteArray Joined(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + '\n';
    return text;
}

// A file's lines, and the file with one of them changed, removed or added.
struct LineEdits
{
    const QList<QByteArray> &lines;

    QByteArray changed(int index, const QByteArray &line) const
    {
        QList<QByteArray> copy = lines;
        copy[index] = line;
        return Joined(copy);
    }
    QByteArray without(int index) const
    {
        QList<QByteArray> copy = lines;
        copy.removeAt(index);
        return Joined(copy);
    }
    QByteArray inserted(int index, const QByteArray &line) const
    {
        QList<QByteArray> copy = lines;
        copy.insert(index, line);
        return Joined(copy);
    }
};

// Changes one data byte of an S3 line and repairs its checksum.
QByteArray WithDataByte(const QByteArray &line, int dataIndex, quint8 value)
{
    QByteArray bytes = QByteArray::fromHex(line.mid(2));
    bytes[5 + dataIndex] = char(value);
    quint8 sum = 0;
    for (int i = 0; i < bytes.size() - 1; ++i)
        sum += quint8(bytes.at(i));
    bytes[bytes.size() - 1] = char(~sum);
    return "S3" + bytes.toHex().toUpper();
}

// The same record line with its checksum made right again after an edit: the
// ones' complement of the byte sum for S-records, the two's complement for
// Intel HEX.
QByteArray WithChecksum(const QByteArray &line)
{
    const bool intelHex = line.startsWith(':');
    const int head = intelHex ? 1 : 2;
    QByteArray bytes = QByteArray::fromHex(line.mid(head));
    quint8 sum = 0;
    for (int i = 0; i < bytes.size() - 1; ++i)
        sum += quint8(bytes.at(i));
    bytes[bytes.size() - 1] = char(intelHex ? quint8(-sum) : quint8(~sum));
    return line.left(head) + bytes.toHex().toUpper();
}

// Changes a byte of a record line (0: the first byte after the record mark
// and type, the byte count) and repairs the checksum.
QByteArray WithByte(const QByteArray &line, int byteIndex, quint8 value)
{
    const int head = line.startsWith(':') ? 1 : 2;
    QByteArray edited = line;
    edited.replace(head + 2 * byteIndex, 2, QByteArray::number(value, 16).rightJustified(2, '0').toUpper());
    return WithChecksum(edited);
}

QStringList FailedChecks(const QJsonObject &checks)
{
    QStringList failed;
    for (auto it = checks.begin(); it != checks.end(); ++it) {
        if (!it.value().toObject().value(QStringLiteral("passed")).toBool())
            failed << it.key();
    }
    failed.sort();
    return failed;
}

// Failed checks that fail the inspection (the layout checks count only with --strict).
bool AnyCountedFailure(const QJsonObject &checks)
{
    for (auto it = checks.begin(); it != checks.end(); ++it) {
        const QJsonObject check = it.value().toObject();
        if (!check.value(QStringLiteral("passed")).toBool() && check.value(QStringLiteral("counts")).toBool())
            return true;
    }
    return false;
}

// What every entry of a folder is: its type, and for a regular file its
// size, time stamp and (up to a MiB) its bytes; a FIFO is never opened.
QMap<QString, QByteArray> FolderFacts(const QString &folder)
{
    constexpr qint64 ReadUpTo = 1024 * 1024;
    QMap<QString, QByteArray> state;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        QByteArray facts = entry.isSymLink() ? "link " + QFile::encodeName(entry.symLinkTarget())
            : entry.isDir()                  ? QByteArray("folder")
            : !entry.isFile()                ? QByteArray("special")
                                             : QByteArray::number(entry.size()) + ' '
                    + QByteArray::number(entry.lastModified().toMSecsSinceEpoch());
        if (entry.isFile() && !entry.isSymLink() && entry.size() <= ReadUpTo)
            facts += ' ' + ReadFile(entry.filePath());
        state.insert(entry.fileName(), facts);
    }
    return state;
}

#ifdef Q_OS_UNIX
// A file under a name given as bytes, which need not be valid text.
bool WriteRawName(const QByteArray &name, const QByteArray &contents)
{
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
    return ::close(fd) == 0 && written;
}

QByteArray ReadRawName(const QByteArray &name)
{
    QByteArray contents;
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        contents.append(buffer, int(got));
    ::close(fd);
    return contents;
}
#endif

// Python that checks one --json document against the shared schema and
// prints the keys of its values; argv[1] is the command.
QString JsonSchemaChecker()
{
    return QStringLiteral(R"(
import json, re, sys
name = sys.argv[1]
d = json.loads(sys.stdin.read())
assert list(d)[0] == 'format', list(d)
assert d['format'] == 'vandrel-%s/1' % name, d['format']
forms = {'Address': r'0x[0-9A-F]{8}', 'crc': r'0x[0-9A-F]{4}', 'checksum': r'0x[0-9A-F]{4}',
         'magic': r'0x[0-9A-F]{8}', 'sha256': r'[0-9a-f]{64}'}
seen = set()
def walk(value, key=''):
    if isinstance(value, dict):
        for k, v in value.items():
            assert k != 'fileSize' and (k != 'startAddress' or name == 'inspect'), k
            walk(v, k)
    elif isinstance(value, list):
        for v in value:
            walk(v, key)
    else:
        seen.add(key)
        if key == 'size':
            assert type(value) is int and value >= 0, (key, value)
        for suffix, form in forms.items():
            if key.endswith(suffix) and value is not None:
                assert re.fullmatch(form, value), (key, value)
walk(d)
print(' '.join(sorted(seen)))
)");
}

using CliRun = ProgramRun;

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void convertGivesTheWindowsBytes_data();
    void convertGivesTheWindowsBytes();
    void fixedTimeIsReproducible_data();
    void fixedTimeIsReproducible();
    void exitStatus_data();
    void exitStatus();

    void profilesListsTheSettings();
    void profilesWarnOfSettingsTraps();

    void inspectImage_data();
    void inspectImage();
    void inspectReportsHeaderFields();
    void inspectSRecords_data();
    void inspectSRecords();
    void inspectIntelHex_data();
    void inspectIntelHex();
    void inspectAcceptsObjcopyRecords();
    void inspectOtherToolsFiles_data();
    void inspectOtherToolsFiles();
    void inspectEditedToolFiles_data();
    void inspectEditedToolFiles();
    void inspectSource();

    void intelHexAgainstReferences_data();
    void intelHexAgainstReferences();
    void bigEndianWorkedExample();
    void jsonSummary();
#ifdef Q_OS_UNIX
    void specialFilesRefusedAtOnce_data();
    void specialFilesRefusedAtOnce();
    void interruptedRunKeepsPreviousFiles_data();
    void interruptedRunKeepsPreviousFiles();
    void concurrentRuns();
    void settingsThatCannotBeRead_data();
    void settingsThatCannotBeRead();
    void unreadableSettingsAsAnotherUser();
    void undecodableArguments_data();
    void undecodableArguments();
    void summaryThatCannotBeWritten();
#endif
    void settingsSystemWarnings_data();
    void settingsSystemWarnings();

    void helpShowsEveryOption();

    void convertUsageErrors_data();
    void convertUsageErrors();
    void inspectUsageErrors_data();
    void inspectUsageErrors();
    void profilesUsageErrors_data();
    void profilesUsageErrors();
    void settingsValuesFailTheRun_data();
    void settingsValuesFailTheRun();
    void recordTextToStandardOutput_data();
    void recordTextToStandardOutput();
#ifdef Q_OS_UNIX
    void inspectFromStandardInput();
    void jsonSchema();
    void standardOutputWriteErrors_data();
    void standardOutputWriteErrors();
    void closedPipeEndsQuietly();
#endif

private:
    // A usage error: exit status 2, the message alone on the first line of
    // stderr and where the help is on the second, nothing on stdout, nothing
    // written.
    void checkUsageError(const QString &command);
#ifdef Q_OS_UNIX
    // A bash command line run in the test folder with $CLI the program;
    // returns what it prints, stdout and stderr together.
    QByteArray shell(const QString &commandLine, int *exitCode) const;
#endif
    CliRun run(const QStringList &arguments, const QStringList &environment = {}, int timeoutMs = 60000) const;
    QProcess *start(const QStringList &arguments) const;
    void writeLargeSource(const QString &name, int mebibytes) const;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // "inspect IMAGE --json", with the record file given to option (--s19,
    // --hex; none when empty) and the arguments after it.
    QJsonObject inspectJson(const QByteArray &image, const QString &option, const QByteArray &records,
                            const QStringList &arguments, int *exitCode) const;
    void checkRecordFileReport(const QString &format, const QByteArray &records, const QString &address,
                               const QStringList &failed, const QString &detail);

    QTemporaryDir m_dir;
    QByteArray m_image;    // stamped little-endian image of the source, by the engine
    QByteArray m_srecords; // its S-record file at 08000000
    QByteArray m_intelHex; // its Intel HEX file at 08000000
};

CliRun TestCli::run(const QStringList &arguments, const QStringList &environment, int timeoutMs) const
{
    return RunProgram(QStringLiteral(VANDREL_CLI_PATH), arguments, m_dir.path(), environment, timeoutMs);
}

// A run in the background, in the test folder, without SOURCE_DATE_EPOCH.
QProcess *TestCli::start(const QStringList &arguments) const
{
    auto *process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SOURCE_DATE_EPOCH"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(m_dir.path());
    process->start(QStringLiteral(VANDREL_CLI_PATH), arguments);
    return process;
}

// Random-looking, and cheap to make: one MiB of random bytes repeated.
void TestCli::writeLargeSource(const QString &name, int mebibytes) const
{
    const QByteArray mebibyte = RandomPayload(1024 * 1024, PayloadSeed);
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int i = 0; i < mebibytes; ++i)
        QCOMPARE(file.write(mebibyte), qint64(mebibyte.size()));
}

void TestCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray source = RandomPayload(SourceSize, PayloadSeed);
    QVERIFY(WriteFile(path(QStringLiteral("app.bin")), source));
    QVERIFY(WriteFile(path(QStringLiteral("固件.bin")), source));
    QVERIFY(WriteFile(path(QStringLiteral("VandrelSet.ini")),
                      "[Sys]\nDevs=2\nAddr=08000000\nVer=101\n"
                      "[Dev0]\nName=Controller A\nPBin=app.bin\nNBin=p0.bin\nNS19=p0.s19\n"
                      "[Dev1]\nName=主控板\nPBin=固件.bin\nNBin=输出/p1.bin\nNS19=输出/p1.s19\n"));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("输出")));

    ConversionRequest request;
    request.sourcePath = path(QStringLiteral("app.bin"));
    request.imagePath = path(QStringLiteral("engine.bin"));
    request.srecordPath = path(QStringLiteral("engine.s19"));
    request.version = Version;
    request.startAddress = 0x08000000;
    request.wallClock = QDateTime::fromString(QLatin1String(TimeText), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(RunConversion(request).succeeded());
    m_image = ReadFile(request.imagePath);
    m_srecords = ReadFile(request.srecordPath);
    QCOMPARE(m_image.size(), SourceSize + ImageLayout::FrameSize);

    QBuffer image(&m_image);
    QBuffer intelHex(&m_intelHex);
    QVERIFY(image.open(QIODevice::ReadOnly) && intelHex.open(QIODevice::WriteOnly));
    QCOMPARE(WriteIntelHex(&image, request.startAddress, &intelHex), RecordFileResult::Written);
}

QJsonObject TestCli::inspectJson(const QByteArray &image, const QString &option, const QByteArray &records,
                                 const QStringList &arguments, int *exitCode) const
{
    const QString imagePath = path(QStringLiteral("case.bin"));
    const QString recordPath = path(QStringLiteral("case.records"));
    QStringList all{QStringLiteral("inspect"), imagePath, QStringLiteral("--json")};
    if (!WriteFile(imagePath, image))
        return {};
    if (!option.isEmpty()) {
        if (!WriteFile(recordPath, records))
            return {};
        all << option << recordPath;
    }
    const CliRun result = run(all + arguments);
    *exitCode = result.exitCode;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString() << result.out << result.err;
    return document.object();
}

void TestCli::convertGivesTheWindowsBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("srecords");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("version");

    const QString time = QLatin1String(TimeText);
    QTest::newRow("options") << QStringList{QStringLiteral("--source"), QStringLiteral("app.bin"),
                                            QStringLiteral("--image"), QStringLiteral("o.bin"),
                                            QStringLiteral("--s19"), QStringLiteral("o.s19"),
                                            QStringLiteral("--address"), QStringLiteral("2000abc0"),
                                            QStringLiteral("--image-version"), QStringLiteral("65535"),
                                            QStringLiteral("--time"), time}
                             << "app.bin" << "o.bin" << "o.s19" << "2000abc0" << "65535";
    QTest::newRow("profile by index")
        << QStringList{QStringLiteral("--profile"), QStringLiteral("0"), QStringLiteral("--time"), time}
        << "app.bin" << "p0.bin" << "p0.s19" << "08000000" << "101";
    QTest::newRow("profile by Chinese name, Chinese paths")
        << QStringList{QStringLiteral("--profile"), QStringLiteral("主控板"), QStringLiteral("--time"), time}
        << "固件.bin" << "输出/p1.bin" << "输出/p1.s19" << "08000000" << "101";
    QTest::newRow("options win over the profile")
        << QStringList{QStringLiteral("--profile"), QStringLiteral("Controller A"), QStringLiteral("--image"),
                       QStringLiteral("over.bin"), QStringLiteral("--address"), QStringLiteral("FFFF0000"),
                       QStringLiteral("--image-version"), QStringLiteral("7"), QStringLiteral("--time"), time}
        << "app.bin" << "over.bin" << "p0.s19" << "FFFF0000" << "7";
}

// The window calls RunConversion with the local clock; with the clock fixed
// at the reading that --time gives, the files must be the same bytes. The
// program runs in another time zone, which must not shift the reading.
void TestCli::convertGivesTheWindowsBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, source);
    QFETCH(QString, image);
    QFETCH(QString, srecords);
    QFETCH(QString, address);
    QFETCH(QString, version);

    const CliRun result = run(QStringList{QStringLiteral("convert")} + arguments,
                              {QStringLiteral("TZ=Asia/Shanghai")});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QVERIFY(result.err.isEmpty());

    ConversionRequest request;
    request.sourcePath = path(source);
    request.imagePath = path(QStringLiteral("window.bin"));
    request.srecordPath = path(QStringLiteral("window.s19"));
    request.wallClock = QDateTime(QDate(2026, 12, 9), QTime(14, 30, 0));
    ConversionResult window = ReadConversionFields(version, address, request);
    if (window.succeeded())
        window = RunConversion(request);
    QVERIFY2(window.succeeded(), qPrintable(window.detail));

    const QByteArray cliImage = ReadFile(path(image));
    QCOMPARE(cliImage.size(), SourceSize + ImageLayout::FrameSize);
    QCOMPARE(cliImage, ReadFile(request.imagePath));
    QCOMPARE(ReadFile(path(srecords)), ReadFile(request.srecordPath));
}

void TestCli::fixedTimeIsReproducible_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<quint32>("seconds");

    const QStringList time{QStringLiteral("--time"), QLatin1String(TimeText)};
    const QString epoch = QStringLiteral("SOURCE_DATE_EPOCH=%1").arg(SourceDateEpoch);
    QTest::newRow("--time") << time << QStringList() << TimeTextSeconds;
    QTest::newRow("SOURCE_DATE_EPOCH") << QStringList() << QStringList{epoch} << SourceDateEpoch;
    QTest::newRow("SOURCE_DATE_EPOCH is UTC whatever the zone")
        << QStringList() << QStringList{epoch, QStringLiteral("TZ=America/New_York")} << SourceDateEpoch;
    QTest::newRow("--time wins over SOURCE_DATE_EPOCH")
        << time << QStringList{QStringLiteral("SOURCE_DATE_EPOCH=946684800")} << TimeTextSeconds;
    QTest::newRow("--time in a daylight-saving gap")
        << QStringList{QStringLiteral("--time"), QStringLiteral("2026-03-29 02:30:00")}
        << QStringList{QStringLiteral("TZ=Europe/Berlin")} << BerlinGapSeconds;
    QTest::newRow("first and last stampable seconds")
        << QStringList() << QStringList{QStringLiteral("SOURCE_DATE_EPOCH=4102444799")} << quint32(4102444799u);
}

void TestCli::fixedTimeIsReproducible()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(quint32, seconds);

    QByteArray images[2];
    QByteArray srecords[2];
    for (int i = 0; i < 2; ++i) {
        const QString image = QStringLiteral("r%1.bin").arg(i);
        const QString srecord = QStringLiteral("r%1.s19").arg(i);
        const CliRun result = run(QStringList{QStringLiteral("convert"), QStringLiteral("--profile"),
                                              QStringLiteral("0"), QStringLiteral("--image"), image,
                                              QStringLiteral("--s19"), srecord}
                                      + arguments,
                                  environment);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        images[i] = ReadFile(path(image));
        srecords[i] = ReadFile(path(srecord));
        if (i == 0)
            QTest::qSleep(1100); // a run that read the clock would stamp another second
    }
    QCOMPARE(images[0].size(), SourceSize + ImageLayout::FrameSize);
    QCOMPARE(qFromLittleEndian<quint32>(images[0].constData() + ImageLayout::SecondsOffset), seconds);
    QCOMPARE(images[1], images[0]);
    QCOMPARE(srecords[1], srecords[0]);
}

void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // in the first line of stderr

    const QStringList convert{QStringLiteral("convert"), QStringLiteral("--source"), QStringLiteral("app.bin"),
                              QStringLiteral("--image"), QStringLiteral("x.bin"), QStringLiteral("--s19"),
                              QStringLiteral("x.s19"), QStringLiteral("--time"), QLatin1String(TimeText)};
    const QStringList version{QStringLiteral("--image-version"), QStringLiteral("101")};
    const QStringList address{QStringLiteral("--address"), QStringLiteral("08000000")};
    const QStringList none;
    auto with = [](const QString &name, const QString &value) { return QStringList{name, value}; };

    QTest::newRow("converted") << convert + version + address << none << 0 << QString();
    QTest::newRow("version above 65535") << convert + address + with("--image-version", "65536") << none << 2
                                         << "\"65536\"";
    QTest::newRow("version not a number") << convert + address + with("--image-version", "1O1") << none << 2
                                          << "\"1O1\"";
    QTest::newRow("address beyond F") << convert + version + with("--address", "0800G000") << none << 2
                                      << "\"0800G000\"";
    QTest::newRow("image would pass FFFFFFFF") << convert + version + with("--address", "FFFFF000") << none << 1
                                               << "0xFFFFF000";
    QTest::newRow("source missing") << QStringList{convert}.replaceInStrings("app.bin", "none.bin") + version + address
                                    << none << 1 << "none.bin";
    QTest::newRow("new image is the source") << QStringList{convert}.replaceInStrings("x.bin", "./app.bin") + version
                                                    + address
                                             << none << 1 << "app.bin";
    if (QFile::exists(QStringLiteral("/dev/full")))
        QTest::newRow("S-record file on a full disk")
            << QStringList{convert}.replaceInStrings("x.s19", "/dev/full") + version + address << none << 1
            << "/dev/full";
    QTest::newRow("empty source path: our line alone, no Qt warning")
        << QStringList{convert}.replaceInStrings("app.bin", "") + version + address << none << 2
        << "--source needs a file name (it is empty)";
    QTest::newRow("line feed in a path, shown escaped")
        << QStringList{convert}.replaceInStrings("app.bin", "ap\np.bin") + version + address << none << 1
        << "\"ap\\np.bin\" does not exist";
    QTest::newRow("neither --s19 nor --hex")
        << QStringList{"convert", "--source", "app.bin", "--image", "x.bin"} + version + address << none << 2
        << "--s19 or --hex";
    QTest::newRow("--hex empty, alone")
        << QStringList{"convert", "--source", "app.bin", "--image", "x.bin", "--hex", ""} + version + address << none
        << 2 << "--hex needs a file name (it is empty)";
    QTest::newRow("--hex empty beside --s19") << convert + version + address + with("--hex", "") << none << 2
                                              << "--hex needs a file name";
    QTest::newRow("--byte-order sideways") << convert + version + address + with("--byte-order", "middle") << none
                                           << 2 << "\"middle\"";
    QTest::newRow("no command") << none << none << 2 << "no command";
    QTest::newRow("unknown command") << QStringList{QStringLiteral("stamp")} << none << 2 << "\"stamp\"";
    QTest::newRow("unknown option") << convert + version + address + QStringList{QStringLiteral("--fast")} << none
                                    << 2 << "fast";
    QTest::newRow("--version for the image's version") << convert + address + with("--version", "101") << none << 2
                                                       << "--image-version";
    QTest::newRow("value missing") << convert + version + address + QStringList{QStringLiteral("--profile")} << none
                                   << 2 << "profile";
    QTest::newRow("no --image-version and no profile") << convert + address << none << 2 << "--image-version";
    QTest::newRow("--time not a calendar date") << convert + version + address + with("--time", "2026-02-30 10:00:00")
                                                << none << 2 << "2026-02-30";
    QTest::newRow("--time empty") << convert + version + address + with("--time", "") << none << 2 << "--time";
    QTest::newRow("--time in 1999") << convert + version + address + with("--time", "1999-12-31 23:59:59") << none << 2
                                    << "1999-12-31";
    QTest::newRow("--time in 2100") << convert + version + address + with("--time", "2100-01-01 00:00:00") << none << 2
                                    << "2100-01-01";
    const QStringList clockRun{QStringLiteral("convert"), QStringLiteral("--profile"), QStringLiteral("0")};
    QTest::newRow("SOURCE_DATE_EPOCH not a number") << clockRun << QStringList{"SOURCE_DATE_EPOCH=12e8"} << 2
                                                    << "SOURCE_DATE_EPOCH";
    QTest::newRow("SOURCE_DATE_EPOCH before 2000") << clockRun << QStringList{"SOURCE_DATE_EPOCH=946684799"} << 2
                                                   << "946684799";
    QTest::newRow("SOURCE_DATE_EPOCH in 2100") << clockRun << QStringList{"SOURCE_DATE_EPOCH=4102444800"} << 2
                                               << "4102444800";
    QTest::newRow("profile index beyond Devs") << QStringList{"convert", "--profile", "2"} << none << 2
                                               << "profile 2";
    QTest::newRow("profile name unknown") << QStringList{"convert", "--profile", "Controller Z"} << none << 2
                                          << "Controller Z";
    QTest::newRow("settings file missing")
        << QStringList{"convert", "--profile", "0", "--settings", "nowhere.ini"} << none << 1 << "nowhere.ini";
    QTest::newRow("inspect without image") << QStringList{QStringLiteral("inspect")} << none << 2 << "no image";
    QTest::newRow("inspect missing image") << QStringList{"inspect", "none.bin"} << none << 1 << "none.bin";
    QTest::newRow("inspect a folder") << QStringList{"inspect", "输出"} << none << 1 << "输出";
    QTest::newRow("inspect a missing image, a line feed in its name")
        << QStringList{"inspect", "no\nsuch.bin"} << none << 1 << "cannot open image \"no\\nsuch.bin\": ";
    QTest::newRow("inspect --address without --s19") << QStringList{"inspect", "app.bin", "--address", "0"} << none
                                                     << 2 << "--s19";
    QTest::newRow("inspect --strict without a record file")
        << QStringList{"inspect", "app.bin", "--strict"} << none << 2 << "--strict needs --s19 or --hex";
    QTest::newRow("inspect missing Intel HEX file")
        << QStringList{"inspect", "app.bin", "--hex", "none.hex"} << none << 1 << "Intel HEX file \"none.hex\"";
    QTest::newRow("inspect a folder as the source")
        << QStringList{"inspect", "app.bin", "--source", "输出"} << none << 1 << "source \"输出\" is not a regular file";
    QTest::newRow("inspect bad --address")
        << QStringList{"inspect", "app.bin", "--s19", "app.bin", "--address", "x"} << none << 2 << "\"x\"";
}

void TestCli::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QFile::remove(path(QStringLiteral("x.bin")));
    QFile::remove(path(QStringLiteral("x.s19")));
    const QByteArray source = ReadFile(path(QStringLiteral("app.bin")));
    const CliRun result = run(arguments, environment);
    QCOMPARE(result.exitCode, exitCode);

    const QString firstLine = QString::fromUtf8(result.err).section(QLatin1Char('\n'), 0, 0);
    if (exitCode == 0) {
        QVERIFY(result.err.isEmpty());
        QCOMPARE(ReadFile(path(QStringLiteral("x.bin"))).size(), SourceSize + ImageLayout::FrameSize);
    } else {
        QVERIFY2(firstLine.contains(message), qPrintable(firstLine));
        // Every line, a usage error's pointer to the help too, in one voice.
        for (const QByteArray &line : result.err.trimmed().split('\n'))
            QVERIFY2(line.startsWith("vandrel-cli: "), line.constData());
        // A refused conversion names the cause on exactly one line.
        if (exitCode == 1)
            QCOMPARE(result.err.count('\n'), 1);
    }
    // A refused run writes nothing.
    if (exitCode != 0) {
        QVERIFY(!QFile::exists(path(QStringLiteral("x.bin"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("x.s19"))));
    }
    QCOMPARE(ReadFile(path(QStringLiteral("app.bin"))), source);
}

void TestCli::profilesListsTheSettings()
{
    const CliRun list = run({QStringLiteral("profiles")});
    QCOMPARE(list.exitCode, 0);
    const QString text = QString::fromUtf8(list.out);
    for (const QString &expected : {QStringLiteral("08000000"), QStringLiteral("101"), QStringLiteral("0  Controller A"),
                                    QStringLiteral("1  主控板"), QStringLiteral("固件.bin"), QStringLiteral("输出/p1.s19")})
        QVERIFY2(text.contains(expected), qPrintable(expected));

    // One path alone, as scripts take it; by index or by name.
    const struct
    {
        const char *option;
        const char *profile;
        const char *path;
    } cases[] = {
        {"--image-path", "0", "p0.bin\n"},
        {"--source-path", "主控板", "固件.bin\n"},
        {"--s19-path", "1", "输出/p1.s19\n"},
    };
    for (const auto &c : cases) {
        const CliRun one = run({QStringLiteral("profiles"), QString::fromUtf8(c.option), QString::fromUtf8(c.profile)});
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(QString::fromUtf8(one.out), QString::fromUtf8(c.path));
    }
}

// Values the INI rules read otherwise than written get a warning with the
// quoted form; a huge Devs lists the first 1000 profiles, at once.
void TestCli::profilesWarnOfSettingsTraps()
{
    QVERIFY(WriteFile(path(QStringLiteral("traps.ini")),
                      "[Sys]\nDevs=2147483647\nAddr=08000000\nVer=101\n"
                      "[Dev0]\nName=A\nPBin=D:\\fw\\app.bin\nNBin=\"ok,quoted.bin\"\nNS19=a,b.s19\n"));
    const CliRun list = run({QStringLiteral("profiles"), QStringLiteral("--settings"), QStringLiteral("traps.ini")},
                            {}, 20000);
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(list.out.count("\n     source  "), 1000);
    // Listed as read, with the control characters shown as the warning shows them.
    QVERIFY2(list.out.contains("\n     source  D:\\x0Cw\\x07pp.bin\n"), list.out.left(300).constData());
    QVERIFY(!list.out.contains('\f') && !list.out.contains('\a'));
    const QList<QByteArray> warnings = list.err.trimmed().split('\n');
    QCOMPARE(warnings.size(), 4);
    QCOMPARE(warnings.at(0), QByteArray("vandrel-cli: warning: settings file \"traps.ini\", [Dev0] PBin=D:\\fw\\app.bin is "
                                        "read as \"D:\\x0Cw\\x07pp.bin\"; to mean it as written, write "
                                        "PBin=\"D:\\\\fw\\\\app.bin\""));
    QVERIFY2(warnings.at(1).contains("NS19=a,b.s19 is read as \"\"; to mean it as written, write NS19=\"a,b.s19\""),
             warnings.at(1).constData());
    QVERIFY2(warnings.at(2).contains("lists profiles 1 to 999 (Devs=2147483647) but has none of their sections "
                                     "[Dev1] to [Dev999]; their names and paths read as empty"),
             warnings.at(2).constData());
    QVERIFY2(warnings.at(3).contains("declares Devs=2147483647; the first 1000 profiles are listed"),
             warnings.at(3).constData());

    // convert warns of the traps of its own profile before it refuses the path.
    const CliRun convert = run({QStringLiteral("convert"), QStringLiteral("--settings"), QStringLiteral("traps.ini"),
                                QStringLiteral("--profile"), QStringLiteral("0")});
    QCOMPARE(convert.exitCode, 1);
    QVERIFY2(convert.err.startsWith(warnings.at(0) + '\n'), convert.err.constData());
}

void TestCli::inspectImage_data()
{
    using namespace ImageLayout;
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QStringList>("failed");

    QBuffer bigEndian;
    bigEndian.open(QIODevice::ReadWrite);
    bigEndian.write(QByteArray(HeaderSize, '\0') + m_image.mid(HeaderSize, SourceSize));
    QVERIFY(StampImage(&bigEndian, 0, Version, QDateTime(QDate(2026, 12, 9), QTime(14, 30))));
    const QByteArray big = bigEndian.data();
    QCOMPARE(big.mid(MagicOffset, 4), QByteArray::fromHex("55AA44BB"));

    const int lastPayloadByte = HeaderSize + SourceSize - 1;
    const QStringList none;
    QTest::newRow("little-endian") << m_image << none;
    QTest::newRow("big-endian") << big << none;
    QTest::newRow("worked example") << WorkedExample << none;
    const QByteArray emptyPayload = WithField(
        WithField(QByteArray(FrameSize, '\0'), LengthOffset, QByteArray::fromHex("24000000BB44AA55")),
        LittleEndianOffset, QByteArray::fromHex("01"));
    QTest::newRow("empty payload") << emptyPayload << none;
    QTest::newRow("flipped first payload byte") << Flipped(m_image, HeaderSize) << QStringList{"crc"};
    QTest::newRow("flipped last payload byte") << Flipped(m_image, lastPayloadByte) << QStringList{"crc"};
    QTest::newRow("flipped CRC byte") << Flipped(m_image, lastPayloadByte + 2) << QStringList{"crc"};
    QTest::newRow("big-endian, flipped payload byte") << Flipped(big, 1000) << QStringList{"crc"};
    QTest::newRow("length one more") << WithField(m_image, LengthOffset, QByteArray::fromHex("AD130000"))
                                     << QStringList{"length"};
    QTest::newRow("big-endian, length little-endian")
        << WithField(big, LengthOffset, QByteArray::fromHex("AC130000")) << QStringList{"length"};
    QTest::newRow("bad header checksum") << Flipped(m_image, ChecksumOffset) << QStringList{"header-checksum"};
    QTest::newRow("big-endian, bad header checksum") << Flipped(big, ChecksumOffset + 1)
                                                     << QStringList{"header-checksum"};
    QTest::newRow("reserved byte set") << WithField(m_image, ReservedOffset + 9, "\x01") << QStringList{"reserved"};
    QTest::newRow("trailer padding set") << Flipped(m_image, m_image.size() - 1) << QStringList{"trailer-padding"};
    QTest::newRow("little-endian magic, littleEndian 0")
        << WithField(m_image, LittleEndianOffset, QByteArray(4, '\0')) << QStringList{"magic"};
    QTest::newRow("big-endian magic, littleEndian 1")
        << WithField(big, LittleEndianOffset, QByteArray::fromHex("00000001")) << QStringList{"magic"};
    QTest::newRow("no magic") << WithField(m_image, MagicOffset, QByteArray::fromHex("BB44AA56"))
                              << QStringList{"magic"};
    QTest::newRow("truncated by one byte") << m_image.left(m_image.size() - 1)
                                           << QStringList{"crc", "length", "trailer-padding"};
    QTest::newRow("header only") << m_image.left(HeaderSize) << QStringList{"crc", "length", "trailer-padding"};
    QTest::newRow("truncated in the header") << m_image.left(HeaderSize - 1) << AllImageChecks();
    QTest::newRow("empty file") << QByteArray() << AllImageChecks();
    QTest::newRow("random bytes") << RandomPayload(3000, 99) << AllImageChecks();
}

void TestCli::inspectImage()
{
    QFETCH(QByteArray, image);
    QFETCH(QStringList, failed);

    int exitCode = -1;
    const QJsonObject report = inspectJson(image, QString(), QByteArray(), {}, &exitCode);
    const QJsonObject imageReport = report.value(QStringLiteral("image")).toObject();
    const QJsonObject checks = imageReport.value(QStringLiteral("checks")).toObject();
    QCOMPARE(checks.keys(), AllImageChecks());
    QCOMPARE(FailedChecks(checks), failed);
    QCOMPARE(imageReport.value(QStringLiteral("size")).toInt(), image.size());
    QCOMPARE(report.value(QStringLiteral("passed")).toBool(), failed.isEmpty());
    QCOMPARE(exitCode, failed.isEmpty() ? 0 : 1);
}

void TestCli::inspectReportsHeaderFields()
{
    int exitCode = -1;
    const QJsonObject report = inspectJson(WorkedExample, QString(), QByteArray(), {}, &exitCode);
    QCOMPARE(exitCode, 0);
    const QJsonObject image = report.value(QStringLiteral("image")).toObject();
    const QJsonObject header = image.value(QStringLiteral("header")).toObject();
    QCOMPARE(header.value(QStringLiteral("length")).toInt(), 39);
    QCOMPARE(header.value(QStringLiteral("magic")).toString(), QStringLiteral("0x55AA44BB"));
    QCOMPARE(header.value(QStringLiteral("byteOrder")).toString(), QStringLiteral("little-endian"));
    QCOMPARE(header.value(QStringLiteral("seconds")).toDouble(), 1522670400.0);
    QCOMPARE(header.value(QStringLiteral("stampTime")).toString(), QStringLiteral("2018-04-02 12:00:00"));
    QCOMPARE(header.value(QStringLiteral("version")).toInt(), 100);
    QCOMPARE(header.value(QStringLiteral("checksum")).toString(), QStringLiteral("0x0401"));
    QCOMPARE(image.value(QStringLiteral("trailer")).toObject().value(QStringLiteral("crc")).toString(),
             QStringLiteral("0x9DD6"));

    // The same facts for people.
    const CliRun text = run({QStringLiteral("inspect"), path(QStringLiteral("case.bin"))});
    QCOMPARE(text.exitCode, 0);
    for (const char *expected : {"2018-04-02 12:00:00", "version          100", "0x9DD6", "little-endian",
                                 "Every check holds."})
        QVERIFY2(text.out.contains(expected), expected);

    const CliRun damaged = run({QStringLiteral("inspect"), path(QStringLiteral("app.bin"))});
    QCOMPARE(damaged.exitCode, 1);
    QVERIFY(damaged.out.contains("FAIL magic"));
    QVERIFY(damaged.out.contains("6 checks failed."));
}

void TestCli::inspectSRecords_data()
{
    QTest::addColumn<QByteArray>("srecords");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<QString>("detail"); // in the detail of the first failed check that counts, else of s19-lines

    const QList<QByteArray> lines = Lines(m_srecords);
    const int last = lines.size() - 1; // the S7 line
    const LineEdits edit{lines};
    const QStringList none;
    const QStringList data{"s19-data"};
    const QStringList layout{"s19-lines"};

    QTest::newRow("as written") << m_srecords << QString() << none << QString();
    QTest::newRow("at its address") << m_srecords << "8000000" << none << QString();
    QTest::newRow("at another address") << m_srecords << "08000010" << data << "line 2";
    QTest::newRow("data byte changed, checksum repaired")
        << edit.changed(4, WithDataByte(lines.at(4), 7, 0xA5)) << QString() << data << "line 5";
    QTest::newRow("data digit changed") << edit.changed(4, OtherDigit(lines.at(4), 14)) << QString()
                                        << QStringList{"s19-checksums", "s19-data"} << "line 5";
    QTest::newRow("checksum changed") << edit.changed(9, OtherDigit(lines.at(9), lines.at(9).size() - 1)) << QString()
                                      << QStringList{"s19-checksums"} << "line 10";
    QTest::newRow("record missing in the middle") << edit.without(9) << QString() << QStringList{"s19-data", "s19-lines"}
                                                  << "gap: no data for image offsets 128-143";
    QTest::newRow("last record missing") << edit.without(last - 1) << QString() << data
                                         << "gap: no data for image offsets 5024-5035";
    QTest::newRow("record repeated") << edit.inserted(3, lines.at(2)) << QString() << layout << "line 4";
    QTest::newRow("record repeated with another byte") << edit.inserted(3, WithDataByte(lines.at(2), 0, 0xA5)) << QString()
                                                       << QStringList{"s19-data", "s19-lines"}
                                                       << "overlap with different bytes: line 4";
    QTest::newRow("records in reverse order")
        << Joined(QList<QByteArray>{lines.constFirst()} + [&lines] {
               QList<QByteArray> records = lines.mid(1, lines.size() - 2);
               std::reverse(records.begin(), records.end());
               return records;
           }() + QList<QByteArray>{lines.constLast()})
        << QString() << layout << "line 3: record at address 08001390, expected 080013AC";
    QTest::newRow("lower-case hex") << edit.changed(3, lines.at(3).toLower().replace(0, 1, "S")) << QString() << layout
                                    << "line 4: lower-case";
    QTest::newRow("CR LF line ends") << QByteArray(m_srecords).replace("\n", "\r\n") << QString() << layout
                                     << "line 1: ends in CR LF";
    QTest::newRow("S3 record with CR LF") << edit.changed(2, lines.at(2) + '\r') << QString() << layout << "CR LF";
    QTest::newRow("other header line") << edit.changed(0, "S00600004844521B") << QString() << layout << "line 1";
    QTest::newRow("other end line") << edit.changed(last, "S70500000000FA") << QString() << layout
                                    << QStringLiteral("line %1").arg(last + 1);
    QTest::newRow("no end line") << edit.without(last) << QString() << layout << "without the end line";
    QTest::newRow("empty lines") << edit.inserted(5, "") + "\n" << QString() << layout << "line 6: an empty line";
    QTest::newRow("text after the end line") << m_srecords + "S9030000FC\n" << QString() << AllSRecordChecks()
                                             << "after the end record";
    QTest::newRow("S5 count right") << edit.inserted(last, "S503013BC0") << QString() << layout << "S5";
    QTest::newRow("S5 count wrong") << edit.inserted(last, "S5030139C2") << QString()
                                    << QStringList{"s19-lines", "s19-records"}
                                    << QStringLiteral("line %1: the S5 record counts 313 data records, 315 precede it")
                                           .arg(last + 1);
    QTest::newRow("S5 count wrong, then a line that is no record")
        << Joined(lines.mid(0, 3) + QList<QByteArray>{"S5030001FB", "garbage"} + lines.mid(3)) << QString()
        << AllSRecordChecks()
        << "line 4: the S5 record counts 1 data records, 2 precede it; line 5: not an S-record line";
    QTest::newRow("byte count too large") << edit.changed(2, QByteArray(lines.at(2)).replace(2, 2, "16")) << QString()
                                          << AllSRecordChecks() << "byte count";
    QTest::newRow("record of 17 bytes") << edit.changed(2, "S31608000000" + QByteArray(34, '0') + "E1")
                                        << QString() << QStringList{"s19-data", "s19-lines"} << "line 3";
    QTest::newRow("S4 record") << edit.inserted(3, "S4030000FC") << QString() << AllSRecordChecks()
                               << "'4' is not a record type";
    QTest::newRow("no line feed at the end") << m_srecords.chopped(1) << QString() << layout << "no line feed";
    QTest::newRow("overlong line") << edit.changed(5, lines.at(5) + QByteArray(600, '0')) << QString()
                                   << AllSRecordChecks() << "longer";
    QTest::newRow("NUL in a record") << edit.changed(5, QByteArray(lines.at(5)).replace(20, 1, QByteArray(1, '\0')))
                                     << QString() << AllSRecordChecks() << "byte 0x00";
    QTest::newRow("empty file") << QByteArray("") << QString() << QStringList{"s19-data", "s19-lines", "s19-records"}
                                << "the file is empty";
    QTest::newRow("random bytes") << RandomPayload(4000, 5) << QString() << AllSRecordChecks() << "line 1";
}

// The record file's verdicts in the JSON report: which checks fail, what
// the first of them says, and the exit status that follows.
void TestCli::checkRecordFileReport(const QString &format, const QByteArray &records, const QString &address,
                                    const QStringList &failed, const QString &detail)
{
    const bool srecords = format == QLatin1String("s19");
    QStringList arguments;
    if (!address.isEmpty())
        arguments << QStringLiteral("--address") << address;
    int exitCode = -1;
    const QJsonObject report = inspectJson(m_image, QLatin1String("--") + format, records, arguments, &exitCode);
    const QJsonObject fileReport = report.value(format).toObject();
    const QJsonObject checks = fileReport.value(QStringLiteral("checks")).toObject();
    QCOMPARE(checks.keys(), srecords ? AllSRecordChecks() : AllIntelHexChecks());
    QCOMPARE(FailedChecks(checks), failed);
    const bool counted = AnyCountedFailure(checks);
    QCOMPARE(counted, !failed.isEmpty() && failed != QStringList{format + QLatin1String("-lines")});
    QCOMPARE(exitCode, counted ? 1 : 0);
    QCOMPARE(report.value(QStringLiteral("passed")).toBool(), !counted);
    // The image itself is sound in every row.
    QCOMPARE(report.value(QStringLiteral("image")).toObject().value(QStringLiteral("passed")).toBool(), true);
    if (!failed.isEmpty()) {
        QString name = failed.constFirst();
        for (const char *kind : {"-records", "-checksums", "-data", "-lines"}) {
            if (failed.contains(format + QLatin1String(kind))) {
                name = format + QLatin1String(kind);
                break;
            }
        }
        const QString text = checks.value(name).toObject().value(QStringLiteral("detail")).toString();
        QVERIFY2(text.contains(detail), qPrintable(name + QLatin1String(": ") + text));
    }
    if (!failed.contains(format + QLatin1String("-data")))
        QCOMPARE(fileReport.value(QStringLiteral("imageAddress")).toString(), QStringLiteral("0x08000000"));

    // With --strict the layout counts.
    if (failed == QStringList{format + QLatin1String("-lines")}) {
        const QJsonObject strict = inspectJson(m_image, QLatin1String("--") + format, records,
                                               arguments + QStringList{QStringLiteral("--strict")}, &exitCode);
        QCOMPARE(exitCode, 1);
        QCOMPARE(strict.value(format).toObject().value(QStringLiteral("checks")).toObject()
                     .value(format + QLatin1String("-lines")).toObject().value(QStringLiteral("counts")).toBool(),
                 true);
    }
}

void TestCli::inspectSRecords()
{
    QFETCH(QByteArray, srecords);
    QFETCH(QString, address);
    QFETCH(QStringList, failed);
    QFETCH(QString, detail);
    checkRecordFileReport(QStringLiteral("s19"), srecords, address, failed, detail);
}

void TestCli::inspectIntelHex_data()
{
    QTest::addColumn<QByteArray>("intelHex");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<QString>("detail"); // in the detail of the first failed check that counts, else of hex-lines

    const QList<QByteArray> lines = Lines(m_intelHex);
    QCOMPARE(lines.constFirst(), QByteArray(":020000040800F2"));
    const int last = lines.size() - 1; // the end-of-file line
    const LineEdits edit{lines};
    const QStringList none;
    const QStringList data{"hex-data"};
    const QStringList layout{"hex-lines"};

    QTest::newRow("as written") << m_intelHex << QString() << none << QString();
    QTest::newRow("at its address") << m_intelHex << "08000000" << none << QString();
    QTest::newRow("at another address") << m_intelHex << "07FFFFF0" << data << "line 2";
    // Data byte 0 of a data record is byte 4 of its line.
    QTest::newRow("data byte changed, checksum repaired")
        << edit.changed(4, WithByte(lines.at(4), 4 + 7, 0xA5)) << QString() << data
        << "line 5: byte at address 08000037 (image offset 55)";
    QTest::newRow("checksum changed") << edit.changed(9, OtherDigit(lines.at(9), lines.at(9).size() - 1)) << QString()
                                      << QStringList{"hex-checksums"} << "line 10";
    QTest::newRow("record missing") << edit.without(9) << QString() << QStringList{"hex-data", "hex-lines"}
                                    << "gap: no data for image offsets 128-143";
    QTest::newRow("record given again with another byte")
        << edit.inserted(3, WithByte(lines.at(2), 4, 0xA5)) << QString() << QStringList{"hex-data", "hex-lines"}
        << "overlap with different bytes: line 4";
    QTest::newRow("lower-case hex") << edit.changed(3, lines.at(3).toLower()) << QString() << layout << "line 4: lower-case";
    QTest::newRow("CR LF line ends") << QByteArray(m_intelHex).replace("\n", "\r\n") << QString() << layout
                                     << "line 1: ends in CR LF";
    QTest::newRow("type 05 start address") << edit.inserted(1, ":0400000508000123CB") << QString() << layout
                                           << "line 2: a type 05 record";
    QTest::newRow("type 03 start address") << edit.inserted(1, ":0400000300001234B3") << QString() << layout
                                           << "line 2: a type 03 record";
    QTest::newRow("redundant type 04") << edit.inserted(1, lines.constFirst()) << QString() << layout
                                       << "line 2: a type 04 record that does not change";
    QTest::newRow("no end-of-file record") << edit.without(last) << QString() << QStringList{"hex-lines", "hex-records"}
                                           << "without the end-of-file record";
    QTest::newRow("record after the end-of-file record") << m_intelHex + lines.at(3) + '\n' << QString()
                                                         << AllIntelHexChecks() << "after the end-of-file record";
    QTest::newRow("record type 06") << edit.inserted(3, ":00000006FA") << QString() << AllIntelHexChecks()
                                    << "record type 06 is not one of 00 to 05";
    QTest::newRow("type 04 of three bytes") << edit.changed(0, ":03000004080000F1") << QString() << AllIntelHexChecks()
                                            << "a type 04 record holds 3 data bytes, not 2";
    QTest::newRow("no record mark") << edit.changed(3, lines.at(3).mid(1)) << QString() << AllIntelHexChecks()
                                    << "line 4: not an Intel HEX line";
    QTest::newRow("empty file") << QByteArray("") << QString() << QStringList{"hex-data", "hex-lines", "hex-records"}
                                << "the file is empty";
    QTest::newRow("random bytes") << RandomPayload(4000, 6) << QString() << AllIntelHexChecks() << "line 1";
}

void TestCli::inspectIntelHex()
{
    QFETCH(QByteArray, intelHex);
    QFETCH(QString, address);
    QFETCH(QStringList, failed);
    QFETCH(QString, detail);
    checkRecordFileReport(QStringLiteral("hex"), intelHex, address, failed, detail);
}

// Data records written by another tool (objcopy) between the fixed lines:
// this tool's layout, even strictly.
void TestCli::inspectAcceptsObjcopyRecords()
{
    const QString imagePath = path(QStringLiteral("objcopy-image.bin"));
    const QString objcopyPath = path(QStringLiteral("objcopy.s19"));
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    QVERIFY(WriteFile(imagePath, m_image));
    QString error;
    if (!ObjcopyToSRecords(imagePath, 0x08000000, objcopyPath, &error))
        QSKIP(qPrintable(error));
    QByteArray records;
    for (QByteArray line : Lines(ReadFile(objcopyPath))) {
        if (line.endsWith('\r')) // objcopy ends its lines in CR LF
            line.chop(1);
        if (line.startsWith("S3"))
            records += line + '\n';
    }
    QVERIFY(!records.isEmpty());
    QCOMPARE(records, m_srecords.mid(int(qstrlen(SRecordLayout::HeaderLine))).chopped(int(qstrlen(SRecordLayout::EndLine))));

    int exitCode = -1;
    inspectJson(m_image, QStringLiteral("--s19"), SRecordLayout::HeaderLine + records + SRecordLayout::EndLine,
                {QStringLiteral("--address"), QStringLiteral("08000000"), QStringLiteral("--strict")}, &exitCode);
    QCOMPARE(exitCode, 0);
}

// Files of the same image written by independent tools, each in its own
// layout, at addresses across a 64 KiB boundary, 2^31 and near 2^32: every
// check that counts holds, the layout check notes the difference (and fails
// with --strict), and without --address the image lies at the lowest address.
void TestCli::inspectOtherToolsFiles_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<quint32>("address");

    for (const char *tool : {"objcopy srec", "objcopy ihex", "srec_cat motorola", "srec_cat intel", "python intelhex"}) {
        for (quint32 address : {0x08000000u, 0x0800F800u, 0x0000FF00u, 0x80000000u, 0xFFFFE000u})
            QTest::addRow("%s at %08X", tool, address) << QString::fromLatin1(tool) << address;
    }
    QTest::newRow("srec_cat intel, type 02 segments") << QStringLiteral("srec_cat intel segmented") << 0x0000FF00u;
}

void TestCli::inspectOtherToolsFiles()
{
    QFETCH(QString, tool);
    QFETCH(quint32, address);
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);

    const QString imagePath = path(QStringLiteral("tool-image.bin"));
    const QString output = path(QStringLiteral("tool-output"));
    QVERIFY(WriteFile(imagePath, m_image));
    QFile::remove(output);
    const quint32 startAddress = address + 0x123;
    QString error;
    bool written = false;
    if (tool == QLatin1String("objcopy srec"))
        written = ObjcopyFromBinary(imagePath, address, QStringLiteral("srec"), output, &error);
    else if (tool == QLatin1String("objcopy ihex"))
        written = ObjcopyFromBinary(imagePath, address, QStringLiteral("ihex"), output, &error);
    else if (tool == QLatin1String("srec_cat motorola"))
        written = SrecCatFromBinary(imagePath, address, {QStringLiteral("-motorola")}, output, &error);
    else if (tool == QLatin1String("srec_cat intel"))
        written = SrecCatFromBinary(imagePath, address, {QStringLiteral("-intel")}, output, &error);
    else if (tool == QLatin1String("srec_cat intel segmented"))
        written = SrecCatFromBinary(imagePath, address, {QStringLiteral("-intel"), QStringLiteral("-address-length=3")},
                                    output, &error);
    else
        written = PythonIntelHexFromBinary(imagePath, address, startAddress, output, &error);
    if (!written)
        QSKIP(qPrintable(error));
    const QByteArray text = ReadFile(output);
    const QString format = text.startsWith(':') ? QStringLiteral("hex") : QStringLiteral("s19");
    if (tool.contains(QLatin1String("objcopy")))
        QVERIFY(text.contains("\r\n"));
    if (tool.contains(QLatin1String("segmented")))
        QVERIFY(text.contains(":02000002"));

    const QString hexAddress = QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper();
    for (const QStringList &arguments : {QStringList(), QStringList{QStringLiteral("--address"), hexAddress}}) {
        int exitCode = -1;
        const QJsonObject report = inspectJson(m_image, QLatin1String("--") + format, text, arguments, &exitCode);
        const QJsonObject fileReport = report.value(format).toObject();
        const QJsonObject checks = fileReport.value(QStringLiteral("checks")).toObject();
        QVERIFY2(exitCode == 0, QJsonDocument(checks).toJson().constData());
        QCOMPARE(FailedChecks(checks), QStringList{format + QLatin1String("-lines")});
        QCOMPARE(fileReport.value(QStringLiteral("imageAddress")).toString(), QStringLiteral("0x") + hexAddress);
        QCOMPARE(fileReport.value(QStringLiteral("dataBytes")).toInt(), m_image.size());
        if (tool == QLatin1String("python intelhex")) {
            QCOMPARE(fileReport.value(QStringLiteral("startAddress")).toString(),
                     QStringLiteral("0x") + QStringLiteral("%1").arg(startAddress, 8, 16, QLatin1Char('0')).toUpper());
            QCOMPARE(fileReport.value(QStringLiteral("startRecord")).toString(), QStringLiteral("type 05"));
        }
    }
    int exitCode = -1;
    inspectJson(m_image, QLatin1String("--") + format, text, {QStringLiteral("--strict")}, &exitCode);
    QCOMPARE(exitCode, 1);
}

// Another tool's file edited as a fault would leave it: the verdict names
// the first different byte, a gap, an overlap and data outside the image.
void TestCli::inspectEditedToolFiles_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<QString>("detail"); // in the data check's detail
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);

    const QString imagePath = path(QStringLiteral("edited-image.bin"));
    QVERIFY(WriteFile(imagePath, m_image));
    QString error;
    const QString srecCatPath = path(QStringLiteral("edited.s19"));
    const QString pythonPath = path(QStringLiteral("edited.hex"));
    if (!SrecCatFromBinary(imagePath, 0x08000000, {QStringLiteral("-motorola")}, srecCatPath, &error)
        || !PythonIntelHexFromBinary(imagePath, 0x08000000, std::nullopt, pythonPath, &error))
        QSKIP(qPrintable(error));

    // srec_cat: S0, S3 records of 32 bytes, S5 count; python-intelhex: type 04,
    // then data records of 16 bytes, end-of-file record (this tool's layout).
    const QList<QByteArray> srecCat = Lines(ReadFile(srecCatPath));
    const QList<QByteArray> python = Lines(ReadFile(pythonPath));
    QVERIFY(srecCat.at(1).startsWith("S325") && srecCat.constLast().startsWith("S5"));
    QVERIFY(python.at(0) == ":020000040800F2" && python.at(1).startsWith(":10"));
    auto edited = [](QList<QByteArray> lines, int index, const QByteArray &line) {
        if (line.isEmpty())
            lines.removeAt(index);
        else
            lines[index] = line;
        return Joined(lines);
    };
    auto added = [](QList<QByteArray> lines, int index, const QByteArray &line) {
        lines.insert(index, line);
        return Joined(lines);
    };
    const QStringList data{"s19-data", "s19-lines"};
    const QStringList counted{"s19-data", "s19-lines", "s19-records"}; // the S5 count no longer holds
    // S3 data byte k is byte 5 + k after "S3"; Intel HEX data byte k is byte 4 + k after ':'.
    QTest::newRow("srec_cat, a data byte")
        << "s19" << edited(srecCat, 3, WithByte(srecCat.at(3), 5 + 20, 0x5D)) << data
        << "line 4: byte at address 08000054 (image offset 84) is 5D, the image holds";
    QTest::newRow("srec_cat, a record removed") << "s19" << edited(srecCat, 3, QByteArray()) << counted
                                                << "gap: no data for image offsets 64-95 (addresses 08000040-0800005F";
    QTest::newRow("srec_cat, a record given twice, one byte other")
        << "s19" << added(srecCat, 5, WithByte(srecCat.at(2), 5 + 31, 0x5D)) << counted
        << "overlap with different bytes: line 6: byte at address 0800003F (image offset 63) is 5D";
    QTest::newRow("srec_cat, a record moved behind the image")
        << "s19" << edited(srecCat, 2, WithByte(srecCat.at(2), 2, 0x14)) << data
        << "gap: no data for image offsets 32-63";
    QTest::newRow("python-intelhex, a data byte")
        << "hex" << edited(python, 2, WithByte(python.at(2), 4 + 15, 0x5D)) << QStringList{"hex-data"}
        << "line 3: byte at address 0800001F (image offset 31) is 5D, the image holds";
    QTest::newRow("python-intelhex, a record removed")
        << "hex" << edited(python, 3, QByteArray()) << QStringList{"hex-data", "hex-lines"}
        << "gap: no data for image offsets 32-47";
    QTest::newRow("python-intelhex, a record given twice, one byte other")
        << "hex" << added(python, 5, WithByte(python.at(2), 4, 0x5D)) << QStringList{"hex-data", "hex-lines"}
        << "overlap with different bytes: line 6: byte at address 08000010 (image offset 16) is 5D";
    QTest::newRow("python-intelhex, a record moved behind the image")
        << "hex" << edited(python, 1, WithByte(python.at(1), 1, 0x20)) << QStringList{"hex-data", "hex-lines"}
        << "16 bytes outside the image's addresses 08000000-080013AB, the first on line 2 at address 08002000";
}

void TestCli::inspectEditedToolFiles()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, failed);
    QFETCH(QString, detail);

    int exitCode = -1;
    const QJsonObject report = inspectJson(m_image, QLatin1String("--") + format, text,
                                           {QStringLiteral("--address"), QStringLiteral("08000000")}, &exitCode);
    QCOMPARE(exitCode, 1);
    const QJsonObject checks = report.value(format).toObject().value(QStringLiteral("checks")).toObject();
    QCOMPARE(FailedChecks(checks), failed);
    const QString data = checks.value(format + QLatin1String("-data")).toObject().value(QStringLiteral("detail")).toString();
    QVERIFY2(data.contains(detail), qPrintable(data));
}

// --source: the payload against the raw build output, in the text report,
// the JSON report and the exit status.
void TestCli::inspectSource()
{
    const QString image = path(QStringLiteral("engine.bin"));
    const QString other = path(QStringLiteral("other-source.bin"));
    QByteArray source = ReadFile(path(QStringLiteral("app.bin")));
    source[4321] = char(source.at(4321) ^ 0x40);
    QVERIFY(WriteFile(other, source));

    const CliRun same = run({QStringLiteral("inspect"), image, QStringLiteral("--source"), QStringLiteral("app.bin")});
    QCOMPARE(same.exitCode, 0);
    QVERIFY2(same.out.contains("Source file app.bin"), same.out.constData());
    QVERIFY(same.out.contains("ok   source           the 5000 payload bytes equal the source"));

    const CliRun differs = run({QStringLiteral("inspect"), image, QStringLiteral("--source"), other, QStringLiteral("--json")});
    QCOMPARE(differs.exitCode, 1);
    const QJsonObject sourceReport = QJsonDocument::fromJson(differs.out).object().value(QStringLiteral("source")).toObject();
    QCOMPARE(sourceReport.value(QStringLiteral("size")).toInt(), SourceSize);
    QCOMPARE(sourceReport.value(QStringLiteral("passed")).toBool(), false);
    QVERIFY(sourceReport.value(QStringLiteral("checks")).toObject().value(QStringLiteral("source")).toObject()
                .value(QStringLiteral("detail")).toString().startsWith(QStringLiteral("payload byte 4321 (image offset 4353)")));
}

// Our Intel HEX read back by two independent readers gives the stamped image,
// at addresses that cross 64 KiB boundaries and lie above 7FFFFFFF.
void TestCli::intelHexAgainstReferences_data()
{
    QTest::addColumn<int>("sourceSize");
    QTest::addColumn<QString>("address");

    QTest::newRow("5000 bytes at 08000000") << 5000 << "08000000";
    QTest::newRow("empty source at 0") << 0 << "0";
    QTest::newRow("across a 64 KiB boundary, unaligned") << 70000 << "0800FFF8";
    QTest::newRow("across several boundaries") << 300000 << "0000FF00";
    QTest::newRow("above 7FFFFFFF") << 3000 << "80000000";
    QTest::newRow("ending at FFFFFFFF") << 4060 << "FFFFF000";
}

void TestCli::intelHexAgainstReferences()
{
    QFETCH(int, sourceSize);
    QFETCH(QString, address);

    QVERIFY(WriteFile(path(QStringLiteral("hex-source.bin")), RandomPayload(sourceSize, PayloadSeed)));
    const CliRun result = run({QStringLiteral("convert"), QStringLiteral("--source"), QStringLiteral("hex-source.bin"),
                               QStringLiteral("--image"), QStringLiteral("hex-image.bin"), QStringLiteral("--hex"),
                               QStringLiteral("hex-image.hex"), QStringLiteral("--address"), address,
                               QStringLiteral("--image-version"), QStringLiteral("3"), QStringLiteral("--time"),
                               QLatin1String(TimeText)});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QVERIFY(!QFile::exists(path(QStringLiteral("hex-image.s19"))));
    const QByteArray image = ReadFile(path(QStringLiteral("hex-image.bin")));
    QCOMPARE(image.size(), sourceSize + ImageLayout::FrameSize);

    const QByteArray text = ReadFile(path(QStringLiteral("hex-image.hex")));
    QVERIFY(!text.contains('\r'));
    QCOMPARE(text.toUpper(), text);
    QVERIFY(text.endsWith(":00000001FF\n"));
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(":10") || line.isEmpty())
            continue;
        // Only short data records where the image ends or a 64 KiB boundary falls, and type 04 and 01.
        QVERIFY2(line.mid(7, 2) != "00" || line.mid(1, 2).toInt(nullptr, 16) < 16, line.constData());
    }

    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    const quint32 start = address.toUInt(nullptr, 16);
    QString error;
    if (!SrecCatIntelToBinary(path(QStringLiteral("hex-image.hex")), start, path(QStringLiteral("hex-back.bin")),
                              &error))
        QFAIL(qPrintable(error));
    QVERIFY2(ReadFile(path(QStringLiteral("hex-back.bin"))) == image, "srec_cat reads other bytes");
    QByteArray python;
    if (!PythonIntelHexToBinary(path(QStringLiteral("hex-image.hex")), start, image.size(), &python, &error))
        QSKIP(qPrintable(error));
    QVERIFY2(python == image, "python3-intelhex reads other bytes");
}

// The worked example's big-endian header, byte for byte.
void TestCli::bigEndianWorkedExample()
{
    QVERIFY(WriteFile(path(QStringLiteral("abc.bin")), "abc"));
    const CliRun result = run({QStringLiteral("convert"), QStringLiteral("--source"), QStringLiteral("abc.bin"),
                               QStringLiteral("--image"), QStringLiteral("abc-big.bin"), QStringLiteral("--s19"),
                               QStringLiteral("abc-big.s19"), QStringLiteral("--address"), QStringLiteral("0"),
                               QStringLiteral("--image-version"), QStringLiteral("100"), QStringLiteral("--byte-order"),
                               QStringLiteral("big"), QStringLiteral("--time"), QStringLiteral("2018-04-02 12:00:00")});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(ReadFile(path(QStringLiteral("abc-big.bin"))).toHex().toUpper(),
             QByteArray("00000027" "55AA44BB" "5AC21B40" "0000" "0064" "00000000" "00000000000000000000" "0400"
                        "616263" "9DD60000"));
    const CliRun inspect = run({QStringLiteral("inspect"), QStringLiteral("abc-big.bin"), QStringLiteral("--s19"),
                                QStringLiteral("abc-big.s19")});
    QVERIFY2(inspect.exitCode == 0, inspect.out.constData());
}

// --json is one JSON object that Python's json reads, with sizes, fields and
// SHA-256 sums that match the files (sha256sum).
void TestCli::jsonSummary()
{
    const CliRun result = run({QStringLiteral("convert"), QStringLiteral("--profile"), QStringLiteral("0"),
                               QStringLiteral("--image"), QStringLiteral("json.bin"), QStringLiteral("--s19"),
                               QStringLiteral("json.s19"), QStringLiteral("--hex"), QStringLiteral("json.hex"),
                               QStringLiteral("--time"), QLatin1String(TimeText), QStringLiteral("--json")});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QVERIFY(result.err.isEmpty());
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);

    const QString script = QStringLiteral(
        "import json, sys\n"
        "d = json.load(sys.stdin)\n"
        "h = d['image']['header']\n"
        "print(d['source']['size'], d['imageAddress'], d['image']['size'], h['length'], h['magic'], h['seconds'],\n"
        "      h['stampTime'], h['milliseconds'], h['version'], h['byteOrder'], h['checksum'],\n"
        "      d['image']['trailer']['crc'], d['s19']['size'], d['hex']['size'], sep='|')\n"
        "for name in ('image', 's19', 'hex'):\n"
        "    print(d[name]['sha256'], d[name]['path'])\n");
    QProcess python;
    python.setWorkingDirectory(m_dir.path());
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script});
    python.write(result.out);
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QList<QByteArray> lines = python.readAllStandardOutput().split('\n');

    const QByteArray image = ReadFile(path(QStringLiteral("json.bin")));
    const QByteArray fields = QByteArray::number(SourceSize) + "|0x08000000|" + QByteArray::number(image.size()) + "|"
        + QByteArray::number(image.size()) + "|0x55AA44BB|" + QByteArray::number(TimeTextSeconds) + "|"
        + TimeText + "|0|101|little-endian|0x"
        + QByteArray::number(qFromLittleEndian<quint16>(image.constData() + ImageLayout::ChecksumOffset), 16)
              .rightJustified(4, '0')
              .toUpper()
        + "|0x" + image.mid(image.size() - 4, 2).toHex().toUpper() + "|"
        + QByteArray::number(ReadFile(path(QStringLiteral("json.s19"))).size()) + "|"
        + QByteArray::number(ReadFile(path(QStringLiteral("json.hex"))).size());
    QCOMPARE(lines.value(0), fields);

    QByteArray sums;
    QString error;
    if (!RunTool(QStringLiteral("sha256sum"),
                 {path(QStringLiteral("json.bin")), path(QStringLiteral("json.s19")), path(QStringLiteral("json.hex"))},
                 &sums, &error))
        QFAIL(qPrintable(error));
    const QList<QByteArray> expected = sums.split('\n');
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lines.value(1 + i).split(' ').value(0), expected.value(i).split(' ').value(0));
}

#ifdef Q_OS_UNIX
// A FIFO anywhere is refused before it is opened, so nothing blocks; a
// device as source never starts a copy that would not end.
void TestCli::specialFilesRefusedAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QStringList rest{QStringLiteral("--address"), QStringLiteral("0"), QStringLiteral("--image-version"),
                           QStringLiteral("1")};
    auto convert = [&rest](const char *source, const char *image, const char *s19) {
        return QStringList{"convert", "--source", source, "--image", image, "--s19", s19} + rest;
    };
    QTest::newRow("FIFO as source") << convert("fifo", "f.bin", "f.s19") << 1 << "not a regular file";
    QTest::newRow("FIFO as image") << convert("app.bin", "fifo", "f.s19") << 1 << "not a regular file";
    QTest::newRow("FIFO as S-record file") << convert("app.bin", "f.bin", "fifo") << 1 << "not a regular file";
    QTest::newRow("FIFO as Intel HEX file")
        << QStringList{"convert", "--source", "app.bin", "--image", "f.bin", "--hex", "fifo"} + rest << 1
        << "not a regular file";
    QTest::newRow("character device as source") << convert("/dev/zero", "f.bin", "f.s19") << 1 << "not a regular file";
    QTest::newRow("inspect a FIFO") << QStringList{"inspect", "fifo"} << 1 << "not a regular file";
    QTest::newRow("inspect a FIFO as S-records") << QStringList{"inspect", "engine.bin", "--s19", "fifo"} << 1
                                                 << "not a regular file";
    QTest::newRow("inspect a FIFO as Intel HEX") << QStringList{"inspect", "engine.bin", "--hex", "fifo"} << 1
                                                 << "Intel HEX file \"fifo\" is not a regular file";
    QTest::newRow("inspect a FIFO as source") << QStringList{"inspect", "engine.bin", "--source", "fifo"} << 1
                                              << "source \"fifo\" is not a regular file";
    QTest::newRow("inspect a link to a FIFO") << QStringList{"inspect", "fifo-link"} << 1
                                              << "image \"fifo-link\" is not a regular file";
    QTest::newRow("inspect a device") << QStringList{"inspect", "/dev/zero"} << 1
                                      << "image \"/dev/zero\" is not a regular file";
    QTest::newRow("inspect a folder as S-records") << QStringList{"inspect", "engine.bin", "--s19", "."} << 1
                                                   << "S-record file \".\" is not a regular file";
    // What a path names now counts, not where its links lead: /dev/fd/1 is
    // this run's own stdout, a pipe, never a place for a lock file.
    QTest::newRow("null device as S-record file") << convert("app.bin", "f.bin", "/dev/null") << 1
                                                  << "S-record file \"/dev/null\" is not a regular file";
    QTest::newRow("null device as image") << convert("app.bin", "/dev/null", "f.s19") << 1
                                          << "new image \"/dev/null\" is not a regular file";
    QTest::newRow("stdout's descriptor as S-record file") << convert("app.bin", "f.bin", "/dev/fd/1") << 1
                                                          << "S-record file \"/dev/fd/1\" is not a regular file";
    QTest::newRow("a link to the null device as Intel HEX file")
        << QStringList{"convert", "--source", "app.bin", "--image", "f.bin", "--hex", "null-link"} + rest << 1
        << "Intel HEX file \"null-link\" is not a regular file";
}

void TestCli::specialFilesRefusedAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    const QByteArray fifo = QFile::encodeName(path(QStringLiteral("fifo")));
    ::unlink(fifo.constData());
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QFile::link(QStringLiteral("fifo"), path(QStringLiteral("fifo-link")));
    const QByteArray nullLink = QFile::encodeName(path(QStringLiteral("null-link")));
    ::unlink(nullLink.constData());
    QCOMPARE(::symlink("/dev/null", nullLink.constData()), 0);
    // A run that blocked in open() would be killed after these seconds.
    const CliRun result = run(arguments, {}, 5000);
    QVERIFY2(result.err.contains(message.toUtf8()), result.err.constData());
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(!QFile::exists(path(QStringLiteral("f.bin"))));
}

// A conversion stopped half-way through a 100 MiB source leaves the previous
// pair as it was; SIGTERM also removes its temporary files. The next run is
// not kept out by the lock the stopped one held.
void TestCli::interruptedRunKeepsPreviousFiles_data()
{
    QTest::addColumn<bool>("kill");
    QTest::newRow("SIGTERM") << false;
    QTest::newRow("SIGKILL") << true;
}

void TestCli::interruptedRunKeepsPreviousFiles()
{
    QFETCH(bool, kill);

    QTemporaryDir out(path(QStringLiteral("interrupted-XXXXXX")));
    QVERIFY(out.isValid());
    if (!QFile::exists(path(QStringLiteral("large.bin"))))
        writeLargeSource(QStringLiteral("large.bin"), 100);
    const QString image = out.filePath(QStringLiteral("large.bin"));
    const QString srecords = out.filePath(QStringLiteral("large.s19"));
    const auto convert = [&](const char *source, const char *time) {
        return QStringList{QStringLiteral("convert"), QStringLiteral("--source"), QLatin1String(source),
                           QStringLiteral("--image"), image, QStringLiteral("--s19"), srecords,
                           QStringLiteral("--address"), QStringLiteral("08000000"), QStringLiteral("--image-version"),
                           QStringLiteral("1"), QStringLiteral("--time"), QLatin1String(time)};
    };
    // The previous pair, of a small source: what matters is that it stays.
    const CliRun first = run(convert("app.bin", "2026-01-01 00:00:00"));
    QVERIFY2(first.exitCode == 0, first.err.constData());
    const QByteArray previousImage = ReadFile(image);
    const QByteArray previousSRecords = ReadFile(srecords);
    const QStringList previousEntries = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);

    // Stopped once it has written part of its temporary image.
    std::unique_ptr<QProcess> second(start(convert("large.bin", "2026-01-02 00:00:00")));
    QVERIFY(second->waitForStarted());
    QElapsedTimer waited;
    waited.start();
    bool writing = false;
    while (!writing && waited.elapsed() < 30000 && second->state() == QProcess::Running) {
        const QFileInfoList temporary = QDir(out.path()).entryInfoList({QStringLiteral(".large.bin.*.tmp")},
                                                                       QDir::Files | QDir::Hidden);
        writing = !temporary.isEmpty() && temporary.constFirst().size() > 10 * 1024 * 1024;
        QTest::qSleep(5);
    }
    QVERIFY2(writing, "the run ended before it could be stopped");
    if (kill)
        second->kill();
    else
        second->terminate();
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::CrashExit);

    QVERIFY2(ReadFile(image) == previousImage, "the previous image changed");
    QVERIFY2(ReadFile(srecords) == previousSRecords, "the previous S-record file changed");
    const CliRun inspect = run({QStringLiteral("inspect"), image, QStringLiteral("--s19"), srecords});
    QVERIFY2(inspect.exitCode == 0, inspect.out.constData());
    if (!kill) {
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), previousEntries);
        return;
    }
    // SIGKILL left its lock behind: the next run sees that its process is gone.
    const CliRun third = run(convert("app.bin", "2026-01-03 00:00:00"));
    QVERIFY2(third.exitCode == 0, third.err.constData());
    QVERIFY(ReadFile(image) != previousImage);
}

// Two runs onto one pair: one writes it, the other is refused at once, and
// the pair on disk is whole. Runs onto other outputs go on side by side.
void TestCli::concurrentRuns()
{
    writeLargeSource(QStringLiteral("shared.bin"), 50);
    auto convert = [](const QString &name) {
        return QStringList{QStringLiteral("convert"), QStringLiteral("--source"), QStringLiteral("shared.bin"),
                           QStringLiteral("--image"), name + QStringLiteral(".bin"), QStringLiteral("--s19"),
                           name + QStringLiteral(".s19"), QStringLiteral("--address"), QStringLiteral("0"),
                           QStringLiteral("--image-version"), QStringLiteral("1")};
    };

    std::unique_ptr<QProcess> first(start(convert(QStringLiteral("same"))));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(path(QStringLiteral(".same.bin.lock"))) && waited.elapsed() < 30000
           && first->state() != QProcess::NotRunning)
        QTest::qSleep(2);
    std::unique_ptr<QProcess> second(start(convert(QStringLiteral("same"))));
    QVERIFY(first->waitForFinished(60000));
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(second->exitCode(), 1);
    const QString refusal = QString::fromUtf8(second->readAllStandardError());
    QVERIFY2(refusal.startsWith(QStringLiteral("vandrel-cli: \"same.bin\" is being written by another conversion "
                                               "(lock file \""))
                 && refusal.endsWith(QStringLiteral(".same.bin.lock\"; remove it if no conversion is running)\n")),
             qPrintable(refusal));
    const CliRun inspect = run({QStringLiteral("inspect"), QStringLiteral("same.bin"), QStringLiteral("--s19"),
                                QStringLiteral("same.s19")});
    QVERIFY2(inspect.exitCode == 0, inspect.out.constData());

    std::unique_ptr<QProcess> left(start(convert(QStringLiteral("left"))));
    std::unique_ptr<QProcess> right(start(convert(QStringLiteral("right"))));
    QVERIFY(left->waitForFinished(60000));
    QVERIFY(right->waitForFinished(60000));
    QCOMPARE(left->exitCode(), 0);
    QCOMPARE(right->exitCode(), 0);
}
#endif

#ifdef Q_OS_UNIX
// Settings that cannot be read end the run with the cause, at once, and
// leave every file as it was.
void TestCli::settingsThatCannotBeRead_data()
{
    QTest::addColumn<QString>("kind"); // what special.ini is
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QStringList profiles{"profiles", "--settings", "special.ini"};
    const QStringList convert{"convert", "--settings", "special.ini", "--profile", "0"};
    const QStringList list{"profiles", "--settings", "special.ini", "--image-path", "0"};
    const QString notRegular = QStringLiteral("cannot read settings file \"special.ini\": not a regular file");
    QTest::newRow("FIFO, profiles") << "fifo" << profiles << 1 << notRegular;
    QTest::newRow("FIFO, convert --profile") << "fifo" << convert << 1 << notRegular;
    QTest::newRow("FIFO, one path") << "fifo" << list << 1 << notRegular;
    QTest::newRow("link to /dev/zero, profiles") << "zero" << profiles << 1 << notRegular;
    QTest::newRow("link to /dev/zero, convert") << "zero" << convert << 1 << notRegular;
    QTest::newRow("folder") << "folder" << profiles << 1 << notRegular;
    QTest::newRow("over 4 MiB, profiles") << "large" << profiles << 1 << "larger than 4 MiB";
    QTest::newRow("over 4 MiB, convert") << "large" << convert << 1 << "larger than 4 MiB";
    QTest::newRow("dangling link") << "dangling" << profiles << 1 << "No such file or directory";
    QTest::newRow("missing") << "missing" << convert << 1 << "settings file \"special.ini\" not found";
    const QString longName = QStringLiteral("./").repeated(2100) + QStringLiteral("VandrelSet.ini");
    QTest::newRow("path over 4096 bytes, profiles")
        << "missing" << QStringList{"profiles", "--settings", longName} << 1 << "File name too long";
    QTest::newRow("path over 4096 bytes, convert")
        << "missing" << QStringList{"convert", "--settings", longName, "--profile", "0"} << 1 << "File name too long";
}

void TestCli::settingsThatCannotBeRead()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    const QString special = path(QStringLiteral("special.ini"));
    const QByteArray name = QFile::encodeName(special);
    QDir(special).removeRecursively();
    ::unlink(name.constData());
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    else if (kind == QLatin1String("zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), special));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(path(QStringLiteral("nothing.ini")), special));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(special));
    else if (kind == QLatin1String("large"))
        QVERIFY(WriteFile(special, "[Sys]\nDevs=1\n" + QByteArray(5 * 1024 * 1024, ';')));

    const QMap<QString, QByteArray> before = FolderFacts(m_dir.path());
    // A run that waited on the FIFO or read /dev/zero would be killed first.
    const CliRun result = run(arguments, {}, 5000);
    const QMap<QString, QByteArray> after = FolderFacts(m_dir.path());
    QDir(special).removeRecursively();
    ::unlink(name.constData());
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.startsWith("vandrel-cli: "), result.err.constData());
    QVERIFY2(result.err.contains(message.toUtf8()), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(after, before);
}

// A settings file its user may not read is refused with the cause, never
// taken for an empty one (address 0, version 0). Only another user can be
// kept out, so root runs the program as nobody.
void TestCli::unreadableSettingsAsAnotherUser()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther));
    const QString settings = dir.filePath(QStringLiteral("unreadable.ini"));
    QVERIFY(WriteFile(settings, "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=A\nPBin=a\nNBin=b\nNS19=c\n"));
    QVERIFY(QFile::setPermissions(settings, QFileDevice::WriteOwner));

    QStringList prefix;
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
            QSKIP("running as root without runuser: no other user to keep out of the file");
        prefix = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("nobody"),
                             QStringLiteral("--")};
    }
    const QStringList commands[] = {
        {QStringLiteral("profiles"), QStringLiteral("--settings"), settings},
        {QStringLiteral("convert"), QStringLiteral("--settings"), settings, QStringLiteral("--profile"),
         QStringLiteral("0")},
    };
    for (const QStringList &command : commands) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        const QStringList all = prefix + QStringList{QStringLiteral(VANDREL_CLI_PATH)} + command;
        process.start(all.constFirst(), all.mid(1));
        QVERIFY(process.waitForFinished(20000));
        const QByteArray err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.contains("cannot read settings file \"" + QFile::encodeName(settings) + "\": Permission denied"),
                 err.constData());
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("unreadable.ini")});
}

// A name whose bytes are not valid text here is refused before anything is
// read or written, whichever path it is: never taken for its look-alike.
void TestCli::undecodableArguments_data()
{
    QTest::addColumn<QString>("arguments"); // for sh; \377 and \376 written as printf escapes

    const QString values = QStringLiteral(" --address 0 --image-version 1");
    QTest::newRow("source") << "convert --source \"$(printf 's\\377.bin')\" --image x.bin --s19 x.s19" + values;
    QTest::newRow("new image") << "convert --source app.bin --image \"$(printf 'c\\377.bin')\" --s19 x.s19" + values;
    QTest::newRow("two names alike")
        << "convert --source app.bin --image \"$(printf 'c\\377.bin')\" --s19 \"$(printf 'c\\376.bin')\"" + values;
    QTest::newRow("S-record file") << "convert --source app.bin --image x.bin --s19 \"$(printf 'c\\376.bin')\"" + values;
    QTest::newRow("Intel HEX file") << "convert --source app.bin --image x.bin --hex \"$(printf 'c\\376.bin')\"" + values;
    QTest::newRow("option and value in one") << "convert --source app.bin --image=\"$(printf 'c\\377.bin')\" --s19 x.s19"
                                                 + values;
    QTest::newRow("settings of convert") << QString("convert --profile 0 --settings \"$(printf 'set\\377.ini')\"");
    QTest::newRow("settings of profiles") << QString("profiles --settings \"$(printf 'set\\377.ini')\"");
    QTest::newRow("image to inspect") << QString("inspect \"$(printf 'c\\377.bin')\"");
    QTest::newRow("S-record file to inspect") << QString("inspect engine.bin --s19 \"$(printf 'c\\376.bin')\"");
    QTest::newRow("source to inspect") << QString("inspect engine.bin --source \"$(printf 's\\377.bin')\"");
}

void TestCli::undecodableArguments()
{
    QFETCH(QString, arguments);

    const QByteArray folder = QFile::encodeName(m_dir.path()) + '/';
    const QByteArray source = ReadFile(path(QStringLiteral("app.bin")));
    const QByteArray names[] = {"s\xff.bin", "c\xff.bin", "c\xfe.bin", "set\xff.ini"};
    for (const QByteArray &name : names)
        QVERIFY(WriteRawName(folder + name, name.startsWith("set") ? ReadFile(path(QStringLiteral("VandrelSet.ini"))) : source));
    const QMap<QString, QByteArray> before = FolderFacts(m_dir.path());

    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    env.insert(QStringLiteral("CLI"), QStringLiteral(VANDREL_CLI_PATH));
    shell.setProcessEnvironment(env);
    shell.setWorkingDirectory(m_dir.path());
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$CLI\" ") + arguments});
    QVERIFY(shell.waitForFinished(20000));
    const QByteArray err = shell.readAllStandardError();
    QCOMPARE(shell.exitCode(), 2);
    QVERIFY2(err.startsWith("vandrel-cli: argument \""), err.constData());
    QVERIFY2(err.contains("\" is not valid text in this system's encoding"), err.constData());
    QVERIFY(err.contains("\\xFF") || err.contains("\\xFE"));

    for (const QByteArray &name : names)
        QCOMPARE(ReadRawName(folder + name), name.startsWith("set") ? ReadFile(path(QStringLiteral("VandrelSet.ini"))) : source);
    QCOMPARE(FolderFacts(m_dir.path()), before);
    for (const QByteArray &name : names)
        QCOMPARE(::unlink((folder + name).constData()), 0);
}

// The files are written and in place before the summary; a summary that
// cannot be written says so, with the cause.
void TestCli::summaryThatCannotBeWritten()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(VANDREL_CLI_PATH),
                  {QStringLiteral("convert"), QStringLiteral("--profile"), QStringLiteral("0"), QStringLiteral("--image"),
                   QStringLiteral("full.bin"), QStringLiteral("--s19"), QStringLiteral("full.s19"),
                   QStringLiteral("--time"), QLatin1String(TimeText), QStringLiteral("--json")});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError(),
             QByteArray("vandrel-cli: the outputs are in place, but the summary could not be written: "
                        "No space left on device\n"));
    QCOMPARE(ReadFile(path(QStringLiteral("full.bin"))).size(), SourceSize + ImageLayout::FrameSize);
    QCOMPARE(ReadFile(path(QStringLiteral("full.s19"))), m_srecords);
}
#endif

// [Sys] values that give something else than the file seems to say are
// warned of, naming the key and the file, by profiles and by convert.
void TestCli::settingsSystemWarnings_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("warning");

    const QByteArray profile = "[Dev0]\nName=A\nPBin=app.bin\nNBin=w.bin\nNS19=w.s19\n";
    const QString notWhole = QStringLiteral("settings file \"w.ini\", [Sys] Devs=%1 is not a whole number from 0 to "
                                            "2147483647; no profile is listed");
    const char *const counts[] = {"abc", "-1", "3.7", "0x10", "2147483648", ""};
    for (const char *count : counts)
        QTest::addRow("Devs=%s", count) << "[Sys]\nDevs=" + QByteArray(count) + "\nAddr=0\nVer=1\n" + profile
                                        << notWhole.arg(QLatin1String(count));
    QTest::newRow("no [Sys]") << profile
                              << "settings file \"w.ini\" has no [Sys] section; the start address and the version "
                                 "read as 0, and no profile is listed";
}

void TestCli::settingsSystemWarnings()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, warning);

    QVERIFY(WriteFile(path(QStringLiteral("w.ini")), settings));
    const QMap<QString, QByteArray> before = FolderFacts(m_dir.path());
    const QByteArray line = "vandrel-cli: warning: " + warning.toUtf8() + '\n';

    const CliRun list = run({QStringLiteral("profiles"), QStringLiteral("--settings"), QStringLiteral("w.ini")});
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(list.err, line);
    QVERIFY(!list.out.contains("  A\n"));

    const CliRun convert = run({QStringLiteral("convert"), QStringLiteral("--settings"), QStringLiteral("w.ini"),
                                QStringLiteral("--profile"), QStringLiteral("0")});
    QCOMPARE(convert.exitCode, 2);
    QVERIFY2(convert.err.startsWith(line), convert.err.constData());
    QVERIFY2(convert.err.contains("no profile 0 in settings file"), convert.err.constData());
    QCOMPARE(FolderFacts(m_dir.path()), before);
}

void TestCli::helpShowsEveryOption()
{
    const CliRun help = run({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    for (const char *option : {"--source", "--image", "--s19", "--hex", "--byte-order", "--address",
                               "--image-version", "--profile", "--settings", "--time", "SOURCE_DATE_EPOCH", "--json",
                               "--source-path", "--image-path", "--s19-path", "--version", "--strict", "Exit status",
                               "--manifest", "--sign", "--public-key", "--require-sources", "--secret", "--public"})
        QVERIFY2(help.out.contains(option), option);
    // One section per command: convert, profiles, inspect, release, verify, keygen.
    QCOMPARE(help.out.count("Examples:"), 6);
    QVERIFY(!help.out.contains("--help-all"));

    const CliRun version = run({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("vandrel-cli " VANDREL_VERSION "\n"));
}

void TestCli::checkUsageError(const QString &command)
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const QMap<QString, QByteArray> before = FolderFacts(m_dir.path());
    const CliRun result = run(QStringList{command} + arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err),
             QStringLiteral("vandrel-cli: %1\nvandrel-cli: try 'vandrel-cli %2 --help' for more information\n")
                 .arg(message, command));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(FolderFacts(m_dir.path()), before);
}

void TestCli::convertUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QStringList paths{"--source", "app.bin", "--image", "u.bin"};
    const QStringList values{"--address", "08000000", "--image-version", "101"};
    const QStringList all = paths + QStringList{"--s19", "u.s19"} + values;
    QTest::newRow("unknown option") << all + QStringList{"--frob"} << "unknown option \"--frob\"";
    QTest::newRow("unknown short option") << all + QStringList{"-x"} << "unknown option \"-x\"";
    QTest::newRow("Qt's --help-all is gone") << all + QStringList{"--help-all"} << "unknown option \"--help-all\"";
    QTest::newRow("value missing") << all + QStringList{"--profile"} << "--profile needs a value";
    QTest::newRow("value to a switch") << all + QStringList{"--json=yes"} << "--json takes no value";
    QTest::newRow("address with a suffix") << paths + QStringList{"--s19", "u.s19", "--address", "8000000h",
                                                                  "--image-version", "1"}
                                           << "--address \"8000000h\" is not a hexadecimal number from 0 to FFFFFFFF";
    QTest::newRow("version out of range") << paths + QStringList{"--s19", "u.s19", "--address", "0",
                                                                 "--image-version", "70000"}
                                          << "--image-version \"70000\" is not a whole number from 0 to 65535";
    QTest::newRow("source from stdin")
        << QStringList{"--source", "-", "--image", "u.bin", "--s19", "u.s19"} + values
        << "--source \"-\": the source image is read from a file only: the conversion checks that it does not "
           "change while it is read";
    QTest::newRow("image to stdout")
        << QStringList{"--source", "app.bin", "--image", "-", "--s19", "u.s19"} + values
        << "--image \"-\": the new image is written to a file only: it is put in place whole, or the previous "
           "file stays";
    QTest::newRow("image to /dev/stdout")
        << QStringList{"--source", "app.bin", "--image", "/dev/stdout", "--s19", "u.s19"} + values
        << "--image \"/dev/stdout\": the new image is written to a file only: it is put in place whole, or the "
           "previous file stays";
    QTest::newRow("two outputs to stdout") << paths + QStringList{"--s19", "-", "--hex", "/dev/stdout"} + values
                                           << "only one of --s19 and --hex may go to the standard output";
    QTest::newRow("JSON beside record text") << paths + QStringList{"--hex", "-", "--json"} + values
                                             << "--json cannot share the standard output with the record text";
    QTest::newRow("empty image path") << QStringList{"--source", "app.bin", "--image", "", "--s19", "u.s19"} + values
                                      << "--image needs a file name (it is empty)";
    QTest::newRow("argument") << all + QStringList{"extra"} << "unexpected argument \"extra\"";
    QTest::newRow("profile out of range") << QStringList{"--profile", "7"}
                                          << "no profile 7 in settings file \"VandrelSet.ini\", which lists 2 profiles";
}

void TestCli::convertUsageErrors()
{
    checkUsageError(QStringLiteral("convert"));
}

void TestCli::inspectUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList{"engine.bin", "--frob"} << "unknown option \"--frob\"";
    QTest::newRow("--version is not the image's") << QStringList{"engine.bin", "--version"}
                                                  << "unknown option \"--version\"";
    QTest::newRow("value missing") << QStringList{"engine.bin", "--s19"} << "--s19 needs a value";
    QTest::newRow("malformed address") << QStringList{"engine.bin", "--s19", "engine.s19", "--address", "zz"}
                                       << "--address \"zz\" is not a hexadecimal number from 0 to FFFFFFFF";
    QTest::newRow("no image") << QStringList{} << "no image given";
    QTest::newRow("image from stdin") << QStringList{"-"}
                                      << "the image \"-\" is read at any offset, so only from a file; give its path "
                                         "(./- for a file named -)";
    QTest::newRow("source from stdin") << QStringList{"engine.bin", "--source", "-"}
                                       << "--source \"-\": the source is read from a file only; give its path";
    QTest::newRow("records from stdin without an address") << QStringList{"engine.bin", "--hex", "-"}
                                                           << "--hex - reads the standard input once, so it needs "
                                                              "--address";
    QTest::newRow("both record files from stdin")
        << QStringList{"engine.bin", "--s19", "-", "--hex", "-", "--address", "0"}
        << "only one of --s19 and --hex may read the standard input";
}

void TestCli::inspectUsageErrors()
{
    checkUsageError(QStringLiteral("inspect"));
}

void TestCli::profilesUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList{"--frob"} << "unknown option \"--frob\"";
    QTest::newRow("value missing") << QStringList{"--image-path"} << "--image-path needs a value";
    QTest::newRow("two paths") << QStringList{"--image-path", "0", "--s19-path", "0"}
                               << "give one of --source-path, --image-path and --s19-path";
    QTest::newRow("one path as JSON") << QStringList{"--image-path", "0", "--json"}
                                      << "--json lists every profile; it cannot be given with --image-path";
    QTest::newRow("no such profile") << QStringList{"--image-path", "Controller Z"}
                                     << "no profile named \"Controller Z\" in settings file \"VandrelSet.ini\"";
    QTest::newRow("argument") << QStringList{"extra"} << "unexpected argument \"extra\"";
}

void TestCli::profilesUsageErrors()
{
    checkUsageError(QStringLiteral("profiles"));
}

// A value the settings file gives that cannot be used fails the run (1),
// naming the file, the profile and the key; an option may stand in for a
// missing path.
void TestCli::settingsValuesFailTheRun_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // empty: the run succeeds

    const QByteArray system = "[Sys]\nDevs=2\nAddr=08000000\nVer=101\n";
    const QByteArray dev0 = "[Dev0]\nName=A\nPBin=app.bin\nNBin=k.bin\nNS19=k.s19\n";
    const QStringList profile1{"--profile", "1"};
    QTest::newRow("address") << "[Sys]\nDevs=1\nAddr=8000000h\nVer=101\n" + dev0 << QStringList{"--profile", "0"}
                             << "settings file \"k.ini\", [Sys] Addr=\"8000000h\" is not a hexadecimal number "
                                "from 0 to FFFFFFFF";
    QTest::newRow("version") << "[Sys]\nDevs=1\nAddr=08000000\nVer=70000\n" + dev0 << QStringList{"--profile", "0"}
                             << "settings file \"k.ini\", [Sys] Ver=\"70000\" is not a whole number from 0 to 65535";
    QTest::newRow("a bad address an option replaces")
        << "[Sys]\nDevs=1\nAddr=zz\nVer=101\n" + dev0 << QStringList{"--profile", "0", "--address", "08000000"}
        << QString();
    QTest::newRow("section missing") << system + dev0 << profile1
                                     << "profile 1 of settings file \"k.ini\" has no section [Dev1] (give --source, "
                                        "--image and --s19, or write the section)";
    QTest::newRow("section missing, two paths given")
        << system + dev0 << profile1 + QStringList{"--source", "app.bin", "--s19", "k1.s19"}
        << "profile 1 of settings file \"k.ini\" has no section [Dev1] (give --image, or write the section)";
    QTest::newRow("key missing") << system + dev0 + "[Dev1]\nName=B\nPBin=app.bin\nNS19=k1.s19\n" << profile1
                                 << "profile 1 of settings file \"k.ini\" has no NBin in [Dev1] (give --image, or "
                                    "write the key)";
    QTest::newRow("key missing, --image stands in")
        << system + dev0 + "[Dev1]\nName=B\nPBin=app.bin\nNS19=k1.s19\n" << profile1 + QStringList{"--image", "k1.bin"}
        << QString();
    QTest::newRow("two keys missing") << system + dev0 + "[Dev1]\nName=B\nNBin=k1.bin\n" << profile1
                                      << "profile 1 of settings file \"k.ini\" has no PBin, NS19 in [Dev1] (give "
                                         "--source and --s19, or write the key)";
}

void TestCli::settingsValuesFailTheRun()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QVERIFY(WriteFile(path(QStringLiteral("k.ini")), settings));
    for (const char *name : {"k.bin", "k.s19", "k1.bin", "k1.s19"})
        QFile::remove(path(QLatin1String(name)));
    const QMap<QString, QByteArray> before = FolderFacts(m_dir.path());
    const CliRun result = run(QStringList{"convert", "--settings", "k.ini", "--time", TimeText} + arguments);
    if (message.isEmpty()) {
        QVERIFY2(result.exitCode == 0, result.err.constData());
        return;
    }
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QString::fromUtf8(result.err), QStringLiteral("vandrel-cli: ") + message + QLatin1Char('\n'));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(FolderFacts(m_dir.path()), before);

    // The listing warns of what convert refuses.
    if (message.contains(QLatin1String("has no"))) {
        const CliRun list = run({"profiles", "--settings", "k.ini"});
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.err.contains("lists profile 1 (Devs=2) but"), list.err.constData());
    }
}

// The record text on stdout is byte for byte the file a run writes, and the
// image is in place beside it; nothing is left in the temporary folder.
void TestCli::recordTextToStandardOutput_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("target");

    QTest::newRow("--s19 -") << "--s19" << "-";
    QTest::newRow("--hex -") << "--hex" << "-";
    QTest::newRow("--s19 /dev/stdout") << "--s19" << "/dev/stdout";
    QTest::newRow("--hex /dev/stdout") << "--hex" << "/dev/stdout";
}

void TestCli::recordTextToStandardOutput()
{
    QFETCH(QString, option);
    QFETCH(QString, target);

    const QStringList common{"convert", "--source", "app.bin", "--address", "08000000", "--image-version", "101",
                             "--time", TimeText};
    const CliRun file = run(common + QStringList{"--image", "sf.bin", option, "sf.records"});
    QCOMPARE(file.exitCode, 0);
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const CliRun piped = run(common + QStringList{"--image", "so.bin", option, target},
                             {QStringLiteral("TMPDIR=") + temporary.path()});
    QVERIFY2(piped.exitCode == 0, piped.err.constData());
    QVERIFY(piped.err.isEmpty());
    QCOMPARE(piped.out, ReadFile(path(QStringLiteral("sf.records"))));
    QCOMPARE(piped.out, option == QLatin1String("--s19") ? m_srecords : m_intelHex);
    QCOMPARE(ReadFile(path(QStringLiteral("so.bin"))), m_image);
    QVERIFY(!QFile::exists(path(target)));
    QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

    // A refused run prints nothing on stdout.
    const CliRun refused = run(QStringList{common}.replaceInStrings("app.bin", "none.bin")
                               + QStringList{"--image", "sn.bin", option, target});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.out.isEmpty());
    QVERIFY(!QFile::exists(path(QStringLiteral("sn.bin"))));
}

#ifdef Q_OS_UNIX
QByteArray TestCli::shell(const QString &commandLine, int *exitCode) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CLI"), QStringLiteral(VANDREL_CLI_PATH));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), commandLine});
    if (!process.waitForFinished(60000))
        return QByteArray("timed out");
    *exitCode = process.exitCode();
    return process.readAll();
}

// The record text read once from stdin, with the address given.
void TestCli::inspectFromStandardInput()
{
    QVERIFY(WriteFile(path(QStringLiteral("engine.s19")), m_srecords));
    int exitCode = -1;
    QByteArray out = shell(QStringLiteral("\"$CLI\" inspect engine.bin --s19 - --address 08000000 --strict --json "
                                          "< engine.s19"),
                           &exitCode);
    QVERIFY2(exitCode == 0, out.constData());
    const QJsonObject report = QJsonDocument::fromJson(out).object();
    QCOMPARE(report.value(QStringLiteral("s19")).toObject().value(QStringLiteral("path")).toString(), QStringLiteral("-"));
    QCOMPARE(report.value(QStringLiteral("passed")).toBool(), true);

    // Through a pipe, and a damaged text fails.
    QByteArray damaged = m_intelHex;
    damaged[20] = damaged.at(20) == '0' ? '1' : '0';
    QVERIFY(WriteFile(path(QStringLiteral("damaged.hex")), damaged));
    out = shell(QStringLiteral("cat damaged.hex | \"$CLI\" inspect engine.bin --hex - --address 08000000"), &exitCode);
    QCOMPARE(exitCode, 1);
    QVERIFY2(out.contains("FAIL hex-checksums"), out.constData());

    // A pipe is read in blocks: 49 MB of S-records in seconds, not minutes.
    writeLargeSource(QStringLiteral("large.bin"), 16);
    out = shell(QStringLiteral("\"$CLI\" convert --source large.bin --image large-out.bin --address 0 "
                               "--image-version 1 --s19 large.s19"),
                &exitCode);
    QVERIFY2(exitCode == 0, out.constData());
    QVERIFY(QFileInfo(path(QStringLiteral("large.s19"))).size() > 49000000);
    QElapsedTimer timer;
    timer.start();
    out = shell(QStringLiteral("cat large.s19 | \"$CLI\" inspect large-out.bin --s19 - --address 0"), &exitCode);
    QVERIFY2(exitCode == 0, out.constData());
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    for (const char *name : {"large.bin", "large-out.bin", "large.s19"})
        QFile::remove(path(QLatin1String(name)));
}

// Every --json document parsed by Python: the format name first, sizes as
// numbers under "size", addresses, CRCs and digests in their one form, and
// nothing on stdout when the run fails.
void TestCli::jsonSchema()
{
    QVERIFY(WriteFile(path(QStringLiteral("engine.s19")), m_srecords));
    QVERIFY(WriteFile(path(QStringLiteral("engine.hex")), m_intelHex));
    const QStringList commands[] = {
        {"convert", "--profile", "0", "--image", "js.bin", "--s19", "js.s19", "--hex", "js.hex", "--time", TimeText,
         "--json"},
        {"inspect", "engine.bin", "--s19", "engine.s19", "--hex", "engine.hex", "--source", "app.bin", "--json"},
        {"profiles", "--json"},
    };
    const QString checker = JsonSchemaChecker();
    for (const QStringList &command : commands) {
        const CliRun result = run(command);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), checker, command.constFirst()});
        python.write(result.out);
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, (python.readAllStandardError() + result.out).constData());
        const QByteArray keys = python.readAllStandardOutput();
        const char *expected = command.constFirst() == QLatin1String("profiles") ? "imageAddress" : "size";
        QVERIFY2(keys.contains(expected), keys.constData());
    }

    // A failed run leaves stdout empty, its JSON unwritten.
    for (QStringList command : commands) {
        command.replaceInStrings(QStringLiteral("app.bin"), QStringLiteral("none.bin"));
        command.replaceInStrings(QStringLiteral("engine.bin"), QStringLiteral("none.bin"));
        command << QStringLiteral("--settings") << QStringLiteral("none.ini");
        if (command.constFirst() == QLatin1String("inspect"))
            command.removeLast(), command.removeLast();
        const CliRun result = run(command);
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.out.isEmpty());
    }
}

// stdout on a full disk fails the run with the cause, in every command; a
// conversion says its files are in place.
void TestCli::standardOutputWriteErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString full = QStringLiteral("vandrel-cli: cannot write to the standard output: No space left on device\n");
    QTest::newRow("help") << QStringList{"--help"} << full;
    QTest::newRow("version") << QStringList{"--version"} << full;
    QTest::newRow("convert --help") << QStringList{"convert", "--help"} << full;
    QTest::newRow("profiles") << QStringList{"profiles"} << full;
    QTest::newRow("profiles --json") << QStringList{"profiles", "--json"} << full;
    QTest::newRow("profiles, one path") << QStringList{"profiles", "--image-path", "0"} << full;
    QTest::newRow("inspect") << QStringList{"inspect", "engine.bin"} << full;
    QTest::newRow("inspect --json") << QStringList{"inspect", "engine.bin", "--json"} << full;
    QTest::newRow("convert --s19 -")
        << QStringList{"convert", "--profile", "0", "--image", "fo.bin", "--s19", "-", "--time", TimeText}
        << QStringLiteral("vandrel-cli: the new image \"fo.bin\" is in place, but the S-record text could not be "
                          "written to the standard output: No space left on device\n");
}

void TestCli::standardOutputWriteErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");

    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(VANDREL_CLI_PATH), arguments);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), message);
    if (arguments.contains(QStringLiteral("-")))
        QCOMPARE(ReadFile(path(QStringLiteral("fo.bin"))), m_image);
}

// A reader that stops early ends a listing quietly, with the status a shell
// shows for a program that SIGPIPE ended.
void TestCli::closedPipeEndsQuietly()
{
    QByteArray settings = "[Sys]\nDevs=1000\nAddr=0\nVer=1\n";
    const QByteArray longPath = QByteArray(200, 'p');
    for (int i = 0; i < 1000; ++i)
        settings += "[Dev" + QByteArray::number(i) + "]\nName=N\nPBin=" + longPath + "\nNBin=" + longPath + "\nNS19="
            + longPath + '\n';
    QVERIFY(WriteFile(path(QStringLiteral("long.ini")), settings));
    for (const char *format : {"", " --json"}) {
        int exitCode = -1;
        const QByteArray out =
            shell(QStringLiteral("\"$CLI\" profiles --settings long.ini%1 2>err.txt | head -c 10 >/dev/null; "
                                 "echo \"${PIPESTATUS[0]}\"; cat err.txt")
                      .arg(QLatin1String(format)),
                  &exitCode);
        QCOMPARE(out, QByteArray("141\n"));
    }
}
#endif

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
