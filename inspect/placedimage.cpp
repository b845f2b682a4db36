#include "placedimage.h"

#include "deviceio.h"
#include "messagetext.h"

#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {
constexpr qint64 PageSize = 64 * 1024;
constexpr int BitsPerWord = 64;
// Data addresses are 32-bit, so no byte of the image beyond this offset
// can be given.
constexpr qint64 AddressSpace = qint64(1) << 32;

// Runs of image bytes that no record gives, in address order.
struct GapTally
{
    qint64 bytes = 0;
    qint64 runs = 0;
    qint64 firstStart = 0;
    qint64 firstLength = 0;
    qint64 runEnd = -1;

    void add(qint64 start, qint64 length)
    {
        bytes += length;
        if (start == runEnd) {
            if (runs == 1)
                firstLength += length;
        } else if (++runs == 1) {
            firstStart = start;
            firstLength = length;
        }
        runEnd = start + length;
    }
};
// Calls visit(word, mask) for each word of a bit table that bits start to
// start + count - 1 fall in, with the mask of those bits.
template <typename Visit>
void ForEachBitWord(int start, int count, Visit visit)
{
    const int end = start + count;
    for (int at = start; at < end;) {
        const int bit = at % BitsPerWord;
        const int bits = std::min(BitsPerWord - bit, end - at);
        const quint64 ones = bits == BitsPerWord ? ~quint64(0) : (quint64(1) << bits) - 1;
        visit(at / BitsPerWord, ones << bit);
        at += bits;
    }
}
} // namespace

struct PlacedImage::Page
{
    enum class State {
        Untouched,
        Live,    // bytes hold the image, overwritten where the first data given differs
        Settled, // every byte given once, equal to the image: dropped from memory
    };
    State state = State::Untouched;
    std::unique_ptr<quint8[]> bytes;
    std::unique_ptr<quint64[]> given; // one bit per byte
    qint64 givenCount = 0;
    bool differs = false;  // a byte given here differs from the image
    bool reloaded = false; // settled once and read again: stays in memory
};

PlacedImage::PlacedImage(QIODevice *image, std::optional<quint32> address)
    : m_image(image), m_size(image->size()), m_address(address)
{
    const qint64 reach = std::min(m_size, AddressSpace);
    m_pages.resize(size_t((reach + PageSize - 1) / PageSize));
}

PlacedImage::~PlacedImage() = default;

qint64 PlacedImage::pageLength(qint64 index) const
{
    return std::min(PageSize, m_size - index * PageSize);
}

QString PlacedImage::addressText(qint64 offset) const
{
    return HexDigits(quint64(m_address.value_or(0)) + quint64(offset), 8);
}

bool PlacedImage::place(qint64 lineNumber, quint32 address, const quint8 *data, int count)
{
    if (count <= 0)
        return true;
    if (!m_address)
        m_address = address;
    const int beforeWrap = int(std::min<qint64>(count, AddressSpace - address));
    if (!placeRun(lineNumber, address, data, beforeWrap))
        return false;
    return beforeWrap == count || placeRun(lineNumber, 0, data + beforeWrap, count - beforeWrap);
}

bool PlacedImage::placeRun(qint64 lineNumber, quint32 address, const quint8 *data, int count)
{
    m_bytesPlaced += count;
    const quint32 last = address + quint32(count - 1);
    m_lowest = m_lowest ? std::min(*m_lowest, address) : address;
    m_highest = m_highest ? std::max(*m_highest, last) : last;

    auto outside = [this, lineNumber](qint64 at, qint64 bytes) {
        if (m_outside.count == 0)
            m_outside.first = QStringLiteral("line %1 at address %2").arg(lineNumber).arg(HexDigits(quint64(at), 8));
        m_outside.count += bytes;
    };
    const qint64 offset = qint64(address) - qint64(*m_address);
    qint64 done = 0;
    if (offset < 0) {
        done = std::min<qint64>(count, -offset);
        outside(address, done);
    }
    while (done < count && offset + done < m_size) {
        const qint64 at = offset + done;
        const qint64 pageEnd = std::min((at / PageSize + 1) * PageSize, m_size);
        const int length = int(std::min<qint64>(count - done, pageEnd - at));
        if (!layInPage(lineNumber, at, data + done, length))
            return false;
        done += length;
    }
    if (done < count)
        outside(qint64(address) + done, count - done);
    return true;
}

bool PlacedImage::layInPage(qint64 lineNumber, qint64 offset, const quint8 *data, int count)
{
    const qint64 index = offset / PageSize;
    Page *page = loadPage(index);
    if (!page)
        return false;
    if (!layFirstAlike(*page, int(offset % PageSize), data, count))
        layEach(*page, lineNumber, offset, data, count);
    if (page->givenCount == pageLength(index) && !page->differs && !page->reloaded) {
        page->bytes.reset();
        page->given.reset();
        page->state = Page::State::Settled;
    }
    return true;
}

void PlacedImage::layEach(Page &page, qint64 lineNumber, qint64 offset, const quint8 *data, int count)
{
    auto note = [&](Finding &finding, int i, quint8 held, const QString &heldBy) {
        if (finding.count++ == 0)
            finding.first = QStringLiteral("line %1: byte at address %2 (image offset %3) is %4, %5 %6")
                                .arg(lineNumber)
                                .arg(addressText(offset + i))
                                .arg(offset + i)
                                .arg(HexDigits(data[i], 2), heldBy, HexDigits(held, 2));
    };

    const int start = int(offset % PageSize);
    for (int i = 0; i < count; ++i) {
        const int at = start + i;
        quint64 &word = page.given[size_t(at / BitsPerWord)];
        const quint64 bit = quint64(1) << (at % BitsPerWord);
        quint8 &held = page.bytes[size_t(at)];
        if (!(word & bit)) {
            word |= bit;
            ++page.givenCount;
            if (held != data[i]) {
                note(m_mismatches, i, held, QStringLiteral("the image holds"));
                held = data[i]; // a later record giving this byte again is compared with this one
                page.differs = true;
            }
        } else if (held != data[i]) {
            note(m_conflicts, i, held, QStringLiteral("an earlier record gave"));
        }
    }
}

bool PlacedImage::layFirstAlike(Page &page, int start, const quint8 *data, int count)
{
    // The common case, a run of bytes given for the first time and equal to
    // the image, in a few word operations rather than byte by byte.
    bool fresh = true;
    ForEachBitWord(start, count, [&](int word, quint64 mask) { fresh = fresh && !(page.given[size_t(word)] & mask); });
    if (!fresh || std::memcmp(page.bytes.get() + start, data, size_t(count)) != 0)
        return false;
    ForEachBitWord(start, count, [&](int word, quint64 mask) { page.given[size_t(word)] |= mask; });
    page.givenCount += count;
    return true;
}

PlacedImage::Page *PlacedImage::loadPage(qint64 index)
{
    Page &page = m_pages[size_t(index)];
    if (page.state == Page::State::Live)
        return &page;
    // The last page holds what is left of the image, so a small image costs no full page.
    const qint64 length = pageLength(index);
    const qint64 words = (length + BitsPerWord - 1) / BitsPerWord;
    page.bytes = std::make_unique<quint8[]>(size_t(length));
    page.given = std::make_unique<quint64[]>(size_t(words));
    if (!m_image->seek(index * PageSize) || ReadUpTo(m_image, page.bytes.get(), length) != length) {
        m_readError = m_image->errorString();
        if (m_readError.isEmpty())
            m_readError = QStringLiteral("the image ended before its size");
        return nullptr;
    }
    if (page.state == Page::State::Settled) {
        // Every byte was given and equal to the image, which the page holds again.
        std::fill_n(page.given.get(), words, ~quint64(0));
        page.givenCount = length;
        page.reloaded = true;
    }
    page.state = Page::State::Live;
    return &page;
}

QString PlacedImage::gapsText() const
{
    GapTally gaps;
    for (size_t index = 0; index < m_pages.size(); ++index) {
        const Page &page = m_pages[index];
        const qint64 base = qint64(index) * PageSize;
        const qint64 length = pageLength(qint64(index));
        if (page.state == Page::State::Untouched) {
            gaps.add(base, length);
        } else if (page.state == Page::State::Live) {
            for (qint64 at = 0; at < length;) {
                const quint64 word = page.given[size_t(at / BitsPerWord)];
                if (at % BitsPerWord == 0 && word == ~quint64(0)) {
                    at += BitsPerWord;
                    continue;
                }
                if (!(word & (quint64(1) << (at % BitsPerWord))))
                    gaps.add(base + at, 1);
                ++at;
            }
        }
    }
    const qint64 tableEnd = std::min(m_size, AddressSpace);
    if (m_size > tableEnd)
        gaps.add(tableEnd, m_size - tableEnd);
    if (gaps.bytes == 0)
        return QString();
    const qint64 firstEnd = gaps.firstStart + gaps.firstLength - 1;
    QString text = QStringLiteral("gap: no data for image offsets %1-%2 (addresses %3-%4, %5 bytes)")
                       .arg(gaps.firstStart)
                       .arg(firstEnd)
                       .arg(addressText(gaps.firstStart), addressText(firstEnd))
                       .arg(gaps.firstLength);
    if (gaps.runs > 1)
        text += QStringLiteral(", and %1 more bytes in %2 more gaps").arg(gaps.bytes - gaps.firstLength).arg(gaps.runs - 1);
    return text;
}

InspectionCheck PlacedImage::verdict(const QString &name, bool complete, const QString &unread) const
{
    if (complete && m_bytesPlaced == 0)
        return {name, false, QStringLiteral("the file holds no data")};

    QStringList faults;
    if (m_mismatches.count > 0)
        faults << (m_mismatches.count == 1 ? m_mismatches.first
                                           : QStringLiteral("%1 (%2 bytes differ)").arg(m_mismatches.first).arg(m_mismatches.count));
    if (m_conflicts.count > 0)
        faults << QStringLiteral("overlap with different bytes: %1 (%2 bytes)").arg(m_conflicts.first).arg(m_conflicts.count);
    if (m_outside.count > 0) {
        const QString range = m_size > 0 ? QStringLiteral("addresses %1-%2").arg(addressText(0), addressText(m_size - 1))
                                         : QStringLiteral("address (it is empty)");
        faults << QStringLiteral("%1 bytes outside the image's %2, the first on %3")
                      .arg(m_outside.count)
                      .arg(range, m_outside.first);
    }
    if (complete) {
        const QString gaps = gapsText();
        if (!gaps.isEmpty())
            faults << gaps;
    } else {
        faults << unread;
    }
    if (!faults.isEmpty())
        return {name, false, faults.join(QStringLiteral("; "))};
    return {name, true,
            QStringLiteral("%1 bytes equal to the image from address %2").arg(m_size).arg(addressText(0))};
}
