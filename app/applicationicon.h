#ifndef VANDREL_APP_APPLICATIONICON_H
#define VANDREL_APP_APPLICATIONICON_H

#include <QIcon>

// The program's icon, from PNG renditions of dist/icons/vandrel.svg built
// into the program, so no SVG plugin is needed to show it.
QIcon ApplicationIcon();

#endif
