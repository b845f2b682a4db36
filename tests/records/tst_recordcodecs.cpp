// The S-record and Intel HEX line codecs, on lines from the formats'
// published examples (checked with Python, not with this code).

#include "intelhex.h"
#include "hexdigits.h"
#include "srecord.h"

#include <QTest>

class TestRecordCodecs : public QObject
{
    Q_OBJECT

private slots:
    void parseSRecord_data();
    void parseSRecord();
    void sRecordFaults_data();
    void sRecordFaults();
    void parseIntelHex_data();
    void parseIntelHex();
    void intelHexFaults_data();
    void intelHexFaults();
    void nonHexDigitAtEveryColumn();
};

void TestRecordCodecs::parseSRecord_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("checksumMatches");

    QTest::newRow("S0 with text") << QByteArray("S00F000068656C6C6F202020202000003C") << 0 << 0u
                                  << QByteArray("hello     \0\0", 12) << true;
    QTest::newRow("S1") << QByteArray("S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026") << 1
                        << 0u << QByteArray::fromHex("7C0802A6900100049421FFF07C6C1B787C8C23783C60000038630000")
                        << true;
    QTest::newRow("S2") << QByteArray("S20801000012345678E2") << 2 << 0x010000u << QByteArray::fromHex("12345678")
                        << true;
    QTest::newRow("S3, a full record") << QByteArray("S31508000020000102030405060708090A0B0C0D0E0F4A") << 3
                                       << 0x08000020u << QByteArray::fromHex("000102030405060708090A0B0C0D0E0F")
                                       << true;
    QTest::newRow("S3, one byte") << QByteArray("S30600000000AB4E") << 3 << 0u << QByteArray::fromHex("AB") << true;
    QTest::newRow("S3, lower case") << QByteArray("S309080000301234abcd00")
                                    << 3 << 0x08000030u << QByteArray::fromHex("1234ABCD") << true;
    QTest::newRow("S5 count") << QByteArray("S5030003F9") << 5 << 3u << QByteArray() << true;
    QTest::newRow("S6 count") << QByteArray("S604000001FA") << 6 << 1u << QByteArray() << true;
    QTest::newRow("S7 end") << QByteArray("S705080052910F") << 7 << 0x08005291u << QByteArray() << true;
    QTest::newRow("S8 end") << QByteArray("S804000000FB") << 8 << 0u << QByteArray() << true;
    QTest::newRow("S9 end") << QByteArray("S9030000FC") << 9 << 0u << QByteArray() << true;
    QTest::newRow("wrong checksum") << QByteArray("S9030000FD") << 9 << 0u << QByteArray() << false;
}

void TestRecordCodecs::parseSRecord()
{
    QFETCH(QByteArray, line);
    QFETCH(int, type);
    QFETCH(quint32, address);
    QFETCH(QByteArray, data);
    QFETCH(bool, checksumMatches);

    SRecord record;
    QCOMPARE(ParseSRecord(line.constData(), line.size(), record), QString());
    QCOMPARE(record.type, type);
    QCOMPARE(record.address, address);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(record.data.data()), record.count), data);
    QCOMPARE(record.checksumMatches(), checksumMatches);

    // Written back, a sound record is the same line in upper case.
    if (checksumMatches) {
        char text[SRecordLayout::MaxLineLength + 1];
        const char *end = FormatSRecord(text, type, address, record.data.data(), record.count);
        QCOMPARE(QByteArray(text, int(end - text)), line.toUpper() + '\n');
    }
}

void TestRecordCodecs::sRecordFaults_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("fault");

    QTest::newRow("empty") << QByteArray() << "not an S-record";
    QTest::newRow("no S") << QByteArray(":00000001FF") << "not an S-record";
    QTest::newRow("S4") << QByteArray("S4030000FC") << "'4' is not a record type";
    QTest::newRow("letter type") << QByteArray("SX030000FC") << "'X' is not a record type";
    QTest::newRow("not hex") << QByteArray("S9030G00FC") << "'G' at column 6";
    QTest::newRow("control byte") << QByteArray("S9030000F\x01") << "byte 0x01 at column 10";
    QTest::newRow("odd length") << QByteArray("S9030000F") << "not a whole S9 record";
    QTest::newRow("too short for its address") << QByteArray("S30300FC") << "not a whole S3 record";
    QTest::newRow("count too large") << QByteArray("S9040000FC") << "byte count 04";
    QTest::newRow("count too small") << QByteArray("S31408000020000102030405060708090A0B0C0D0E0F4A")
                                     << "byte count 14";
}

void TestRecordCodecs::sRecordFaults()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, fault);

    SRecord record;
    const QString problem = ParseSRecord(line.constData(), line.size(), record);
    QVERIFY2(problem.contains(fault), qPrintable(problem));
}

void TestRecordCodecs::parseIntelHex_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("checksumMatches");

    QTest::newRow("data") << QByteArray(":10010000214601360121470136007EFE09D2190140") << 0 << 0x0100
                          << QByteArray::fromHex("214601360121470136007EFE09D21901") << true;
    QTest::newRow("data, lower case") << QByteArray(":10010000214601360121470136007efe09d2190140") << 0 << 0x0100
                                      << QByteArray::fromHex("214601360121470136007EFE09D21901") << true;
    QTest::newRow("end of file") << QByteArray(":00000001FF") << 1 << 0 << QByteArray() << true;
    QTest::newRow("extended segment address") << QByteArray(":020000021000EC") << 2 << 0
                                              << QByteArray::fromHex("1000") << true;
    QTest::newRow("start segment address") << QByteArray(":0400000300003800C1") << 3 << 0
                                           << QByteArray::fromHex("00003800") << true;
    QTest::newRow("extended linear address") << QByteArray(":020000040800F2") << 4 << 0
                                             << QByteArray::fromHex("0800") << true;
    QTest::newRow("start linear address") << QByteArray(":0400000508000000EF") << 5 << 0
                                          << QByteArray::fromHex("08000000") << true;
    QTest::newRow("wrong checksum") << QByteArray(":00000001FE") << 1 << 0 << QByteArray() << false;
}

void TestRecordCodecs::parseIntelHex()
{
    QFETCH(QByteArray, line);
    QFETCH(int, type);
    QFETCH(int, offset);
    QFETCH(QByteArray, data);
    QFETCH(bool, checksumMatches);

    IntelHexRecord record;
    QCOMPARE(ParseIntelHexRecord(line.constData(), line.size(), record), QString());
    QCOMPARE(int(record.type), type);
    QCOMPARE(int(record.offset), offset);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(record.data.data()), record.count), data);
    QCOMPARE(record.checksumMatches(), checksumMatches);

    if (checksumMatches) {
        char text[IntelHexLayout::MaxLineLength + 1];
        const char *end = FormatIntelHexRecord(text, quint8(type), quint16(offset), record.data.data(), record.count);
        QCOMPARE(QByteArray(text, int(end - text)), line.toUpper() + '\n');
    }
}

void TestRecordCodecs::intelHexFaults_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("fault");

    QTest::newRow("empty") << QByteArray() << "not an Intel HEX line";
    QTest::newRow("S-record") << QByteArray("S9030000FC") << "not an Intel HEX line";
    QTest::newRow("not hex") << QByteArray(":0000000XFF") << "'X' at column 9";
    QTest::newRow("too short") << QByteArray(":000001FF") << "not a whole record";
    QTest::newRow("even length") << QByteArray(":00000001FF0") << "not a whole record";
    QTest::newRow("count too large") << QByteArray(":01000001FF") << "byte count 01";
}

void TestRecordCodecs::intelHexFaults()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, fault);

    IntelHexRecord record;
    const QString problem = ParseIntelHexRecord(line.constData(), line.size(), record);
    QVERIFY2(problem.contains(fault), qPrintable(problem));
}

QTEST_APPLESS_MAIN(TestRecordCodecs)
// The digit check reads whole lines at a time: a character that is not a
// hex digit is named at whatever column it stands, in either format, and the
// neighbours of the digit ranges are not taken for digits.
void TestRecordCodecs::nonHexDigitAtEveryColumn()
{
    const QByteArray sLine("S31508000020000102030405060708090A0B0C0D0E0F4A");
    const QByteArray hexLine(":10010000214601360121470136007EFE09D2190140");
    for (const char bad : {'/', ':', '@', 'G', '`', 'g', ' ', '\xC1', '\xE1'}) {
        QCOMPARE(HexDigitValue(bad), -1);
        for (int column = 3; column <= sLine.size(); ++column) {
            QByteArray line = sLine;
            line[column - 1] = bad;
            SRecord record;
            const QString fault = ParseSRecord(line.constData(), int(line.size()), record);
            QVERIFY2(fault.endsWith(QStringLiteral(" at column %1 is not a hex digit").arg(column)), qPrintable(fault));
        }
        for (int column = 2; column <= hexLine.size(); ++column) {
            QByteArray line = hexLine;
            line[column - 1] = bad;
            IntelHexRecord record;
            const QString fault = ParseIntelHexRecord(line.constData(), int(line.size()), record);
            QVERIFY2(fault.endsWith(QStringLiteral(" at column %1 is not a hex digit").arg(column)), qPrintable(fault));
        }
    }
    for (int value = 0; value < 16; ++value) {
        QCOMPARE(HexDigitValue("0123456789ABCDEF"[value]), value);
        QCOMPARE(HexDigitValue("0123456789abcdef"[value]), value);
    }
}

#include "tst_recordcodecs.moc"
