#ifndef VANDREL_APP_RUNPROGRESSDIALOG_H
#define VANDREL_APP_RUNPROGRESSDIALOG_H

#include <QProgressDialog>

// The progress dialog of a run that lasts: "正在转换…" and "取消". Every way
// to cancel it ("取消", Escape, closing it) emits canceled() while the
// dialog is still shown, and only that: the receiver stops the run first and
// hides the dialog after. Hiding can take seconds (Wine without a window
// manager waits for the window to be unmapped), and a run that goes on
// meanwhile completes instead of cancelling.
class RunProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    // Counts steps from 0 to maximum.
    RunProgressDialog(int maximum, QWidget *parent);

public slots:
    // Escape when the dialog's shortcut does not take it, or a close.
    void reject() override;
};

#endif
