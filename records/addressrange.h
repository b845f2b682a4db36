#ifndef VANDREL_RECORDS_ADDRESSRANGE_H
#define VANDREL_RECORDS_ADDRESSRANGE_H

#include <QString>
#include <QtGlobal>

// Addresses from start up to end, end excluded. 64-bit, so that data an
// ELF64 file or a record near 4 GiB places past 0xFFFFFFFF can be named.
struct AddressRange
{
    quint64 start = 0;
    quint64 end = 0;

    quint64 size() const { return end - start; }
    bool contains(quint64 address) const { return address >= start && address < end; }
    friend bool operator==(const AddressRange &a, const AddressRange &b)
    {
        return a.start == b.start && a.end == b.end;
    }
};

// The highest address plus one that a 32-bit image can hold.
constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);

// "0x08000000-0x08000400 (1024 bytes)", the end excluded.
QString AddressRangeText(const AddressRange &range);

#endif
