#include "interruptcleanup.h"

#include <QFile>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {
// Storage that a signal handler may read: built before it is armed, no
// allocation and no locks in the handler, lock-free atomics only.
constexpr int MaxPathBytes = 4096;
enum SlotState : int { Free, Taken, Armed };
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the handler reads the slot states");

char slotPaths[InterruptCleanup::MaxFiles][MaxPathBytes];
std::atomic<int> slotStates[InterruptCleanup::MaxFiles];
std::atomic<int> deferrals{0};
std::atomic<int> pendingSignal{0};

const int CleanedSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

using Handler = void (*)(int);
// Installed by the first guard, given back by the last.
std::mutex guardMutex;
int guards = 0;
Handler previousHandlers[std::size(CleanedSignals)];
#ifdef SIGXFSZ
Handler previousFileSizeHandler;
#endif

// unlink() is what POSIX allows in a handler; remove() is Windows' own.
void removePath(const char *path)
{
#ifdef Q_OS_WIN
    std::remove(path);
#else
    ::unlink(path);
#endif
}

void removeRegistered()
{
    for (int i = 0; i < InterruptCleanup::MaxFiles; ++i) {
        if (slotStates[i].load() == Armed)
            removePath(slotPaths[i]);
    }
}

void endAsAsked(int signal)
{
    removeRegistered();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

extern "C" void onInterrupt(int signal)
{
    if (deferrals.load() > 0) {
        pendingSignal.store(signal);
        return;
    }
    endAsAsked(signal);
}

void installHandlers()
{
    for (size_t i = 0; i < std::size(CleanedSignals); ++i)
        previousHandlers[i] = std::signal(CleanedSignals[i], onInterrupt);
#ifdef SIGXFSZ
    previousFileSizeHandler = std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void restoreHandlers()
{
    for (size_t i = 0; i < std::size(CleanedSignals); ++i)
        std::signal(CleanedSignals[i], previousHandlers[i] == SIG_ERR ? SIG_DFL : previousHandlers[i]);
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, previousFileSizeHandler == SIG_ERR ? SIG_DFL : previousFileSizeHandler);
#endif
}
} // namespace

InterruptCleanup::InterruptCleanup()
{
    const std::lock_guard<std::mutex> lock(guardMutex);
    if (guards++ == 0)
        installHandlers();
}

InterruptCleanup::~InterruptCleanup()
{
    const std::lock_guard<std::mutex> lock(guardMutex);
    if (--guards == 0)
        restoreHandlers();
}

bool InterruptCleanup::Entry::add(const QString &path)
{
    forget();
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= MaxPathBytes)
        return false;
    for (int i = 0; i < MaxFiles; ++i) {
        int expected = Free;
        if (!slotStates[i].compare_exchange_strong(expected, Taken))
            continue;
        std::memcpy(slotPaths[i], native.constData(), size_t(native.size()) + 1);
        slotStates[i].store(Armed);
        m_slot = i;
        return true;
    }
    return false;
}

void InterruptCleanup::Entry::forget()
{
    if (m_slot < 0)
        return;
    slotStates[m_slot].store(Free);
    m_slot = -1;
}

#ifdef Q_OS_WIN
InterruptCleanup::Hold::Hold() = default;
InterruptCleanup::Hold::~Hold() = default;
#else
InterruptCleanup::Hold::Hold()
{
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : CleanedSignals)
        sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &m_previous);
}

InterruptCleanup::Hold::~Hold()
{
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}
#endif

InterruptCleanup::Deferral::Deferral()
{
    ++deferrals;
}

InterruptCleanup::Deferral::~Deferral()
{
    if (--deferrals > 0)
        return;
    const int signal = pendingSignal.exchange(0);
    // A complete set in place is what was asked for: the interrupt came too
    // late to stop it, and ending now would report a failure that is not one.
    if (signal != 0 && !m_complete)
        endAsAsked(signal);
}
