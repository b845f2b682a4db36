#include "elfpayload.h"

#include "hexdigits.h"

#include <QIODevice>

#include <algorithm>

namespace {
constexpr qint64 ChunkSize = 64 * 1024;
} // namespace

bool ElfPayload::readAt(QIODevice *device, quint64 offset, quint8 *data, qint64 count) const
{
    return device->seek(qint64(offset)) && device->read(reinterpret_cast<char *>(data), count) == count;
}

QString ElfPayload::checkOverlaps(QIODevice *device, bool *readFailed)
{
    std::stable_sort(m_pieces.begin(), m_pieces.end(),
                     [](const Piece &a, const Piece &b) { return a.start < b.start; });
    std::vector<quint8> earlier(static_cast<size_t>(ChunkSize));
    std::vector<quint8> later(static_cast<size_t>(ChunkSize));
    // The piece reaching furthest so far: by then every byte up to its end
    // agrees with it, so a later piece need only be laid against it.
    size_t holder = 0;
    for (size_t i = 1; i < m_pieces.size(); ++i) {
        const Piece &piece = m_pieces[i];
        const Piece &held = m_pieces[holder];
        const quint64 overlapEnd = std::min(piece.end, held.end);
        for (quint64 at = piece.start; at < overlapEnd;) {
            const qint64 count = qint64(std::min<quint64>(overlapEnd - at, ChunkSize));
            if (!readAt(device, held.fileOffset + (at - held.start), earlier.data(), count)
                || !readAt(device, piece.fileOffset + (at - piece.start), later.data(), count)) {
                *readFailed = true;
                return device->errorString();
            }
            const auto mismatch = std::mismatch(earlier.cbegin(), earlier.cbegin() + count, later.cbegin());
            if (mismatch.first != earlier.cbegin() + count) {
                const quint64 address = at + quint64(mismatch.first - earlier.cbegin());
                return QStringLiteral("data given twice with different bytes at 0x%1: %2 gives 0x%3, %4 gives 0x%5")
                    .arg(HexDigits(address, 8), held.name, HexDigits(*mismatch.first, 2), piece.name,
                         HexDigits(*mismatch.second, 2));
            }
            at += quint64(count);
        }
        if (piece.end > held.end)
            holder = i;
    }
    return QString();
}

bool ElfPayload::forEachChunk(QIODevice *device, quint64 start, quint64 end,
                              const std::function<bool(const quint8 *, qint64)> &take, QString *readError) const
{
    std::vector<quint8> chunk(static_cast<size_t>(ChunkSize));
    std::vector<quint8> fill;
    quint64 at = start;
    const auto fillUpTo = [&](quint64 until) {
        if (fill.empty())
            fill.assign(static_cast<size_t>(ChunkSize), m_fill);
        for (; at < until;) {
            const qint64 count = qint64(std::min<quint64>(until - at, ChunkSize));
            if (!take(fill.data(), count))
                return false;
            at += quint64(count);
        }
        return true;
    };
    for (const Piece &piece : m_pieces) {
        if (piece.end <= at || piece.start >= end)
            continue;
        if (piece.start > at && !fillUpTo(piece.start))
            return false;
        for (const quint64 until = std::min(piece.end, end); at < until;) {
            const qint64 count = qint64(std::min<quint64>(until - at, ChunkSize));
            if (!readAt(device, piece.fileOffset + (at - piece.start), chunk.data(), count)) {
                *readError = QStringLiteral("%1 cannot be read: %2").arg(piece.name, device->errorString());
                return false;
            }
            if (!take(chunk.data(), count))
                return false;
            at += quint64(count);
        }
    }
    return fillUpTo(end);
}
