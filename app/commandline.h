#ifndef VANDREL_APP_COMMANDLINE_H
#define VANDREL_APP_COMMANDLINE_H

#include <QString>
#include <QStringList>

#include <optional>

// The window program's command line:
//   vandrel [FOLDER | FOLDER/VandrelSet.ini]
//   vandrel --help | --version

// Exit statuses of the window program besides the event loop's own.
enum WindowExitStatus {
    WindowExitNoProject = 1, // the project argument was refused with a warning box
    WindowExitUsage = 2,     // --help or --version with an unknown option
};

// Answers --help and --version on the console, before any window system is
// opened, so they work without a display. Returns the exit status when the
// program ends here, nothing when the window is to open.
std::optional<int> AnswerOnConsole(int argc, char *argv[]);

struct WindowArguments
{
    QString project; // the FOLDER or FOLDER/VandrelSet.ini argument, "" when none
    QString problem; // a warning for the user when the command line is wrong, else ""
};

// Reads the arguments of a window run, the program name first.
WindowArguments ParseWindowArguments(const QStringList &arguments);

#endif
