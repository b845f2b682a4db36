// Opening projects: the folder chooser when the window starts without one,
// the project remembered in the user's own settings, and drops of a folder,
// a VandrelSet.ini or a file on a path field.
#include "mainwindow.h"
#include "projectchooser.h"
#include "projectfolder.h"
#include "recentproject.h"
#include "testfiles.h"
#include "workingfolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace {

// Calls handle with the first modal widget that shows within the wait.
void whenModalAppears(QTimer &poll, const std::function<void(QWidget *)> &handle)
{
    QObject::connect(&poll, &QTimer::timeout, &poll, [&poll, handle]() {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll.stop();
            handle(modal);
        }
    });
    poll.start(10);
}

struct DropOutcome
{
    bool enterAccepted = false;
    bool dropAccepted = false;
};

// What a drag of urls over target and a drop there do.
DropOutcome dragAndDrop(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(2, 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    DropOutcome outcome;
    outcome.enterAccepted = enter.isAccepted();
    if (!outcome.enterAccepted)
        return outcome;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    outcome.dropAccepted = drop.isAccepted();
    return outcome;
}

} // namespace

class TestWindowProjects : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chooserWhenNoProject_data();
    void chooserWhenNoProject();
    void drops_data();
    void drops();

private:
    QString project(const char *name) const { return m_dir->filePath(QLatin1String(name)); }

    std::unique_ptr<WorkingFolder> m_dir;
    QString m_start; // the working folder the window starts in
};

void TestWindowProjects::initTestCase()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

// Two projects, a folder that is none, and an empty start folder.
void TestWindowProjects::init()
{
    m_dir = std::make_unique<WorkingFolder>();
    QVERIFY(m_dir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->filePath(QStringLiteral("user")));
    for (const char *name : {"alpha", "beta", "plain", "start"})
        QVERIFY(QDir().mkpath(QLatin1String(name)));
    QVERIFY(WriteFile(project("alpha/VandrelSet.ini"),
                      "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=Alpha\nPBin=fw/a.bin\n"));
    QVERIFY(WriteFile(project("beta/VandrelSet.ini"),
                      "[Sys]\nDevs=2\nAddr=08004000\nVer=202\n[Dev0]\nName=Beta\nPBin=fw/b.bin\n[Dev1]\nName=B1\n"));
    QVERIFY(WriteFile(project("plain/app.bin"), "firmware"));
    m_start = project("start");
    QVERIFY(QDir::setCurrent(m_start));
}

void TestWindowProjects::cleanup()
{
    m_dir.reset();
}

// Without an argument and without VandrelSet.ini here, the window asks for
// a project folder, starting in the one opened last, and opens the choice.
void TestWindowProjects::chooserWhenNoProject_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("settingsHere");
    QTest::addColumn<QString>("choice");      // "" cancels
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("folderAfter");
    QTest::addColumn<QString>("warning");     // start of the warning, "" for none

    const QStringList bare{QStringLiteral("vandrel")};
    QTest::newRow("chosen project") << bare << false << "beta" << true << "beta" << "";
    QTest::newRow("cancelled") << bare << false << "" << true << "start" << "";
    QTest::newRow("chosen folder is no project")
        << bare << false << "plain" << true << "start" << QStringLiteral("项目文件夹中没有VandrelSet.ini文件！");
    QTest::newRow("settings here") << bare << true << "beta" << false << "start" << "";
    QTest::newRow("project given") << QStringList{QStringLiteral("vandrel"), QStringLiteral("../alpha")} << false
                                   << "beta" << false << "start" << "";
}

void TestWindowProjects::chooserWhenNoProject()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, settingsHere);
    QFETCH(QString, choice);
    QFETCH(bool, asked);
    QFETCH(QString, folderAfter);
    QFETCH(QString, warning);
    if (settingsHere)
        QVERIFY(WriteFile(QStringLiteral("VandrelSet.ini"), "[Sys]\nDevs=0\n"));
    RememberProjectFolder(project("alpha"));

    QString caption;
    QString startFolder;
    QTimer poll;
    whenModalAppears(poll, [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        caption = dialog->windowTitle();
        startFolder = dialog->directory().absolutePath();
        if (choice.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(project(qPrintable(choice)));
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, public in QDialog
    });
    const QString shown = AskForProjectWhenNone(arguments);
    poll.stop();

    QCOMPARE(caption.isEmpty(), !asked);
    if (asked) {
        QCOMPARE(caption, QStringLiteral("选择项目文件夹"));
        QCOMPARE(startFolder, project("alpha"));
    }
    QVERIFY2(warning.isEmpty() ? shown.isEmpty() : shown.startsWith(warning), qPrintable(shown));
    QCOMPARE(QDir::currentPath(), project(qPrintable(folderAfter)));
    // Only a project opened is remembered.
    QCOMPARE(RememberedProjectFolder(), project(folderAfter == QLatin1String("beta") ? "beta" : "alpha"));
    // Never written into a project's own settings.
    QCOMPARE(ReadFile(project("alpha/VandrelSet.ini")).left(5), QByteArray("[Sys]"));
}

void TestWindowProjects::drops_data()
{
    QTest::addColumn<QString>("target");  // an input's name, or "" for the window
    QTest::addColumn<QStringList>("urls"); // local paths, or addresses with a scheme
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("after"); // device names, address, source field

    const QStringList alpha{QStringLiteral("Alpha"), QStringLiteral("08000000"), QStringLiteral("fw/a.bin")};
    const QStringList beta{QStringLiteral("Beta|B1"), QStringLiteral("08004000"), QStringLiteral("fw/b.bin")};
    QTest::newRow("folder on the window") << "" << QStringList{"beta"} << true << beta;
    QTest::newRow("VandrelSet.ini on the window") << "" << QStringList{"beta/VandrelSet.ini"} << true << beta;
    QTest::newRow("folder on a path field") << "NBinLineEdit" << QStringList{"beta"} << true << beta;
    QTest::newRow("bin on the source field")
        << "PBinLineEdit" << QStringList{"plain/app.bin"} << true
        << QStringList{alpha.at(0), alpha.at(1), QStringLiteral("%D/plain/app.bin")};
    QTest::newRow("bin on the S-record field") << "NS19LineEdit" << QStringList{"plain/app.bin"} << true << alpha;
    QTest::newRow("bin on the window") << "" << QStringList{"plain/app.bin"} << false << alpha;
    QTest::newRow("remote file on a path field")
        << "PBinLineEdit" << QStringList{"https://example.com/app.bin"} << false << alpha;
    QTest::newRow("two files on a path field")
        << "PBinLineEdit" << QStringList{"plain/app.bin", "beta/VandrelSet.ini"} << false << alpha;
    QTest::newRow("folder without settings on the window") << "" << QStringList{"plain"} << true << alpha;
}

void TestWindowProjects::drops()
{
    QFETCH(QString, target);
    QFETCH(QStringList, urls);
    QFETCH(bool, accepted);
    QFETCH(QStringList, after);
    QVERIFY(QDir::setCurrent(project("alpha")));
    MainWindow window;
    QWidget *receiver = target.isEmpty() ? static_cast<QWidget *>(&window) : window.findChild<QWidget *>(target);
    QVERIFY(receiver);

    QList<QUrl> dragged;
    for (const QString &url : std::as_const(urls))
        dragged.append(url.contains(QLatin1Char(':')) ? QUrl(url) : QUrl::fromLocalFile(m_dir->filePath(url)));
    QString warningShown;
    QTimer poll;
    whenModalAppears(poll, [&warningShown](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            warningShown = box->text();
        modal->close();
    });
    const DropOutcome outcome = dragAndDrop(receiver, dragged);
    QTest::qWait(100); // a project opens once the drop has ended
    poll.stop();

    QCOMPARE(outcome.enterAccepted, accepted);
    QCOMPARE(outcome.dropAccepted, accepted);
    auto *devices = window.findChild<QComboBox *>(QStringLiteral("DevComboBox"));
    QStringList names;
    for (int i = 0; i < devices->count(); ++i)
        names.append(devices->itemText(i));
    const QString source = window.findChild<QLineEdit *>(QStringLiteral("PBinLineEdit"))->text();
    QCOMPARE((QStringList{names.join(QLatin1Char('|')), window.findChild<QLineEdit *>(QStringLiteral("AddrLineEdit"))->text(),
                          source}),
             (QStringList{after.at(0), after.at(1), QString(after.at(2)).replace(QStringLiteral("%D"), m_dir->path())}));
    if (after.at(0) == QLatin1String("Beta|B1"))
        QCOMPARE(RememberedProjectFolder(), project("beta"));
    // A folder that holds no project is named in a warning; the window stays as it was.
    QCOMPARE(warningShown.isEmpty(), !urls.contains(QStringLiteral("plain")));
}

QTEST_MAIN(TestWindowProjects)
#include "tst_windowprojects.moc"
