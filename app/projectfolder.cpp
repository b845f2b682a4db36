#include "projectfolder.h"

#include "commandline.h"
#include "profilesettings.h"
#include "recentproject.h"
#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString Warning(const QString &text, const QString &path)
{
    return text + QLatin1Char('\n') + QDir::toNativeSeparators(path);
}

QString UnreadableSettingsText()
{
    return QStringLiteral("VandrelSet.ini文件无法读取！");
}

} // namespace

QString EnterProjectFolder(const QStringList &arguments)
{
    const WindowArguments parsed = ParseWindowArguments(arguments);
    if (!parsed.problem.isEmpty())
        return parsed.problem;
    if (parsed.project.isEmpty())
        return QString();
    return OpenProjectFolder(parsed.project);
}

QString OpenProjectFolder(const QString &path)
{
    const QFileInfo project(path);
    if (!project.exists())
        return Warning(QStringLiteral("项目文件夹找不到！"), path);

    QString folder = project.absoluteFilePath();
    if (!project.isDir()) {
        // A file stands for its folder only when it is that folder's settings file.
        folder = project.absolutePath();
        if (QFileInfo(QDir(folder), SettingsFileName()) != project)
            return Warning(QStringLiteral("请打开项目文件夹或其中的VandrelSet.ini文件！"), path);
    }

    const QString settingsPath = QDir(folder).filePath(SettingsFileName());
    if (!QFileInfo::exists(settingsPath))
        return Warning(QStringLiteral("项目文件夹中没有VandrelSet.ini文件！"), folder);
    if (!ReadSettingsFile(settingsPath).succeeded())
        return Warning(UnreadableSettingsText(), settingsPath);

    if (!QDir::setCurrent(folder))
        return Warning(QStringLiteral("项目文件夹无法打开！"), folder);
    RememberProjectFolder(folder);
    return QString();
}

bool HasWorkingFolderSettings()
{
    // A dangling link is there too: its warning says more than a chooser.
    const QFileInfo settings(SettingsFileName());
    return settings.exists() || settings.isSymLink();
}

QString WorkingFolderSettingsWarning()
{
    const SettingsFileRead read = ReadSettingsFile(SettingsFileName());
    if (read.succeeded() || !read.found)
        return QString();
    return Warning(UnreadableSettingsText(), QFileInfo(SettingsFileName()).absoluteFilePath());
}
