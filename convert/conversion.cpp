#include "conversion.h"

#include "conversionfields.h"
#include "deviceio.h"
#include "fileidentity.h"
#include "messagetext.h"
#include "imagestamp.h"
#include "intelhexwriter.h"
#include "interruptcleanup.h"
#include "outputfile.h"
#include "srecordwriter.h"

#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace {
constexpr int CopyChunkSize = 64 * 1024;
constexpr qint64 AddressSpaceSize = 0x100000000LL;

ConversionResult failure(ConversionStatus status, const QString &detail)
{
    return ConversionResult{status, detail};
}

// What an output is: the statuses of its failures and its name in messages.
struct OutputRole
{
    ConversionStatus pathInvalid;
    ConversionStatus writeFailed;
    const char *name;
};

const OutputRole ImageRole{ConversionStatus::ImagePathInvalid, ConversionStatus::ImageWriteFailed, "new image"};
const OutputRole SRecordRole{ConversionStatus::SRecordPathInvalid, ConversionStatus::SRecordWriteFailed,
                             "S-record file"};
const OutputRole HexRole{ConversionStatus::HexPathInvalid, ConversionStatus::HexWriteFailed, "Intel HEX file"};

// The state of one run, taken through its steps in order.
class ConversionRun
{
public:
    explicit ConversionRun(const ConversionRequest &request)
        : m_request(request)
        , m_source(request.sourcePath)
        , m_image(request.imagePath)
        , m_srecords(request.srecordPath)
        , m_hex(request.hexPath)
    {
    }

    ConversionResult checkInputs();
    ConversionResult writeImage();
    ConversionResult writeRecordFiles();
    ConversionResult putInPlace();

private:
    struct Output
    {
        OutputFile *file;
        const OutputRole *role;
    };

    ConversionResult checkSource();
    ConversionResult checkOutput(OutputFile &file, const OutputRole &role);
    ConversionResult writeFailed(const Output &output, const QString &cause) const;
    ConversionResult writeRecordFile(const Output &output);

    const ConversionRequest &m_request;
    // Declared first: the handlers stay until every temporary file is gone.
    InterruptCleanup m_interruptCleanup;
    QFile m_source;
    FileIdentity m_sourceIdentity;
    qint64 m_sourceSize = 0;
    OutputFile m_image;
    OutputFile m_srecords;
    OutputFile m_hex;
    std::vector<Output> m_outputs; // checked and locked, in the order they are put in place
};

ConversionResult ConversionRun::checkSource()
{
    const QString &path = m_request.sourcePath;
    if (path.isEmpty())
        return failure(ConversionStatus::SourceNotFound, QStringLiteral("no source image given"));
    // Looked at before it is opened: a FIFO would block the open, a device never end.
    const QFileInfo info(path);
    if (!info.exists())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("source image %1 does not exist").arg(Quoted(path)));
    if (!info.isFile())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("source image %1 is %2").arg(Quoted(path),
                                                                   info.isDir() ? QStringLiteral("a folder")
                                                                                : QStringLiteral("not a regular file")));
    if (!m_source.open(QIODevice::ReadOnly))
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("cannot open source image %1: %2").arg(Quoted(path), m_source.errorString()));
    m_sourceIdentity = FileIdentity::ofOpenFile(m_source);
    // Without it no output could be told apart from the source.
    if (!m_sourceIdentity.isValid())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("cannot tell which file source image %1 is").arg(Quoted(path)));
    m_sourceSize = m_source.size();

    const qint64 imageSize = m_sourceSize + ImageLayout::FrameSize;
    if (imageSize > ImageLayout::MaxImageSize)
        return failure(ConversionStatus::SourceTooLarge,
                       QStringLiteral("source image %1 has %2 bytes; at most %3 fit the image's 32-bit length")
                           .arg(Quoted(path), QString::number(m_sourceSize),
                                QString::number(ImageLayout::MaxImageSize - ImageLayout::FrameSize)));
    if (imageSize > AddressSpaceSize - m_request.startAddress)
        return failure(ConversionStatus::AddressInvalid,
                       QStringLiteral("a new image of %1 bytes from start address %2 would run past 0xFFFFFFFF")
                           .arg(QString::number(imageSize), HexNumber(m_request.startAddress, 8)));
    return ConversionResult{};
}

ConversionResult ConversionRun::checkOutput(OutputFile &file, const OutputRole &role)
{
    const QString name = QString::fromLatin1(role.name);
    if (file.path().isEmpty())
        return failure(role.pathInvalid, QStringLiteral("no %1 path given").arg(name));
    const QString problem = file.check();
    if (!problem.isEmpty())
        return failure(role.pathInvalid, QStringLiteral("%1 %2 %3").arg(name, Quoted(file.path()), problem));
    // Replacing it would destroy a file that the run reads or writes.
    if (file.targetIdentity() == m_sourceIdentity)
        return failure(role.pathInvalid, QStringLiteral("%1 %2 is the source image").arg(name, Quoted(file.path())));
    for (const Output &earlier : m_outputs) {
        if (file.sameTarget(*earlier.file))
            return failure(role.pathInvalid, QStringLiteral("%1 %2 is the %3 too")
                                                 .arg(name, Quoted(file.path()), QString::fromLatin1(earlier.role->name)));
    }
    const QString busy = file.lock();
    if (!busy.isEmpty())
        return failure(role.pathInvalid, QStringLiteral("%1 %2").arg(Quoted(file.path()), busy));
    m_outputs.push_back({&file, &role});
    return ConversionResult{};
}

ConversionResult ConversionRun::checkInputs()
{
    ConversionResult result = checkSource();
    if (result.succeeded())
        result = checkOutput(m_image, ImageRole);
    // The window always asks for S-records; the command line may ask for HEX alone.
    if (result.succeeded() && (!m_request.srecordPath.isEmpty() || m_request.hexPath.isEmpty()))
        result = checkOutput(m_srecords, SRecordRole);
    if (result.succeeded() && !m_request.hexPath.isEmpty())
        result = checkOutput(m_hex, HexRole);
    return result;
}

ConversionResult ConversionRun::writeFailed(const Output &output, const QString &cause) const
{
    return failure(output.role->writeFailed, QStringLiteral("cannot write %1 %2: %3")
                                                 .arg(QString::fromLatin1(output.role->name),
                                                      Quoted(output.file->path()), cause));
}

ConversionResult ConversionRun::writeImage()
{
    const Output &output = m_outputs.front();
    QFile &image = m_image.file();
    const QString problem = m_image.create();
    if (!problem.isEmpty())
        return failure(ImageRole.pathInvalid, QStringLiteral("new image %1 %2").arg(Quoted(m_image.path()), problem));

    if (!WriteFill(&image, 0x00, ImageLayout::HeaderSize))
        return writeFailed(output, m_image.failure(QStringLiteral("the header could not be written")));
    QByteArray chunk(CopyChunkSize, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const qint64 n = m_source.read(chunk.data(), CopyChunkSize);
        if (n < 0)
            return failure(ConversionStatus::SourceReadFailed,
                           QStringLiteral("cannot read source image %1: %2")
                               .arg(Quoted(m_request.sourcePath), m_source.errorString()));
        if (n == 0)
            break;
        if (!WriteAll(&image, chunk.constData(), n))
            return writeFailed(output, m_image.failure(QStringLiteral("a write was cut short")));
        copied += n;
    }
    if (copied != m_sourceSize)
        return failure(ConversionStatus::SourceReadFailed,
                       QStringLiteral("source image %1 changed while it was read").arg(Quoted(m_request.sourcePath)));

    if (!StampImage(&image, m_request.littleEndian, m_request.version, m_request.wallClock))
        return writeFailed(output, m_image.failure(QStringLiteral("the file changed while it was written")));
    const QString notSynced = m_image.sync();
    if (!notSynced.isEmpty())
        return writeFailed(output, notSynced);
    return ConversionResult{};
}

ConversionResult ConversionRun::writeRecordFile(const Output &output)
{
    OutputFile &file = *output.file;
    const QString problem = file.create();
    if (!problem.isEmpty())
        return failure(output.role->pathInvalid, QStringLiteral("%1 %2 %3")
                                                     .arg(QString::fromLatin1(output.role->name),
                                                          Quoted(file.path()), problem));
    QIODevice *image = &m_image.file();
    const RecordFileResult written = output.role == &HexRole
        ? WriteIntelHex(image, m_request.startAddress, &file.file())
        : WriteSRecords(image, m_request.startAddress, &file.file());
    switch (written) {
    case RecordFileResult::Written:
        break;
    case RecordFileResult::ImageReadFailed:
        return failure(ConversionStatus::ImageWriteFailed,
                       QStringLiteral("cannot read back new image %1: %2")
                           .arg(Quoted(m_image.path()),
                                m_image.failure(QStringLiteral("the file changed while it was read"))));
    case RecordFileResult::OutputWriteFailed:
        return writeFailed(output, file.failure(QStringLiteral("a write was cut short")));
    }
    const QString notSynced = file.sync();
    if (!notSynced.isEmpty())
        return writeFailed(output, notSynced);
    return ConversionResult{};
}

ConversionResult ConversionRun::writeRecordFiles()
{
    for (auto output = m_outputs.cbegin() + 1; output != m_outputs.cend(); ++output) {
        const ConversionResult result = writeRecordFile(*output);
        if (!result.succeeded())
            return result;
    }
    return ConversionResult{};
}

ConversionResult ConversionRun::putInPlace()
{
    std::vector<OutputFile *> files;
    for (const Output &output : m_outputs) {
        // Checked again at the last moment: a path may name the source by now.
        if (output.file->targetIdentity() == m_sourceIdentity)
            return failure(output.role->pathInvalid, QStringLiteral("%1 %2 is the source image")
                                                         .arg(QString::fromLatin1(output.role->name),
                                                              Quoted(output.file->path())));
        files.push_back(output.file);
    }
    const ReplaceFailure replaced = ReplaceTargets(files);
    if (!replaced.output)
        return ConversionResult{};
    for (const Output &output : m_outputs) {
        if (output.file == replaced.output)
            return failure(output.role->writeFailed,
                           QStringLiteral("%1 %2 could not be put in place (nothing was changed): %3")
                               .arg(QString::fromLatin1(output.role->name), Quoted(output.file->path()),
                                    replaced.cause));
    }
    return failure(ConversionStatus::ImageWriteFailed, replaced.cause);
}
} // namespace

ConversionResult ReadConversionFields(const QString &versionText, const QString &addressText,
                                      ConversionRequest &request)
{
    const std::optional<quint16> version = ParseVersion(versionText);
    if (!version)
        return failure(ConversionStatus::VersionInvalid,
                       QStringLiteral("software version %1 is not a whole number from 0 to 65535")
                           .arg(Quoted(versionText)));
    const std::optional<quint32> address = ParseStartAddress(addressText);
    if (!address)
        return failure(ConversionStatus::AddressInvalid,
                       StartAddressRefusal(QStringLiteral("start address ") + Quoted(addressText)));
    request.version = *version;
    request.startAddress = *address;
    return ConversionResult{};
}

ConversionResult RunConversion(const ConversionRequest &request)
{
    ConversionRun run(request);
    ConversionResult result = run.checkInputs();
    if (result.succeeded())
        result = run.writeImage();
    if (result.succeeded())
        result = run.writeRecordFiles();
    if (result.succeeded())
        result = run.putInPlace();
    return result;
}
