#ifndef VANDREL_CONVERT_CONVERSIONPROGRESS_H
#define VANDREL_CONVERT_CONVERSIONPROGRESS_H

#include <QtGlobal>

#include <atomic>
#include <functional>

// How far a running conversion has come, and the request to stop it. The
// run advances it from its own thread; any other thread may read it and ask
// for a stop at any time. The work is the image's bytes once per output
// file: written into the image, then turned into each record file.
class ConversionProgress
{
public:
    // Called on the run's thread after each piece, with the figures then.
    using Listener = std::function<void(qint64 done, qint64 total)>;

    ConversionProgress() = default;
    explicit ConversionProgress(Listener listener) : m_listener(std::move(listener)) {}
    ConversionProgress(const ConversionProgress &) = delete;
    ConversionProgress &operator=(const ConversionProgress &) = delete;

    qint64 done() const { return m_done.load(std::memory_order_relaxed); }
    qint64 total() const { return m_total.load(std::memory_order_relaxed); }

    // Asks the run to stop at the next piece. Once the outputs are being
    // put in place the run completes instead: a set half in place is worse.
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    // For the run: the whole work once it is known, then each piece done.
    void start(qint64 total);
    void advance(qint64 bytes);

private:
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<bool> m_cancelled{false};
    Listener m_listener;
};

#endif
