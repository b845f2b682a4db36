#include "elffile.h"

#include "hexdigits.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <vector>

namespace {
namespace Elf {
constexpr int IdentSize = 16;
constexpr int ClassIndex = 4;
constexpr int DataIndex = 5;
constexpr int VersionIndex = 6;
constexpr quint8 Class32 = 1;
constexpr quint8 Class64 = 2;
constexpr quint8 LittleEndian = 1;
constexpr quint8 BigEndian = 2;
constexpr quint8 CurrentVersion = 1;

constexpr quint16 TypeRelocatable = 1;
constexpr quint16 TypeExecutable = 2;
constexpr quint16 TypeShared = 3;
constexpr quint32 SegmentLoad = 1;
constexpr quint32 SectionNoBits = 8;
constexpr quint64 SectionAlloc = 0x2;
constexpr quint16 ProgramHeaderEscape = 0xFFFF; // PN_XNUM
constexpr quint16 SectionIndexEscape = 0xFFFF;  // SHN_XINDEX
}

// Where the fields lie in the headers of one ELF class.
struct ElfClassLayout
{
    int headerSize;
    int wordSize; // of addresses, offsets and sizes
    int entry, programOffset, sectionOffset, programEntrySize, programCount, sectionEntrySize, sectionCount,
        nameIndex;
    int programSize, pType, pOffset, pPhysical, pVirtual, pFileSize, pMemorySize;
    int sectionSize, shName, shType, shFlags, shAddress, shOffset, shSize, shLink, shInfo;
};

constexpr ElfClassLayout Layout32{52, 4, 24, 28, 32, 42, 44, 46, 48, 50,
                                  32, 0, 4, 12, 8, 16, 20,
                                  40, 0, 4, 8, 12, 16, 20, 24, 28};
constexpr ElfClassLayout Layout64{64, 8, 24, 32, 40, 54, 56, 58, 60, 62,
                                  56, 0, 8, 24, 16, 32, 40,
                                  64, 0, 4, 8, 16, 24, 32, 40, 44};
constexpr int Type = 16;

constexpr qint64 ChunkSize = 64 * 1024;
constexpr int MaxNameLength = 256;

// Fields of one header read in the file's byte order.
class Fields
{
public:
    Fields(const std::vector<quint8> &bytes, bool bigEndian, int wordSize)
        : m_bytes(bytes), m_bigEndian(bigEndian), m_wordSize(wordSize)
    {
    }
    quint64 value(int offset, int size) const
    {
        quint64 value = 0;
        for (int i = 0; i < size; ++i) {
            const int index = m_bigEndian ? offset + i : offset + size - 1 - i;
            value = value << 8 | m_bytes[size_t(index)];
        }
        return value;
    }
    quint16 half(int offset) const { return quint16(value(offset, 2)); }
    quint32 word(int offset) const { return quint32(value(offset, 4)); }
    quint64 wide(int offset) const { return value(offset, m_wordSize); }

private:
    const std::vector<quint8> &m_bytes;
    bool m_bigEndian;
    int m_wordSize;
};

struct Segment
{
    quint64 offset, fileSize, physical, virtualAddress, memorySize;
};

struct Section
{
    quint32 name, type;
    quint64 flags, address, offset, size;
    quint32 link, info;
};

// The whole of one reading of the headers.
class ElfReader
{
public:
    explicit ElfReader(QIODevice *device) : m_device(device), m_fileSize(quint64(device->size())) {}
    ElfLoadLayout read();

private:
    bool readIdent();
    bool readHeader();
    bool readAt(quint64 offset, int size, std::vector<quint8> &bytes);
    bool tableFits(quint64 offset, quint64 count, quint64 entrySize, int needed, const char *what);
    bool readSegments();
    bool readSections();
    bool readSectionHeader(quint64 index, Section &section);
    bool placeSections();
    bool placeSegments();
    QString sectionName(const Section &section, quint64 index);
    // The bytes [offset, offset + size) that what names ("segment 2", a
    // section) must lie inside the file.
    bool insideFile(const QString &what, quint64 offset, quint64 size)
    {
        if (offset <= m_fileSize && size <= m_fileSize - offset)
            return true;
        return fail(QStringLiteral("%1 (%2 bytes at offset 0x%3) runs past the end of the file (%4 bytes)")
                        .arg(what)
                        .arg(size)
                        .arg(HexDigits(offset, 1))
                        .arg(m_fileSize));
    }
    bool fail(const QString &fault)
    {
        m_layout.fault = fault;
        return false;
    }

    QIODevice *m_device;
    quint64 m_fileSize;
    ElfLoadLayout m_layout;
    const ElfClassLayout *m_class = &Layout32;
    bool m_bigEndian = false;
    std::vector<quint8> m_buffer;
    quint64 m_programOffset = 0, m_programCount = 0, m_programEntrySize = 0;
    quint64 m_sectionOffset = 0, m_sectionCount = 0, m_sectionEntrySize = 0, m_nameIndex = 0;
    std::vector<Segment> m_segments;
    std::vector<Section> m_sections;
};

bool ElfReader::readAt(quint64 offset, int size, std::vector<quint8> &bytes)
{
    bytes.resize(size_t(size));
    if (offset > m_fileSize || quint64(size) > m_fileSize - offset)
        return false;
    return m_device->seek(qint64(offset)) && m_device->read(reinterpret_cast<char *>(bytes.data()), size) == size;
}

bool ElfReader::readIdent()
{
    if (!readAt(0, Elf::IdentSize, m_buffer))
        return fail(QStringLiteral("the file ends inside its ELF identification (%1 bytes)").arg(m_fileSize));
    if (m_buffer[0] != 0x7F || m_buffer[1] != 'E' || m_buffer[2] != 'L' || m_buffer[3] != 'F')
        return fail(QStringLiteral("the file does not start with the ELF magic"));
    const quint8 elfClass = m_buffer[Elf::ClassIndex];
    const quint8 data = m_buffer[Elf::DataIndex];
    if (elfClass != Elf::Class32 && elfClass != Elf::Class64)
        return fail(QStringLiteral("ELF class %1 is neither 32- nor 64-bit").arg(elfClass));
    if (data != Elf::LittleEndian && data != Elf::BigEndian)
        return fail(QStringLiteral("ELF data encoding %1 is neither little- nor big-endian").arg(data));
    if (m_buffer[Elf::VersionIndex] != Elf::CurrentVersion)
        return fail(QStringLiteral("ELF version %1 is not 1").arg(m_buffer[Elf::VersionIndex]));
    m_class = elfClass == Elf::Class32 ? &Layout32 : &Layout64;
    m_bigEndian = data == Elf::BigEndian;
    return true;
}

bool ElfReader::readHeader()
{
    const ElfClassLayout &c = *m_class;
    if (!readAt(0, c.headerSize, m_buffer))
        return fail(QStringLiteral("the file ends inside its ELF header (%1 bytes, the header takes %2)")
                        .arg(m_fileSize)
                        .arg(c.headerSize));
    const Fields header(m_buffer, m_bigEndian, c.wordSize);
    const quint16 type = header.half(Type);
    if (type == Elf::TypeRelocatable)
        return fail(QStringLiteral("it is a relocatable object (ET_REL), not linked to addresses: give the linked "
                                   "executable"));
    if (type != Elf::TypeExecutable && type != Elf::TypeShared)
        return fail(QStringLiteral("ELF type %1 is not an executable").arg(type));
    m_layout.entryAddress = header.wide(c.entry);
    m_programOffset = header.wide(c.programOffset);
    m_programEntrySize = header.half(c.programEntrySize);
    m_programCount = header.half(c.programCount);
    m_sectionOffset = header.wide(c.sectionOffset);
    m_sectionEntrySize = header.half(c.sectionEntrySize);
    m_sectionCount = header.half(c.sectionCount);
    m_nameIndex = header.half(c.nameIndex);
    if (m_programCount == Elf::ProgramHeaderEscape)
        return fail(QStringLiteral("more than 65534 program headers are not read"));
    return true;
}

bool ElfReader::tableFits(quint64 offset, quint64 count, quint64 entrySize, int needed, const char *what)
{
    if (count == 0)
        return true;
    if (entrySize < quint64(needed))
        return fail(QStringLiteral("%1 entries of %2 bytes are shorter than the %3 they take")
                        .arg(QLatin1String(what))
                        .arg(entrySize)
                        .arg(needed));
    if (offset > m_fileSize || count * entrySize > m_fileSize - offset)
        return fail(QStringLiteral("the %1 table (%2 entries at offset 0x%3) runs past the end of the file (%4 bytes)")
                        .arg(QLatin1String(what))
                        .arg(count)
                        .arg(HexDigits(offset, 1))
                        .arg(m_fileSize));
    return true;
}

bool ElfReader::readSegments()
{
    const ElfClassLayout &c = *m_class;
    if (!tableFits(m_programOffset, m_programCount, m_programEntrySize, c.programSize, "program header"))
        return false;
    for (quint64 i = 0; i < m_programCount; ++i) {
        if (!readAt(m_programOffset + i * m_programEntrySize, c.programSize, m_buffer))
            return fail(m_device->errorString());
        const Fields entry(m_buffer, m_bigEndian, c.wordSize);
        if (entry.word(c.pType) != Elf::SegmentLoad)
            continue;
        const Segment segment{entry.wide(c.pOffset), entry.wide(c.pFileSize), entry.wide(c.pPhysical),
                              entry.wide(c.pVirtual), entry.wide(c.pMemorySize)};
        if (!insideFile(QStringLiteral("segment %1").arg(i), segment.offset, segment.fileSize))
            return false;
        m_segments.push_back(segment);
    }
    return true;
}

bool ElfReader::readSectionHeader(quint64 index, Section &section)
{
    const ElfClassLayout &c = *m_class;
    if (!readAt(m_sectionOffset + index * m_sectionEntrySize, c.sectionSize, m_buffer))
        return fail(QStringLiteral("section header %1 cannot be read").arg(index));
    const Fields entry(m_buffer, m_bigEndian, c.wordSize);
    section = Section{entry.word(c.shName), entry.word(c.shType), entry.wide(c.shFlags), entry.wide(c.shAddress),
                      entry.wide(c.shOffset),  entry.wide(c.shSize), entry.word(c.shLink),   entry.word(c.shInfo)};
    return true;
}

bool ElfReader::readSections()
{
    const ElfClassLayout &c = *m_class;
    if (m_sectionOffset == 0)
        return true;
    // More than 65279 sections: the count and the name table's index are
    // kept in section 0.
    if (m_sectionCount == 0 || m_nameIndex == Elf::SectionIndexEscape) {
        Section first{};
        if (!tableFits(m_sectionOffset, 1, m_sectionEntrySize, c.sectionSize, "section header")
            || !readSectionHeader(0, first))
            return false;
        if (m_sectionCount == 0)
            m_sectionCount = first.size;
        if (m_nameIndex == Elf::SectionIndexEscape)
            m_nameIndex = first.link;
    }
    if (!tableFits(m_sectionOffset, m_sectionCount, m_sectionEntrySize, c.sectionSize, "section header"))
        return false;
    m_sections.resize(size_t(m_sectionCount));
    for (quint64 i = 0; i < m_sectionCount; ++i) {
        if (!readSectionHeader(i, m_sections[size_t(i)]))
            return false;
    }
    return true;
}

QString ElfReader::sectionName(const Section &section, quint64 index)
{
    const QString fallback = QStringLiteral("section %1").arg(index);
    if (m_nameIndex >= m_sections.size() || m_sections[size_t(m_nameIndex)].type == Elf::SectionNoBits)
        return fallback;
    const Section &names = m_sections[size_t(m_nameIndex)];
    if (section.name >= names.size)
        return fallback;
    const quint64 length = std::min<quint64>(MaxNameLength, names.size - section.name);
    if (!readAt(names.offset + section.name, int(length), m_buffer))
        return fallback;
    const auto end = std::find(m_buffer.cbegin(), m_buffer.cend(), quint8(0));
    const QString name =
        QString::fromLatin1(reinterpret_cast<const char *>(m_buffer.data()), int(end - m_buffer.cbegin()));
    return name.isEmpty() ? fallback : QStringLiteral("section ") + name;
}

// The load address of a section: through the PT_LOAD segment that holds its
// bytes (one whose memory also holds its run address first), else its own
// address.
quint64 LoadAddress(const Section &section, const std::vector<Segment> &segments)
{
    const Segment *holder = nullptr;
    for (const Segment &segment : segments) {
        const bool holdsBytes = section.offset >= segment.offset
                                && section.size <= segment.fileSize
                                && section.offset - segment.offset <= segment.fileSize - section.size;
        if (!holdsBytes)
            continue;
        const bool holdsRun = section.address >= segment.virtualAddress
                              && section.address - segment.virtualAddress < segment.memorySize;
        if (!holder || holdsRun)
            holder = &segment;
        if (holdsRun)
            break;
    }
    return holder ? holder->physical + (section.offset - holder->offset) : section.address;
}

bool ElfReader::placeSections()
{
    for (quint64 i = 0; i < m_sections.size(); ++i) {
        const Section &section = m_sections[size_t(i)];
        if (!(section.flags & Elf::SectionAlloc) || section.type == Elf::SectionNoBits || section.size == 0
            || section.type == 0)
            continue;
        const QString name = sectionName(section, i);
        if (!insideFile(name, section.offset, section.size))
            return false;
        m_layout.pieces.push_back({LoadAddress(section, m_segments), section.offset, section.size, name});
    }
    return true;
}

bool ElfReader::placeSegments()
{
    for (size_t i = 0; i < m_segments.size(); ++i) {
        const Segment &segment = m_segments[i];
        if (segment.fileSize > 0)
            m_layout.pieces.push_back({segment.physical, segment.offset, segment.fileSize,
                                       QStringLiteral("segment %1").arg(i)});
    }
    return true;
}

ElfLoadLayout ElfReader::read()
{
    if (readIdent() && readHeader() && readSegments() && readSections()) {
        const bool placed = m_sections.empty() ? placeSegments() : placeSections();
        if (placed && m_layout.pieces.empty())
            fail(QStringLiteral("it holds no loadable data"));
    }
    if (!m_layout.fault.isEmpty())
        m_layout.pieces.clear();
    return m_layout;
}
} // namespace

ElfLoadLayout ReadElfLayout(QIODevice *device)
{
    return ElfReader(device).read();
}

SourceReading ReadElfSource(QIODevice *device, const SourcePieceSink &sink)
{
    SourceReading reading;
    const ElfLoadLayout layout = ReadElfLayout(device);
    reading.fault = layout.fault;
    if (!reading.fault.isEmpty())
        return reading;
    reading.entryAddress = layout.entryAddress;
    std::vector<quint8> chunk(static_cast<size_t>(ChunkSize));
    for (const ElfLoadPiece &piece : layout.pieces) {
        const qint64 origin = qint64(reading.originNames.size());
        reading.originNames.push_back(piece.name);
        if (!device->seek(qint64(piece.fileOffset))) {
            reading.fault = device->errorString();
            reading.readFailed = true;
            return reading;
        }
        for (quint64 done = 0; done < piece.size;) {
            const qint64 want = qint64(std::min<quint64>(piece.size - done, ChunkSize));
            if (device->read(reinterpret_cast<char *>(chunk.data()), want) != want) {
                reading.fault = QStringLiteral("%1 cannot be read: %2").arg(piece.name, device->errorString());
                reading.readFailed = true;
                return reading;
            }
            if (!sink({piece.address + done, chunk.data(), want, origin})) {
                reading.stopped = true;
                return reading;
            }
            done += quint64(want);
        }
    }
    return reading;
}
