#ifndef VANDREL_FILES_SYSTEMMESSAGE_H
#define VANDREL_FILES_SYSTEMMESSAGE_H

#include <QString>

#ifdef Q_OS_WIN
// The system's own text for a Windows error code (GetLastError()), without
// its closing full stop, so it reads as the end of one of our messages.
QString SystemMessage(unsigned long code);
#endif

#endif
