#ifndef VANDREL_CONVERT_INTERRUPTCLEANUP_H
#define VANDREL_CONVERT_INTERRUPTCLEANUP_H

#include <QString>

// While a conversion runs, an interrupt (Ctrl+C, SIGTERM, SIGHUP) first
// removes the temporary and lock files it has registered, then ends the process as the
// signal asks; SIGXFSZ is ignored, so a write past the file size limit fails
// with "File too large" instead of killing the run. Nothing can be done for
// SIGKILL: its temporary files stay, recognisable by their names.
// One guard at a time, on one thread; the previous handlers come back when
// it ends.
class InterruptCleanup
{
public:
    InterruptCleanup();
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup &) = delete;
    InterruptCleanup &operator=(const InterruptCleanup &) = delete;

    // Registers a file to remove on an interrupt; false when there is no room.
    static bool add(const QString &path);
    static void forget(const QString &path);

    // While one lives, an interrupt waits: files are being put in place, and
    // stopping half-way would leave some targets replaced and others not.
    class Deferral
    {
    public:
        Deferral();
        ~Deferral();
        Deferral(const Deferral &) = delete;
        Deferral &operator=(const Deferral &) = delete;
    };
};

#endif
