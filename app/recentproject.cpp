#include "recentproject.h"

#include <QFileInfo>
#include <QSettings>

namespace {

// An INI file in every system, so that nothing lands in the Windows registry.
QSettings UserSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vandrel"), QStringLiteral("vandrel"));
}

QString LastProjectKey()
{
    return QStringLiteral("Projects/Last");
}

} // namespace

QString RememberedProjectFolder()
{
    const QString folder = UserSettings().value(LastProjectKey()).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberProjectFolder(const QString &folder)
{
    UserSettings().setValue(LastProjectKey(), folder);
}
