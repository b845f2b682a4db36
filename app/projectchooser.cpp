#include "projectchooser.h"

#include "commandline.h"
#include "projectfolder.h"
#include "recentproject.h"

#include <QFileDialog>

QString AskForProjectWhenNone(const QStringList &arguments, QWidget *parent)
{
    if (!ParseWindowArguments(arguments).project.isEmpty() || HasWorkingFolderSettings())
        return QString();
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, QStringLiteral("选择项目文件夹"), RememberedProjectFolder());
    if (chosen.isEmpty())
        return QString();
    return OpenProjectFolder(chosen);
}
