#ifndef VANDREL_APP_PROJECTFOLDER_H
#define VANDREL_APP_PROJECTFOLDER_H

#include <QString>
#include <QStringList>

// vandrel [FOLDER | FOLDER/VandrelSet.ini]: makes the project folder the
// working directory before the window reads its settings, so the relative
// paths in them keep their meaning. Without an argument the working directory
// stays. Takes the program's arguments, the program name first. Returns the
// warning to show instead of the window when the argument names no project
// whose settings can be read (the working directory then stays), else "".
QString EnterProjectFolder(const QStringList &arguments);

// Opens one project, given as its folder or its VandrelSet.ini: checks that
// its settings can be read, makes the folder the working directory and
// remembers it (see RememberProjectFolder). Returns the warning to show when
// it cannot be opened (the working directory then stays), else "".
QString OpenProjectFolder(const QString &path);

// True when the working directory has a VandrelSet.ini, readable or not.
bool HasWorkingFolderSettings();

// The warning to show before the window when the working directory's
// VandrelSet.ini is there but cannot be read as settings (a FIFO, a device,
// a folder, no permission, too large); the window then opens as with no
// settings. "" when it was read or there is none.
QString WorkingFolderSettingsWarning();

#endif
