#ifndef VANDREL_RECORDS_ELFPAYLOAD_H
#define VANDREL_RECORDS_ELFPAYLOAD_H

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// An ELF's loadable pieces placed by address without holding their bytes:
// they stay in the file and are read from it in chunks as the payload is
// handed out, so memory stays at a chunk whatever the span.
class ElfPayload
{
public:
    struct Piece
    {
        quint64 start = 0; // address
        quint64 end = 0;   // excluded
        quint64 fileOffset = 0;
        QString name;
    };

    explicit ElfPayload(quint8 fill) : m_fill(fill) {}

    void add(const Piece &piece) { m_pieces.push_back(piece); }

    // Orders the pieces by address and compares the bytes wherever two
    // overlap. The first difference as one line naming both pieces, or an
    // empty text; readFailed is set when the device failed.
    QString checkOverlaps(QIODevice *device, bool *readFailed);

    // Hands out the bytes from start up to end (the span of the pieces) in
    // address order, gaps filled; false as soon as take returns false, or
    // with readError set when the device fails.
    bool forEachChunk(QIODevice *device, quint64 start, quint64 end,
                      const std::function<bool(const quint8 *, qint64)> &take, QString *readError) const;

private:
    bool readAt(QIODevice *device, quint64 offset, quint8 *data, qint64 count) const;

    quint8 m_fill;
    std::vector<Piece> m_pieces;
};

#endif
