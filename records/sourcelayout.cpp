#include "sourcelayout.h"

#include "elffile.h"
#include "hexdigits.h"
#include "sourcereader.h"

#include <QIODevice>

#include <algorithm>

namespace {
QString AddressText(quint64 address)
{
    return QStringLiteral("0x") + HexDigits(address, 8);
}
} // namespace

SourceLayout::SourceLayout(SourceFormat format, const SourceLayoutOptions &options)
    : m_format(format), m_options(options), m_pages(options.fill), m_elf(options.fill)
{
}

bool SourceLayout::refuse(SourceLayoutFault fault, const QString &text)
{
    m_fault = fault;
    m_faultText = text;
    return false;
}

bool SourceLayout::clip(quint64 &start, quint64 &end)
{
    if (end < start) // a size that wraps past 2^64
        return refuse(SourceLayoutFault::OutOfRange,
                      QStringLiteral("data at %1 runs past the end of the address space").arg(AddressText(start)));
    if (m_options.crop) {
        start = std::max(start, m_options.crop->start);
        end = std::min(end, m_options.crop->end);
        if (start >= end)
            return true;
    }
    if (end > AddressSpaceEnd)
        return refuse(SourceLayoutFault::OutOfRange,
                      QStringLiteral("data at %1 to %2 lies past 0xFFFFFFFF, outside a 32-bit image")
                          .arg(AddressText(start), AddressText(end - 1)));
    m_data.add({start, end});
    if (m_data.count() > MaxRanges)
        return refuse(SourceLayoutFault::TooLarge,
                      QStringLiteral("the data lies in more than %1 separate ranges").arg(MaxRanges));
    return true;
}

bool SourceLayout::take(const SourcePiece &piece)
{
    quint64 start = piece.address;
    quint64 end = piece.address + quint64(piece.size);
    if (!clip(start, end))
        return false;
    if (start >= end)
        return true;
    if (!m_overLimit && m_data.span().size() > quint64(m_options.maxSize)) {
        // Still read to the end: the refusal lists every range.
        m_overLimit = true;
        m_pages.clear();
    }
    if (m_overLimit)
        return true;
    const quint8 *data = piece.data + (start - piece.address);
    const std::optional<quint64> differs = m_pages.place(start, data, qint64(end - start));
    if (!differs)
        return true;
    m_overlapAddress = differs;
    m_overlapOrigin = piece.origin;
    m_overlapByte = data[*differs - start];
    return false;
}

void SourceLayout::nameOverlap(QIODevice *device, quint64 address, const QString &later, quint8 laterByte)
{
    // Read again to the first piece that gives the address: the earlier one.
    QString earlier = QStringLiteral("earlier data");
    SourceReading reading = ReadSourcePieces(device, m_format, [&](const SourcePiece &piece) {
        if (address < piece.address || address - piece.address >= quint64(piece.size))
            return true;
        m_overlapOrigin = piece.origin;
        return false;
    });
    if (reading.stopped)
        earlier = reading.originText(m_overlapOrigin);
    refuse(SourceLayoutFault::Overlap,
           QStringLiteral("data given twice with different bytes at %1: %2 gives 0x%3, %4 gives 0x%5")
               .arg(AddressText(address), earlier, HexDigits(m_pages.byteAt(address), 2), later,
                    HexDigits(laterByte, 2)));
}

bool SourceLayout::read(QIODevice *device)
{
    const bool placed = m_format == SourceFormat::Elf ? readElf(device) : readRecords(device);
    if (!placed)
        return false;
    if (m_format != SourceFormat::Elf)
        m_pages.fillGaps();
    return true;
}

bool SourceLayout::readRecords(QIODevice *device)
{
    const SourceReading reading =
        ReadSourcePieces(device, m_format, [this](const SourcePiece &piece) { return take(piece); });
    m_entryAddress = reading.entryAddress;
    if (!reading.fault.isEmpty())
        return refuse(reading.readFailed ? SourceLayoutFault::ReadFailed : SourceLayoutFault::Malformed,
                      reading.fault);
    if (m_fault != SourceLayoutFault::None)
        return false;
    if (m_overlapAddress) {
        nameOverlap(device, *m_overlapAddress, reading.originText(m_overlapOrigin), m_overlapByte);
        return false;
    }
    return checkSpan();
}

// The sections are placed by their headers alone; their bytes are read only
// where two overlap, and again as the payload is handed out.
bool SourceLayout::readElf(QIODevice *device)
{
    const ElfLoadLayout elf = ReadElfLayout(device);
    if (!elf.fault.isEmpty())
        return refuse(SourceLayoutFault::Malformed, elf.fault);
    m_entryAddress = elf.entryAddress;
    for (const ElfLoadPiece &piece : elf.pieces) {
        quint64 start = piece.address;
        quint64 end = piece.address + piece.size;
        if (!clip(start, end))
            return false;
        if (start < end)
            m_elf.add({start, end, piece.fileOffset + (start - piece.address), piece.name});
    }
    if (!checkSpan())
        return false;
    bool readFailed = false;
    const QString overlap = m_elf.checkOverlaps(device, &readFailed);
    if (!overlap.isEmpty())
        return refuse(readFailed ? SourceLayoutFault::ReadFailed : SourceLayoutFault::Overlap, overlap);
    m_device = device;
    return true;
}

bool SourceLayout::checkSpan()
{
    if (m_data.isEmpty())
        return refuse(SourceLayoutFault::NoData,
                      m_options.crop ? QStringLiteral("no data lies inside %1").arg(AddressRangeText(*m_options.crop))
                                     : QStringLiteral("it holds no data"));
    const AddressRange span = m_data.span();
    if (span.size() <= quint64(m_options.maxSize))
        return true;
    return refuse(SourceLayoutFault::TooLarge,
                  QStringLiteral("its data spans %1 bytes from %2 to %3, more than the limit of %4 bytes; "
                                 "data ranges: %5")
                      .arg(span.size())
                      .arg(AddressText(span.start), AddressText(span.end - 1))
                      .arg(m_options.maxSize)
                      .arg(m_data.text(ShownRanges)));
}

bool SourceLayout::forEachChunk(const std::function<bool(const quint8 *, qint64)> &take) const
{
    const AddressRange span = m_data.span();
    if (m_format == SourceFormat::Elf)
        return m_device && m_elf.forEachChunk(m_device, span.start, span.end, take, &m_readError);
    return m_pages.forEachChunk(span.start, span.end, take);
}
