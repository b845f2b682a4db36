#ifndef VANDREL_RECORDS_SOURCELAYOUT_H
#define VANDREL_RECORDS_SOURCELAYOUT_H

#include "addressrange.h"
#include "addressranges.h"
#include "elfpayload.h"
#include "payloadpages.h"
#include "sourceformat.h"
#include "sourcepiece.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

struct SourceLayoutOptions
{
    // Larger spans are refused: a stray section far away would otherwise
    // make an image of hundreds of megabytes.
    static constexpr qint64 DefaultMaxSize = 64 * 1024 * 1024;
    // Erased flash.
    static constexpr quint8 DefaultFill = 0xFF;

    quint8 fill = DefaultFill;
    qint64 maxSize = DefaultMaxSize;
    std::optional<AddressRange> crop; // only data inside it is kept
};

// Why an addressed source gives no payload.
enum class SourceLayoutFault {
    None,
    ReadFailed,  // the device failed
    Malformed,   // not a well-formed file of its format
    NoData,      // well-formed, but no data (inside the crop range)
    Overlap,     // bytes given twice with different values
    TooLarge,    // the span is over the limit, or has too many ranges
    OutOfRange,  // data past 0xFFFFFFFF
};

// An addressed source placed by address: the payload runs from the lowest
// data address to the end of the highest data, and bytes no data gives are
// filled. A record file's data is held in memory, which follows the data
// placed, at most about the limit. An ELF's stays in the file, which must
// stay open and unchanged until the payload is handed out.
class SourceLayout
{
public:
    // More separate ranges than this are refused rather than listed.
    static constexpr size_t MaxRanges = 65536;
    // Ranges a refusal lists before "and N more".
    static constexpr int ShownRanges = 16;

    SourceLayout(SourceFormat format, const SourceLayoutOptions &options);
    SourceLayout(const SourceLayout &) = delete;
    SourceLayout &operator=(const SourceLayout &) = delete;

    // Reads the device (from offset 0) and places its data; false with
    // fault() and faultText() set when it gives no payload.
    bool read(QIODevice *device);

    SourceLayoutFault fault() const { return m_fault; }
    // One line without the file's name, e.g. "line 7: checksum 12, ...".
    const QString &faultText() const { return m_faultText; }

    SourceFormat format() const { return m_format; }
    quint8 fill() const { return m_options.fill; }
    std::optional<quint64> entryAddress() const { return m_entryAddress; }
    quint32 firstAddress() const { return quint32(m_data.span().start); }
    qint64 size() const { return qint64(m_data.span().size()); }
    std::vector<AddressRange> dataRanges() const { return m_data.ranges(); }
    std::vector<AddressRange> filledRanges() const { return m_data.gaps(); }

    // The payload in address order, in pieces; false as soon as take is,
    // or with readError() set when an ELF's bytes cannot be read.
    bool forEachChunk(const std::function<bool(const quint8 *, qint64)> &take) const;
    const QString &readError() const { return m_readError; }

private:
    bool readRecords(QIODevice *device);
    bool readElf(QIODevice *device);
    // Clipped to the crop range; false when refused (past 4 GiB, too many ranges).
    bool clip(quint64 &start, quint64 &end);
    bool checkSpan();
    bool take(const SourcePiece &piece);
    bool refuse(SourceLayoutFault fault, const QString &text);
    void nameOverlap(QIODevice *device, quint64 address, const QString &later, quint8 laterByte);

    SourceFormat m_format;
    SourceLayoutOptions m_options;
    SourceLayoutFault m_fault = SourceLayoutFault::None;
    QString m_faultText;
    std::optional<quint64> m_entryAddress;
    AddressRanges m_data;
    PayloadPages m_pages;
    ElfPayload m_elf;
    QIODevice *m_device = nullptr; // an ELF's, read again for its bytes
    mutable QString m_readError;
    bool m_overLimit = false;
    std::optional<quint64> m_overlapAddress;
    qint64 m_overlapOrigin = 0;
    quint8 m_overlapByte = 0;
};

#endif
