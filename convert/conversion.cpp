#include "conversion.h"

#include "conversionfields.h"
#include "hextext.h"
#include "imagestamp.h"
#include "srecordwriter.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <optional>
#include <system_error>

namespace {
constexpr int CopyChunkSize = 64 * 1024;
constexpr qint64 AddressSpaceSize = 0x100000000LL;

ConversionResult failure(ConversionStatus status, const QString &detail)
{
    return ConversionResult{status, detail};
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

std::filesystem::path toFsPath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// True when both paths name one existing file, whatever the spelling:
// relative or absolute, "..", symbolic or hard links, letter case where the
// file system ignores it.
bool sameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    std::error_code error;
    const bool same = std::filesystem::equivalent(toFsPath(a), toFsPath(b), error);
    return !error && same;
}

// Flushes and closes; false when anything written did not reach the file.
bool closeChecked(QFile &file)
{
    const bool flushed = !file.isWritable() || file.flush();
    file.close();
    return flushed && file.error() == QFileDevice::NoError;
}

// An output that a failed run leaves half-written is removed, so that no
// file that looks finished (an S-record file without its tail, an image
// with a blank header) stays behind to be flashed. Only regular files are
// touched: a device such as /dev/full is left alone, and the target of a
// symbolic link is emptied rather than the link removed.
class PartialOutput
{
public:
    explicit PartialOutput(QFile &file) : m_file(file) {}
    PartialOutput(const PartialOutput &) = delete;
    PartialOutput &operator=(const PartialOutput &) = delete;
    ~PartialOutput()
    {
        if (m_finished)
            return;
        m_file.close();
        const QFileInfo info(m_file.fileName());
        if (!info.isFile())
            return;
        if (info.isSymLink())
            m_file.resize(0);
        else
            m_file.remove();
    }

    void finish() { m_finished = true; }

private:
    QFile &m_file;
    bool m_finished = false;
};

} // namespace

ConversionResult ReadConversionFields(const QString &versionText, const QString &addressText,
                                      ConversionRequest &request)
{
    const std::optional<quint16> version = ParseVersion(versionText);
    if (!version) {
        return failure(ConversionStatus::VersionInvalid,
                       QStringLiteral("software version %1 is not a whole number from 0 to 65535")
                           .arg(quoted(versionText)));
    }
    const std::optional<quint32> address = ParseStartAddress(addressText);
    if (!address) {
        return failure(ConversionStatus::AddressInvalid,
                       QStringLiteral("start address %1 is not a hexadecimal number from 0 to FFFFFFFF")
                           .arg(quoted(addressText)));
    }
    request.version = *version;
    request.startAddress = *address;
    return ConversionResult{};
}

ConversionResult RunConversion(const ConversionRequest &request)
{
    const quint32 startAddress = request.startAddress;
    QFile source(request.sourcePath);
    if (!source.open(QIODevice::ReadOnly)) {
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("cannot open source image %1: %2")
                           .arg(quoted(request.sourcePath), source.errorString()));
    }
    // A device such as /dev/zero would never end.
    if (source.isSequential()) {
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("source image %1 is not a regular file").arg(quoted(request.sourcePath)));
    }

    const qint64 sourceSize = source.size();
    const qint64 imageSize = sourceSize + ImageLayout::FrameSize;
    if (imageSize > ImageLayout::MaxImageSize) {
        return failure(ConversionStatus::SourceTooLarge,
                       QStringLiteral("source image %1 has %2 bytes; at most %3 fit the image's 32-bit length")
                           .arg(quoted(request.sourcePath), QString::number(sourceSize),
                                QString::number(ImageLayout::MaxImageSize - ImageLayout::FrameSize)));
    }
    if (imageSize > AddressSpaceSize - startAddress) {
        return failure(ConversionStatus::AddressInvalid,
                       QStringLiteral("a new image of %1 bytes from start address %2 would run past 0xFFFFFFFF")
                           .arg(QString::number(imageSize), HexNumber(startAddress, 8)));
    }

    // Opening with truncation would destroy the file about to be read.
    if (sameFile(request.imagePath, request.sourcePath)) {
        return failure(ConversionStatus::ImagePathInvalid,
                       QStringLiteral("new image %1 is the source image").arg(quoted(request.imagePath)));
    }
    QFile image(request.imagePath);
    if (!image.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        return failure(ConversionStatus::ImagePathInvalid,
                       QStringLiteral("cannot open new image %1: %2")
                           .arg(quoted(request.imagePath), image.errorString()));
    }
    PartialOutput partialImage(image);
    const auto imageWriteFailed = [&]() {
        return failure(ConversionStatus::ImageWriteFailed,
                       QStringLiteral("cannot write new image %1: %2")
                           .arg(quoted(request.imagePath), image.errorString()));
    };

    if (!WriteFill(&image, 0x00, ImageLayout::HeaderSize))
        return imageWriteFailed();

    QByteArray chunk(CopyChunkSize, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const qint64 n = source.read(chunk.data(), CopyChunkSize);
        if (n < 0) {
            return failure(ConversionStatus::SourceReadFailed,
                           QStringLiteral("cannot read source image %1: %2")
                               .arg(quoted(request.sourcePath), source.errorString()));
        }
        if (n == 0)
            break;
        if (image.write(chunk.constData(), n) != n)
            return imageWriteFailed();
        copied += n;
    }
    if (copied != sourceSize) {
        return failure(ConversionStatus::SourceReadFailed,
                       QStringLiteral("source image %1 changed while it was read")
                           .arg(quoted(request.sourcePath)));
    }

    const bool stamped = StampImage(&image, 1, request.version, request.wallClock);
    if (!stamped || !image.flush())
        return imageWriteFailed();
    // The image is complete: it stays when only the S-record file fails.
    const auto keepImage = [&](const ConversionResult &result) {
        partialImage.finish();
        return result;
    };

    if (sameFile(request.srecordPath, request.sourcePath) || sameFile(request.srecordPath, request.imagePath)) {
        return keepImage(failure(ConversionStatus::SRecordPathInvalid,
                                 QStringLiteral("S-record file %1 is the source image or the new image")
                                     .arg(quoted(request.srecordPath))));
    }
    QFile srecords(request.srecordPath);
    if (!srecords.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        return keepImage(failure(ConversionStatus::SRecordPathInvalid,
                                 QStringLiteral("cannot open S-record file %1: %2")
                                     .arg(quoted(request.srecordPath), srecords.errorString())));
    }
    PartialOutput partialSRecords(srecords);
    const auto srecordWriteFailed = [&]() {
        return failure(ConversionStatus::SRecordWriteFailed,
                       QStringLiteral("cannot write S-record file %1: %2")
                           .arg(quoted(request.srecordPath), srecords.errorString()));
    };

    switch (WriteSRecords(&image, startAddress, &srecords)) {
    case RecordFileResult::Written:
        break;
    case RecordFileResult::ImageReadFailed:
        return failure(ConversionStatus::ImageWriteFailed,
                       QStringLiteral("cannot read back new image %1: %2")
                           .arg(quoted(request.imagePath), image.errorString()));
    case RecordFileResult::OutputWriteFailed:
        return keepImage(srecordWriteFailed());
    }

    if (!closeChecked(image))
        return imageWriteFailed();
    partialImage.finish();
    source.close();
    if (!closeChecked(srecords))
        return srecordWriteFailed();
    partialSRecords.finish();
    return ConversionResult{};
}
