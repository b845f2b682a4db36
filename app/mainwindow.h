#ifndef VANDREL_APP_MAINWINDOW_H
#define VANDREL_APP_MAINWINDOW_H

#include <QMainWindow>

QT_BEGIN_NAMESPACE
class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QVBoxLayout;
QT_END_NAMESPACE

// The tool's only window: a device selector, the start address and version
// shared by all devices, the three paths of the chosen device, and the
// convert and exit buttons.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void Conversion();
    void PBinButton();
    void NBinButton();
    void NS19Button();
    void SwitchingPath(int index);

private:
    QHBoxLayout *newValueRow(QWidget *central);
    void addPathRows(QVBoxLayout *rows, QWidget *central);
    QHBoxLayout *newButtonRow(QWidget *central);

    QComboBox *DevComboBox = nullptr;
    QLineEdit *AddrLineEdit = nullptr;
    QLineEdit *VerLineEdit = nullptr;
    QLineEdit *PBinLineEdit = nullptr;
    QLineEdit *NBinLineEdit = nullptr;
    QLineEdit *NS19LineEdit = nullptr;
};

#endif
