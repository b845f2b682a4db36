#ifndef VANDREL_APP_MAINWINDOW_H
#define VANDREL_APP_MAINWINDOW_H

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTimer;
class QVBoxLayout;
QT_END_NAMESPACE

class ConversionWorker;
class RunProgressDialog;
struct ConversionRequest;
struct ConversionResult;

// The tool's only window: a device selector, the start address and version
// shared by all devices, the three paths of the chosen device, and the
// convert and exit buttons. A conversion runs on a thread of its own with a
// progress dialog that can cancel it; a project folder or its settings file
// can be dropped on the window, a file on a path field.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // True from "转换" until the run has ended and its outcome is shown.
    bool isConverting() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

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
    void addReturnShortcuts();
    void loadSharedValues();

    void startRun(const ConversionRequest &request);
    void showProgressDialog();
    void updateProgress();
    void cancelRun();
    void runFinished();
    void setInputsEnabled(bool enabled);
    void showOutcome(const ConversionResult &result);
    void openDroppedProject(const QString &path);

    QComboBox *DevComboBox = nullptr;
    QLineEdit *AddrLineEdit = nullptr;
    QLineEdit *VerLineEdit = nullptr;
    QLineEdit *PBinLineEdit = nullptr;
    QLineEdit *NBinLineEdit = nullptr;
    QLineEdit *NS19LineEdit = nullptr;

    QPushButton *m_convertButton = nullptr;
    QList<QPushButton *> m_chooseButtons;
    ConversionWorker *m_worker = nullptr; // the run going on, if any
    RunProgressDialog *m_progressDialog = nullptr;
    QTimer *m_progressTimer = nullptr;
    QElapsedTimer m_runClock;
    QPointer<QWidget> m_focusBeforeRun;
    bool m_closeRequested = false;
};

#endif
