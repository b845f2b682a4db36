// Sources straight from the linker: an ELF, Intel HEX and S-record files of
// one program, made by binutils and srecord, must give the image, S-records
// and HEX file that the reference tools' flat binary gives; a misplaced,
// overlapping, runaway or broken source is refused with nothing written.

#include "conversion.h"
#include "imageheader.h"
#include "linkeroutputs.h"
#include "recordlines.h"
#include "referencetools.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(ConversionStatus)

namespace {
constexpr quint32 FlashStart = 0x08000000;
constexpr quint32 PayloadAddress = FlashStart + 32;

// The same shape for the host's 64-bit assembler.
const char HostProgram[] = R"(
    .text
    .globl _start
_start:
    nop
    ret
    .section .rodata
    .quad 0x1122334455667788
    .data
    .quad 42
)";

QString Hex(quint32 value)
{
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

struct Outputs
{
    QByteArray image, srecords, hex;
};

// Lines of a record file, the data records among them in reverse order.
QByteArray WithDataReversed(const QByteArray &text, const QByteArray &dataPrefix)
{
    QList<QByteArray> lines = text.split('\n');
    QList<QByteArray> data;
    int first = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(dataPrefix)) {
            if (first < 0)
                first = i;
            data.prepend(lines[i]);
        }
    }
    for (int i = 0; i < data.size(); ++i)
        lines[first + i] = data[i];
    return lines.join('\n');
}
} // namespace

class TestSources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesReference_data();
    void matchesReference();
    void refusals_data();
    void refusals();

private:
    bool run(const QString &program, const QStringList &arguments);
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Makes the source a recipe names; its path, or empty with m_error set.
    QString makeSource(const QString &recipe);
    QString makeRecordSource(const QString &recipe);
    QString makeBrokenSource(const QString &recipe);
    // The flat binary the reference tools make of a source.
    QString makeReference(const QString &recipe, const QString &source, int fill, const QString &crop);
    ConversionResult convert(const QString &source, const QString &name, quint32 address, const SourceOptions &options);
    Outputs outputs(const QString &name) const;

    QTemporaryDir m_dir;
    QString m_error;
    bool m_hostElf = false;
};

bool TestSources::run(const QString &program, const QStringList &arguments)
{
    return RunTool(program, arguments, nullptr, &m_error);
}

void TestSources::initTestCase()
{
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    QVERIFY(m_dir.isValid());
    if (QStandardPaths::findExecutable(LinkerOutputs::Assembler).isEmpty())
        QSKIP("arm-none-eabi-as is missing (Debian binutils-arm-none-eabi)");
    QVERIFY2(BuildArmProgram(m_dir.path(), &m_error), qPrintable(m_error));
    // The host's binutils make a 64-bit ELF where they can.
    QVERIFY(WriteFile(path("host.s"), HostProgram));
    m_hostElf = run("as", {"--64", path("host.s"), "-o", path("host.o")})
                && run("ld", {"-N", "-Ttext=0x08000020", "--section-start=.rodata=0x08000800",
                              "-Tdata=0x08001000", path("host.o"), "-o", path("app64.elf")});
}

QString TestSources::makeRecordSource(const QString &recipe)
{
    const QString objcopy = QStringLiteral("arm-none-eabi-objcopy");
    if (recipe == "ihex-objcopy")
        return run(objcopy, {"-O", "ihex", path("app.elf"), path("app.hex")}) ? path("app.hex") : QString();
    if (recipe == "srec-objcopy")
        return run(objcopy, {"-O", "srec", path("app.elf"), path("app.s19")}) ? path("app.s19") : QString();
    if (recipe == "ihex-srec_cat-32") {
        const QString hex = makeRecordSource("ihex-objcopy");
        return !hex.isEmpty() && run("srec_cat", {hex, "-intel", "-o", path("cat.hex"), "-intel", "-obs=32"})
            ? path("cat.hex") : QString();
    }
    if (recipe == "srec-srec_cat-S2-7") {
        const QString s19 = makeRecordSource("srec-objcopy");
        return !s19.isEmpty()
                && run("srec_cat", {s19, "-motorola", "-o", path("cat.s28"), "-motorola", "-address-length=3",
                                    "-obs=7"})
            ? path("cat.s28") : QString();
    }
    if (recipe == "srec-srec_cat-no-end") { // from the flat binary: no start address to end with
        const bool made = run("arm-none-eabi-objcopy", {"-O", "binary", "--gap-fill", "0xff", path("app.elf"),
                                                        path("flat_for_srec_cat.bin")})
                          && run("srec_cat", {path("flat_for_srec_cat.bin"), "-binary", "-offset", Hex(PayloadAddress),
                                              "-o", path("noend.s19"), "-motorola"});
        return made && !ReadFile(path("noend.s19")).contains("\nS7") ? path("noend.s19") : QString();
    }
    const bool hex = recipe.startsWith("ihex");
    const QString made = makeRecordSource(hex ? "ihex-objcopy" : "srec-objcopy");
    if (made.isEmpty())
        return QString();
    QByteArray text = ReadFile(made);
    QString name = hex ? path("edited.hex") : path("edited.s19");
    if (recipe.endsWith("reversed"))
        text = WithDataReversed(text, hex ? ":10" : "S3");
    if (recipe == "ihex-reversed-by-content")
        name = path("edited.txt");
    if (recipe == "srec-repeated") { // a data record given twice, alike
        const int line = text.indexOf("\nS3") + 1;
        text.insert(line, text.mid(line, text.indexOf('\n', line) + 1 - line));
    }
    return WriteFile(name, text) ? name : QString();
}

QString TestSources::makeSource(const QString &recipe)
{
    if (recipe == "elf" || recipe == "elf-be")
        return path(recipe == "elf" ? "app.elf" : "app_be.elf");
    if (recipe == "elf64")
        return m_hostElf ? path("app64.elf") : QString();
    if (recipe == "elf-by-content")
        return QFile::copy(path("app.elf"), path("app.firmware")) || QFileInfo::exists(path("app.firmware"))
            ? path("app.firmware") : QString();
    if (recipe == "elf-no-sections") {
        // e_shoff, e_shentsize, e_shnum, e_shstrndx cleared: the segments remain.
        QByteArray elf = ReadFile(path("app.elf"));
        elf.replace(32, 4, QByteArray(4, '\0'));
        elf.replace(46, 6, QByteArray(6, '\0'));
        return WriteFile(path("nosections.elf"), elf) ? path("nosections.elf") : QString();
    }
    if (recipe == "bin-holding-hex") {
        const QString hex = makeRecordSource("ihex-objcopy");
        return !hex.isEmpty() && WriteFile(path("text.bin"), ReadFile(hex)) ? path("text.bin") : QString();
    }
    if (recipe.startsWith("bad-"))
        return makeBrokenSource(recipe.mid(4));
    return makeRecordSource(recipe);
}

QString TestSources::makeBrokenSource(const QString &recipe)
{
    const QByteArray elf = ReadFile(path("app.elf"));
    QByteArray text;
    QString name = path(recipe + ".s19");
    if (recipe == "elf-rel")
        return path("app.o");
    if (recipe == "elf-overlap") { // two sections over one word, linked despite ld's check
        const bool made = WriteFile(path("overlap.s"), ".section .a, \"a\"\n.word 0x33333333, 0x33333333\n"
                                                       ".section .b, \"a\"\n.word 0x22222222\n")
                          && WriteFile(path("overlap.ld"),
                                       "SECTIONS { .a 0x08000020 : { *(.a) } .b 0x08000024 : { *(.b) } }\n")
                          && run("arm-none-eabi-as", {path("overlap.s"), "-o", path("overlap.o")})
                          && run("arm-none-eabi-ld", {"--no-check-sections", "-T", path("overlap.ld"),
                                                      path("overlap.o"), "-o", path("overlap.elf")});
        return made ? path("overlap.elf") : QString();
    }
    if (recipe == "elf-cut-header" || recipe == "elf-cut-program-headers" || recipe == "elf-cut-segment") {
        const int size = recipe == "elf-cut-header" ? 40 : recipe == "elf-cut-program-headers" ? 60 : 0x1100;
        text = elf.left(size);
        name = path(recipe + ".elf");
    } else if (recipe == "srec-overlap") {
        text = SRecordLine(3, PayloadAddress, QByteArray::fromHex("01020304"))
               + SRecordLine(3, PayloadAddress + 2, QByteArray::fromHex("0305")) + SRecordLine(7, 0, {});
    } else if (recipe == "srec-far") {
        text = SRecordLine(3, PayloadAddress, QByteArray::fromHex("01020304"))
               + SRecordLine(3, 0x0C000020, QByteArray::fromHex("05060708")) + SRecordLine(7, 0, {});
    } else if (recipe == "srec-low") {
        text = SRecordLine(1, 0x0010, QByteArray::fromHex("01020304")) + SRecordLine(9, 0, {});
    } else if (recipe == "ihex-past-4g") {
        text = IntelHexLine(4, 0, QByteArray::fromHex("FFFF")) + IntelHexLine(0, 0xFFF8, QByteArray(16, '\x5A'))
               + IntelHexLine(1, 0, {});
        name = path(recipe + ".hex");
    } else if (recipe == "ihex-bad-checksum") {
        text = ReadFile(makeRecordSource("ihex-objcopy"));
        const int lineEnd = text.indexOf('\n', text.indexOf('\n', text.indexOf('\n') + 1) + 1);
        const int at = text.at(lineEnd - 1) == '\r' ? lineEnd - 2 : lineEnd - 1;
        text[at] = text.at(at) == '0' ? '1' : '0';
        name = path("bad.hex");
    } else if (recipe == "hex-name-binary") {
        text = elf;
        name = path("binary.hex");
    } else if (recipe == "srec-count") {
        text = SRecordLine(3, PayloadAddress, QByteArray::fromHex("01020304"))
               + SRecordLine(3, PayloadAddress + 4, QByteArray::fromHex("05")) + SRecordLine(5, 3, {})
               + SRecordLine(7, 0, {});
    } else if (recipe == "ihex-no-end") {
        text = ReadFile(makeRecordSource("ihex-objcopy"));
        text.truncate(text.lastIndexOf(":00000001FF"));
        name = path("cut.hex");
    } else {
        m_error = QStringLiteral("no recipe %1").arg(recipe);
        return QString();
    }
    return WriteFile(name, text) ? name : QString();
}

QString TestSources::makeReference(const QString &recipe, const QString &source, int fill, const QString &crop)
{
    const QString reference = path("reference.bin");
    QFile::remove(reference);
    const QString fillText = QStringLiteral("0x%1").arg(fill, 2, 16, QLatin1Char('0'));
    if (recipe == "elf-no-sections") {
        // objcopy needs sections; a segment's file bytes are its sections
        // with the zeros the linker put between them.
        return run("arm-none-eabi-objcopy", {"-O", "binary", "--gap-fill", "0x00", path("app.elf"), reference})
            ? reference : QString();
    }
    if (recipe.startsWith("elf")) {
        const QString objcopy = recipe == "elf64" ? QStringLiteral("objcopy") : QStringLiteral("arm-none-eabi-objcopy");
        QStringList arguments{"-O", "binary", "--gap-fill", fillText};
        if (!crop.isEmpty())
            arguments << "--only-section=.vectors" << "--only-section=.text";
        return run(objcopy, arguments << source << reference) ? reference : QString();
    }
    if (recipe == "bin-holding-hex")
        return source;
    const QString format = recipe.startsWith("ihex") ? QStringLiteral("-intel") : QStringLiteral("-motorola");
    return run("srec_cat", {"(", source, format, "-fill", fillText, "-over", "(", source, format, ")", ")",
                            "-offset", "-" + Hex(PayloadAddress), "-o", reference, "-binary"})
        ? reference : QString();
}

ConversionResult TestSources::convert(const QString &source, const QString &name, quint32 address,
                                      const SourceOptions &options)
{
    ConversionRequest request;
    request.sourcePath = source;
    request.imagePath = path(name + "_out.bin");
    request.srecordPath = path(name + ".s19");
    request.hexPath = path(name + ".hex");
    request.startAddress = address;
    request.version = 101;
    request.wallClock = QDateTime(QDate(2026, 12, 9), QTime(14, 30, 0));
    request.source = options;
    return RunConversion(request);
}

Outputs TestSources::outputs(const QString &name) const
{
    return {ReadFile(path(name + "_out.bin")), ReadFile(path(name + ".s19")), ReadFile(path(name + ".hex"))};
}

void TestSources::matchesReference_data()
{
    QTest::addColumn<QString>("recipe");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<bool>("fromSource");
    QTest::addColumn<bool>("relocate");
    QTest::addColumn<int>("fill");
    QTest::addColumn<QString>("crop");
    QTest::addColumn<quint32>("expectedStart");

    const quint32 start = FlashStart;
    const QString none;
    QTest::newRow("ELF, 32-bit little-endian") << "elf" << start << false << false << 0xFF << none << start;
    QTest::newRow("ELF, 32-bit big-endian") << "elf-be" << start << false << false << 0xFF << none << start;
    QTest::newRow("ELF, 64-bit") << "elf64" << start << false << false << 0xFF << none << start;
    QTest::newRow("ELF without section headers: its segments")
        << "elf-no-sections" << start << false << false << 0xFF << none << start;
    QTest::newRow("ELF by content, fill 00") << "elf-by-content" << start << false << false << 0x00 << none << start;
    QTest::newRow("ELF cropped to its first range") << "elf" << start << false << false << 0xFF
                                                    << QStringLiteral("08000020-08000100") << start;
    QTest::newRow("ELF, start address from the source") << "elf" << 0u << true << false << 0xFF << none << start;
    QTest::newRow("ELF relocated on purpose") << "elf" << 0x10000000u << false << true << 0xFF << none
                                              << 0x10000000u;
    QTest::newRow("Intel HEX by objcopy") << "ihex-objcopy" << start << false << false << 0xFF << none << start;
    QTest::newRow("Intel HEX by srec_cat, 32-byte records, fill 00")
        << "ihex-srec_cat-32" << start << false << false << 0x00 << none << start;
    QTest::newRow("Intel HEX in reverse order, by content")
        << "ihex-reversed-by-content" << start << false << false << 0xFF << none << start;
    QTest::newRow("S-records by objcopy, start address from the source")
        << "srec-objcopy" << 0u << true << false << 0xFF << none << start;
    QTest::newRow("S2 records of 7 bytes by srec_cat")
        << "srec-srec_cat-S2-7" << start << false << false << 0xFF << none << start;
    QTest::newRow("S-records by srec_cat without an end record")
        << "srec-srec_cat-no-end" << start << false << false << 0xFF << none << start;
    QTest::newRow("S-records in reverse order") << "srec-reversed" << start << false << false << 0xFF << none
                                                << start;
    QTest::newRow("S-records with a record given twice alike")
        << "srec-repeated" << start << false << false << 0xFF << none << start;
    QTest::newRow("a .bin holding Intel HEX text stays raw")
        << "bin-holding-hex" << start << false << false << 0xFF << none << start;
}

// Each source converts to the files that the reference tools' flat binary,
// converted as a raw source, gives: the same image, S-records and HEX.
void TestSources::matchesReference()
{
    QFETCH(QString, recipe);
    QFETCH(quint32, address);
    QFETCH(bool, fromSource);
    QFETCH(bool, relocate);
    QFETCH(int, fill);
    QFETCH(QString, crop);
    QFETCH(quint32, expectedStart);

    const QString source = makeSource(recipe);
    if (source.isEmpty() && recipe == "elf64" && !m_hostElf)
        QSKIP("the host's as and ld cannot make a 64-bit ELF here");
    QVERIFY2(!source.isEmpty(), qPrintable(m_error));
    const QString reference = makeReference(recipe, source, fill, crop);
    QVERIFY2(!reference.isEmpty(), qPrintable(m_error));
    const QByteArray expectedPayload = ReadFile(reference);
    QVERIFY(!expectedPayload.isEmpty());

    SourceOptions options;
    options.layout.fill = quint8(fill);
    if (!crop.isEmpty()) {
        const QStringList ends = crop.split('-');
        options.layout.crop = AddressRange{ends[0].toULongLong(nullptr, 16), ends[1].toULongLong(nullptr, 16)};
    }
    options.startAddressFromSource = fromSource;
    options.relocate = relocate;
    const ConversionResult result = convert(source, "made", address, options);
    QVERIFY2(result.succeeded(), qPrintable(result.detail));
    QCOMPARE(result.startAddress, expectedStart);
    const ConversionResult raw = convert(reference, "flat", expectedStart, SourceOptions{});
    QVERIFY2(raw.succeeded(), qPrintable(raw.detail));

    const Outputs made = outputs("made");
    const Outputs flat = outputs("flat");
    QCOMPARE(made.image.mid(ImageLayout::HeaderSize, made.image.size() - ImageLayout::FrameSize), expectedPayload);
    QCOMPARE(made.image, flat.image);
    QCOMPARE(made.srecords, flat.srecords);
    QCOMPARE(made.hex, flat.hex);
}

void TestSources::refusals_data()
{
    QTest::addColumn<QString>("recipe");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<bool>("fromSource");
    QTest::addColumn<qint64>("maxSize");
    QTest::addColumn<ConversionStatus>("status");
    QTest::addColumn<QStringList>("named");

    const qint64 limit = SourceLayoutOptions::DefaultMaxSize;
    QTest::newRow("linked elsewhere than the payload address")
        << "elf" << 0x08000100u << false << limit << ConversionStatus::SourceAddressMismatch
        << QStringList{"starts at 0x08000020", "puts the payload at 0x08000120", "give start address 0x08000000"};
    QTest::newRow("overlap with different bytes")
        << "bad-srec-overlap" << FlashStart << false << limit << ConversionStatus::SourceOverlap
        << QStringList{"at 0x08000023", "line 1 gives 0x04", "line 2 gives 0x05"};
    QTest::newRow("ELF sections overlapping with different bytes")
        << "bad-elf-overlap" << FlashStart << false << limit << ConversionStatus::SourceOverlap
        << QStringList{"at 0x08000024", "section .a gives 0x33", "section .b gives 0x22"};
    QTest::newRow("span over the default limit")
        << "bad-srec-far" << FlashStart << false << limit << ConversionStatus::SourceSpanTooLarge
        << QStringList{"more than the limit of 67108864 bytes", "0x08000020-0x08000024 (4 bytes)",
                       "0x0C000020-0x0C000024 (4 bytes)"};
    QTest::newRow("ELF span over a lower limit")
        << "elf" << FlashStart << false << qint64(512) << ConversionStatus::SourceSpanTooLarge
        << QStringList{"0x08000020-0x0800003C (28 bytes)", "0x08000400-0x08000410 (16 bytes)"};
    QTest::newRow("data past 4 GiB") << "bad-ihex-past-4g" << FlashStart << false << limit
                                     << ConversionStatus::SourceSpanTooLarge << QStringList{"past 0xFFFFFFFF"};
    QTest::newRow("relocatable object") << "bad-elf-rel" << FlashStart << false << limit
                                        << ConversionStatus::SourceFormatInvalid << QStringList{"ET_REL"};
    QTest::newRow("ELF header cut short") << "bad-elf-cut-header" << FlashStart << false << limit
                                          << ConversionStatus::SourceFormatInvalid
                                          << QStringList{"ends inside its ELF header (40 bytes"};
    QTest::newRow("program headers cut short")
        << "bad-elf-cut-program-headers" << FlashStart << false << limit << ConversionStatus::SourceFormatInvalid
        << QStringList{"program header table", "runs past the end of the file (60 bytes)"};
    QTest::newRow("segment past the end of the file")
        << "bad-elf-cut-segment" << FlashStart << false << limit << ConversionStatus::SourceFormatInvalid
        << QStringList{"segment 0", "runs past the end of the file"};
    QTest::newRow("bad record checksum") << "bad-ihex-bad-checksum" << FlashStart << false << limit
                                         << ConversionStatus::SourceFormatInvalid
                                         << QStringList{"Intel HEX", "line 3: checksum"};
    QTest::newRow("named .hex, holding no HEX") << "bad-hex-name-binary" << FlashStart << false << limit
                                                << ConversionStatus::SourceFormatInvalid
                                                << QStringList{"is named as Intel HEX", "line 1"};
    QTest::newRow("S5 count that does not match")
        << "bad-srec-count" << FlashStart << false << limit << ConversionStatus::SourceFormatInvalid
        << QStringList{"line 3: the S5 record counts 3 data records, 2 precede it"};
    QTest::newRow("Intel HEX without its end-of-file record")
        << "bad-ihex-no-end" << FlashStart << false << limit << ConversionStatus::SourceFormatInvalid
        << QStringList{"without the end-of-file record"};
    QTest::newRow("first data address below 32, address from the source")
        << "bad-srec-low" << 0u << true << limit << ConversionStatus::AddressInvalid
        << QStringList{"starts at 0x00000010", "no room for the 32-byte header"};
}

void TestSources::refusals()
{
    QFETCH(QString, recipe);
    QFETCH(quint32, address);
    QFETCH(bool, fromSource);
    QFETCH(qint64, maxSize);
    QFETCH(ConversionStatus, status);
    QFETCH(QStringList, named);

    const QString source = makeSource(recipe);
    QVERIFY2(!source.isEmpty(), qPrintable(m_error));
    SourceOptions options;
    options.startAddressFromSource = fromSource;
    options.layout.maxSize = maxSize;
    const ConversionResult result = convert(source, "refused", address, options);
    QCOMPARE(result.status, status);
    for (const QString &text : std::as_const(named))
        QVERIFY2(result.detail.contains(text), qPrintable(result.detail + " lacks " + text));
    QVERIFY2(result.detail.contains(QFileInfo(source).fileName()), qPrintable(result.detail));
    // Nothing written, not even a temporary file.
    const QStringList all = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
    const QStringList made = all.filter(QStringLiteral("refused"));
    QVERIFY2(made.isEmpty(), qPrintable(made.join(' ')));
}

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
