#include "sourcecomparison.h"

#include "deviceio.h"
#include "messagetext.h"
#include "imageheader.h"
#include "imageinspection.h"

#include <QIODevice>

#include <algorithm>
#include <optional>
#include <vector>

namespace {
QString DeviceError(const QIODevice *device)
{
    const QString error = device->errorString();
    return error.isEmpty() ? QStringLiteral("read failed") : error;
}

// Whether the image holds a header and a trailer; when not, the failed check.
bool HoldsFrame(qint64 imageSize, SourceComparison &result)
{
    if (imageSize >= ImageLayout::FrameSize)
        return true;
    result.checks.append({SourceCheckName::Source(), false,
                          QStringLiteral("the image is %1 bytes, too short for a header and a trailer").arg(imageSize)});
    return false;
}

// The source check once the first difference (empty: none) is known; sizes
// names both sides' sizes, equal what holds when they are the same.
void AppendVerdict(SourceComparison &result, const QString &difference, qint64 payloadSize, qint64 common,
                   const QString &sizes, const QString &equal)
{
    const QString name = SourceCheckName::Source();
    if (!difference.isEmpty())
        result.checks.append({name, false, payloadSize != result.sourceSize ? difference + QStringLiteral("; ") + sizes
                                                                            : difference});
    else if (payloadSize != result.sourceSize)
        result.checks.append({name, false, sizes + QStringLiteral("; the first %1 are equal").arg(common)});
    else
        result.checks.append({name, true, equal});
}
} // namespace

namespace {
// The first common byte that differs, as a failed check; empty when they are
// equal, readError set when either cannot be read.
std::optional<QString> FirstDifference(QIODevice *image, QIODevice *source, qint64 common, QString *readError)
{
    using namespace ImageLayout;
    std::vector<quint8> payloadChunk(size_t(std::min(common, InspectionChunkSize)));
    std::vector<quint8> sourceChunk(payloadChunk.size());
    for (qint64 done = 0; done < common;) {
        const qint64 want = std::min<qint64>(common - done, qint64(payloadChunk.size()));
        const qint64 fromImage = ReadUpTo(image, payloadChunk.data(), want);
        const qint64 fromSource = ReadUpTo(source, sourceChunk.data(), want);
        if (fromImage != want || fromSource != want) {
            *readError = fromImage != want ? DeviceError(image) : DeviceError(source);
            return std::nullopt;
        }
        const auto mismatch = std::mismatch(payloadChunk.cbegin(), payloadChunk.cbegin() + want, sourceChunk.cbegin());
        if (mismatch.first != payloadChunk.cbegin() + want) {
            const qint64 offset = done + (mismatch.first - payloadChunk.cbegin());
            return QStringLiteral("payload byte %1 (image offset %2) is %3, the source holds %4")
                .arg(offset)
                .arg(offset + HeaderSize)
                .arg(HexDigits(*mismatch.first, 2), HexDigits(*mismatch.second, 2));
        }
        done += want;
    }
    return QString();
}
} // namespace

SourceComparison CompareWithSource(QIODevice *image, QIODevice *source)
{
    using namespace ImageLayout;
    SourceComparison result;
    if (image->isSequential() || source->isSequential()) {
        result.readError = QStringLiteral("the image and the source must be files that can be read at any offset");
        return result;
    }
    result.sourceSize = source->size();
    const qint64 imageSize = image->size();
    if (!HoldsFrame(imageSize, result))
        return result;
    const qint64 payloadSize = imageSize - FrameSize;
    if (!image->seek(HeaderSize) || !source->seek(0)) {
        result.readError = DeviceError(image->pos() != HeaderSize ? image : source);
        return result;
    }

    const qint64 common = std::min(payloadSize, result.sourceSize);
    const std::optional<QString> difference = FirstDifference(image, source, common, &result.readError);
    if (!difference)
        return result;
    AppendVerdict(result, *difference, payloadSize, common,
                  QStringLiteral("the payload is %1 bytes, the source %2").arg(payloadSize).arg(result.sourceSize),
                  QStringLiteral("the %1 payload bytes equal the source").arg(payloadSize));
    return result;
}

namespace {
// The placed source against the payload, chunk by chunk: the first
// difference, or an empty text when the common bytes are equal.
std::optional<QString> FirstPlacedDifference(QIODevice *image, const SourceLayout &layout, qint64 common,
                                             QString *readError)
{
    std::vector<quint8> payloadChunk;
    qint64 done = 0;
    QString difference;
    const bool read = layout.forEachChunk([&](const quint8 *placed, qint64 count) {
        const qint64 want = std::min(count, common - done);
        payloadChunk.resize(size_t(want));
        if (want > 0 && ReadUpTo(image, payloadChunk.data(), want) != want) {
            *readError = DeviceError(image);
            return false;
        }
        const auto mismatch = std::mismatch(payloadChunk.cbegin(), payloadChunk.cend(), placed);
        if (mismatch.first != payloadChunk.cend()) {
            const qint64 offset = done + (mismatch.first - payloadChunk.cbegin());
            difference = QStringLiteral("payload byte %1 (image offset %2) is %3, the source places %4 at 0x%5")
                             .arg(offset)
                             .arg(offset + ImageLayout::HeaderSize)
                             .arg(HexDigits(*mismatch.first, 2), HexDigits(*mismatch.second, 2),
                                  HexDigits(quint64(layout.firstAddress()) + quint64(offset), 8));
            return false;
        }
        done += want;
        return done < common;
    });
    if (!read && !readError->isEmpty())
        return std::nullopt;
    return difference;
}
} // namespace

SourceComparison CompareWithPlacedSource(QIODevice *image, QIODevice *source, SourceFormat format,
                                         const SourceLayoutOptions &options)
{
    using namespace ImageLayout;
    SourceComparison result;
    const QString name = SourceCheckName::Source();
    SourceLayout layout(format, options);
    if (image->isSequential() || source->isSequential()) {
        result.readError = QStringLiteral("the image and the source must be files that can be read at any offset");
        return result;
    }
    if (!layout.read(source)) {
        if (layout.fault() == SourceLayoutFault::ReadFailed)
            result.readError = layout.faultText();
        else
            result.checks.append({name, false, QStringLiteral("the %1 source cannot be placed: %2")
                                                   .arg(SourceFormatTitle(format), layout.faultText())});
        return result;
    }
    result.sourceSize = layout.size();
    const qint64 imageSize = image->size();
    if (!HoldsFrame(imageSize, result))
        return result;
    const qint64 payloadSize = imageSize - FrameSize;
    if (!image->seek(HeaderSize)) {
        result.readError = DeviceError(image);
        return result;
    }
    const qint64 common = std::min(payloadSize, result.sourceSize);
    const std::optional<QString> difference = FirstPlacedDifference(image, layout, common, &result.readError);
    if (!difference)
        return result;
    const QString placed = QStringLiteral("the %1 source placed from 0x%2 with fill 0x%3")
                               .arg(SourceFormatTitle(format), HexDigits(layout.firstAddress(), 8),
                                    HexDigits(layout.fill(), 2));
    AppendVerdict(result, *difference, payloadSize, common,
                  QStringLiteral("the payload is %1 bytes, %2 gives %3").arg(payloadSize).arg(placed).arg(result.sourceSize),
                  QStringLiteral("the %1 payload bytes equal %2").arg(payloadSize).arg(placed));
    return result;
}
