#ifndef VANDREL_CONVERT_INTERRUPTCLEANUP_H
#define VANDREL_CONVERT_INTERRUPTCLEANUP_H

#include <QString>

#ifndef Q_OS_WIN
#include <signal.h>
#endif

// While a conversion runs, an interrupt (Ctrl+C, SIGTERM, SIGHUP) first
// removes the temporary and lock files registered by every running
// conversion, then ends the process as the signal asks; SIGXFSZ is ignored,
// so a write past the file size limit fails with "File too large" instead of
// killing the run. Nothing can be done for SIGKILL: its temporary files stay,
// recognisable by their names.
// Guards may live on several threads at once: the first installs the
// handlers, the last gives the previous ones back.
class InterruptCleanup
{
public:
    InterruptCleanup();
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup &) = delete;
    InterruptCleanup &operator=(const InterruptCleanup &) = delete;

    // Room for the files of many conversions running in one process, and
    // for a whole release of the most profiles a settings file lists (1000,
    // each an image, S-records and Intel HEX, each file three names: the
    // temporary, the lock, the backup). The slots are untouched, and so take
    // no memory, until used.
    static constexpr int MaxFiles = 9216;

    // One file to remove on an interrupt, for as long as the entry holds it.
    // Each entry forgets only its own file.
    class Entry
    {
    public:
        Entry() = default;
        ~Entry() { forget(); }
        Entry(const Entry &) = delete;
        Entry &operator=(const Entry &) = delete;
        Entry(Entry &&other) noexcept : m_slot(other.m_slot) { other.m_slot = -1; }

        // False when the path is too long or there is no room left.
        bool add(const QString &path);
        void forget();
        bool isSet() const { return m_slot >= 0; }

    private:
        int m_slot = -1;
    };

    // While one lives, interrupts wait on this thread: a file made and
    // registered under it is registered exactly when it exists, so the
    // handler never removes a file of that name that another run made.
    // (Windows runs its handler on a thread of its own: nothing to hold.)
    class Hold
    {
    public:
        Hold();
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
#ifndef Q_OS_WIN
        sigset_t m_previous;
#endif
    };

    // While one lives, an interrupt waits: files are being put in place, and
    // stopping half-way would leave some targets replaced and others not.
    // When it ends, a waiting interrupt ends the process, unless the run
    // said that its whole set is in place: then the run reports its success.
    class Deferral
    {
    public:
        Deferral();
        ~Deferral();
        Deferral(const Deferral &) = delete;
        Deferral &operator=(const Deferral &) = delete;

        void setComplete() { m_complete = true; }

    private:
        bool m_complete = false;
    };
};

#endif
