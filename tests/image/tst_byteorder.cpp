#include "byteorder.h"

#include <QTest>

#include <cstring>

class TestByteOrder : public QObject
{
    Q_OBJECT

private slots:
    void byteSwap32();
    void singleValues_data();
    void singleValues();
    void arrays_data();
    void arrays();
    void isNonZero();
};

void TestByteOrder::byteSwap32()
{
    QCOMPARE(ByteSwap32(0x55AA44BBu), 0xBB44AA55u);
    QCOMPARE(ByteSwap32(ByteSwap32(0x55AA44BBu)), 0x55AA44BBu);
    QCOMPARE(ByteSwap32(0x01020304u), 0x04030201u);
}

void TestByteOrder::singleValues_data()
{
    QTest::addColumn<int>("littleEndian");
    QTest::addColumn<quint16>("value16");
    QTest::addColumn<quint16>("expected16");
    QTest::addColumn<quint32>("value32");
    QTest::addColumn<quint32>("expected32");

    // Any non-zero flag keeps the value.
    QTest::newRow("big-endian") << 0 << quint16(0x0064) << quint16(0x6400)
                                << 0x55AA44BBu << 0xBB44AA55u;
    QTest::newRow("flag 1") << 1 << quint16(0x0064) << quint16(0x0064)
                            << 0x55AA44BBu << 0x55AA44BBu;
    QTest::newRow("flag 2") << 2 << quint16(0x0064) << quint16(0x0064)
                            << 0x55AA44BBu << 0x55AA44BBu;
    QTest::newRow("flag -1") << -1 << quint16(0x1234) << quint16(0x1234)
                             << 0x01020304u << 0x01020304u;
}

void TestByteOrder::singleValues()
{
    QFETCH(int, littleEndian);
    QFETCH(quint16, value16);
    QFETCH(quint16, expected16);
    QFETCH(quint32, value32);
    QFETCH(quint32, expected32);

    QCOMPARE(ToByteOrder16(littleEndian, value16), expected16);
    QCOMPARE(ToByteOrder32(littleEndian, value32), expected32);
}

void TestByteOrder::arrays_data()
{
    QTest::addColumn<int>("elementSize");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("littleEndian");
    QTest::addColumn<QByteArray>("expected"); // the first 8 bytes afterwards

    // The buffer holds 01 02 .. 08; bytes beyond length must stay as they are.
    const QByteArray untouched = QByteArray::fromHex("0102030405060708");
    QTest::newRow("32, 7 bytes, flag 0") << 4 << 7 << 0 << QByteArray::fromHex("0403020105060708");
    QTest::newRow("32, 7 bytes, flag 2") << 4 << 7 << 2 << QByteArray::fromHex("0403020105060708");
    QTest::newRow("32, 7 bytes, flag 1") << 4 << 7 << 1 << untouched;
    QTest::newRow("32, 8 bytes, flag 0") << 4 << 8 << 0 << QByteArray::fromHex("0403020108070605");
    QTest::newRow("32, 3 bytes, flag 0") << 4 << 3 << 0 << untouched;
    QTest::newRow("32, 0 bytes, flag 0") << 4 << 0 << 0 << untouched;
    QTest::newRow("16, 5 bytes, flag 0") << 2 << 5 << 0 << QByteArray::fromHex("0201040305060708");
    QTest::newRow("16, 5 bytes, flag 2") << 2 << 5 << 2 << QByteArray::fromHex("0201040305060708");
    QTest::newRow("16, 5 bytes, flag 1") << 2 << 5 << 1 << untouched;
    QTest::newRow("16, 8 bytes, flag 0") << 2 << 8 << 0 << QByteArray::fromHex("0201040306050807");
    QTest::newRow("16, 1 byte, flag 0") << 2 << 1 << 0 << untouched;
}

void TestByteOrder::arrays()
{
    QFETCH(int, elementSize);
    QFETCH(int, length);
    QFETCH(int, littleEndian);
    QFETCH(QByteArray, expected);

    quint32 words[2];
    const QByteArray initial = QByteArray::fromHex("0102030405060708");
    std::memcpy(words, initial.constData(), sizeof words);
    if (elementSize == 4)
        ToByteOrderArray32(words, length, littleEndian);
    else
        ToByteOrderArray16(reinterpret_cast<quint16 *>(words), length, littleEndian);

    QCOMPARE(QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex(),
             expected.toHex());
}

void TestByteOrder::isNonZero()
{
    QVERIFY(!IsNonZero(0));
    QVERIFY(IsNonZero(1));
    QVERIFY(IsNonZero(0x80000000u));
}

QTEST_APPLESS_MAIN(TestByteOrder)
#include "tst_byteorder.moc"
