#include "workingfolder.h"

#include <QDir>

WorkingFolder::WorkingFolder()
    : m_previous(QDir::currentPath())
{
    m_entered = m_dir.isValid() && QDir::setCurrent(m_dir.path());
}

WorkingFolder::~WorkingFolder()
{
    if (m_entered)
        QDir::setCurrent(m_previous);
}
