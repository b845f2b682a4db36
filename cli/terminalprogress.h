#ifndef VANDREL_CLI_TERMINALPROGRESS_H
#define VANDREL_CLI_TERMINALPROGRESS_H

#include "conversionprogress.h"

#include <QElapsedTimer>

// "vandrel-cli: converting 42%" on stderr, redrawn in place, once a run has
// lasted over a second, and only when stderr is a terminal: a pipe, a file
// or a CI log gets nothing. The line is wiped when the object goes, so that
// the run's own messages start on a clean line.
class TerminalProgress
{
public:
    explicit TerminalProgress(bool wanted);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress &) = delete;
    TerminalProgress &operator=(const TerminalProgress &) = delete;

    // For the run's ConversionProgress; does nothing when not shown.
    ConversionProgress::Listener listener();

private:
    void show(qint64 done, qint64 total);

    bool m_enabled;
    QElapsedTimer m_clock;
    int m_shownPercent = -1;
};

// True when stderr is a terminal (a console on Windows).
bool StandardErrorIsTerminal();

#endif
