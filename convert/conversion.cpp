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
#include "sourcefields.h"
#include "srecordwriter.h"
#include "targetreplacement.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
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
    // What a successful run wrote from the source.
    void describe(ConversionResult &result) const;
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
    ConversionResult placeSource();
    ConversionResult layoutRefusal(const SourceFormatChoice &format) const;
    ConversionResult checkSourceAddress();
    ConversionResult checkImageSize(qint64 payloadSize) const;
    ConversionResult writePlacedSource(QFile &image, const Output &output);
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
    // The bytes between header and trailer: the raw source, or the placed one.
    qint64 payloadSize() const { return m_layout ? m_layout->size() : m_sourceState.size; }
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
    quint32 m_startAddress = 0;
    SourceFormatChoice m_format;
    std::unique_ptr<SourceLayout> m_layout; // an addressed source, placed; none for a raw one
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
    m_startAddress = m_request.startAddress;
    m_format = ChooseSourceFormat(path, &m_source, m_request.source.format);
    // Read once the outputs are known not to be the source nor held by a run.
    if (m_format.format != SourceFormat::Binary)
        return ConversionResult{};
    if (m_request.source.startAddressFromSource)
        return failure(ConversionStatus::AddressInvalid,
                       QStringLiteral("source image %1 is a raw binary, which gives no address: give the start "
                                      "address")
                           .arg(Quoted(path)));
    return checkImageSize(m_sourceState.size);
}

ConversionResult ConversionRun::checkImageSize(qint64 payloadSize) const
{
    const qint64 imageSize = payloadSize + ImageLayout::FrameSize;
    if (imageSize > ImageLayout::MaxImageSize)
        return failure(ConversionStatus::SourceTooLarge,
                       QStringLiteral("source image %1 has %2 bytes; at most %3 fit the image's 32-bit length")
                           .arg(Quoted(m_request.sourcePath), QString::number(payloadSize),
                                QString::number(ImageLayout::MaxImageSize - ImageLayout::FrameSize)));
    if (imageSize > AddressSpaceSize - m_startAddress)
        return failure(ConversionStatus::AddressInvalid,
                       QStringLiteral("a new image of %1 bytes from start address %2 would run past 0xFFFFFFFF")
                           .arg(QString::number(imageSize), HexNumber(m_startAddress, 8)));
    return ConversionResult{};
}

// An addressed source is read whole into its filled payload, in memory
// bounded by the span limit, before any output is made.
ConversionResult ConversionRun::placeSource()
{
    if (m_format.format == SourceFormat::Binary)
        return ConversionResult{};
    m_layout = std::make_unique<SourceLayout>(m_format.format, m_request.source.layout);
    if (!m_layout->read(&m_source))
        return layoutRefusal(m_format);
    ConversionResult result = sourceUnchanged();
    if (result.succeeded())
        result = checkSourceAddress();
    if (result.succeeded())
        result = checkImageSize(m_layout->size());
    return result;
}

ConversionResult ConversionRun::layoutRefusal(const SourceFormatChoice &format) const
{
    const QString source = QStringLiteral("source image ") + Quoted(m_request.sourcePath);
    const QString title = SourceFormatTitle(format.format);
    const QString &cause = m_layout->faultText();
    switch (m_layout->fault()) {
    case SourceLayoutFault::ReadFailed:
        return failure(ConversionStatus::SourceReadFailed, QStringLiteral("cannot read %1: %2").arg(source, cause));
    case SourceLayoutFault::Malformed:
        return failure(ConversionStatus::SourceFormatInvalid,
                       format.byName ? QStringLiteral("%1 is named as %2 but is not a well-formed %2 file: %3")
                                           .arg(source, title, cause)
                                     : QStringLiteral("%1 is not a well-formed %2 file: %3").arg(source, title, cause));
    case SourceLayoutFault::NoData:
        return failure(ConversionStatus::SourceFormatInvalid, QStringLiteral("%1 (%2): %3").arg(source, title, cause));
    case SourceLayoutFault::Overlap:
        return failure(ConversionStatus::SourceOverlap, QStringLiteral("%1: %2").arg(source, cause));
    case SourceLayoutFault::TooLarge:
    case SourceLayoutFault::OutOfRange:
    case SourceLayoutFault::None:
        break;
    }
    return failure(ConversionStatus::SourceSpanTooLarge, QStringLiteral("%1: %2").arg(source, cause));
}

// The payload sits at start address + 32: an addressed source must have been
// linked there, or be moved there on purpose.
ConversionResult ConversionRun::checkSourceAddress()
{
    const quint32 first = m_layout->firstAddress();
    const QString source = QStringLiteral("source image ") + Quoted(m_request.sourcePath);
    if (m_request.source.startAddressFromSource) {
        if (first < ImageLayout::HeaderSize)
            return failure(ConversionStatus::AddressInvalid,
                           QStringLiteral("%1 starts at %2, which leaves no room for the %3-byte header before it: "
                                          "give the start address")
                               .arg(source, HexNumber(first, 8))
                               .arg(ImageLayout::HeaderSize));
        m_startAddress = first - quint32(ImageLayout::HeaderSize);
        return ConversionResult{};
    }
    const quint64 payloadAddress = quint64(m_startAddress) + ImageLayout::HeaderSize;
    if (m_request.source.relocate || first == payloadAddress)
        return ConversionResult{};
    const QString wanted = first >= ImageLayout::HeaderSize
        ? QStringLiteral("start address %1").arg(HexNumber(first - quint32(ImageLayout::HeaderSize), 8))
        : QStringLiteral("a source linked at least %1 bytes above 0").arg(ImageLayout::HeaderSize);
    return failure(ConversionStatus::SourceAddressMismatch,
                   QStringLiteral("%1 starts at %2, but start address %3 puts the payload at 0x%4: give %5, "
                                  "link the source at 0x%4, or relocate it explicitly")
                       .arg(source, HexNumber(first, 8), HexNumber(m_startAddress, 8), HexDigits(payloadAddress, 8),
                            wanted));
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
    if (result.succeeded())
        result = placeSource();
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

ConversionResult ConversionRun::writePlacedSource(QFile &image, const Output &output)
{
    bool first = true;
    bool stopped = false;
    const bool written = m_layout->forEachChunk([&](const quint8 *data, qint64 count) {
        if (!WriteAll(&image, reinterpret_cast<const char *>(data), count))
            return false;
        if (first && m_hooks.afterFirstSourcePiece)
            m_hooks.afterFirstSourcePiece();
        first = false;
        stopped = !advance(count);
        return !stopped;
    });
    if (stopped)
        return cancelled();
    if (!written && !m_layout->readError().isEmpty())
        return failure(ConversionStatus::SourceReadFailed,
                       QStringLiteral("cannot read source image %1: %2")
                           .arg(Quoted(m_request.sourcePath), m_layout->readError()));
    if (!written)
        return writeFailed(output, m_image.failure(QStringLiteral("a write was cut short")));
    return sourceUnchanged();
}

ConversionResult ConversionRun::writeImage()
{
    const Output &output = m_outputs.front();
    QFile &image = m_image.file();
    if (m_request.progress)
        m_request.progress->start((payloadSize() + ImageLayout::FrameSize) * qint64(m_outputs.size()));
    const QString problem = m_image.create();
    if (!problem.isEmpty())
        return failure(ImageRole.pathInvalid, QStringLiteral("new image %1 %2").arg(Quoted(m_image.path()), problem));

    if (!WriteFill(&image, 0x00, ImageLayout::HeaderSize))
        return writeFailed(output, m_image.failure(QStringLiteral("the header could not be written")));
    advance(ImageLayout::HeaderSize);
    const ConversionResult copied = m_layout ? writePlacedSource(image, output) : copySource(image, output);
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
        ? WriteIntelHexWithProgress(image, m_startAddress, &file.file(), blockWritten)
        : WriteSRecordsWithProgress(image, m_startAddress, &file.file(), blockWritten);
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
    if (m_hooks.placeTogether) {
        ConversionResult written;
        describe(written);
        return m_hooks.placeTogether(files, written);
    }
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

void ConversionRun::describe(ConversionResult &result) const
{
    result.startAddress = m_startAddress;
    if (!m_layout)
        return;
    SourceFacts &facts = result.source;
    facts.format = m_layout->format();
    facts.dataRanges = m_layout->dataRanges();
    facts.filledRanges = m_layout->filledRanges();
    facts.fill = m_layout->fill();
    facts.entryAddress = m_layout->entryAddress();
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
    const qint64 at = payloadSize() + ImageLayout::HeaderSize;
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
    result.imageSize = payloadSize() + ImageLayout::FrameSize;
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

ConversionResult ReadFillField(const QString &fillText, ConversionRequest &request)
{
    const std::optional<quint8> fill = ParseFillByte(fillText);
    if (!fill)
        return failure(ConversionStatus::FillInvalid,
                       QStringLiteral("fill byte %1 is not a byte in hexadecimal (00 to FF)").arg(Quoted(fillText)));
    request.source.layout.fill = *fill;
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
    if (result.succeeded()) {
        run.describe(result);
        run.describeOutputs(result);
    }
    return result;
}
