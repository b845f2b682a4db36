#include "applicationicon.h"
#include "commandline.h"
#include "mainwindow.h"
#include "projectchooser.h"
#include "projectfolder.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    if (const std::optional<int> status = AnswerOnConsole(argc, argv))
        return *status;

    QApplication app(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());

    const QString problem = EnterProjectFolder(QApplication::arguments());
    if (!problem.isEmpty()) {
        QMessageBox::warning(nullptr, QStringLiteral("警告"), problem, QMessageBox::Ok, QMessageBox::NoButton);
        return WindowExitNoProject;
    }
    const QString notOpened = AskForProjectWhenNone(QApplication::arguments());
    if (!notOpened.isEmpty())
        QMessageBox::warning(nullptr, QStringLiteral("警告"), notOpened, QMessageBox::Ok, QMessageBox::NoButton);
    const QString settingsProblem = WorkingFolderSettingsWarning();
    if (!settingsProblem.isEmpty())
        QMessageBox::warning(nullptr, QStringLiteral("警告"), settingsProblem, QMessageBox::Ok, QMessageBox::NoButton);

    MainWindow window;
    window.show();
    return app.exec();
}
