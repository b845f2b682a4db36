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
    void sectionsLinesAndQuotesAsQSettings_data();
    void sectionsLinesAndQuotesAsQSettings();
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

// Whole files: where lines, sections, comments and quotes begin and end, and
// what a value reads as, are taken from QSettings on the same bytes.
void TestIniValueTraps::sectionsLinesAndQuotesAsQSettings_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("section"); // where the value is, for QSettings and the warning
    QTest::addColumn<QString>("meant");   // PBin there, as its writer meant it
    QTest::addColumn<int>("kinds");       // the traps found; 0 when PBin reads as meant

    QTest::newRow("section header with a comment") << QByteArray("[Dev7]\nPBin=ok.bin\n[Dev8] ; spare\nPBin=a,b.bin\n")
                                                   << "Dev8" << "a,b.bin" << int(IniListTrap);
    QTest::newRow("section header with text after it") << QByteArray("[Dev7]\nPBin=ok\n[Dev8]x\nPBin=a,b\n") << "Dev8"
                                                       << "a,b" << int(IniListTrap);
    QTest::newRow("section header without ']'") << QByteArray("[Dev7]\nPBin=ok\n[Dev8\nPBin=a,b\n") << "Dev8" << "a,b"
                                                 << int(IniListTrap);
    QTest::newRow("spaces inside the brackets") << QByteArray("[ Dev8 ]\nPBin=a,b\n") << "Dev8" << "a,b"
                                                << int(IniListTrap);
    QTest::newRow("commented-out section header") << QByteArray("[Dev7]\n; [Dev8]\nPBin=a,b\n") << "Dev7" << "a,b"
                                                  << int(IniListTrap);
    QTest::newRow("CR line ends") << QByteArray("[Dev7]\rPBin=ok\r[Dev8]\rPBin=a,b\r") << "Dev8" << "a,b"
                                  << int(IniListTrap);
    QTest::newRow("CR LF line ends") << QByteArray("[Dev7]\r\nPBin=ok\r\n[Dev8]\r\nPBin=D:\\fw\\a.bin\r\n") << "Dev8"
                                     << "D:\\fw\\a.bin" << int(IniEscapeTrap);
    QTest::newRow("CR line ends, clean value") << QByteArray("[Dev8]\rPBin=fw/a.bin\rNBin=x\r") << "Dev8" << "fw/a.bin"
                                               << 0;
    QTest::newRow("unclosed quote takes in the rest of the file")
        << QByteArray("[Dev8]\nPBin=\"app.bin\nNBin=x.bin\n[Dev9]\nPBin=a,b\n") << "Dev8" << "\"app.bin"
        << int(IniOpenQuoteTrap);
    QTest::newRow("quote closed two lines further")
        << QByteArray("[Dev8]\nPBin=\"a.bin\nNBin=x\"\nNS19=y\n") << "Dev8" << "\"a.bin" << int(IniOpenQuoteTrap);
    QTest::newRow("unclosed quote, CR line ends") << QByteArray("[Dev8]\rPBin=\"a.bin\rNBin=x\r") << "Dev8"
                                                  << "\"a.bin" << int(IniOpenQuoteTrap);
    QTest::newRow("backslash at the line's end joins the next")
        << QByteArray("[Dev8]\nPBin=a.bin\\\nNBin=x\n") << "Dev8" << "a.bin\\" << int(IniEscapeTrap);
    QTest::newRow("text after the closing quote") << QByteArray("[Dev8]\nPBin=\"a\"b\n") << "Dev8" << "\"a\"b"
                                                  << int(IniQuoteTrap);
    QTest::newRow("text after a space after the quote") << QByteArray("[Dev8]\nPBin=\"a\" b.bin\n") << "Dev8"
                                                        << "\"a\" b.bin" << int(IniQuoteTrap);
    QTest::newRow("quotes inside the text") << QByteArray("[Dev8]\nPBin=a\"b\"\n") << "Dev8" << "a\"b\""
                                            << int(IniQuoteTrap);
    QTest::newRow("quoted whole, with a space") << QByteArray("[Dev8]\nPBin=\"a b.bin\"\n") << "Dev8" << "a b.bin"
                                                << 0;
    QTest::newRow("@Invalid()") << QByteArray("[Dev8]\nPBin=@Invalid()\n") << "Dev8" << "@Invalid()"
                                << int(IniTypedValueTrap);
    QTest::newRow("@ByteArray(x)") << QByteArray("[Dev8]\nPBin=@ByteArray(x)\n") << "Dev8" << "@ByteArray(x)"
                                   << int(IniTypedValueTrap);
    QTest::newRow("@String(x)") << QByteArray("[Dev8]\nPBin=@String(x)\n") << "Dev8" << "@String(x)"
                                << int(IniTypedValueTrap);
    QTest::newRow("@Rect(...)") << QByteArray("[Dev8]\nPBin=@Rect(1 2 3 4)\n") << "Dev8" << "@Rect(1 2 3 4)"
                                << int(IniTypedValueTrap);
    QTest::newRow("@@ doubled") << QByteArray("[Dev8]\nPBin=@@x.bin\n") << "Dev8" << "@@x.bin"
                                << int(IniTypedValueTrap);
    QTest::newRow("@Invalid() quoted") << QByteArray("[Dev8]\nPBin=\"@Invalid()\"\n") << "Dev8" << "@Invalid()"
                                       << int(IniTypedValueTrap);
    QTest::newRow("@ of no type") << QByteArray("[Dev8]\nPBin=@home.bin\n") << "Dev8" << "@home.bin" << 0;
    QTest::newRow("unknown type") << QByteArray("[Dev8]\nPBin=@Home(1)\n") << "Dev8" << "@Home(1)" << 0;
    QTest::newRow("'#' starts no comment") << QByteArray("[Dev8]\n#x=1\nPBin=a.bin\n") << "Dev8" << "a.bin" << 0;
    QTest::newRow("comment after a space") << QByteArray("[Dev8]\nPBin=a.bin   ; old\n") << "Dev8" << "a.bin" << 0;
    QTest::newRow("semicolon inside the text") << QByteArray("[Dev8] ; x\nPBin=a;b.bin\n") << "Dev8" << "a;b.bin"
                                               << int(IniCommentTrap);
}

void TestIniValueTraps::sectionsLinesAndQuotesAsQSettings()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, section);
    QFETCH(QString, meant);
    QFETCH(int, kinds);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size());
    file.close();
    const QSettings settings(path, QSettings::IniFormat);
    QVERIFY2(settings.childGroups().contains(section), qPrintable(settings.childGroups().join(QLatin1Char(' '))));
    const QString reads = settings.value(section + QStringLiteral("/PBin")).toString();

    const QVector<IniValueTrap> traps = FindIniValueTraps(
        QString::fromUtf8(ini), [](const QString &, const QString &key) { return key == QLatin1String("PBin"); });
    if (kinds == 0) {
        QCOMPARE(reads, meant);
        QVERIFY(traps.isEmpty());
        return;
    }
    QVERIFY2(reads != meant, qPrintable(reads));
    QCOMPARE(traps.size(), 1);
    QCOMPARE(traps.constFirst().section, section);
    QCOMPARE(traps.constFirst().kinds, kinds);
    QCOMPARE(ReadBack(traps.constFirst().quoted), meant);
}

QTEST_GUILESS_MAIN(TestIniValueTraps)
#include "tst_inivaluetraps.moc"
