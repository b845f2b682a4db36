#include "addressranges.h"

#include "hexdigits.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

QString AddressRangeText(const AddressRange &range)
{
    return QStringLiteral("0x%1-0x%2 (%3 bytes)")
        .arg(HexDigits(range.start, 8), HexDigits(range.end, 8))
        .arg(range.size());
}

void AddressRanges::add(const AddressRange &range)
{
    if (range.size() == 0)
        return;
    auto next = m_ranges.upper_bound(range.start);
    auto joined = next;
    if (next != m_ranges.begin() && std::prev(next)->second >= range.start) {
        joined = std::prev(next);
        if (range.end <= joined->second)
            return;
        joined->second = range.end;
    } else {
        joined = m_ranges.emplace_hint(next, range.start, range.end);
    }
    while (next != m_ranges.end() && next->first <= joined->second) {
        joined->second = std::max(joined->second, next->second);
        next = m_ranges.erase(next);
    }
}

AddressRange AddressRanges::span() const
{
    if (m_ranges.empty())
        return {};
    return {m_ranges.begin()->first, m_ranges.rbegin()->second};
}

std::vector<AddressRange> AddressRanges::ranges() const
{
    std::vector<AddressRange> all;
    all.reserve(m_ranges.size());
    for (const auto &range : m_ranges)
        all.push_back({range.first, range.second});
    return all;
}

std::vector<AddressRange> AddressRanges::gaps() const
{
    std::vector<AddressRange> all;
    for (auto range = m_ranges.begin(); range != m_ranges.end(); ++range) {
        const auto next = std::next(range);
        if (next != m_ranges.end())
            all.push_back({range->second, next->first});
    }
    return all;
}

QString AddressRanges::text(int maxShown) const
{
    QStringList shown;
    for (const auto &range : m_ranges) {
        if (shown.size() == maxShown)
            break;
        shown << AddressRangeText({range.first, range.second});
    }
    const auto more = qint64(m_ranges.size()) - shown.size();
    if (more > 0)
        shown << QStringLiteral("and %1 more").arg(more);
    return shown.join(QStringLiteral(", "));
}
