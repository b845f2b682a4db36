#include "mainwindow.h"

#include "conversion.h"
#include "conversionmessages.h"
#include "conversionworker.h"
#include "profilesettings.h"
#include "runprogressdialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <utility>

// "转换": the run goes to a thread of its own; the window stays drawn and
// shows a progress dialog that can cancel it once it lasts.

namespace {

// The dialog shows only for a run that lasts; a short one never flashes it.
constexpr int ProgressDialogDelayMs = 500;
constexpr int ProgressPollMs = 100;
// The dialog counts in ints: byte counts are scaled to this many steps.
constexpr int ProgressSteps = 1000;

// Paths as the working directory gives them now: a project opened later
// cannot change which files a run that has started writes.
QString Absolute(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

} // namespace

bool MainWindow::isConverting() const
{
    return m_worker != nullptr;
}

void MainWindow::Conversion()
{
    // One run at a time: a second "转换" while one runs is refused.
    if (isConverting())
        return;
    ConversionRequest request;
    request.sourcePath = Absolute(PBinLineEdit->text());
    request.imagePath = Absolute(NBinLineEdit->text());
    request.srecordPath = Absolute(NS19LineEdit->text());
    request.wallClock = QDateTime::currentDateTime();
    request.settingsPath = QFileInfo(SettingsFileName()).absoluteFilePath();

    ConversionResult fields = ReadConversionFields(VerLineEdit->text(), AddrLineEdit->text(), request);
    // The gaps of an ELF, HEX or S-record source: [Sys] Fill, as the command line's --profile reads it.
    if (fields.succeeded())
        fields = ReadFillField(ProfileSettings().fill(), request);
    if (!fields.succeeded()) {
        showOutcome(fields);
        return;
    }
    startRun(request);
}

void MainWindow::startRun(const ConversionRequest &request)
{
    m_worker = new ConversionWorker(request, this);
    connect(m_worker, &QThread::finished, this, &MainWindow::runFinished);
    setInputsEnabled(false);
    // The dialog is made only once the run has lasted: a modal dialog that
    // waits hidden would still take part in the window system's focus.
    m_runClock.start();
    m_progressTimer = new QTimer(this);
    connect(m_progressTimer, &QTimer::timeout, this, &MainWindow::updateProgress);
    m_progressTimer->start(ProgressPollMs);
    m_worker->start();
}

void MainWindow::showProgressDialog()
{
    m_progressDialog = new RunProgressDialog(ProgressSteps, this);
    connect(m_progressDialog, &QProgressDialog::canceled, this, &MainWindow::cancelRun);
    m_progressDialog->show();
}

void MainWindow::updateProgress()
{
    if (!m_worker)
        return;
    if (!m_progressDialog) {
        if (m_runClock.elapsed() < ProgressDialogDelayMs)
            return;
        showProgressDialog();
    }
    const ConversionProgress &progress = m_worker->progress();
    const qint64 total = progress.total();
    if (total > 0)
        m_progressDialog->setValue(int(qMin(progress.done(), total) * ProgressSteps / total));
}

void MainWindow::cancelRun()
{
    // The run first: hiding the dialog may take a while.
    if (m_worker)
        m_worker->cancel();
    // A hidden dialog fed again would come back.
    if (m_progressTimer)
        m_progressTimer->stop();
    if (m_progressDialog)
        m_progressDialog->hide();
}

void MainWindow::runFinished()
{
    const ConversionResult result = m_worker->result();
    // Deleted later: this may run inside the dialog's own setValue.
    m_worker->deleteLater();
    m_worker = nullptr;
    m_progressTimer->stop();
    m_progressTimer->deleteLater();
    m_progressTimer = nullptr;
    if (m_progressDialog) {
        m_progressDialog->hide();
        m_progressDialog->deleteLater();
        m_progressDialog = nullptr;
    }
    setInputsEnabled(true);

    // A close asked for during the run: a cancelled run closes at once, one
    // that completed anyway still says so first.
    if (m_closeRequested) {
        if (result.succeeded())
            showOutcome(result);
        close();
        return;
    }
    showOutcome(result);
}

void MainWindow::setInputsEnabled(bool enabled)
{
    if (!enabled) {
        // Disabling the focused input would hand the focus on to "退出".
        m_focusBeforeRun = focusWidget();
        centralWidget()->setFocus();
    }
    const QList<QWidget *> inputs{DevComboBox, AddrLineEdit, VerLineEdit, PBinLineEdit, NBinLineEdit, NS19LineEdit,
                                  m_convertButton};
    for (QWidget *input : inputs)
        input->setEnabled(enabled);
    for (QPushButton *chooser : std::as_const(m_chooseButtons))
        chooser->setEnabled(enabled);
    if (enabled && m_focusBeforeRun)
        m_focusBeforeRun->setFocus();
}

// The design's fixed text, and beneath it what the user needs to act: the
// files and figures of a success, the path and cause of a failure.
void MainWindow::showOutcome(const ConversionResult &result)
{
    const bool warning = !result.succeeded() && result.status != ConversionStatus::Cancelled;
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information,
                    warning ? QStringLiteral("警告") : QStringLiteral("提示"), ConversionMessage(result.status),
                    QMessageBox::Ok, this);
    box.setInformativeText(ConversionDetails(result));
    box.exec();
}

// Closing during a run cancels it; the window closes once the run has
// cleaned up after itself.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!isConverting()) {
        QMainWindow::closeEvent(event);
        return;
    }
    m_closeRequested = true;
    cancelRun();
    event->ignore();
}
