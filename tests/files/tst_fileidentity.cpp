#include "fileidentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

// The spellings of one file that compare equal are tested through the
// conversion's same-file refusals; here: what must NOT compare equal, and
// where the identity comes from.
class TestFileIdentity : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void openFileMatchesItsPath();
    void differentFiles_data();
    void differentFiles();
    void identityFollowsTheOpenFileNotThePath();
#ifdef Q_OS_UNIX
    void fifoDoesNotBlock();
#endif

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    static bool writeFile(const QString &path, const QByteArray &contents);

    std::unique_ptr<QTemporaryDir> m_dir;
};

bool TestFileIdentity::writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush();
}

void TestFileIdentity::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(writeFile(path(QStringLiteral("a.bin")), "same bytes"));
    QVERIFY(writeFile(path(QStringLiteral("copy-of-a.bin")), "same bytes"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
}

void TestFileIdentity::openFileMatchesItsPath()
{
    QFile file(path(QStringLiteral("a.bin")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const FileIdentity open = FileIdentity::ofOpenFile(file);
    QVERIFY(open.isValid());
    QVERIFY(open == FileIdentity::ofPath(file.fileName()));
    QVERIFY(!(open != FileIdentity::ofPath(file.fileName())));

    QFile closed(path(QStringLiteral("a.bin")));
    QVERIFY(!FileIdentity::ofOpenFile(closed).isValid());
}

// Pairs that must never compare equal, even where one side names nothing.
void TestFileIdentity::differentFiles_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("secondReachable");

    QTest::newRow("same bytes, other file") << "a.bin" << "copy-of-a.bin" << true;
    QTest::newRow("file and folder") << "a.bin" << "folder" << true;
    QTest::newRow("missing file") << "a.bin" << "missing.bin" << false;
    QTest::newRow("missing, both sides") << "missing.bin" << "missing.bin" << false;
    QTest::newRow("empty path") << "" << "" << false;
}

void TestFileIdentity::differentFiles()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, secondReachable);

    const auto identity = [this](const QString &name) {
        return FileIdentity::ofPath(name.isEmpty() ? QString() : path(name));
    };
    QVERIFY(identity(first) != identity(second));
    QVERIFY(!(identity(first) == identity(second)));
    QCOMPARE(identity(second).isValid(), secondReachable);
}

// The file that was opened is the one compared, even when its name has
// since been given to another file.
void TestFileIdentity::identityFollowsTheOpenFileNotThePath()
{
#ifdef Q_OS_WIN
    QSKIP("Windows renames no file that Qt holds open");
#else
    const QString name = path(QStringLiteral("a.bin"));
    QFile opened(name);
    QVERIFY(opened.open(QIODevice::ReadOnly));
    const FileIdentity before = FileIdentity::ofPath(name);

    QVERIFY(QFile::rename(name, path(QStringLiteral("moved.bin"))));
    QVERIFY(writeFile(name, "another file"));

    QVERIFY(FileIdentity::ofOpenFile(opened) == before);
    QVERIFY(FileIdentity::ofOpenFile(opened) != FileIdentity::ofPath(name));
    QVERIFY(FileIdentity::ofOpenFile(opened) == FileIdentity::ofPath(path(QStringLiteral("moved.bin"))));
#endif
}

#ifdef Q_OS_UNIX
// Opening a FIFO for reading would wait for a writer.
void TestFileIdentity::fifoDoesNotBlock()
{
    const QString fifo = path(QStringLiteral("fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(FileIdentity::ofPath(fifo).isValid());
    QVERIFY(FileIdentity::ofPath(fifo) != FileIdentity::ofPath(path(QStringLiteral("a.bin"))));
}
#endif

QTEST_GUILESS_MAIN(TestFileIdentity)
#include "tst_fileidentity.moc"
