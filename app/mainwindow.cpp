#include "mainwindow.h"

#include "conversion.h"
#include "conversionmessages.h"
#include "profilesettings.h"

#include <QComboBox>
#include <QDateTime>
#include <QDoubleValidator>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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

    // Shows device 0's paths, also when the selector is empty.
    SwitchingPath(0);
}

// The device selector and the two values all devices share.
QHBoxLayout *MainWindow::newValueRow(QWidget *central)
{
    // The device list and the two shared values are read once per run.
    const ProfileSettings settings;

    QLabel *deviceLabel = NewLabel(QStringLiteral("装置选择："), DeviceWidth, central);
    DevComboBox = new QComboBox(central);
    DevComboBox->setObjectName(QStringLiteral("DevComboBox"));
    DevComboBox->addItems(settings.deviceNames());
    DevComboBox->setCurrentIndex(0);
    DevComboBox->setMinimumWidth(DeviceWidth);
    // Connected only now, so filling the list loads no profile.
    connect(DevComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &MainWindow::SwitchingPath);

    QLabel *addressLabel = NewLabel(QStringLiteral("程序起始地址："), ValueLabelWidth, central);
    AddrLineEdit = new QLineEdit(central);
    AddrLineEdit->setObjectName(QStringLiteral("AddrLineEdit"));
    AddrLineEdit->setMaximumWidth(AddressMaxWidth);
    AddrLineEdit->setText(settings.startAddress());

    QLabel *versionLabel = NewLabel(QStringLiteral("软件版本:"), ValueLabelWidth, central);
    VerLineEdit = new QLineEdit(central);
    VerLineEdit->setObjectName(QStringLiteral("VerLineEdit"));
    VerLineEdit->setMaximumWidth(VersionMaxWidth);
    auto *versionValidator = new QDoubleValidator(VersionBottom, VersionTop, VersionDecimals, VerLineEdit);
    versionValidator->setNotation(QDoubleValidator::StandardNotation);
    VerLineEdit->setValidator(versionValidator);
    // setText does not validate: the stored value shows as written.
    VerLineEdit->setText(settings.version());

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
}

QHBoxLayout *MainWindow::newButtonRow(QWidget *central)
{
    auto *convertButton = new QPushButton(QStringLiteral("转换"), central);
    connect(convertButton, &QPushButton::clicked, this, &MainWindow::Conversion);
    auto *exitButton = new QPushButton(QStringLiteral("退出"), central);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);

    auto *row = new QHBoxLayout;
    row->addStretch(0);
    row->addWidget(convertButton);
    row->addWidget(exitButton);
    return row;
}

MainWindow::~MainWindow() = default;

void MainWindow::SwitchingPath(int index)
{
    // Read anew at each switch, so paths edited in the file meanwhile show up.
    const ProfilePaths paths = ProfileSettings().paths(index);
    PBinLineEdit->setText(paths.sourcePath);
    NBinLineEdit->setText(paths.imagePath);
    NS19LineEdit->setText(paths.srecordPath);
}

void MainWindow::Conversion()
{
    ConversionRequest request;
    request.sourcePath = PBinLineEdit->text();
    request.imagePath = NBinLineEdit->text();
    request.srecordPath = NS19LineEdit->text();
    request.wallClock = QDateTime::currentDateTime();
    request.settingsPath = QFileInfo(SettingsFileName()).absoluteFilePath();

    ConversionResult result = ReadConversionFields(VerLineEdit->text(), AddrLineEdit->text(), request);
    // The gaps of an ELF, HEX or S-record source: [Sys] Fill, as the command line's --profile reads it.
    if (result.succeeded())
        result = ReadFillField(ProfileSettings().fill(), request);
    if (result.succeeded())
        result = RunConversion(request);
    const QString message = ConversionMessage(result.status);
    if (result.succeeded()) {
        QMessageBox::information(this, QStringLiteral("提示"), message, QMessageBox::Ok, QMessageBox::NoButton);
    } else {
        QMessageBox::warning(this, QStringLiteral("警告"), message, QMessageBox::Ok, QMessageBox::NoButton);
    }
}
