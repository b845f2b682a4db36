#ifndef VANDREL_RECORDS_ADDRESSRANGES_H
#define VANDREL_RECORDS_ADDRESSRANGES_H

#include "addressrange.h"

#include <QString>
#include <QtGlobal>

#include <map>
#include <vector>

// The addresses some data covers, as separate ranges: ranges that overlap or
// touch are joined as they are added, in any order.
class AddressRanges
{
public:
    void add(const AddressRange &range);

    bool isEmpty() const { return m_ranges.empty(); }
    size_t count() const { return m_ranges.size(); }
    // From the lowest address to the end of the highest; empty when there is none.
    AddressRange span() const;
    std::vector<AddressRange> ranges() const;
    // The ranges of the span that no data covers.
    std::vector<AddressRange> gaps() const;
    // The ranges for a one-line message, at most maxShown of them.
    QString text(int maxShown) const;

private:
    std::map<quint64, quint64> m_ranges; // start -> end
};

#endif
