// The release manifest: written byte for byte the same in a fixed key
// order, read back whole, and a hostile document refused with a clear line.

#include "manifestreader.h"
#include "manifestwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
const QByteArray SourceSha = QByteArray(64, 'a');
const QByteArray ImageSha = QByteArray(64, 'b');
const QByteArray RecordsSha = QByteArray(64, 'c');
const QByteArray SettingsSha = QByteArray(64, 'd');

ReleaseManifest SampleManifest()
{
    ReleaseManifest manifest;
    manifest.toolName = QStringLiteral("vandrel-cli");
    manifest.toolVersion = QStringLiteral("1.0.0");
    manifest.seconds = 1796826600;
    manifest.calendar = QStringLiteral("2026-12-09 14:30:00");
    manifest.settings = ManifestFile{QString(), QStringLiteral("../VandrelSet.ini"), 383, SettingsSha};
    ManifestProfile profile;
    profile.index = 2;
    profile.name = QStringLiteral("显示\"面板\"");
    profile.source = ManifestSource{QStringLiteral("../firmware/a.bin"), QStringLiteral("binary"), 700, SourceSha};
    profile.startAddress = 0x08000000;
    profile.softwareVersion = 101;
    profile.littleEndian = 0;
    profile.header = StampedHeader(736, 1796826600, 101, 0);
    profile.crc = 0x7819;
    profile.outputs = {{OutputKind::Image(), QStringLiteral("a.bin"), 736, ImageSha},
                       {OutputKind::SRecords(), QStringLiteral("sub/a.s19"), 2214, RecordsSha}};
    manifest.profiles = {profile};
    return manifest;
}

// The document with the value at path (keys, and array indexes as numbers)
// replaced, or removed when value is undefined.
QJsonValue Replaced(const QJsonValue &node, QStringList path, const QJsonValue &value)
{
    if (path.isEmpty())
        return value;
    const QString step = path.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const int index = step.toInt();
        array[index] = Replaced(array.at(index), path, value);
        return array;
    }
    QJsonObject object = node.toObject();
    const QJsonValue changed = Replaced(object.value(step), path, value);
    if (changed.isUndefined())
        object.remove(step);
    else
        object.insert(step, changed);
    return object;
}
// SampleManifest as written: %1 to %4 the SHA-256 texts of the source,
// image, S-record file and settings, %5 the header checksum, %6 the profile.
// Defined after the test class: moc misreads raw strings before it.
QString ExpectedManifest();
QString ExpectedProfile();
} // namespace

class TestManifest : public QObject
{
    Q_OBJECT

private slots:
    void writesFixedOrder();
    void readsBackWhatIsWritten();
    void hostileValuesRefused_data();
    void hostileValuesRefused();
    void hostileDocumentsRefused_data();
    void hostileDocumentsRefused();
};

namespace {
QString ExpectedManifest()
{
    return QStringLiteral(R"({
  "format": "vandrel-release/1",
  "tool": {
    "name": "vandrel-cli",
    "version": "1.0.0"
  },
  "time": {
    "seconds": 1796826600,
    "calendar": "2026-12-09 14:30:00"
  },
  "settings": {
    "path": "../VandrelSet.ini",
    "size": 383,
    "sha256": "%4"
  },
  "profiles": [
%6
  ]
}
)");
}

QString ExpectedProfile()
{
    return QStringLiteral(R"(    {
      "index": 2,
      "name": "显示\"面板\"",
      "source": {
        "path": "../firmware/a.bin",
        "format": "binary",
        "size": 700,
        "sha256": "%1"
      },
      "startAddress": "0x08000000",
      "softwareVersion": 101,
      "byteOrder": "big",
      "header": {
        "length": 736,
        "magic": "0x55AA44BB",
        "seconds": 1796826600,
        "milliseconds": 0,
        "version": 101,
        "littleEndian": 0,
        "checksum": "0x%5"
      },
      "crc": "0x7819",
      "outputs": [
        {
          "kind": "image",
          "path": "a.bin",
          "size": 736,
          "sha256": "%2"
        },
        {
          "kind": "s19",
          "path": "sub/a.s19",
          "size": 2214,
          "sha256": "%3"
        }
      ]
    })");
}
} // namespace

// The whole text: the format first, keys in their order, numbers as numbers,
// hex fields at their widths, UTF-8 names escaped only where JSON must.
void TestManifest::writesFixedOrder()
{
    const QByteArray expected = QString(ExpectedManifest()).replace(QStringLiteral("%6"), ExpectedProfile())
                                  .arg(QString::fromLatin1(SourceSha), QString::fromLatin1(ImageSha),
                                       QString::fromLatin1(RecordsSha), QString::fromLatin1(SettingsSha))
                                  .arg(QStringLiteral("%1")
                                           .arg(SampleManifest().profiles[0].header.checksum, 4, 16, QLatin1Char('0'))
                                           .toUpper())
                                  .toUtf8();
    const QByteArray written = ManifestJson(SampleManifest());
    QCOMPARE(written, expected);
    QCOMPARE(ManifestJson(SampleManifest()), written);
}

void TestManifest::readsBackWhatIsWritten()
{
    const ReleaseManifest original = SampleManifest();
    const ManifestReading reading = ParseManifest(ManifestJson(original));
    QVERIFY2(reading.succeeded(), qPrintable(reading.error));
    QCOMPARE(ManifestJson(reading.manifest), ManifestJson(original));
    const ManifestProfile &profile = reading.manifest.profiles.at(0);
    QCOMPARE(profile.name, original.profiles[0].name);
    QCOMPARE(profile.header.checksum, original.profiles[0].header.checksum);
    QCOMPARE(profile.littleEndian, 0);
    QCOMPARE(profile.outputs.at(1).path, QStringLiteral("sub/a.s19"));
}

void TestManifest::hostileValuesRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("error");

    const QString outputSize = QStringLiteral("profiles/0/outputs/0/size");
    const QString sourcePath = QStringLiteral("profiles/0/source/path");
    QTest::newRow("another format") << "format" << QJsonValue(QStringLiteral("vandrel-release/2"))
                                    << "format is \"vandrel-release/2\", not vandrel-release/1";
    QTest::newRow("format missing") << "format" << QJsonValue(QJsonValue::Undefined) << "format is missing";
    QTest::newRow("size as text") << outputSize << QJsonValue(QStringLiteral("736"))
                                  << "profiles[0].outputs[0].size is not a whole number from 0 to 9007199254740991";
    QTest::newRow("size huge") << outputSize << QJsonValue(1e300) << "profiles[0].outputs[0].size is not a whole";
    QTest::newRow("size beyond exact numbers") << outputSize << QJsonValue(9007199254740992.0)
                                               << "profiles[0].outputs[0].size is not a whole";
    QTest::newRow("size negative") << outputSize << QJsonValue(-1) << "size is not a whole";
    QTest::newRow("size a fraction") << outputSize << QJsonValue(1.5) << "size is not a whole";
    QTest::newRow("version over 16 bits") << "profiles/0/softwareVersion" << QJsonValue(65536)
                                          << "profiles[0].softwareVersion is not a whole number from 0 to 65535";
    QTest::newRow("address short") << "profiles/0/startAddress" << QJsonValue(QStringLiteral("0x8000000"))
                                   << "profiles[0].startAddress is not \"0x\" and 8 upper-case hex digits";
    QTest::newRow("address lower-case") << "profiles/0/startAddress" << QJsonValue(QStringLiteral("0x0800000a"))
                                        << "startAddress is not \"0x\" and 8";
    QTest::newRow("SHA-256 upper-case") << "profiles/0/source/sha256" << QJsonValue(QString(64, QLatin1Char('A')))
                                        << "profiles[0].source.sha256 is not a SHA-256";
    QTest::newRow("absolute path, a device") << sourcePath << QJsonValue(QStringLiteral("/dev/zero"))
                                             << "\"/dev/zero\" is not relative to the manifest's folder";
    QTest::newRow("path on a drive") << sourcePath << QJsonValue(QStringLiteral("C:firmware.bin"))
                                     << "is not relative to the manifest's folder";
    QTest::newRow("path with backslashes") << sourcePath << QJsonValue(QStringLiteral("..\\a.bin"))
                                           << "is not a file path with \"/\" separators";
    QTest::newRow("path empty") << sourcePath << QJsonValue(QString()) << "is not a file path";
    QTest::newRow("name a number") << "profiles/0/name" << QJsonValue(7) << "profiles[0].name is not a string";
    QTest::newRow("name huge") << "profiles/0/name" << QJsonValue(QString(5000, QLatin1Char('x')))
                               << "profiles[0].name is longer than 4096 characters";
    QTest::newRow("header an array") << "profiles/0/header" << QJsonValue(QJsonArray{1, 2})
                                     << "profiles[0].header is not an object";
    QTest::newRow("no outputs") << "profiles/0/outputs" << QJsonValue(QJsonArray())
                                << "profiles[0].outputs holds 0 items, not 1 to 3";
    QTest::newRow("output kind unknown") << "profiles/0/outputs/1/kind" << QJsonValue(QStringLiteral("elf"))
                                         << "profiles[0].outputs[1].kind is \"elf\", not image or s19 or hex";
    QTest::newRow("two images") << "profiles/0/outputs/1/kind" << QJsonValue(QStringLiteral("image"))
                                << "profiles[0].outputs[1].kind names a second image";
    QTest::newRow("image not first") << "profiles/0/outputs/0/kind" << QJsonValue(QStringLiteral("hex"))
                                     << "profiles[0].outputs[0].kind the image must come first";
    QTest::newRow("profiles an object") << "profiles" << QJsonValue(QJsonObject()) << "profiles is not an array";
    QJsonArray many;
    for (int i = 0; i <= MaxManifestProfiles; ++i)
        many.append(i);
    QTest::newRow("too many profiles") << "profiles" << QJsonValue(many) << "profiles holds 1001 items, not 1 to 1000";
    QTest::newRow("a profile a number") << "profiles/0" << QJsonValue(3) << "profiles[0] is not an object";
}

void TestManifest::hostileValuesRefused()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, error);

    const QJsonObject valid = QJsonDocument::fromJson(ManifestJson(SampleManifest())).object();
    const QJsonValue changed = Replaced(valid, path.split(QLatin1Char('/')), value);
    const ManifestReading reading = ParseManifest(QJsonDocument(changed.toObject()).toJson());
    QVERIFY(!reading.succeeded());
    QVERIFY2(reading.error.contains(error), qPrintable(reading.error));
    QVERIFY(reading.manifest.profiles.isEmpty());
}

void TestManifest::hostileDocumentsRefused_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty") << QByteArray() << "is not JSON";
    QTest::newRow("cut short") << ManifestJson(SampleManifest()).left(200) << "is not JSON";
    QTest::newRow("an array") << QByteArray("[1, 2]") << "is not a JSON object";
    QTest::newRow("nested without end") << QByteArray(100000, '[') << "is not JSON";
    QTest::newRow("nested deep and closed") << QByteArray(5000, '[') + QByteArray(5000, ']') << "is not";
    QTest::newRow("binary bytes") << QByteArray("\x00\xff\xfe{", 4) << "is not JSON";
}

void TestManifest::hostileDocumentsRefused()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);

    const ManifestReading reading = ParseManifest(document);
    QVERIFY(!reading.succeeded());
    QVERIFY2(reading.error.contains(error), qPrintable(reading.error));
}

QTEST_GUILESS_MAIN(TestManifest)
#include "tst_manifest.moc"
