// The window during a conversion: the run goes on another thread while the
// window keeps turning, a progress dialog shows once it lasts and cancels it,
// a second run cannot start, and every outcome box says what the user needs.
#include "conversionworker.h"
#include "mainwindow.h"
#include "referencetools.h"
#include "testfiles.h"
#include "workingfolder.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

// A source whose run lasts well past the dialog's half second.
constexpr qint64 LargeSourceSize = 256LL * 1024 * 1024;
constexpr int SmallSourceSize = 1024 * 1024;
constexpr int RunWaitMs = 120000;
const QString CancelledText = QStringLiteral("转换已取消，原有文件未改动。");

QPushButton *buttonLabelled(const QWidget &window, const QString &text)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QLineEdit *field(const QWidget &window, const char *name)
{
    return window.findChild<QLineEdit *>(QLatin1String(name));
}

struct BoxSeen
{
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Watches the modal widgets of a run: notes the progress dialog and every
// message box (which it closes through OK), and hands the dialog to
// onDialog until that returns true.
class RunWatcher
{
public:
    RunWatcher()
    {
        m_clock.start();
        QObject::connect(&m_poll, &QTimer::timeout, [this]() { poll(); });
        m_poll.start(5);
    }

    std::function<bool(QProgressDialog *)> onDialog;
    QList<BoxSeen> boxes;
    qint64 dialogShownAtMs = -1;
    QString dialogLabel;
    QString dialogButton;
    int highestValue = -1;

private:
    void poll()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes.append({box->windowTitle(), box->text(), box->informativeText(), box->icon()});
            box->button(QMessageBox::Ok)->click();
            return;
        }
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QProgressDialog *>(widget);
            if (dialog && dialog->isVisible())
                seeDialog(dialog);
        }
    }

    void seeDialog(QProgressDialog *dialog)
    {
        if (dialogShownAtMs < 0) {
            dialogShownAtMs = m_clock.elapsed();
            dialogLabel = dialog->labelText();
            if (QPushButton *cancel = dialog->findChild<QPushButton *>())
                dialogButton = cancel->text();
        }
        highestValue = qMax(highestValue, dialog->value());
        if (onDialog && onDialog(dialog))
            onDialog = nullptr;
    }

    QElapsedTimer m_clock;
    QTimer m_poll;
};

} // namespace

class TestWindowRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void longRunKeepsWindowTurning();
    void shortRunShowsNoDialog();
    void cancelKeepsPreviousFiles_data();
    void cancelKeepsPreviousFiles();
    void returnStartsConversion_data();
    void returnStartsConversion();
#ifdef Q_OS_LINUX
    void failureNamesPathAndCause_data();
    void failureNamesPathAndCause();
#endif

private:
    // A window on the project in the working folder, shown and active.
    std::unique_ptr<MainWindow> openWindow(const QString &source);
    bool waitForRunEnd(const MainWindow &window);
    void writePreviousPair();
    void checkSuccessBox(const BoxSeen &box);
#ifdef Q_OS_LINUX
    QList<BoxSeen> convertUnderLimit(MainWindow &window, rlim_t fileSizeLimit);
#endif

    QTemporaryDir m_sources;
    QString m_largeSource;
    std::unique_ptr<WorkingFolder> m_dir;
};

void TestWindowRun::initTestCase()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY(m_sources.isValid());
    m_largeSource = m_sources.filePath(QStringLiteral("large.bin"));
    QFile large(m_largeSource);
    QVERIFY(large.open(QIODevice::WriteOnly));
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 131 + i / 977) & 0xFF);
    for (qint64 written = 0; written < LargeSourceSize; written += block.size()) {
        block[0] = char(written >> 20); // no two blocks alike
        QCOMPARE(large.write(block), qint64(block.size()));
    }
}

void TestWindowRun::init()
{
    m_dir = std::make_unique<WorkingFolder>();
    QVERIFY(m_dir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->filePath(QStringLiteral(".user")));
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("small.bin"), QByteArray(SmallSourceSize, '\x3C')));
}

void TestWindowRun::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestWindowRun::openWindow(const QString &source)
{
    const QString settings = QStringLiteral("[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=A\nPBin=%1\n"
                                            "NBin=out/app.bin\nNS19=out/app.s19\n")
                                 .arg(source);
    if (!WriteFile(QStringLiteral("VandrelSet.ini"), settings.toUtf8()))
        qWarning("cannot write the settings file");
    auto window = std::make_unique<MainWindow>();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("the window did not become active");
    return window;
}

bool TestWindowRun::waitForRunEnd(const MainWindow &window)
{
    return QTest::qWaitFor([&window]() { return !window.isConverting(); }, RunWaitMs);
}

void TestWindowRun::writePreviousPair()
{
    QVERIFY(WriteFile(QStringLiteral("out/app.bin"), "previous image"));
    QVERIFY(WriteFile(QStringLiteral("out/app.s19"), "previous S-records"));
}

// While a large source converts, timers fire, the progress dialog shows
// within a second and advances, the inputs are disabled and a second run is
// refused, as are drops; the success box names the files, the size and the
// CRC.
void TestWindowRun::longRunKeepsWindowTurning()
{
    const std::unique_ptr<MainWindow> window = openWindow(m_largeSource);
    QPushButton *convert = buttonLabelled(*window, QStringLiteral("转换"));
    QPushButton *exit = buttonLabelled(*window, QStringLiteral("退出"));
    QVERIFY(convert && exit);

    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks]() { ++ticks; });
    ticker.start(20);
    bool inputsDisabled = false;
    bool secondRunRefused = false;
    bool dropRefused = false;
    RunWatcher watcher;
    watcher.onDialog = [&](QProgressDialog *) {
        inputsDisabled = !convert->isEnabled() && !field(*window, "PBinLineEdit")->isEnabled()
            && !field(*window, "VerLineEdit")->isEnabled() && exit->isEnabled();
        // Straight to the slot, past the disabled button: still one run.
        QMetaObject::invokeMethod(window.get(), "Conversion");
        secondRunRefused = window->isConverting() && watcher.boxes.isEmpty();
        // No project opens under a run.
        QMimeData folder;
        folder.setUrls({QUrl::fromLocalFile(m_dir->path())});
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        dropRefused = !enter.isAccepted();
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    convert->click();
    QVERIFY(window->isConverting());
    QVERIFY(waitForRunEnd(*window));
    const qint64 runMs = clock.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 10000);
    QTest::qWait(300); // no second box follows

    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY2(watcher.dialogShownAtMs >= 0, qPrintable(QStringLiteral("run of %1 ms").arg(runMs)));
    QVERIFY2(watcher.dialogShownAtMs < 1500, qPrintable(QString::number(watcher.dialogShownAtMs)));
    QCOMPARE(watcher.dialogLabel, QStringLiteral("正在转换…"));
    QCOMPARE(watcher.dialogButton, QStringLiteral("取消"));
    QVERIFY(watcher.highestValue > 0);
    // At least one tick in every tenth of a second (Wine's timers are coarse).
    QVERIFY2(ticks >= runMs / 100, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(runMs)));
    QVERIFY(inputsDisabled);
    QVERIFY(secondRunRefused);
    QVERIFY(dropRefused);
    QVERIFY(convert->isEnabled() && field(*window, "PBinLineEdit")->isEnabled());

    checkSuccessBox(watcher.boxes.first());
}

// The success box: its fixed text, and beneath it the files, the size and
// the CRC that binascii computes for the source.
void TestWindowRun::checkSuccessBox(const BoxSeen &box)
{
    QCOMPARE(box.title, QStringLiteral("提示"));
    QCOMPARE(box.text, QStringLiteral("转换成功！"));
    const QString image = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("out/app.bin")));
    const QString srecords = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("out/app.s19")));
    QVERIFY2(box.informative.contains(image) && box.informative.contains(srecords), qPrintable(box.informative));
    QVERIFY2(box.informative.contains(QString::number(LargeSourceSize + 36)), qPrintable(box.informative));
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("out/app.bin"))).size(), LargeSourceSize + 36);
    if (!ReferenceToolsAvailable)
        QSKIP(ReferenceToolsAbsent);
    quint16 crc = 0;
    QString error;
    QVERIFY2(PythonCrcHqx(m_largeSource, &crc, &error), qPrintable(error));
    const QString crcText = QStringLiteral("0x%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper().replace(
        QStringLiteral("0X"), QStringLiteral("0x"));
    QVERIFY2(box.informative.contains(crcText), qPrintable(box.informative + QStringLiteral(" / ") + crcText));
}

void TestWindowRun::shortRunShowsNoDialog()
{
    const std::unique_ptr<MainWindow> window = openWindow(QStringLiteral("small.bin"));
    RunWatcher watcher;
    buttonLabelled(*window, QStringLiteral("转换"))->click();
    QVERIFY(waitForRunEnd(*window));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 10000);
    QCOMPARE(watcher.boxes.first().text, QStringLiteral("转换成功！"));
    QCOMPARE(watcher.dialogShownAtMs, qint64(-1));
}

namespace {

// When a cancel comes: at once, before the dialog could show; as the run's
// first file appears in the output folder (the image is being written,
// before the dialog shows); or at a share of the dialog's range (the image
// is its first half, the S-records its second).
constexpr int CancelAtOnce = -1;
constexpr int CancelAtFirstFile = -2;

// Notes whether the run had been asked to stop by the time the progress
// dialog hid: hiding can take seconds (Wine), and a run that goes on
// meanwhile completes.
class DialogHideWatcher : public QObject
{
public:
    explicit DialogHideWatcher(QPointer<ConversionWorker> worker) : m_worker(std::move(worker)) {}

    bool hidden = false;
    bool stopAskedBeforeHide = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && !hidden) {
            hidden = true;
            stopAskedBeforeHide = m_worker && m_worker->progress().isCancelled();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<ConversionWorker> m_worker;
};

// Cancels the run as the user would: "button", "escape", "escape event",
// "close dialog", or else by closing the window.
void cancelThrough(const QString &how, QProgressDialog *dialog, QWidget *window)
{
    if (how == QLatin1String("button")) {
        dialog->findChild<QPushButton *>()->click();
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(dialog, Qt::Key_Escape);
    } else if (how == QLatin1String("escape event")) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(dialog, &escape);
    } else if (how == QLatin1String("close dialog")) {
        dialog->close();
    } else {
        window->close();
    }
}

} // namespace

void TestWindowRun::cancelKeepsPreviousFiles_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("atPercent"); // or CancelAtOnce, CancelAtFirstFile

    QTest::newRow("取消 as the dialog shows") << "button" << 0;
    QTest::newRow("取消 in the S-records") << "button" << 60;
    QTest::newRow("Escape as the dialog shows") << "escape" << 0;
    QTest::newRow("Escape in the S-records") << "escape" << 70;
    // Straight to the dialog, past its shortcut: QDialog's own Escape.
    QTest::newRow("Escape the dialog handles") << "escape event" << 0;
    QTest::newRow("dialog closed") << "close dialog" << 0;
    QTest::newRow("window closed at once") << "close" << CancelAtOnce;
    QTest::newRow("window closed in the image") << "close" << CancelAtFirstFile;
    QTest::newRow("window closed in the S-records") << "close" << 60;
}

void TestWindowRun::cancelKeepsPreviousFiles()
{
    QFETCH(QString, how);
    QFETCH(int, atPercent);
    writePreviousPair();
    const QStringList before = FolderEntries(QStringLiteral("out"));
    const std::unique_ptr<MainWindow> window = openWindow(m_largeSource);

    RunWatcher watcher;
    bool writtenBeforeCancel = false;
    std::unique_ptr<DialogHideWatcher> hideWatcher;
    watcher.onDialog = [&](QProgressDialog *dialog) {
        if (atPercent < 0 || dialog->value() < (dialog->maximum() - dialog->minimum()) * atPercent / 100)
            return false;
        // Every byte written: the run is putting the set in place, and completes.
        writtenBeforeCancel = dialog->value() >= dialog->maximum();
        hideWatcher = std::make_unique<DialogHideWatcher>(window->findChild<ConversionWorker *>());
        dialog->installEventFilter(hideWatcher.get());
        cancelThrough(how, dialog, window.get());
        return true;
    };
    buttonLabelled(*window, QStringLiteral("转换"))->click();
    if (atPercent == CancelAtOnce)
        window->close();
    if (atPercent == CancelAtFirstFile) {
        QVERIFY(QTest::qWaitFor([&before]() { return FolderEntries(QStringLiteral("out")) != before; }, RunWaitMs));
        QCOMPARE(watcher.dialogShownAtMs, qint64(-1)); // still in the image
        window->close();
    }
    QVERIFY(waitForRunEnd(*window));
    if (writtenBeforeCancel)
        QSKIP("the whole set was written before the cancel; it completes by design");

    if (atPercent >= 0) {
        QVERIFY(hideWatcher && hideWatcher->hidden);
        QVERIFY(hideWatcher->stopAskedBeforeHide);
    }
    if (how == QLatin1String("close")) {
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(watcher.boxes.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 10000);
        const BoxSeen &box = watcher.boxes.first();
        QCOMPARE(box.title, QStringLiteral("提示"));
        QCOMPARE(box.text, CancelledText);
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY(window->isVisible());
    }
    QCOMPARE(ReadFile(QStringLiteral("out/app.bin")), QByteArray("previous image"));
    QCOMPARE(ReadFile(QStringLiteral("out/app.s19")), QByteArray("previous S-records"));
    QCOMPARE(FolderEntries(QStringLiteral("out")), before);
}

// Return in any input starts "转换", also in the version field while its
// validator refuses the text (returnPressed is then not emitted).
void TestWindowRun::returnStartsConversion_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("message");

    const QString converted = QStringLiteral("转换成功！");
    QTest::newRow("device selector") << "DevComboBox" << "101" << converted;
    QTest::newRow("address") << "AddrLineEdit" << "101" << converted;
    QTest::newRow("version") << "VerLineEdit" << "101" << converted;
    QTest::newRow("version the validator refuses") << "VerLineEdit" << "5" << converted;
    QTest::newRow("version not a number") << "VerLineEdit" << "1.0" << QStringLiteral("软件版本不正确！");
    QTest::newRow("source") << "PBinLineEdit" << "101" << converted;
    QTest::newRow("new image") << "NBinLineEdit" << "101" << converted;
    QTest::newRow("S-records") << "NS19LineEdit" << "101" << converted;
}

void TestWindowRun::returnStartsConversion()
{
    QFETCH(QString, input);
    QFETCH(QString, version);
    QFETCH(QString, message);
    const std::unique_ptr<MainWindow> window = openWindow(QStringLiteral("small.bin"));
    // As typed so far: setText passes the validator by.
    field(*window, "VerLineEdit")->setText(version);
    auto *target = window->findChild<QWidget *>(input);
    QVERIFY(target);
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());

    RunWatcher watcher;
    QTest::keyClick(target, Qt::Key_Return);
    QVERIFY(waitForRunEnd(*window));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 10000);
    QCOMPARE(watcher.boxes.first().text, message);
    // The focus comes back to where it was.
    QTRY_COMPARE(window->focusWidget(), target);
}

#ifdef Q_OS_LINUX
// Runs "转换" with the file size limit set (RLIM_INFINITY: none); the boxes
// that the run showed.
QList<BoxSeen> TestWindowRun::convertUnderLimit(MainWindow &window, rlim_t fileSizeLimit)
{
    rlimit previousLimit;
    if (getrlimit(RLIMIT_FSIZE, &previousLimit) != 0)
        return {};
    rlimit limit = previousLimit;
    limit.rlim_cur = qMin(fileSizeLimit, previousLimit.rlim_max);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return {};
    RunWatcher watcher;
    buttonLabelled(window, QStringLiteral("转换"))->click();
    const bool ended = waitForRunEnd(window);
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    if (!ended || !QTest::qWaitFor([&watcher]() { return !watcher.boxes.isEmpty(); }, 10000))
        return {};
    return watcher.boxes;
}

// Each warning keeps its fixed text and says beneath it which path and why,
// in the system's words; the previous pair stays, with nothing beside it.
void TestWindowRun::failureNamesPathAndCause_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("path"); // relative to the working folder
    QTest::addColumn<QString>("cause");

    QTest::newRow("size limit") << "rlimit" << QStringLiteral("生成.S19文件写入失败！") << "out/app.s19"
                                << "File too large";
    QTest::newRow("full disk") << "tmpfs" << QStringLiteral("生成.bin文件写入失败！") << "out/app.bin"
                               << "No space left on device";
    QTest::newRow("missing folder") << "missing" << QStringLiteral("生成.bin文件路径不正确！") << "none/app.bin"
                                    << "does not exist";
    QTest::newRow("FIFO") << "fifo" << QStringLiteral("生成.bin文件路径不正确！") << "out/app.bin"
                          << "is not a regular file";
    QTest::newRow("locked output") << "locked" << QStringLiteral("生成.bin文件路径不正确！") << "out/app.bin"
                                   << "is being written by another conversion";
}

void TestWindowRun::failureNamesPathAndCause()
{
    QFETCH(QString, how);
    QFETCH(QString, message);
    QFETCH(QString, path);
    QFETCH(QString, cause);

    const QString out = m_dir->filePath(QStringLiteral("out"));
    bool mounted = false;
    const auto unmount = qScopeGuard([&]() {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {out});
    });
    if (how == QLatin1String("tmpfs")) {
        // Room for the lock files and little more.
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                        QStringLiteral("-o"), QStringLiteral("size=64k"),
                                                        QStringLiteral("tmpfs"), out})
            != 0)
            QSKIP("cannot mount a small tmpfs here (needs root)");
        mounted = true;
    }
    if (how == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo("out/app.bin", 0600), 0);
        QVERIFY(WriteFile(QStringLiteral("out/app.s19"), "previous S-records"));
    } else {
        writePreviousPair();
    }
    QLockFile lock(m_dir->filePath(QStringLiteral("out/.app.bin.lock")));
    if (how == QLatin1String("locked"))
        QVERIFY(lock.tryLock());
    const QStringList before = FolderEntries(QStringLiteral("out"));
    const QByteArray previousImage = how == QLatin1String("fifo") ? QByteArray() : ReadFile("out/app.bin");

    const std::unique_ptr<MainWindow> window = openWindow(how == QLatin1String("tmpfs") ? m_largeSource
                                                                                      : QStringLiteral("small.bin"));
    if (how == QLatin1String("missing"))
        field(*window, "NBinLineEdit")->setText(path);
    // With the limit, the image fits and its S-records do not.
    const QList<BoxSeen> boxes =
        convertUnderLimit(*window, how == QLatin1String("rlimit") ? SmallSourceSize + 4096 : RLIM_INFINITY);
    QCOMPARE(boxes.size(), 1);

    const BoxSeen &box = boxes.first();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.text, message);
    QVERIFY2(box.informative.contains(m_dir->filePath(path)), qPrintable(box.informative));
    QVERIFY2(box.informative.contains(cause), qPrintable(box.informative));
    QVERIFY2(!box.informative.contains(QStringLiteral("Unknown error")), qPrintable(box.informative));
    if (how != QLatin1String("fifo"))
        QCOMPARE(ReadFile(QStringLiteral("out/app.bin")), previousImage);
    QCOMPARE(ReadFile(QStringLiteral("out/app.s19")), QByteArray("previous S-records"));
    QCOMPARE(FolderEntries(QStringLiteral("out")), before);
}
#endif

QTEST_MAIN(TestWindowRun)
#include "tst_windowrun.moc"
