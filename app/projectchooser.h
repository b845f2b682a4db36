#ifndef VANDREL_APP_PROJECTCHOOSER_H
#define VANDREL_APP_PROJECTCHOOSER_H

#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Started with no project argument in a folder without VandrelSet.ini (as a
// desktop menu starts it), asks for a project folder ("选择项目文件夹",
// starting in the last project opened) and opens it. Returns the warning to
// show when the chosen folder cannot be opened as a project, else "";
// cancelling the chooser is no problem: the window opens as without a project.
QString AskForProjectWhenNone(const QStringList &arguments, QWidget *parent = nullptr);

#endif
