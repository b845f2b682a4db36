#include "conversionprogress.h"

void ConversionProgress::start(qint64 total)
{
    m_done.store(0, std::memory_order_relaxed);
    m_total.store(total, std::memory_order_relaxed);
    if (m_listener)
        m_listener(0, total);
}

void ConversionProgress::advance(qint64 bytes)
{
    const qint64 done = m_done.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    if (m_listener)
        m_listener(done, total());
}
