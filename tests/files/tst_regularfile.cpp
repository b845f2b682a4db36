#include "regularfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

// Only a regular file is ever opened, and nothing waits for a writer or a device.
class TestRegularFile : public QObject
{
    Q_OBJECT

private slots:
    void opensRegularFilesOnly_data();
    void opensRegularFilesOnly();
    void writeModeReachesTheFile();
};

void TestRegularFile::opensRegularFilesOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expectedCause"); // empty: opened

    QTest::newRow("regular file") << "file" << "";
    QTest::newRow("folder") << "folder" << NotRegularFileText();
#ifdef Q_OS_UNIX
    QTest::newRow("missing") << "missing" << "No such file or directory";
    QTest::newRow("FIFO without a writer") << "fifo" << NotRegularFileText();
    QTest::newRow("character device") << "/dev/zero" << NotRegularFileText();
    QTest::newRow("link to a device") << "link-to-zero" << NotRegularFileText();
#endif
}

void TestRegularFile::opensRegularFilesOnly()
{
    QFETCH(QString, kind);
    QFETCH(QString, expectedCause);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(kind);
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abc") == 3);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(kind));
    } else if (kind.startsWith(QLatin1Char('/'))) {
        path = kind;
#ifdef Q_OS_UNIX
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("link-to-zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
#endif
    }

    QFile file;
    const QString cause = OpenRegularFile(file, path);
    if (expectedCause.isEmpty()) {
        QCOMPARE(cause, QString());
        QVERIFY(file.isOpen());
        QCOMPARE(file.readAll(), QByteArray("abc"));
    } else {
        QCOMPARE(cause, expectedCause);
        QVERIFY(!file.isOpen());
    }
}

void TestRegularFile::writeModeReachesTheFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.bin"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
    }
    QFile file;
    QCOMPARE(OpenRegularFile(file, path, QIODevice::ReadWrite), QString());
    QVERIFY(file.write("new") == 3 && file.flush());
    file.close();
    QFile check(path);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("new"));
}

QTEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
