#include "payloadpages.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr quint64 WordBits = 64;

// Calls visit(word, mask) for the bits from begin up to end, a word at a time.
template <typename Visit>
bool EachWord(quint64 begin, quint64 end, Visit visit)
{
    while (begin < end) {
        const quint64 bit = begin % WordBits;
        const quint64 n = std::min(WordBits - bit, end - begin);
        const quint64 mask = (n == WordBits ? ~quint64(0) : (quint64(1) << n) - 1) << bit;
        if (!visit(size_t(begin / WordBits), mask))
            return false;
        begin += n;
    }
    return true;
}
} // namespace

PayloadPages::Page &PayloadPages::page(quint64 index)
{
    if (m_last && m_lastIndex == index)
        return *m_last;
    auto found = m_pages.find(index);
    if (found == m_pages.end()) {
        // Not set here: the data and the fill write each byte once.
        Page fresh{std::unique_ptr<quint8[]>(new quint8[PageSize]), std::vector<quint64>(PageSize / WordBits, 0)};
        found = m_pages.emplace(index, std::move(fresh)).first;
    }
    m_lastIndex = index;
    m_last = &found->second;
    return *m_last;
}

qint64 PayloadPages::layInPage(Page &page, quint64 offset, const quint8 *data, quint64 count)
{
    const bool noneGiven = EachWord(offset, offset + count, [&page](size_t word, quint64 mask) {
        return (page.given[word] & mask) == 0;
    });
    if (noneGiven) {
        std::memcpy(page.bytes.get() + offset, data, size_t(count));
    } else {
        for (quint64 i = 0; i < count; ++i) {
            const quint64 at = offset + i;
            const bool given = page.given[size_t(at / WordBits)] >> (at % WordBits) & 1;
            if (given && page.bytes[size_t(at)] != data[i])
                return qint64(at);
            page.bytes[size_t(at)] = data[i];
        }
    }
    EachWord(offset, offset + count, [&page](size_t word, quint64 mask) {
        page.given[word] |= mask;
        return true;
    });
    return -1;
}

std::optional<quint64> PayloadPages::place(quint64 address, const quint8 *data, qint64 size)
{
    quint64 done = 0;
    while (done < quint64(size)) {
        const quint64 at = address + done;
        const quint64 offset = at % PageSize;
        const quint64 count = std::min(PageSize - offset, quint64(size) - done);
        const qint64 differs = layInPage(page(at / PageSize), offset, data + done, count);
        if (differs >= 0)
            return at - offset + quint64(differs);
        done += count;
    }
    return std::nullopt;
}

quint8 PayloadPages::byteAt(quint64 address) const
{
    const auto found = m_pages.find(address / PageSize);
    if (found == m_pages.end())
        return m_fill;
    const quint64 offset = address % PageSize;
    const bool given = found->second.given[size_t(offset / WordBits)] >> (offset % WordBits) & 1;
    return given ? found->second.bytes[size_t(offset)] : m_fill;
}

bool PayloadPages::forEachChunk(quint64 start, quint64 end,
                                const std::function<bool(const quint8 *, qint64)> &take) const
{
    std::vector<quint8> fillPage;
    for (quint64 at = start; at < end;) {
        const quint64 offset = at % PageSize;
        const quint64 count = std::min(PageSize - offset, end - at);
        const auto found = m_pages.find(at / PageSize);
        const quint8 *bytes = nullptr;
        if (found != m_pages.end()) {
            bytes = found->second.bytes.get() + offset;
        } else {
            if (fillPage.empty())
                fillPage.assign(PageSize, m_fill);
            bytes = fillPage.data();
        }
        if (!take(bytes, qint64(count)))
            return false;
        at += count;
    }
    return true;
}

void PayloadPages::fillGaps()
{
    for (auto &entry : m_pages) {
        Page &page = entry.second;
        for (size_t word = 0; word < page.given.size(); ++word) {
            const quint64 given = page.given[word];
            if (given == ~quint64(0))
                continue;
            quint8 *bytes = page.bytes.get() + word * WordBits;
            if (given == 0) {
                std::memset(bytes, m_fill, WordBits);
                continue;
            }
            for (quint64 bit = 0; bit < WordBits; ++bit) {
                if (!(given >> bit & 1))
                    bytes[bit] = m_fill;
            }
        }
    }
}
