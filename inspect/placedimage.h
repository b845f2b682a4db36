#ifndef VANDREL_INSPECT_PLACEDIMAGE_H
#define VANDREL_INSPECT_PLACEDIMAGE_H

#include "inspectioncheck.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// The image placed at an address, against which the data of a record file is
// laid byte by byte, in any order. It finds the first byte that differs from
// the image, bytes given twice with different values, bytes outside the
// image's addresses, and bytes of the image that no record gives.
//
// The image is read in pages as records reach them. A page every byte of
// which has been given, equal to the image, is dropped, so a file in address
// order keeps about one page in memory; in any order, memory stays below
// about 1.2 times the image size, whatever the size of the record file.
class PlacedImage
{
public:
    // image: open for reading at any offset; its size is the image's size.
    // Without an address, the address of the first data placed is taken.
    PlacedImage(QIODevice *image, std::optional<quint32> address);
    ~PlacedImage();
    PlacedImage(const PlacedImage &) = delete;
    PlacedImage &operator=(const PlacedImage &) = delete;

    // Lays count bytes of the record on line lineNumber from address on,
    // wrapping from FFFFFFFF to 0. Returns false when the image cannot be
    // read (see readError).
    bool place(qint64 lineNumber, quint32 address, const quint8 *data, int count);

    std::optional<quint32> address() const { return m_address; }
    std::optional<quint32> lowestAddress() const { return m_lowest; }
    std::optional<quint32> highestAddress() const { return m_highest; }
    qint64 bytesPlaced() const { return m_bytesPlaced; }
    const QString &readError() const { return m_readError; }

    // The verdict once the data is laid. With complete false, not every
    // record was read, so bytes without data are not held against the file
    // and unread names why.
    InspectionCheck verdict(const QString &name, bool complete, const QString &unread) const;

private:
    struct Page;
    struct Finding
    {
        qint64 count = 0;
        QString first;
    };

    bool placeRun(qint64 lineNumber, quint32 address, const quint8 *data, int count);
    bool layInPage(qint64 lineNumber, qint64 offset, const quint8 *data, int count);
    // Bytes given for the first time and equal to the image, all at once;
    // false, with nothing changed, when any is not.
    static bool layFirstAlike(Page &page, int start, const quint8 *data, int count);
    // Byte by byte, noting each difference.
    void layEach(Page &page, qint64 lineNumber, qint64 offset, const quint8 *data, int count);
    Page *loadPage(qint64 index);
    qint64 pageLength(qint64 index) const;
    QString addressText(qint64 offset) const;
    QString gapsText() const;

    QIODevice *m_image;
    qint64 m_size = 0;
    std::optional<quint32> m_address;
    std::optional<quint32> m_lowest;
    std::optional<quint32> m_highest;
    qint64 m_bytesPlaced = 0;
    std::vector<Page> m_pages;
    Finding m_mismatches;
    Finding m_conflicts;
    Finding m_outside;
    QString m_readError;
};

#endif
