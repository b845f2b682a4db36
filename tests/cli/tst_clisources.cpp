// vandrel-cli with the linker's outputs as sources: the options that place
// them, the start address taken from the source, the summary of what the
// source gave, the checks that refuse a misplaced source, and inspect's
// comparison with a placed source.

#include "linkeroutputs.h"
#include "programrun.h"
#include "referencetools.h"
#include "testfiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
using CliRun = ProgramRun;

const QStringList Outputs{QStringLiteral("out.bin"), QStringLiteral("out.s19"), QStringLiteral("out.hex")};

QStringList ConvertTo(const QString &source)
{
    return {"convert", "--source", source, "--image", "out.bin", "--s19", "out.s19", "--hex", "out.hex",
            "--image-version", "101", "--time", "2026-12-09 14:30:00"};
}
} // namespace

class TestCliSources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void summary_data();
    void summary();
    void refusals_data();
    void refusals();
    void inspectSource_data();
    void inspectSource();

private:
    CliRun run(const QStringList &arguments) const;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

CliRun TestCliSources::run(const QStringList &arguments) const
{
    return RunProgram(QStringLiteral(VANDREL_CLI_PATH), arguments, m_dir.path());
}

void TestCliSources::initTestCase()
{
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    if (QStandardPaths::findExecutable(LinkerOutputs::Assembler).isEmpty())
        QSKIP("arm-none-eabi-as is missing (Debian binutils-arm-none-eabi)");
    QVERIFY(m_dir.isValid());
    QString error;
    QVERIFY2(BuildArmProgram(m_dir.path(), &error), qPrintable(error));
    const QString objcopy = QStringLiteral("arm-none-eabi-objcopy");
    QVERIFY2(RunTool(objcopy, {"-O", "ihex", path("app.elf"), path("app.hex")}, nullptr, &error), qPrintable(error));
    QVERIFY2(RunTool(objcopy, {"-O", "srec", path("app.elf"), path("app.s19")}, nullptr, &error), qPrintable(error));
    QVERIFY2(RunTool(objcopy, {"-O", "binary", "--gap-fill", "0xFF", path("app.elf"), path("flat.bin")}, nullptr,
                     &error),
             qPrintable(error));
    QVERIFY(WriteFile(path("VandrelSet.ini"), "[Sys]\nDevs=2\nAddr=08000000\nVer=101\nFill=00\n"
                                              "[Dev0]\nName=A\nPBin=app.elf\nNBin=out.bin\nNS19=out.s19\n"));
    QVERIFY(WriteFile(path("BadFill.ini"), "[Sys]\nDevs=1\nAddr=08000000\nVer=101\nFill=zz\n"
                                           "[Dev0]\nName=A\nPBin=app.elf\nNBin=out.bin\nNS19=out.s19\n"));
}

void TestCliSources::init()
{
    for (const QString &name : Outputs)
        QFile::remove(path(name));
}

void TestCliSources::summary_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("fill");
    QTest::addColumn<QString>("entry");

    // The entry point is reset with its Thumb bit.
    QTest::newRow("ELF, no address: first data address - 32")
        << ConvertTo("app.elf") + QStringList{"--json"} << "elf" << "0xFF" << "0x08000031";
    QTest::newRow("Intel HEX, --fill 00") << ConvertTo("app.hex") + QStringList{"--fill", "00", "--json"} << "ihex"
                                          << "0x00" << "0x08000031";
    QTest::newRow("S-records, forced format, --address")
        << ConvertTo("app.s19") + QStringList{"--source-format", "srec", "--address", "08000000", "--json"} << "srec"
        << "0xFF" << "0x08000031";
    QTest::newRow("profile with Fill=00")
        << QStringList{"convert", "--profile", "0", "--hex", "out.hex", "--json"} << "elf" << "0x00"
        << "0x08000031";
}

void TestCliSources::summary()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, format);
    QFETCH(QString, fill);
    QFETCH(QString, entry);

    const CliRun result = run(arguments);
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QJsonObject summary = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(summary.value("imageAddress").toString().right(8), QStringLiteral("08000000"));
    const QJsonObject source = summary.value("source").toObject();
    QCOMPARE(source.value("format").toString(), format);
    QCOMPARE(source.value("fill").toString(), fill);
    QCOMPARE(source.value("entryAddress").toString(), entry);
    QCOMPARE(source.value("size").toInt(), 1008);
    const QJsonArray data = source.value("dataRanges").toArray();
    QCOMPARE(data.size(), 2);
    QCOMPARE(data.at(0).toObject().value("start").toString(), QStringLiteral("0x08000020"));
    QCOMPARE(data.at(0).toObject().value("end").toString(), QStringLiteral("0x0800003C"));
    QCOMPARE(data.at(1).toObject().value("size").toInt(), 16);
    const QJsonArray filled = source.value("filledRanges").toArray();
    QCOMPARE(filled.size(), 1);
    QCOMPARE(filled.at(0).toObject().value("start").toString(), QStringLiteral("0x0800003C"));
    QCOMPARE(filled.at(0).toObject().value("size").toInt(), 964);
}

void TestCliSources::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("misplaced ELF") << ConvertTo("app.elf") + QStringList{"--address", "08000100"} << 1
                                   << "vandrel-cli: source image \"app.elf\" starts at 0x08000020, but start address "
                                      "0x08000100 puts the payload at 0x08000120: give start address 0x08000000";
    QTest::newRow("span over --max-size")
        << ConvertTo("app.hex") + QStringList{"--max-size", "1000"} << 1
        << "data ranges: 0x08000020-0x0800003C (28 bytes), 0x08000400-0x08000410 (16 bytes)";
    QTest::newRow("raw binary without --address") << ConvertTo("flat.bin") << 2 << "--address is missing";
    QTest::newRow("crop keeping nothing") << ConvertTo("app.elf") + QStringList{"--crop", "0-100"} << 1
                                          << "no data lies inside 0x00000000-0x00000100";
    QTest::newRow("--fill of three digits") << ConvertTo("app.elf") + QStringList{"--fill", "100"} << 2
                                            << "--fill \"100\" is not a byte";
    QTest::newRow("--max-size in gigabytes") << ConvertTo("app.elf") + QStringList{"--max-size", "1G"} << 2
                                             << "--max-size \"1G\"";
    QTest::newRow("--crop with END below START") << ConvertTo("app.elf") + QStringList{"--crop", "200-100"} << 2
                                                 << "--crop \"200-100\"";
    QTest::newRow("unknown --source-format") << ConvertTo("app.elf") + QStringList{"--source-format", "coff"} << 2
                                             << "--source-format \"coff\" is none of";
    QTest::newRow("Fill= of the settings not a byte")
        << QStringList{"convert", "--settings", "BadFill.ini", "--profile", "0"} << 1
        << "[Sys] Fill \"zz\" of the settings file is not a byte";
    QTest::newRow("inspect --fill without --source") << QStringList{"inspect", "flat.bin", "--fill", "00"} << 2
                                                     << "--fill needs --source";
}

// Refused with the message, and no output made.
void TestCliSources::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    const CliRun result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    QVERIFY(result.out.isEmpty());
    for (const QString &name : Outputs)
        QVERIFY2(!QFile::exists(path(name)), qPrintable(name));
}

void TestCliSources::inspectSource_data()
{
    QTest::addColumn<QStringList>("convertOptions");
    QTest::addColumn<QStringList>("inspectOptions");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("verdict");

    QTest::newRow("ELF") << QStringList{} << QStringList{"--source", "app.elf"} << 0
                         << "the 1008 payload bytes equal the ELF source placed from 0x08000020 with fill 0xFF";
    QTest::newRow("Intel HEX of an image from the ELF") << QStringList{} << QStringList{"--source", "app.hex"} << 0
                                                        << "equal the Intel HEX source";
    QTest::newRow("the flat binary, raw") << QStringList{} << QStringList{"--source", "flat.bin"} << 0
                                          << "the 1008 payload bytes equal the source";
    QTest::newRow("another fill") << QStringList{} << QStringList{"--source", "app.s19", "--fill", "00"} << 1
                                  << "payload byte 28 (image offset 60) is FF, the source places 00 at 0x0800003C";
    QTest::newRow("relocated image, source as it was linked")
        << QStringList{"--address", "10000000", "--relocate"} << QStringList{"--source", "app.elf"} << 0
        << "equal the ELF source";
}

void TestCliSources::inspectSource()
{
    QFETCH(QStringList, convertOptions);
    QFETCH(QStringList, inspectOptions);
    QFETCH(int, exitCode);
    QFETCH(QString, verdict);

    const CliRun converted = run(ConvertTo("app.elf") + convertOptions);
    QVERIFY2(converted.exitCode == 0, converted.err.constData());
    const CliRun result = run(QStringList{"inspect", "out.bin"} + inspectOptions);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(result.out).contains(verdict), result.out.constData());
}

QTEST_GUILESS_MAIN(TestCliSources)
#include "tst_clisources.moc"
