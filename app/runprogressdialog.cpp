#include "runprogressdialog.h"

RunProgressDialog::RunProgressDialog(int maximum, QWidget *parent)
    : QProgressDialog(QStringLiteral("正在转换…"), QStringLiteral("取消"), 0, maximum, parent)
{
    setWindowTitle(QStringLiteral("转换"));
    setWindowModality(Qt::WindowModal);
    // Reaching the maximum neither hides nor resets it: the set is then
    // being put in place, and the run's end closes the dialog.
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(0);
    // By default canceled() hides the dialog before any other receiver hears it.
    disconnect(this, &QProgressDialog::canceled, this, nullptr);
}

void RunProgressDialog::reject()
{
    emit canceled();
}
