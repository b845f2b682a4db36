#ifndef VANDREL_TESTS_WORKINGFOLDER_H
#define VANDREL_TESTS_WORKINGFOLDER_H

#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder that is the working directory while the object
// lives: relative paths resolve in it, as they do for the programs. The
// previous working directory comes back before the folder is removed.
class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    // The folder was made and is the working directory.
    bool isValid() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
    bool m_entered = false;
};

#endif
