#ifndef VANDREL_RECORDS_PAYLOADPAGES_H
#define VANDREL_RECORDS_PAYLOADPAGES_H

#include <QtGlobal>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// The bytes of an addressed source laid by address, in pages of 64 KiB that
// are made as data reaches them: memory follows the data given, never the
// addresses between. Bytes no data gives hold the fill byte.
class PayloadPages
{
public:
    static constexpr quint64 PageSize = 64 * 1024;

    explicit PayloadPages(quint8 fill) : m_fill(fill) {}

    // Lays size bytes from address on. Bytes already given must be given
    // again alike: the address of the first that differs is returned, and
    // the bytes from it on are not laid.
    std::optional<quint64> place(quint64 address, const quint8 *data, qint64 size);

    // The byte at an address: given, or the fill.
    quint8 byteAt(quint64 address) const;
    // Puts the fill byte wherever no data was given, once all is placed:
    // a page is filled only where needed, so most of it is written once.
    void fillGaps();
    void clear()
    {
        m_pages.clear();
        m_last = nullptr;
    }

    // Hands out the bytes from start up to end in address order, in pieces
    // of at most a page; false as soon as take returns false.
    bool forEachChunk(quint64 start, quint64 end, const std::function<bool(const quint8 *, qint64)> &take) const;

private:
    struct Page
    {
        std::unique_ptr<quint8[]> bytes; // only the bytes given are set until fillGaps
        std::vector<quint64> given;      // one bit a byte
    };

    Page &page(quint64 index);
    // Within one page; the offset of the first byte that differs, or -1.
    qint64 layInPage(Page &page, quint64 offset, const quint8 *data, quint64 count);

    quint8 m_fill;
    std::map<quint64, Page> m_pages; // by address / PageSize
    quint64 m_lastIndex = 0;
    Page *m_last = nullptr;
};

#endif
