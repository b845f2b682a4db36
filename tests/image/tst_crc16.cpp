#include "crc16.h"

#include <QTest>

#include <array>

namespace {

// The MSB-first table of polynomial 0x1021, built bit by bit.
std::array<quint16, 256> BitwiseCrcTable()
{
    constexpr quint16 Polynomial = 0x1021;
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 reg = quint16(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x8000) ? quint16((reg << 1) ^ Polynomial) : quint16(reg << 1);
        table[size_t(i)] = reg;
    }
    return table;
}

const quint8 *Bytes(const QByteArray &data)
{
    return reinterpret_cast<const quint8 *>(data.constData());
}

} // namespace

class TestCrc16 : public QObject
{
    Q_OBJECT

private slots:
    void tableMatchesPolynomial();
    void checkValues_data();
    void checkValues();
    void augmentedSteps();
};

void TestCrc16::tableMatchesPolynomial()
{
    const std::array<quint16, 256> expected = BitwiseCrcTable();
    // The published entries guard the bitwise builder itself.
    QCOMPARE(expected[1], quint16(0x1021));
    QCOMPARE(expected[128], quint16(0x9188));
    QCOMPARE(expected[255], quint16(0x1EF0));
    for (int i = 0; i < 256; ++i)
        QVERIFY2(Crc16Table[i] == expected[size_t(i)],
                 qPrintable(QStringLiteral("entry %1: 0x%2, expected 0x%3")
                                .arg(i)
                                .arg(Crc16Table[i], 4, 16, QLatin1Char('0'))
                                .arg(expected[size_t(i)], 4, 16, QLatin1Char('0'))));
}

void TestCrc16::checkValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint16>("crc");

    QTest::newRow("123456789") << QByteArray("123456789") << quint16(0x31C3);
    QTest::newRow("abc") << QByteArray("abc") << quint16(0x9DD6);
    QTest::newRow("empty") << QByteArray() << quint16(0x0000);
    QTest::newRow("00") << QByteArray(1, '\x00') << quint16(0x0000);
    QTest::newRow("FF") << QByteArray(1, '\xFF') << quint16(0x1EF0);
    // crc_hqx(bytes(range(256)), 0): every table entry takes part.
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QTest::newRow("00..FF") << all << quint16(0x7E55);
    // Lengths around the eight-byte blocks of Crc16Continue.
    QTest::newRow("17 x A5") << QByteArray(17, '\xA5') << quint16(0x5F03);
    QTest::newRow("24 x 5A") << QByteArray(24, '\x5A') << quint16(0x7DDB);
}

void TestCrc16::checkValues()
{
    QFETCH(QByteArray, data);
    QFETCH(quint16, crc);

    QCOMPARE(Crc16(Bytes(data), data.size()), crc);

    // Fed in two chunks at every split point, the running value must come to
    // the same result: the stamp reads long payloads one chunk at a time.
    for (int split = 0; split <= data.size(); ++split) {
        quint16 running = Crc16Append(0, Bytes(data), split);
        running = Crc16Append(running, Bytes(data) + split, data.size() - split);
        QVERIFY2(Crc16Finish(running) == crc, qPrintable(QStringLiteral("split at %1").arg(split)));

        quint16 continued = Crc16Continue(0, Bytes(data), split);
        continued = Crc16Continue(continued, Bytes(data) + split, data.size() - split);
        QVERIFY2(continued == crc, qPrintable(QStringLiteral("continued at %1").arg(split)));
    }
}

void TestCrc16::augmentedSteps()
{
    const QByteArray digits("123456789");
    quint16 crc = 0;
    for (char byte : digits)
        crc = Crc16Update(quint8(byte), crc);
    QCOMPARE(crc, quint16(0xBEEF));
    QCOMPARE(Crc16Finish(crc), quint16(0x31C3));

    crc = Crc16Update(0, crc);
    crc = Crc16Update(0, crc);
    QCOMPARE(crc, quint16(0x31C3));
}

QTEST_APPLESS_MAIN(TestCrc16)
#include "tst_crc16.moc"
