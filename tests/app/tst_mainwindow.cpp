#include "mainwindow.h"
#include "conversion.h"
#include "imagestamp.h"
#include "qtcompat.h"
#include "testfiles.h"
#include "workingfolder.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QDoubleValidator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QSettings>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QtEndian>

#include <functional>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {

const QByteArray SettingsFileName = "VandrelSet.ini";
constexpr int ModalWaitMs = 10000;

// The window's inputs and buttons, found where its layout puts them.
struct WindowWidgets
{
    QComboBox *device = nullptr;
    QLineEdit *address = nullptr;
    QLineEdit *version = nullptr;
    QLineEdit *source = nullptr;
    QLineEdit *image = nullptr;
    QLineEdit *srecord = nullptr;
    QPushButton *chooseSource = nullptr;
    QPushButton *chooseImage = nullptr;
    QPushButton *chooseSRecord = nullptr;
    QPushButton *convert = nullptr;
    QPushButton *exit = nullptr;

    bool complete() const
    {
        return device && address && version && source && image && srecord && chooseSource && chooseImage
            && chooseSRecord && convert && exit;
    }
    QStringList texts() const
    {
        return {device->currentText(), address->text(), version->text(), source->text(), image->text(),
                srecord->text()};
    }
};

// The buttons labelled text, in the order the window made them.
QList<QPushButton *> buttonsLabelled(const QMainWindow &window, const QString &text)
{
    QList<QPushButton *> buttons;
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->text() == text)
            buttons.append(button);
    }
    return buttons;
}

// The six inputs by their names; the buttons by their labels, the three
// "选择" buttons in row order.
WindowWidgets widgetsOf(const QMainWindow &window)
{
    WindowWidgets w;
    w.device = window.findChild<QComboBox *>(QStringLiteral("DevComboBox"));
    w.address = window.findChild<QLineEdit *>(QStringLiteral("AddrLineEdit"));
    w.version = window.findChild<QLineEdit *>(QStringLiteral("VerLineEdit"));
    w.source = window.findChild<QLineEdit *>(QStringLiteral("PBinLineEdit"));
    w.image = window.findChild<QLineEdit *>(QStringLiteral("NBinLineEdit"));
    w.srecord = window.findChild<QLineEdit *>(QStringLiteral("NS19LineEdit"));
    const QList<QPushButton *> choosers = buttonsLabelled(window, QStringLiteral("选择"));
    if (choosers.size() == 3) {
        w.chooseSource = choosers.at(0);
        w.chooseImage = choosers.at(1);
        w.chooseSRecord = choosers.at(2);
    }
    w.convert = buttonsLabelled(window, QStringLiteral("转换")).value(0);
    w.exit = buttonsLabelled(window, QStringLiteral("退出")).value(0);
    return w;
}

// Row index of the window's vertical layout; only the layout's own test
// walks the rows by position.
QBoxLayout *rowAt(const QMainWindow &window, int index)
{
    QWidget *central = window.centralWidget();
    QLayoutItem *item = central && central->layout() ? central->layout()->itemAt(index) : nullptr;
    return item ? qobject_cast<QBoxLayout *>(item->layout()) : nullptr;
}

// One line per layout item: "row", "spacing 6", "stretch 0",
// "label 装置选择： min 50", "field max 150", "button 选择" ...
QStringList describe(QBoxLayout *layout)
{
    QStringList lines;
    if (!layout)
        return lines;
    const bool horizontal = layout->direction() == QBoxLayout::LeftToRight;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        QString line;
        if (QSpacerItem *spacer = item->spacerItem()) {
            const QSizePolicy::Policy policy = horizontal ? spacer->sizePolicy().horizontalPolicy()
                                                          : spacer->sizePolicy().verticalPolicy();
            const int length = horizontal ? spacer->sizeHint().width() : spacer->sizeHint().height();
            line = policy & QSizePolicy::ExpandFlag ? QStringLiteral("stretch %1").arg(layout->stretch(i))
                                                    : QStringLiteral("spacing %1").arg(length);
        } else if (item->layout()) {
            line = QStringLiteral("row");
        } else if (auto *label = qobject_cast<QLabel *>(item->widget())) {
            line = QStringLiteral("label %1 min %2").arg(label->text()).arg(label->minimumWidth());
        } else if (auto *selector = qobject_cast<QComboBox *>(item->widget())) {
            line = QStringLiteral("selector min %1").arg(selector->minimumWidth());
        } else if (auto *field = qobject_cast<QLineEdit *>(item->widget())) {
            line = QStringLiteral("field");
            if (field->minimumWidth() > 0)
                line += QStringLiteral(" min %1").arg(field->minimumWidth());
            if (field->maximumWidth() < QWIDGETSIZE_MAX)
                line += QStringLiteral(" max %1").arg(field->maximumWidth());
        } else if (auto *button = qobject_cast<QPushButton *>(item->widget())) {
            line = QStringLiteral("button %1").arg(button->text());
        } else {
            line = QStringLiteral("unexpected item");
        }
        if (!item->spacerItem() && layout->stretch(i) != 0)
            line += QStringLiteral(" (stretch %1)").arg(layout->stretch(i));
        if (item->alignment() != 0)
            line += QStringLiteral(" (aligned)");
        lines.append(line);
    }
    return lines;
}

// Calls handle with the next modal widget, from inside the event loop of its
// exec(). handle must close it. The flag returned turns true once handle has
// run or the wait has ended without a modal widget.
std::shared_ptr<bool> whenModalAppears(const std::function<void(QWidget *)> &handle)
{
    auto *poll = new QTimer(qApp);
    auto waited = std::make_shared<QElapsedTimer>();
    auto over = std::make_shared<bool>(false);
    waited->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, handle, waited, over]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && waited->elapsed() < ModalWaitMs)
            return;
        poll->stop();
        poll->deleteLater();
        if (modal)
            handle(modal);
        *over = true;
    });
    poll->start(10);
    return over;
}

void closeDialog(QWidget *modal)
{
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

struct MessageBoxSeen
{
    bool shown = false;
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget *parent = nullptr;
};

// Clicks button, then reads and closes through "OK" the message box it opens,
// also when the box comes only after a run on another thread.
MessageBoxSeen clickAndReadMessageBox(QPushButton *button)
{
    MessageBoxSeen seen;
    const std::shared_ptr<bool> over = whenModalAppears([&seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            closeDialog(modal);
            return;
        }
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.informative = box->informativeText();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.parent = box->parentWidget();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    button->click();
    if (!QTest::qWaitFor([&over]() { return *over; }, 2 * ModalWaitMs))
        seen.shown = false;
    return seen;
}

QByteArray samplePayload(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + i / 256) & 0xFF);
    return bytes;
}

// The header's seconds count the local wall-clock reading as if it were UTC.
qint64 wallClockSeconds(const QDateTime &localTime)
{
    return UtcDateTime(localTime.date(), localTime.time()).toSecsSinceEpoch();
}

} // namespace

// Each test runs in an empty working directory of its own, which holds the
// settings file under test.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void widgetTree();
    void noSettingsFile();
    void startsWithDevice0PathsWithoutDevices();
    void selectorItems_data();
    void selectorItems();
    void switchingLoadsPathsAndKeepsSharedValues();
    void switchingReadsTheFileAnew();
    void chooserCancelKeepsText_data();
    void chooserCancelKeepsText();
    void chooserChoiceBecomesAbsolutePath_data();
    void chooserChoiceBecomesAbsolutePath();
    void conversionMatchesEngineAtItsStampTime();
    void conversionWarnings_data();
    void conversionWarnings();
    void sourceGapsTakeTheSettingsFill_data();
    void sourceGapsTakeTheSettingsFill();
#ifdef Q_OS_LINUX
    void failedRunKeepsPreviousFiles();
#endif
    void exitClosesWindow();

private:
    std::unique_ptr<WorkingFolder> m_dir;
};

void TestMainWindow::initTestCase()
{
    // A zone far from UTC, so that a stamp of anything but the local wall
    // clock would show.
    qputenv("TZ", "CST-8");
    // A native dialog (Windows, a GTK desktop) is no widget that the tests
    // can reach and close: it would block.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestMainWindow::init()
{
    m_dir = std::make_unique<WorkingFolder>();
    QVERIFY(m_dir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->path() + QStringLiteral("/.user"));
}

void TestMainWindow::cleanup()
{
    m_dir.reset();
}

void TestMainWindow::widgetTree()
{
    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=A\n"));
    const MainWindow window;

    QCOMPARE(window.windowTitle(), QStringLiteral("Vandrel"));
    QCOMPARE(window.minimumSize(), QSize(550, 150));
    QVERIFY(!window.menuWidget());
    QVERIFY(!window.findChild<QStatusBar *>());
    QVERIFY(!window.findChild<QToolBar *>());

    QWidget *central = window.centralWidget();
    QVERIFY(central);
    auto *rows = qobject_cast<QVBoxLayout *>(central->layout());
    QVERIFY(rows);
    QCOMPARE(describe(rows), (QStringList{"row", "spacing 6", "row", "spacing 6", "row", "spacing 6", "row",
                                          "stretch 0", "spacing 6", "row"}));
    QCOMPARE(describe(rowAt(window, 0)),
             (QStringList{"spacing 6", "label 装置选择： min 50", "selector min 50", "spacing 10",
                          "label 程序起始地址： min 20", "field max 150", "spacing 10", "label 软件版本: min 20",
                          "field max 60", "stretch 0"}));
    QCOMPARE(describe(rowAt(window, 2)), (QStringList{"spacing 6", "label 原始.bin文件路径： min 110",
                                                      "field min 350", "button 选择", "stretch 0"}));
    QCOMPARE(describe(rowAt(window, 4)), (QStringList{"spacing 6", "label 生成.bin文件路径： min 110",
                                                      "field min 350", "button 选择", "stretch 0"}));
    QCOMPARE(describe(rowAt(window, 6)), (QStringList{"spacing 6", "label 生成.S19文件路径： min 110",
                                                      "field min 350", "button 选择", "stretch 0"}));
    QCOMPARE(describe(rowAt(window, 9)), (QStringList{"stretch 0", "button 转换", "button 退出"}));

    // Every input is a plain child of the central widget, editable, with no extras.
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QVERIFY(!w.device->isEditable());
    for (QLineEdit *field : {w.address, w.version, w.source, w.image, w.srecord}) {
        QCOMPARE(field->parentWidget(), central);
        QVERIFY(!field->isReadOnly());
        QVERIFY(field->placeholderText().isEmpty());
        QVERIFY(field->toolTip().isEmpty());
    }
    QCOMPARE(central->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).size(), 6);
    QCOMPARE(central->findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly).size(), 5);
    QCOMPARE(central->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly).size(), 5);
    QVERIFY(!w.address->validator());

    auto *validator = qobject_cast<const QDoubleValidator *>(w.version->validator());
    QVERIFY(validator);
    QCOMPARE(validator->parent(), w.version);
    QCOMPARE(validator->bottom(), 100.0);
    QCOMPARE(validator->top(), 999.0);
    QCOMPARE(validator->decimals(), 0);
    QCOMPARE(validator->notation(), QDoubleValidator::StandardNotation);

    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(QByteArray(meta.className()), QByteArray("MainWindow"));
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QList<QByteArray> slotSignatures;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        slotSignatures.append(method.methodSignature());
    }
    QCOMPARE(slotSignatures, (QList<QByteArray>{"Conversion()", "PBinButton()", "NBinButton()", "NS19Button()",
                                                "SwitchingPath(int)"}));
}

void TestMainWindow::noSettingsFile()
{
    {
        const MainWindow window;
        const WindowWidgets w = widgetsOf(window);
        QVERIFY(w.complete());
        QCOMPARE(w.device->count(), 0);
        QCOMPARE(w.texts(), (QStringList{"", "0", "0", "", "", ""}));
    }
    // Never written, so never created.
    QVERIFY(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

void TestMainWindow::startsWithDevice0PathsWithoutDevices()
{
    QVERIFY(WriteFile(SettingsFileName, "[Dev0]\nName=A\nPBin=a.bin\nNBin=a_out.bin\nNS19=a.s19\n"));
    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QCOMPARE(w.device->count(), 0);
    QCOMPARE(w.texts(), (QStringList{"", "0", "0", "a.bin", "a_out.bin", "a.s19"}));
}

void TestMainWindow::selectorItems_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("lastSource"); // loaded by choosing the last item

    QTest::newRow("gap keeps its place")
        << QStringLiteral("[Sys]\nDevs=3\n[Dev0]\nName=主控板\nPBin=a.bin\n[Dev2]\nName=显示面板\nPBin=固件/显示.bin\n")
               .toUtf8()
        << QStringList{QStringLiteral("主控板"), "", QStringLiteral("显示面板")} << QStringLiteral("固件/显示.bin");

    QStringList eleven;
    for (int i = 0; i < 11; ++i)
        eleven.append(QStringLiteral("D%1").arg(i));
    QByteArray elevenIni = "[Sys]\nDevs=11\n[Dev010]\nPBin=padded.bin\n";
    for (int i = 0; i < 11; ++i)
        elevenIni += QStringLiteral("[Dev%1]\nName=D%1\nPBin=d%1.bin\n").arg(i).toUtf8();
    QTest::newRow("eleventh is Dev10") << elevenIni << eleven << "d10.bin";

    const QByteArray profiles = "[Dev0]\nName=A\nPBin=a.bin\n[Dev1]\nName=B\nPBin=b.bin\n";
    QTest::newRow("Devs negative") << "[Sys]\nDevs=-1\n" + profiles << QStringList() << "";
    QTest::newRow("Devs not a number") << "[Sys]\nDevs=2a\n" + profiles << QStringList() << "";
}

void TestMainWindow::selectorItems()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, items);
    QFETCH(QString, lastSource);
    QVERIFY(WriteFile(SettingsFileName, ini));

    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QStringList shown;
    for (int i = 0; i < w.device->count(); ++i)
        shown.append(w.device->itemText(i));
    QCOMPARE(shown, items);
    QCOMPARE(w.device->currentIndex(), items.isEmpty() ? -1 : 0);
    if (items.size() > 1) {
        w.device->setCurrentIndex(items.size() - 1);
        QCOMPARE(w.source->text(), lastSource);
    }
}

void TestMainWindow::switchingLoadsPathsAndKeepsSharedValues()
{
    const QByteArray ini = "[Sys]\nDevs=3\nAddr=8000abc\nVer=1234\n"
                           "[Dev0]\nName=A\nPBin=a.bin\nNBin=a_out.bin\nNS19=a.s19\n"
                           "[Dev1]\nName=B\nPBin=b.bin\nNS19=\"b,1.s19\"\n";
    QVERIFY(WriteFile(SettingsFileName, ini));
    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    // Values from the file are shown as written, the validator aside.
    QCOMPARE(w.texts(), (QStringList{"A", "8000abc", "1234", "a.bin", "a_out.bin", "a.s19"}));

    w.address->setText(QStringLiteral("08001000"));
    w.version->setText(QStringLiteral("202"));
    w.source->setText(QStringLiteral("typed.bin"));
    w.image->setText(QStringLiteral("typed_out.bin"));
    w.device->setCurrentIndex(1);
    QCOMPARE(w.texts(), (QStringList{"B", "08001000", "202", "b.bin", "", "b,1.s19"}));

    // Choosing the current item again is no change, so typed paths stay.
    w.source->setText(QStringLiteral("typed.bin"));
    w.device->setCurrentIndex(1);
    QCOMPARE(w.source->text(), QStringLiteral("typed.bin"));

    w.device->setCurrentIndex(2);
    QCOMPARE(w.texts(), (QStringList{"", "08001000", "202", "", "", ""}));
    QCOMPARE(ReadFile(SettingsFileName), ini);
}

void TestMainWindow::switchingReadsTheFileAnew()
{
    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=2\nAddr=08000000\nVer=101\n"
                                        "[Dev0]\nName=A\nPBin=a.bin\n[Dev1]\nName=B\nPBin=b.bin\n"));
    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());

    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=3\nAddr=09000000\nVer=300\n"
                                        "[Dev0]\nName=A2\nPBin=a2.bin\n[Dev1]\nName=B2\nPBin=b2.bin\n"));
    w.device->setCurrentIndex(1);
    QCOMPARE(w.source->text(), QStringLiteral("b2.bin"));
    w.device->setCurrentIndex(0);
    QCOMPARE(w.source->text(), QStringLiteral("a2.bin"));
    // The device list and the shared values are read once, at start-up.
    QCOMPARE(w.device->count(), 2);
    QCOMPARE(w.device->itemText(1), QStringLiteral("B"));
    QCOMPARE(w.address->text(), QStringLiteral("08000000"));
    QCOMPARE(w.version->text(), QStringLiteral("101"));
}

void TestMainWindow::chooserCancelKeepsText_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<int>("acceptMode");

    QTest::newRow("source") << 0 << QStringLiteral("选择路径.bin")
                            << QStringList{"bin file(*.bin)",
                                           "elf hex s19 file(*.elf *.axf *.out *.hex *.ihex *.s19 *.s28 *.s37 "
                                           "*.srec *.mot)",
                                           "all file(*)"}
                            << int(QFileDialog::AcceptOpen);
    QTest::newRow("new image") << 1 << QStringLiteral("保存") << QStringList{"bin file(*.bin)"}
                               << int(QFileDialog::AcceptSave);
    QTest::newRow("S-records") << 2 << QStringLiteral("保存") << QStringList{"s19 file(*.s19)"}
                               << int(QFileDialog::AcceptSave);
}

void TestMainWindow::chooserCancelKeepsText()
{
    QFETCH(int, row);
    QFETCH(QString, caption);
    QFETCH(QStringList, filters);
    QFETCH(int, acceptMode);

    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QLineEdit *field = QList<QLineEdit *>{w.source, w.image, w.srecord}.at(row);
    QPushButton *button = QList<QPushButton *>{w.chooseSource, w.chooseImage, w.chooseSRecord}.at(row);
    field->setText(QStringLiteral("typed by hand/app.bin"));

    bool shown = false;
    QString title;
    QStringList nameFilters;
    int mode = -1;
    whenModalAppears([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            shown = true;
            title = dialog->windowTitle();
            nameFilters = dialog->nameFilters();
            mode = dialog->acceptMode();
        }
        closeDialog(modal);
    });
    button->click();

    QVERIFY(shown);
    QCOMPARE(title, caption);
    QCOMPARE(nameFilters, filters);
    QCOMPARE(mode, acceptMode);
    QCOMPARE(field->text(), QStringLiteral("typed by hand/app.bin"));
}

void TestMainWindow::chooserChoiceBecomesAbsolutePath_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("chosen"); // relative to the working directory

    QTest::newRow("source") << 0 << QStringLiteral("fw/other.bin");
    QTest::newRow("new image, not there yet") << 1 << QStringLiteral("out/new image.bin");
    QTest::newRow("S-records, not there yet") << 2 << QStringLiteral("out/固件.s19");
}

void TestMainWindow::chooserChoiceBecomesAbsolutePath()
{
    QFETCH(int, row);
    QFETCH(QString, chosen);
    QVERIFY(QDir().mkpath(QStringLiteral("fw")));
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("fw/start.bin"), "start"));
    QVERIFY(WriteFile(QStringLiteral("fw/other.bin"), "other"));
    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n"
                                        "[Dev0]\nName=A\nPBin=a.bin\nNBin=a_out.bin\nNS19=a.s19\n"));

    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QLineEdit *field = QList<QLineEdit *>{w.source, w.image, w.srecord}.at(row);
    QPushButton *button = QList<QPushButton *>{w.chooseSource, w.chooseImage, w.chooseSRecord}.at(row);
    // A field that names an existing file opens the dialog on that file.
    field->setText(QStringLiteral("fw/start.bin"));
    QStringList expected = w.texts();
    const QString chosenPath = QDir::current().absoluteFilePath(chosen);
    expected[3 + row] = chosenPath;

    QString startFolder;
    QStringList startSelection;
    whenModalAppears([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            closeDialog(modal);
            return;
        }
        startFolder = dialog->directory().absolutePath();
        startSelection = dialog->selectedFiles();
        // Typed into the dialog's name box, as a user may.
        if (auto *nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            nameBox->setText(chosenPath);
        static_cast<QDialog *>(dialog)->accept();
    });
    button->click();

    QCOMPARE(startFolder, QDir::current().absoluteFilePath(QStringLiteral("fw")));
    QCOMPARE(startSelection, QStringList{QDir::current().absoluteFilePath(QStringLiteral("fw/start.bin"))});
    QVERIFY(QDir::isAbsolutePath(field->text()));
    QCOMPARE(w.texts(), expected);
    // Choosing an output name neither creates nor truncates it.
    QCOMPARE(QFile::exists(chosenPath), row == 0);
}

void TestMainWindow::conversionMatchesEngineAtItsStampTime()
{
    const QByteArray payload = samplePayload(1000);
    QVERIFY(QDir().mkpath(QStringLiteral("fw")));
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("fw/app.bin"), payload));
    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=A\n"
                                        "PBin=fw/app.bin\nNBin=out/window.bin\nNS19=out/window.s19\n"));
    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    // Values the user types replace those from the file.
    w.address->selectAll();
    QTest::keyClicks(w.address, QStringLiteral("0800c000"));
    w.version->selectAll();
    QTest::keyClicks(w.version, QStringLiteral("205"));
    QCOMPARE(w.version->text(), QStringLiteral("205"));

    const qint64 before = wallClockSeconds(QDateTime::currentDateTime());
    const MessageBoxSeen box = clickAndReadMessageBox(w.convert);
    const qint64 after = wallClockSeconds(QDateTime::currentDateTime());
    QVERIFY(box.shown);
    QCOMPARE(box.title, QStringLiteral("提示"));
    QCOMPARE(box.text, QStringLiteral("转换成功！"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, static_cast<const QWidget *>(&window));

    const QByteArray image = ReadFile(QStringLiteral("out/window.bin"));
    QCOMPARE(image.size(), payload.size() + ImageLayout::FrameSize);
    const auto *header = reinterpret_cast<const uchar *>(image.constData());
    QCOMPARE(qFromLittleEndian<quint16>(header + ImageLayout::VersionOffset), quint16(205));
    // Stamped by the local clock during the click.
    const quint32 seconds = qFromLittleEndian<quint32>(header + ImageLayout::SecondsOffset);
    QVERIFY2(seconds >= before && seconds <= after, qPrintable(QString::number(seconds)));

    const QDateTime stamp = UtcFromSecsSinceEpoch(seconds);
    ConversionRequest request;
    request.sourcePath = QStringLiteral("fw/app.bin");
    request.imagePath = QStringLiteral("out/engine.bin");
    request.srecordPath = QStringLiteral("out/engine.s19");
    request.version = 205;
    request.startAddress = 0x0800C000;
    request.wallClock = QDateTime(stamp.date(), stamp.time());
    QVERIFY(RunConversion(request).succeeded());
    QCOMPARE(image, ReadFile(QStringLiteral("out/engine.bin")));
    const QByteArray srecords = ReadFile(QStringLiteral("out/window.s19"));
    QVERIFY(srecords.contains("\nS3150800C000"));
    QCOMPARE(srecords, ReadFile(QStringLiteral("out/engine.s19")));
    QCOMPARE(ReadFile(QStringLiteral("fw/app.bin")), payload);
}

void TestMainWindow::conversionWarnings_data()
{
    QTest::addColumn<QStringList>("fields"); // source, new image, S-records, version, address
    QTest::addColumn<QString>("message");

    const QString source = QStringLiteral("fw/app.bin");
    const QString image = QStringLiteral("out/app_out.bin");
    const QString srecords = QStringLiteral("out/app.s19");
    QTest::newRow("all paths empty") << QStringList{"", "", "", "101", "08000000"}
                                     << QStringLiteral("原始.bin文件找不到！");
    QTest::newRow("source missing") << QStringList{"fw/none.bin", image, srecords, "101", "08000000"}
                                    << QStringLiteral("原始.bin文件找不到！");
    QTest::newRow("version not a number") << QStringList{source, image, srecords, "1.0", "08000000"}
                                          << QStringLiteral("软件版本不正确！");
    QTest::newRow("version above 65535") << QStringList{source, image, srecords, "65536", "08000000"}
                                         << QStringLiteral("软件版本不正确！");
    QTest::newRow("address not hexadecimal") << QStringList{source, image, srecords, "101", "8000G00"}
                                             << QStringLiteral("程序起始地址不正确！");
    QTest::newRow("image would pass FFFFFFFF") << QStringList{source, image, srecords, "101", "FFFFFF00"}
                                               << QStringLiteral("程序起始地址不正确！");
    QTest::newRow("image folder missing") << QStringList{source, "none/app_out.bin", srecords, "101", "08000000"}
                                          << QStringLiteral("生成.bin文件路径不正确！");
    QTest::newRow("image is the source") << QStringList{source, "fw/../fw/app.bin", srecords, "101", "08000000"}
                                         << QStringLiteral("生成.bin文件路径不正确！");
    QTest::newRow("S-record folder missing") << QStringList{source, image, "none/app.s19", "101", "08000000"}
                                             << QStringLiteral("生成.S19文件路径不正确！");
    // S-record sources written in the row's fixture (see conversionWarnings).
    QTest::newRow("source not well-formed") << QStringList{"fw/bad.hex", image, srecords, "101", "08000000"}
                                            << QStringLiteral("原始文件格式不正确！");
    QTest::newRow("source linked elsewhere") << QStringList{"fw/moved.s19", image, srecords, "101", "08000000"}
                                             << QStringLiteral("原始文件地址与起始地址不符！");
    QTest::newRow("source spanning 64 MiB and more") << QStringList{"fw/far.s19", image, srecords, "101", "08000000"}
                                                     << QStringLiteral("原始文件地址范围过大！");
    QTest::newRow("source overlapping itself") << QStringList{"fw/overlap.s19", image, srecords, "101", "08000000"}
                                               << QStringLiteral("原始文件数据重叠且不一致！");
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        QTest::newRow("image is a device") << QStringList{source, "/dev/full", srecords, "101", "08000000"}
                                           << QStringLiteral("生成.bin文件路径不正确！");
        QTest::newRow("S-record file is a device") << QStringList{source, image, "/dev/full", "101", "08000000"}
                                                   << QStringLiteral("生成.S19文件路径不正确！");
    }
}

void TestMainWindow::conversionWarnings()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    const QByteArray payload = samplePayload(300);
    QVERIFY(QDir().mkpath(QStringLiteral("fw")));
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("fw/app.bin"), payload));
    const QByteArray end = "S70500000000FA\n";
    QVERIFY(WriteFile(QStringLiteral("fw/bad.hex"), "not Intel HEX\n"));
    QVERIFY(WriteFile(QStringLiteral("fw/moved.s19"), "S3090800010001020304E3\n" + end));
    QVERIFY(WriteFile(QStringLiteral("fw/far.s19"), "S3090800002001020304C4\nS3090C00002005060708B0\n" + end));
    QVERIFY(WriteFile(QStringLiteral("fw/overlap.s19"), "S3090800002001020304C4\nS307080000220305C6\n" + end));

    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    w.source->setText(fields.at(0));
    w.image->setText(fields.at(1));
    w.srecord->setText(fields.at(2));
    w.version->setText(fields.at(3));
    w.address->setText(fields.at(4));

    const MessageBoxSeen box = clickAndReadMessageBox(w.convert);
    QVERIFY(box.shown);
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text, message);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, static_cast<const QWidget *>(&window));
    QCOMPARE(ReadFile(QStringLiteral("fw/app.bin")), payload);
    // The run reads the fields and leaves them as they were.
    QCOMPARE(w.texts().mid(1), (QStringList{fields.at(4), fields.at(3), fields.at(0), fields.at(1), fields.at(2)}));
}

void TestMainWindow::sourceGapsTakeTheSettingsFill_data()
{
    QTest::addColumn<QByteArray>("fillLine");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("payload"); // empty when nothing is written

    QTest::newRow("no Fill: erased flash") << QByteArray() << QStringLiteral("转换成功！")
                                          << QByteArray::fromHex("01FF03");
    QTest::newRow("Fill=00") << QByteArray("Fill=00\n") << QStringLiteral("转换成功！")
                             << QByteArray::fromHex("010003");
    QTest::newRow("Fill not a byte") << QByteArray("Fill=zz\n") << QStringLiteral("填充字节不正确！")
                                     << QByteArray();
}

// An S-record source with a one-byte gap, converted as the profile says.
void TestMainWindow::sourceGapsTakeTheSettingsFill()
{
    QFETCH(QByteArray, fillLine);
    QFETCH(QString, message);
    QFETCH(QByteArray, payload);
    QVERIFY(QDir().mkpath(QStringLiteral("fw")));
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("fw/app.s19"), "S3060800002001D0\nS3060800002203CC\nS70500000000FA\n"));
    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n" + fillLine
                                            + "[Dev0]\nName=A\nPBin=fw/app.s19\nNBin=out/app.bin\nNS19=out/app.s19\n"));
    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());

    const MessageBoxSeen box = clickAndReadMessageBox(w.convert);
    QVERIFY(box.shown);
    QCOMPARE(box.text, message);
    const QByteArray image = ReadFile(QStringLiteral("out/app.bin"));
    QCOMPARE(image.mid(ImageLayout::HeaderSize, image.size() - ImageLayout::FrameSize), payload);
}

#ifdef Q_OS_LINUX
// The S-record file cannot be written whole (past the file size limit): the
// warning names it, and the previous image and S-record file stay as they were,
// with no temporary file beside them.
void TestMainWindow::failedRunKeepsPreviousFiles()
{
    QVERIFY(QDir().mkpath(QStringLiteral("fw")));
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QVERIFY(WriteFile(QStringLiteral("fw/app.bin"), samplePayload(300)));
    QVERIFY(WriteFile(SettingsFileName, "[Sys]\nDevs=1\nAddr=08000000\nVer=101\n[Dev0]\nName=A\n"
                                        "PBin=fw/app.bin\nNBin=out/app.bin\nNS19=out/app.s19\n"));
    const MainWindow window;
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QCOMPARE(clickAndReadMessageBox(w.convert).text, QStringLiteral("转换成功！"));
    const QByteArray image = ReadFile(QStringLiteral("out/app.bin"));
    const QByteArray srecords = ReadFile(QStringLiteral("out/app.s19"));
    QCOMPARE(image.size(), 336);
    const QStringList entries = QDir(QStringLiteral("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                                        | QDir::Hidden);

    // The image (336 bytes) fits below the limit, its S-record text does not.
    w.version->setText(QStringLiteral("102"));
    rlimit previousLimit;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit limit = previousLimit;
    limit.rlim_cur = 600;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const MessageBoxSeen box = clickAndReadMessageBox(w.convert);
    setrlimit(RLIMIT_FSIZE, &previousLimit);

    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text, QStringLiteral("生成.S19文件写入失败！"));
    QCOMPARE(ReadFile(QStringLiteral("out/app.bin")), image);
    QCOMPARE(ReadFile(QStringLiteral("out/app.s19")), srecords);
    QCOMPARE(QDir(QStringLiteral("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entries);
}
#endif

void TestMainWindow::exitClosesWindow()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const WindowWidgets w = widgetsOf(window);
    QVERIFY(w.complete());
    QTest::mouseClick(w.exit, Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
