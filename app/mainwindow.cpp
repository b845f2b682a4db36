#include "mainwindow.h"

#include "conversionworker.h"
#include "profilesettings.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr int MinimumWindowWidth = 550;
constexpr int MinimumWindowHeight = 150;
constexpr int RowSpacing = 6;   // between rows, and before each row's label
constexpr int GroupSpacing = 10; // between the three groups of the first row
constexpr int DeviceWidth = 50;
constexpr int ValueLabelWidth = 20;
constexpr int AddressMaxWidth = 150;
constexpr int VersionMaxWidth = 60;
constexpr int PathLabelWidth = 110;
constexpr int PathFieldWidth = 350;

// What the version field lets the user type: whole numbers from 100 to 999.
constexpr double VersionBottom = 100.0;
constexpr double VersionTop = 999.0;
constexpr int VersionDecimals = 0;

QLabel *NewLabel(const QString &text, int minimumWidth, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setMinimumWidth(minimumWidth);
    return label;
}

// One path row: label, field and a "选择" button wired to the row's chooser.
QLineEdit *AddPathRow(QVBoxLayout *rows, const QString &labelText, const QString &fieldName, MainWindow *window,
                      void (MainWindow::*chooserSlot)(), QWidget *parent)
{
    QLabel *label = NewLabel(labelText, PathLabelWidth, parent);
    auto *field = new QLineEdit(parent);
    field->setObjectName(fieldName);
    field->setMinimumWidth(PathFieldWidth);
    auto *chooser = new QPushButton(QStringLiteral("选择"), parent);
    QObject::connect(chooser, &QPushButton::clicked, window, chooserSlot);

    auto *row = new QHBoxLayout;
    rows->addLayout(row);
    row->addSpacing(RowSpacing);
    row->addWidget(label);
    row->addWidget(field);
    row->addWidget(chooser);
    row->addStretch(0);
    chooser->setObjectName(fieldName + QStringLiteral("Chooser"));
    return field;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    auto *central = new QWidget(this);
    setWindowTitle(QStringLiteral("Vandrel"));
    setMinimumSize(MinimumWindowWidth, MinimumWindowHeight);

    auto *rows = new QVBoxLayout(central);
    rows->addLayout(newValueRow(central));
    addPathRows(rows, central);
    // Extra height goes between the path rows and the buttons.
    rows->addStretch(0);
    rows->addSpacing(RowSpacing);
    rows->addLayout(newButtonRow(central));
    setCentralWidget(central);
    for (QLineEdit *field : {PBinLineEdit, NBinLineEdit, NS19LineEdit})
        m_chooseButtons.append(central->findChild<QPushButton *>(field->objectName() + QStringLiteral("Chooser")));
    addReturnShortcuts();
    setAcceptDrops(true);

    // Shows device 0's paths, also when the selector is empty.
    SwitchingPath(0);
}

// Return (or Enter) in any input starts "转换" as the button would, also
// when the version field's validator holds back its returnPressed.
void MainWindow::addReturnShortcuts()
{
    const QList<QWidget *> inputs{DevComboBox, AddrLineEdit, VerLineEdit, PBinLineEdit, NBinLineEdit, NS19LineEdit};
    for (QWidget *input : inputs) {
        for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            auto *shortcut = new QShortcut(QKeySequence(key), input);
            shortcut->setContext(Qt::WidgetShortcut);
            connect(shortcut, &QShortcut::activated, this, &MainWindow::Conversion);
        }
    }
}

// The device selector and the two values all devices share.
QHBoxLayout *MainWindow::newValueRow(QWidget *central)
{
    QLabel *deviceLabel = NewLabel(QStringLiteral("装置选择："), DeviceWidth, central);
    DevComboBox = new QComboBox(central);
    DevComboBox->setObjectName(QStringLiteral("DevComboBox"));
    DevComboBox->setMinimumWidth(DeviceWidth);

    QLabel *addressLabel = NewLabel(QStringLiteral("程序起始地址："), ValueLabelWidth, central);
    AddrLineEdit = new QLineEdit(central);
    AddrLineEdit->setObjectName(QStringLiteral("AddrLineEdit"));
    AddrLineEdit->setMaximumWidth(AddressMaxWidth);

    QLabel *versionLabel = NewLabel(QStringLiteral("软件版本:"), ValueLabelWidth, central);
    VerLineEdit = new QLineEdit(central);
    VerLineEdit->setObjectName(QStringLiteral("VerLineEdit"));
    VerLineEdit->setMaximumWidth(VersionMaxWidth);
    auto *versionValidator = new QDoubleValidator(VersionBottom, VersionTop, VersionDecimals, VerLineEdit);
    versionValidator->setNotation(QDoubleValidator::StandardNotation);
    VerLineEdit->setValidator(versionValidator);

    loadSharedValues();
    // Connected only now, so filling the list loads no profile.
    connect(DevComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &MainWindow::SwitchingPath);

    auto *row = new QHBoxLayout;
    row->addSpacing(RowSpacing);
    row->addWidget(deviceLabel);
    row->addWidget(DevComboBox);
    row->addSpacing(GroupSpacing);
    row->addWidget(addressLabel);
    row->addWidget(AddrLineEdit);
    row->addSpacing(GroupSpacing);
    row->addWidget(versionLabel);
    row->addWidget(VerLineEdit);
    row->addStretch(0);
    return row;
}

// The device list and the two shared values, read at start-up and when
// another project is opened.
void MainWindow::loadSharedValues()
{
    const ProfileSettings settings;
    const QSignalBlocker quiet(DevComboBox);
    DevComboBox->clear();
    DevComboBox->addItems(settings.deviceNames());
    DevComboBox->setCurrentIndex(0);
    AddrLineEdit->setText(settings.startAddress());
    // setText does not validate: the stored value shows as written.
    VerLineEdit->setText(settings.version());
}

void MainWindow::addPathRows(QVBoxLayout *rows, QWidget *central)
{
    rows->addSpacing(RowSpacing);
    PBinLineEdit = AddPathRow(rows, QStringLiteral("原始.bin文件路径："), QStringLiteral("PBinLineEdit"), this,
                              &MainWindow::PBinButton, central);
    rows->addSpacing(RowSpacing);
    NBinLineEdit = AddPathRow(rows, QStringLiteral("生成.bin文件路径："), QStringLiteral("NBinLineEdit"), this,
                              &MainWindow::NBinButton, central);
    rows->addSpacing(RowSpacing);
    NS19LineEdit = AddPathRow(rows, QStringLiteral("生成.S19文件路径："), QStringLiteral("NS19LineEdit"), this,
                              &MainWindow::NS19Button, central);
    // A file dropped on a path field is taken there as its local path.
    for (QLineEdit *field : {PBinLineEdit, NBinLineEdit, NS19LineEdit})
        field->installEventFilter(this);
}

QHBoxLayout *MainWindow::newButtonRow(QWidget *central)
{
    auto *convertButton = new QPushButton(QStringLiteral("转换"), central);
    connect(convertButton, &QPushButton::clicked, this, &MainWindow::Conversion);
    m_convertButton = convertButton;
    auto *exitButton = new QPushButton(QStringLiteral("退出"), central);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);

    auto *row = new QHBoxLayout;
    row->addStretch(0);
    row->addWidget(convertButton);
    row->addWidget(exitButton);
    return row;
}

MainWindow::~MainWindow()
{
    // A run still going is cancelled and waited for before the widgets go.
    delete m_worker;
}

void MainWindow::SwitchingPath(int index)
{
    // Read anew at each switch, so paths edited in the file meanwhile show up.
    const ProfilePaths paths = ProfileSettings().paths(index);
    PBinLineEdit->setText(paths.sourcePath);
    NBinLineEdit->setText(paths.imagePath);
    NS19LineEdit->setText(paths.srecordPath);
}
