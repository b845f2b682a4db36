// Values whose raw text Qt's INI rules read as something else, and the quoted
// form offered instead. What the rules make of each text is read back
// through QSettings itself, so the test checks the traps against the reader.

#include "inivaluetraps.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
// What QSettings reads for a value written as raw.
QString ReadBack(const QString &raw)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("[Dev0]\nPBin=" + raw.toUtf8() + "\n") < 0)
        return QStringLiteral("<cannot write>");
    file.close();
    QSettings settings(path, QSettings::IniFormat);
    return settings.value(QStringLiteral("Dev0/PBin")).toString();
}

bool AllKeys(const QString &, const QString &)
{
    return true;
}
} // namespace

class TestIniValueTraps : public QObject
{
    Q_OBJECT

private slots:
    void traps_data();
    void traps();
    void onlyWantedKeys();
};

void TestIniValueTraps::traps_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("meant");  // the text as its writer meant it; empty when it reads right
    QTest::addColumn<QString>("quoted"); // the form offered instead

    QTest::newRow("plain path") << "firmware/main.bin" << QString() << QString();
    QTest::newRow("doubled backslashes") << "D:\\\\fw\\\\app.bin" << QString() << QString();
    QTest::newRow("quoted comma") << "\"a,b.bin\"" << QString() << QString();
    QTest::newRow("quoted semicolon") << "\"a;b.bin\"" << QString() << QString();
    QTest::newRow("a comment after a space") << "2        ; profiles" << QString() << QString();
    QTest::newRow("Windows path") << "D:\\fw\\app.bin" << "D:\\fw\\app.bin" << "\"D:\\\\fw\\\\app.bin\"";
    QTest::newRow("unquoted comma") << "a,b.bin" << "a,b.bin" << "\"a,b.bin\"";
    QTest::newRow("unquoted semicolon") << "a;b.bin" << "a;b.bin" << "\"a;b.bin\"";
    QTest::newRow("quoted, but a lone backslash") << "\"C:\\temp\\x.bin\"" << "C:\\temp\\x.bin"
                                                  << "\"C:\\\\temp\\\\x.bin\"";
}

void TestIniValueTraps::traps()
{
    QFETCH(QString, raw);
    QFETCH(QString, meant);
    QFETCH(QString, quoted);

    const QVector<IniValueTrap> traps = FindIniValueTraps(QStringLiteral("[Dev0]\nPBin=") + raw + "\n", AllKeys);
    if (meant.isEmpty()) {
        QVERIFY2(traps.isEmpty(), qPrintable(raw));
        QVERIFY(ReadBack(raw) != QStringLiteral("<cannot write>"));
        return;
    }
    QCOMPARE(traps.size(), 1);
    QCOMPARE(traps.constFirst().section, QStringLiteral("Dev0"));
    QCOMPARE(traps.constFirst().key, QStringLiteral("PBin"));
    QCOMPARE(traps.constFirst().rawValue, raw);
    QCOMPARE(traps.constFirst().quoted, quoted);
    // The trap is real, and the form offered reads as meant.
    QVERIFY(ReadBack(raw) != meant);
    QCOMPARE(ReadBack(quoted), meant);
}

void TestIniValueTraps::onlyWantedKeys()
{
    const QString text = QStringLiteral("; a,comment\n[Sys]\nAddr=0,8\nOther=a,b\n[Dev1]\nName=x;y\n");
    const QVector<IniValueTrap> traps = FindIniValueTraps(text, [](const QString &section, const QString &key) {
        return section == QLatin1String("Sys") ? key == QLatin1String("Addr") : key == QLatin1String("Name");
    });
    QCOMPARE(traps.size(), 2);
    QCOMPARE(traps.at(0).key, QStringLiteral("Addr"));
    QCOMPARE(traps.at(1).section, QStringLiteral("Dev1"));
}

QTEST_GUILESS_MAIN(TestIniValueTraps)
#include "tst_inivaluetraps.moc"
