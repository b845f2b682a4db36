#ifndef VANDREL_APP_RECENTPROJECT_H
#define VANDREL_APP_RECENTPROJECT_H

#include <QString>

// The last project folder opened, kept in the user's own settings of the
// window program (an INI file in the user's configuration folder), never in
// a project's VandrelSet.ini, which Vandrel only reads.
QString RememberedProjectFolder(); // "" when none, or when it is gone
void RememberProjectFolder(const QString &folder);

#endif
