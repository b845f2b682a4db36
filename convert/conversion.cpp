#include "conversion.h"

#include "conversionfields.h"
#include "conversionhooks.h"
#include "conversionprogress.h"
#include "deviceio.h"
#include "fileidentity.h"
#include "imageheader.h"
#include "messagetext.h"
#include "imagestamp.h"
#include "intelhexwriter.h"
#include "interruptcleanup.h"
#include "outputfile.h"
#include "platformfile.h"
#include "regularfile.h"
#include "srecordwriter.h"
#include "targetreplacement.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
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

// A file the run must not replace, with what it is in messages.
struct Candidate
{
    QString key; // see OutputFile::keyOf
    FileIdentity identity;
    QString description; // e.g. source image "a.bin"
    const OutputRole *role; // the output's, or none for the source and settings
};

// The state of one run, taken through its steps in order.
class ConversionRun
{
public:
    ConversionRun(const ConversionRequest &request, const ConversionHooks &hooks)
        : m_request(request)
        , m_hooks(hooks)
        , m_image(request.imagePath)
        , m_srecords(request.srecordPath)
        , m_hex(request.hexPath)
    {
    }

    ConversionResult checkInputs();
    ConversionResult writeImage();
    ConversionResult writeRecordFiles();
    ConversionResult putInPlace();
    ConversionResult stopIfCancelled() const;
    void describeOutputs(ConversionResult &result) const;

private:
    struct Output
    {
        OutputFile *file;
        const OutputRole *role;
    };

    ConversionResult checkSource();
    ConversionResult openSource();
    ConversionResult checkOutput(OutputFile &file, const OutputRole &role);
    ConversionResult checkAgainstSettings(const Output &output) const;
    ConversionResult checkReservedNames() const;
    std::vector<Candidate> candidates() const;
    ConversionResult lockOutputs();
    ConversionResult copySource(QFile &image, const Output &output);
    ConversionResult sourceChanged() const;
    ConversionResult sourceUnchanged() const;
    ConversionResult writeFailed(const Output &output, const QString &cause) const;
    ConversionResult writeRecordFile(const Output &output);
    ConversionResult notPlaced(const ReplaceFailure &replaced) const;
    ConversionResult readBackCrc();
    bool advance(qint64 bytes) const;
    static ConversionResult cancelled();

    const ConversionRequest &m_request;
    const ConversionHooks &m_hooks;
    // Declared first: the handlers stay until every temporary file is gone,
    // and an interrupt waits until the locks are released.
    InterruptCleanup m_interruptCleanup;
    std::optional<InterruptCleanup::Deferral> m_placement;
    QFile m_source;
    PlatformFile::ContentState m_sourceState;
    OutputFile m_image;
    OutputFile m_srecords;
    OutputFile m_hex;
    std::vector<Output> m_outputs; // checked, in the order they are put in place
    quint16 m_crc = 0;
};

QString roleName(const OutputRole &role)
{
    return QString::fromLatin1(role.name);
}

ConversionResult ConversionRun::checkSource()
{
    const QString &path = m_request.sourcePath;
    if (path.isEmpty())
        return failure(ConversionStatus::SourceNotFound, QStringLiteral("no source image given"));
    const QFileInfo info(path);
    if (!info.exists())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("source image %1 does not exist").arg(Quoted(path)));
    if (info.isDir())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("source image %1 is a folder").arg(Quoted(path)));
    ConversionResult result = openSource();
    if (!result.succeeded())
        return result;

    const qint64 sourceSize = m_sourceState.size;
    const qint64 imageSize = sourceSize + ImageLayout::FrameSize;
    if (imageSize > ImageLayout::MaxImageSize)
        return failure(ConversionStatus::SourceTooLarge,
                       QStringLiteral("source image %1 has %2 bytes; at most %3 fit the image's 32-bit length")
                           .arg(Quoted(path), QString::number(sourceSize),
                                QString::number(ImageLayout::MaxImageSize - ImageLayout::FrameSize)));
    if (imageSize > AddressSpaceSize - m_request.startAddress)
        return failure(ConversionStatus::AddressInvalid,
                       QStringLiteral("a new image of %1 bytes from start address %2 would run past 0xFFFFFFFF")
                           .arg(QString::number(imageSize), HexNumber(m_request.startAddress, 8)));
    return ConversionResult{};
}

// Opened without waiting (a FIFO or device is refused by what it is), and
// what identifies its contents noted before any of it is read.
ConversionResult ConversionRun::openSource()
{
    const QString &path = m_request.sourcePath;
    const QString problem = OpenRegularFile(m_source, path);
    if (problem == NotRegularFileText())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("source image %1 is %2").arg(Quoted(path), problem));
    if (!problem.isEmpty())
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("cannot open source image %1: %2").arg(Quoted(path), problem));
    m_sourceState = PlatformFile::ContentStateOf(m_source.handle());
    // Without it no output could be told apart from the source.
    if (!m_sourceState.valid)
        return failure(ConversionStatus::SourceNotFound,
                       QStringLiteral("cannot tell which file source image %1 is").arg(Quoted(path)));
    return ConversionResult{};
}

ConversionResult ConversionRun::checkOutput(OutputFile &file, const OutputRole &role)
{
    const QString name = roleName(role);
    if (file.path().isEmpty())
        return failure(role.pathInvalid, QStringLiteral("no %1 path given").arg(name));
    const QString problem = file.check();
    if (!problem.isEmpty())
        return failure(role.pathInvalid, QStringLiteral("%1 %2 %3").arg(name, Quoted(file.path()), problem));
    // Replacing it would destroy a file that the run reads or writes.
    if (file.targetIdentity() == m_sourceState.identity)
        return failure(role.pathInvalid, QStringLiteral("%1 %2 is the source image").arg(name, Quoted(file.path())));
    for (const Output &earlier : m_outputs) {
        if (file.sameTarget(*earlier.file))
            return failure(role.pathInvalid, QStringLiteral("%1 %2 is the %3 too")
                                                 .arg(name, Quoted(file.path()), roleName(*earlier.role)));
    }
    m_outputs.push_back({&file, &role});
    return checkAgainstSettings(m_outputs.back());
}

// The settings the values came from are only read, never replaced.
ConversionResult ConversionRun::checkAgainstSettings(const Output &output) const
{
    const QString &settings = m_request.settingsPath;
    if (settings.isEmpty())
        return ConversionResult{};
    const FileIdentity identity = FileIdentity::ofPath(settings);
    const bool same = identity.isValid() ? output.file->targetIdentity() == identity
                                         : OutputFile::keyOf(settings) == output.file->targetKey();
    if (!same)
        return ConversionResult{};
    return failure(output.role->pathInvalid, QStringLiteral("%1 %2 is the settings file %3")
                                                 .arg(roleName(*output.role), Quoted(output.file->path()),
                                                      Quoted(settings)));
}

std::vector<Candidate> ConversionRun::candidates() const
{
    std::vector<Candidate> all;
    for (const Output &output : m_outputs)
        all.push_back({output.file->targetKey(), output.file->targetIdentity(),
                       QStringLiteral("%1 %2").arg(roleName(*output.role), Quoted(output.file->path())), output.role});
    all.push_back({OutputFile::keyOf(m_request.sourcePath), m_sourceState.identity,
                   QStringLiteral("source image %1").arg(Quoted(m_request.sourcePath)), nullptr});
    if (!m_request.settingsPath.isEmpty())
        all.push_back({OutputFile::keyOf(m_request.settingsPath), FileIdentity::ofPath(m_request.settingsPath),
                       QStringLiteral("settings file %1").arg(Quoted(m_request.settingsPath)), nullptr});
    return all;
}

// No file the run reads or writes may be one that it makes, renames or
// removes beside an output: a lock released after success would take it.
ConversionResult ConversionRun::checkReservedNames() const
{
    for (const Candidate &candidate : candidates()) {
        for (const Output &output : m_outputs) {
            const QString what = output.file->reservationOf(candidate.key, candidate.identity);
            if (what.isEmpty())
                continue;
            const OutputRole &role = candidate.role ? *candidate.role : *output.role;
            return failure(role.pathInvalid, QStringLiteral("%1 is the %2 of %3 %4")
                                                 .arg(candidate.description, what, roleName(*output.role),
                                                      Quoted(output.file->path())));
        }
    }
    return ConversionResult{};
}

ConversionResult ConversionRun::lockOutputs()
{
    for (const Output &output : m_outputs) {
        const QString busy = output.file->lock();
        if (!busy.isEmpty())
            return failure(output.role->pathInvalid, QStringLiteral("%1 %2").arg(Quoted(output.file->path()), busy));
    }
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
    if (result.succeeded())
        result = checkReservedNames();
    if (result.succeeded())
        result = lockOutputs();
    return result;
}

ConversionResult ConversionRun::writeFailed(const Output &output, const QString &cause) const
{
    return failure(output.role->writeFailed,
                   QStringLiteral("cannot write %1 %2: %3")
                       .arg(roleName(*output.role), Quoted(output.file->path()), cause));
}

ConversionResult ConversionRun::sourceChanged() const
{
    return failure(ConversionStatus::SourceReadFailed,
                   QStringLiteral("source image %1 changed while it was read").arg(Quoted(m_request.sourcePath)));
}

ConversionResult ConversionRun::sourceUnchanged() const
{
    if (PlatformFile::ContentStateOf(m_source.handle()) == m_sourceState)
        return ConversionResult{};
    return sourceChanged();
}

ConversionResult ConversionRun::copySource(QFile &image, const Output &output)
{
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
        if (copied == 0 && m_hooks.afterFirstSourcePiece)
            m_hooks.afterFirstSourcePiece();
        copied += n;
        if (!advance(n))
            return cancelled();
    }
    if (copied != m_sourceState.size)
        return sourceChanged();
    return sourceUnchanged();
}

ConversionResult ConversionRun::writeImage()
{
    const Output &output = m_outputs.front();
    QFile &image = m_image.file();
    if (m_request.progress)
        m_request.progress->start((m_sourceState.size + ImageLayout::FrameSize) * qint64(m_outputs.size()));
    const QString problem = m_image.create();
    if (!problem.isEmpty())
        return failure(ImageRole.pathInvalid, QStringLiteral("new image %1 %2").arg(Quoted(m_image.path()), problem));

    if (!WriteFill(&image, 0x00, ImageLayout::HeaderSize))
        return writeFailed(output, m_image.failure(QStringLiteral("the header could not be written")));
    advance(ImageLayout::HeaderSize);
    const ConversionResult copied = copySource(image, output);
    if (!copied.succeeded())
        return copied;
    if (!StampImage(&image, m_request.littleEndian, m_request.version, m_request.wallClock))
        return writeFailed(output, m_image.failure(QStringLiteral("the file changed while it was written")));
    advance(ImageLayout::TrailerSize);
    const ConversionResult crc = readBackCrc();
    if (!crc.succeeded())
        return crc;
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
        return failure(output.role->pathInvalid,
                       QStringLiteral("%1 %2 %3").arg(roleName(*output.role), Quoted(file.path()), problem));
    QIODevice *image = &m_image.file();
    const auto blockWritten = [this](qint64 imageBytes) { return advance(imageBytes); };
    const RecordFileResult written = output.role == &HexRole
        ? WriteIntelHexWithProgress(image, m_request.startAddress, &file.file(), blockWritten)
        : WriteSRecordsWithProgress(image, m_request.startAddress, &file.file(), blockWritten);
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
    case RecordFileResult::Stopped:
        return cancelled();
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
    ConversionResult result = sourceUnchanged();
    std::vector<OutputFile *> files;
    for (const Output &output : m_outputs) {
        // Checked again at the last moment: a path may name the source by now.
        if (result.succeeded() && output.file->targetIdentity() == m_sourceState.identity)
            result = failure(output.role->pathInvalid,
                             QStringLiteral("%1 %2 is the source image")
                                 .arg(roleName(*output.role), Quoted(output.file->path())));
        files.push_back(output.file);
    }
    if (!result.succeeded())
        return result;
    // An interrupt waits until the set is in place or rolled back, and
    // the locks are released.
    m_placement.emplace();
    const ReplaceFailure replaced = TargetReplacement(files, m_hooks.rename).run();
    if (!replaced.output) {
        m_placement->setComplete();
        return ConversionResult{};
    }
    return notPlaced(replaced);
}

// Counts a piece done; false when the run is to stop.
bool ConversionRun::advance(qint64 bytes) const
{
    if (!m_request.progress)
        return true;
    m_request.progress->advance(bytes);
    return !m_request.progress->isCancelled();
}

ConversionResult ConversionRun::cancelled()
{
    return failure(ConversionStatus::Cancelled, QStringLiteral("the conversion was cancelled; no file was changed"));
}

ConversionResult ConversionRun::stopIfCancelled() const
{
    if (m_request.progress && m_request.progress->isCancelled())
        return cancelled();
    return ConversionResult{};
}

// The CRC as the trailer on the disk holds it, for the run's report.
ConversionResult ConversionRun::readBackCrc()
{
    QFile &image = m_image.file();
    TrailerBytes trailer;
    const qint64 at = m_sourceState.size + ImageLayout::HeaderSize;
    if (!image.seek(at) || ReadUpTo(&image, trailer.data(), ImageLayout::TrailerSize) != ImageLayout::TrailerSize)
        return failure(ConversionStatus::ImageWriteFailed,
                       QStringLiteral("cannot read back new image %1: %2")
                           .arg(Quoted(m_image.path()),
                                m_image.failure(QStringLiteral("the file changed while it was read"))));
    m_crc = DecodeImageTrailer(trailer).crc;
    return ConversionResult{};
}

void ConversionRun::describeOutputs(ConversionResult &result) const
{
    for (const Output &output : m_outputs)
        result.writtenPaths.append(output.file->path());
    result.imageSize = m_sourceState.size + ImageLayout::FrameSize;
    result.crc = m_crc;
}

ConversionResult ConversionRun::notPlaced(const ReplaceFailure &replaced) const
{
    const auto output = std::find_if(m_outputs.cbegin(), m_outputs.cend(),
                                     [&replaced](const Output &o) { return o.file == replaced.output; });
    const OutputRole &role = output != m_outputs.cend() ? *output->role : ImageRole;
    const QString head =
        QStringLiteral("%1 %2 could not be put in place").arg(roleName(role), Quoted(replaced.output->path()));
    if (replaced.notRestored.isEmpty())
        return failure(role.writeFailed, QStringLiteral("%1 (nothing was changed): %2").arg(head, replaced.cause));
    return failure(role.writeFailed, QStringLiteral("%1: %2; undoing the other outputs failed: %3")
                                         .arg(head, replaced.cause, replaced.notRestored));
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
    return RunConversion(request, ConversionHooks{});
}

ConversionResult RunConversion(const ConversionRequest &request, const ConversionHooks &hooks)
{
    ConversionRun run(request, hooks);
    ConversionResult result = run.stopIfCancelled();
    if (result.succeeded())
        result = run.checkInputs();
    if (result.succeeded())
        result = run.writeImage();
    if (result.succeeded())
        result = run.writeRecordFiles();
    // The last moment a cancel is heard: from here the set goes in place whole.
    if (result.succeeded())
        result = run.stopIfCancelled();
    if (result.succeeded())
        result = run.putInPlace();
    if (result.succeeded())
        run.describeOutputs(result);
    return result;
}
