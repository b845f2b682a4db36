#include "mainwindow.h"
#include "projectfolder.h"
#include "testfiles.h"
#include "workingfolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QString canonical(const QString &path)
{
    return QDir(path).canonicalPath();
}

} // namespace

// vandrel [FOLDER | FOLDER/VandrelSet.ini], in a scratch tree:
//   project/      VandrelSet.ini with relative paths, fw/app.bin, out/, notes.txt
//   empty/        no settings file
//   odd/          VandrelSet.ini is a folder
//   elsewhere/    the working directory at start
class TestProjectFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arguments_data();
    void arguments();
    void relativePathsResolveAgainstTheFolder();
    void settingsThatCannotBeReadAtStart_data();
    void settingsThatCannotBeReadAtStart();

private:
    std::unique_ptr<WorkingFolder> m_root;
};

void TestProjectFolder::init()
{
    m_root = std::make_unique<WorkingFolder>();
    QVERIFY(m_root->isValid());
    // The project opened last is remembered there, not in the user's own.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_root->path() + QStringLiteral("/user"));
    QDir root(m_root->path());
    for (const char *folder : {"project/fw", "project/out", "empty", "odd/VandrelSet.ini", "elsewhere"})
        QVERIFY(root.mkpath(QLatin1String(folder)));
    QVERIFY(WriteFile(root.filePath(QStringLiteral("project/VandrelSet.ini")),
                      "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=A\n"
                      "PBin=fw/app.bin\nNBin=out/app_out.bin\nNS19=out/app.s19\n"));
    QVERIFY(WriteFile(root.filePath(QStringLiteral("project/fw/app.bin")), QByteArray(300, '\x5A')));
    QVERIFY(WriteFile(root.filePath(QStringLiteral("project/notes.txt")), "notes"));
    QVERIFY(QDir::setCurrent(root.filePath(QStringLiteral("elsewhere"))));
}

void TestProjectFolder::cleanup()
{
    m_root.reset();
}

void TestProjectFolder::arguments_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program name, relative to the scratch tree
    QTest::addColumn<bool>("absolute");         // given as absolute paths, else relative to elsewhere/
    QTest::addColumn<QString>("folder");        // the working directory afterwards
    QTest::addColumn<QString>("warning");       // first line of the warning, "" for none
    QTest::addColumn<QString>("named");         // what the warning names

    const QString none;
    QTest::newRow("no argument") << QStringList() << false << "elsewhere" << none << none;
    QTest::newRow("folder") << QStringList{"project"} << true << "project" << none << none;
    QTest::newRow("folder, relative") << QStringList{"project"} << false << "project" << none << none;
    QTest::newRow("folder with a trailing slash") << QStringList{"project/"} << false << "project" << none << none;
    QTest::newRow("its settings file") << QStringList{"project/VandrelSet.ini"} << true << "project" << none
                                       << none;
    QTest::newRow("its settings file, relative") << QStringList{"project/VandrelSet.ini"} << false << "project"
                                                 << none << none;

    QTest::newRow("missing") << QStringList{"nothing here"} << true << "elsewhere"
                             << QStringLiteral("项目文件夹找不到！") << "nothing here";
    QTest::newRow("another file of the folder") << QStringList{"project/notes.txt"} << true << "elsewhere"
                                                << QStringLiteral("请打开项目文件夹或其中的VandrelSet.ini文件！")
                                                << "notes.txt";
    QTest::newRow("folder without settings") << QStringList{"empty"} << true << "elsewhere"
                                             << QStringLiteral("项目文件夹中没有VandrelSet.ini文件！") << "empty";
    QTest::newRow("settings that cannot be read") << QStringList{"odd"} << true << "elsewhere"
                                                  << QStringLiteral("VandrelSet.ini文件无法读取！") << "odd";
    QTest::newRow("two folders") << QStringList{"project", "empty"} << true << "elsewhere"
                                 << QStringLiteral("只能打开一个项目文件夹！") << "empty";
    QTest::newRow("unknown option") << QStringList{"--bogus", "project"} << false << "elsewhere"
                                    << QStringLiteral("命令行选项不正确！") << "--bogus";
}

void TestProjectFolder::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, absolute);
    QFETCH(QString, folder);
    QFETCH(QString, warning);
    QFETCH(QString, named);

    QStringList commandLine{QStringLiteral("vandrel")};
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1Char('-')))
            commandLine.append(argument);
        else if (absolute)
            commandLine.append(QDir(m_root->path()).filePath(argument));
        else
            commandLine.append(QStringLiteral("../") + argument);
    }

    const QString shown = EnterProjectFolder(commandLine);
    QCOMPARE(shown.section(QLatin1Char('\n'), 0, 0), warning);
    QVERIFY2(shown.section(QLatin1Char('\n'), 1).contains(named), qPrintable(shown));
    QCOMPARE(canonical(QDir::currentPath()), canonical(QDir(m_root->path()).filePath(folder)));
}

// Started from another folder with the project's settings file, the window
// shows the profile's relative paths and the conversion reads and writes
// them inside the project.
void TestProjectFolder::relativePathsResolveAgainstTheFolder()
{
    const QString project = QDir(m_root->path()).filePath(QStringLiteral("project"));
    QCOMPARE(EnterProjectFolder({QStringLiteral("vandrel"), project + QStringLiteral("/VandrelSet.ini")}),
             QString());

    const MainWindow window;
    const auto fields = window.centralWidget()->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    QStringList texts;
    for (const QLineEdit *field : fields)
        texts.append(field->text());
    QVERIFY2(texts.contains(QStringLiteral("fw/app.bin")) && texts.contains(QStringLiteral("out/app.s19")),
             qPrintable(texts.join(QLatin1Char(','))));

    QPushButton *convert = nullptr;
    for (QPushButton *button : window.centralWidget()->findChildren<QPushButton *>()) {
        if (button->text() == QStringLiteral("转换"))
            convert = button;
    }
    QVERIFY(convert);
    // The box comes once the run on its own thread has ended.
    QString boxText;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&boxText]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxText = box->text();
            box->accept();
        }
    });
    poll.start(10);
    convert->click();
    QTRY_VERIFY_WITH_TIMEOUT(!boxText.isEmpty(), 10000);
    QCOMPARE(boxText, QStringLiteral("转换成功！"));

    QCOMPARE(ReadFile(project + QStringLiteral("/out/app_out.bin")).size(), 300 + 36);
    QVERIFY(ReadFile(project + QStringLiteral("/out/app.s19")).startsWith("S0"));
    QVERIFY(QDir(m_root->path() + QStringLiteral("/elsewhere")).isEmpty());
}

// Started without an argument, the window warns of a VandrelSet.ini it
// cannot read and opens as with no settings; never waits on a FIFO or reads
// a device without end. Given as the project, the same file is refused.
void TestProjectFolder::settingsThatCannotBeReadAtStart_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("warned");

    QTest::newRow("none") << "none" << false;
    QTest::newRow("readable") << "readable" << false;
    QTest::newRow("folder") << "folder" << true;
    QTest::newRow("over 4 MiB") << "large" << true;
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << "fifo" << true;
    QTest::newRow("link to /dev/zero") << "zero" << true;
#endif
}

void TestProjectFolder::settingsThatCannotBeReadAtStart()
{
    QFETCH(QString, kind);
    QFETCH(bool, warned);

    const QString settings = QDir::current().filePath(QStringLiteral("VandrelSet.ini"));
    const QByteArray profile = "[Sys]\nDevs=1\nAddr=08000000\n[Dev0]\nName=A\n";
    if (kind == QLatin1String("readable"))
        QVERIFY(WriteFile(settings, profile));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(settings));
    else if (kind == QLatin1String("large"))
        QVERIFY(WriteFile(settings, profile + QByteArray(5 * 1024 * 1024, '\n')));
#ifdef Q_OS_UNIX
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    else if (kind == QLatin1String("zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), settings));
#endif

    const QString warning = WorkingFolderSettingsWarning();
    if (!warned) {
        QCOMPARE(warning, QString());
    } else {
        QCOMPARE(warning.section(QLatin1Char('\n'), 0, 0), QStringLiteral("VandrelSet.ini文件无法读取！"));
        QCOMPARE(warning.section(QLatin1Char('\n'), 1), QDir::toNativeSeparators(settings));
        // As the project, refused before the working directory changes.
        const QString elsewhere = QDir::currentPath();
        QCOMPARE(EnterProjectFolder({QStringLiteral("vandrel"), elsewhere}).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("VandrelSet.ini文件无法读取！"));
        QCOMPARE(QDir::currentPath(), elsewhere);
    }

    const MainWindow window;
    const auto *devices = window.findChild<QComboBox *>(QStringLiteral("DevComboBox"));
    QVERIFY(devices);
    QCOMPARE(devices->count(), kind == QLatin1String("readable") ? 1 : 0);
}

QTEST_MAIN(TestProjectFolder)
#include "tst_projectfolder.moc"
