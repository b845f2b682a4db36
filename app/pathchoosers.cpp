#include "mainwindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

// The three "选择" buttons: a file dialog that starts at the field's path and
// puts the absolute path of the chosen file into that field.

namespace {

using FileDialogFunction = QString (*)(QWidget *, const QString &, const QString &, const QString &,
                                       QString *, QFileDialog::Options);

QString BinFilter() { return QStringLiteral("bin file(*.bin)"); }
// A raw .bin first, as before; then the linker's addressed outputs, then anything.
QString SourceFilter()
{
    return BinFilter()
           + QStringLiteral(";;elf hex s19 file(*.elf *.axf *.out *.hex *.ihex *.s19 *.s28 *.s37 *.srec *.mot)"
                            ";;all file(*)");
}
QString SaveCaption() { return QStringLiteral("保存"); }

void ChoosePath(QWidget *window, QLineEdit *field, FileDialogFunction dialog,
                const QString &caption, const QString &filter)
{
    const QString chosen = dialog(window, caption, field->text(), filter, nullptr, QFileDialog::Options());
    if (chosen.isEmpty())
        return; // cancelled: the field keeps what it held
    field->setText(QFileInfo(chosen).absoluteFilePath());
}

} // namespace

void MainWindow::PBinButton()
{
    ChoosePath(this, PBinLineEdit, &QFileDialog::getOpenFileName, QStringLiteral("选择路径.bin"), SourceFilter());
}

void MainWindow::NBinButton()
{
    ChoosePath(this, NBinLineEdit, &QFileDialog::getSaveFileName, SaveCaption(), BinFilter());
}

void MainWindow::NS19Button()
{
    ChoosePath(this, NS19LineEdit, &QFileDialog::getSaveFileName, SaveCaption(),
               QStringLiteral("s19 file(*.s19)"));
}
