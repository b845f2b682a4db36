#include "interruptcleanup.h"

#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {
// Plain storage that a signal handler may read: no allocation, no locks.
constexpr int MaxFiles = 16;
constexpr int MaxPathBytes = 4096;
char registeredPaths[MaxFiles][MaxPathBytes];
volatile std::sig_atomic_t registered[MaxFiles];
volatile std::sig_atomic_t deferring = 0;
volatile std::sig_atomic_t pendingSignal = 0;

const int CleanedSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

using Handler = void (*)(int);
Handler previousHandlers[sizeof CleanedSignals / sizeof CleanedSignals[0]];
#ifdef SIGXFSZ
Handler previousFileSizeHandler;
#endif

void removeRegistered()
{
    for (int i = 0; i < MaxFiles; ++i) {
        if (registered[i])
            std::remove(registeredPaths[i]);
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
    if (deferring) {
        pendingSignal = signal;
        return;
    }
    endAsAsked(signal);
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}
} // namespace

InterruptCleanup::InterruptCleanup()
{
    for (size_t i = 0; i < sizeof CleanedSignals / sizeof CleanedSignals[0]; ++i)
        previousHandlers[i] = std::signal(CleanedSignals[i], onInterrupt);
#ifdef SIGXFSZ
    previousFileSizeHandler = std::signal(SIGXFSZ, SIG_IGN);
#endif
}

InterruptCleanup::~InterruptCleanup()
{
    for (size_t i = 0; i < sizeof CleanedSignals / sizeof CleanedSignals[0]; ++i)
        std::signal(CleanedSignals[i], previousHandlers[i] == SIG_ERR ? SIG_DFL : previousHandlers[i]);
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, previousFileSizeHandler == SIG_ERR ? SIG_DFL : previousFileSizeHandler);
#endif
    for (int i = 0; i < MaxFiles; ++i)
        registered[i] = 0;
}

bool InterruptCleanup::add(const QString &path)
{
    const QByteArray native = nativePath(path);
    if (native.size() >= MaxPathBytes)
        return false;
    for (int i = 0; i < MaxFiles; ++i) {
        if (registered[i])
            continue;
        std::memcpy(registeredPaths[i], native.constData(), size_t(native.size()) + 1);
        registered[i] = 1;
        return true;
    }
    return false;
}

void InterruptCleanup::forget(const QString &path)
{
    const QByteArray native = nativePath(path);
    for (int i = 0; i < MaxFiles; ++i) {
        if (registered[i] && native == registeredPaths[i])
            registered[i] = 0;
    }
}

InterruptCleanup::Deferral::Deferral()
{
    deferring = 1;
}

InterruptCleanup::Deferral::~Deferral()
{
    deferring = 0;
    if (const int signal = pendingSignal) {
        pendingSignal = 0;
        endAsAsked(signal);
    }
}
