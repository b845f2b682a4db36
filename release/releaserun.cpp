#include "releaserun.h"

#include "conversionset.h"
#include "filehash.h"
#include "imageheader.h"
#include "manifestwriter.h"
#include "messagetext.h"
#include "outputfile.h"
#include "sourceformat.h"
#include "stamptime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <deque>
#include <future>
#include <system_error>
#include <vector>

namespace {
const char CalendarFormat[] = "yyyy-MM-dd HH:mm:ss";

// The path as the manifest names it: relative to its folder, "/" separators.
QString relativePath(const QDir &folder, const QString &path, QString *error)
{
    const QString relative = QDir::fromNativeSeparators(folder.relativeFilePath(QFileInfo(path).absoluteFilePath()));
    if (QDir::isAbsolutePath(relative) && error->isEmpty())
        *error = QStringLiteral("%1 cannot be named relative to the manifest's folder %2")
                     .arg(Quoted(path), Quoted(folder.path()));
    return relative;
}

// The manifest's values that do not depend on what is written.
ReleaseManifest manifestFrame(const ReleaseRequest &release, QString *error)
{
    const QDir folder(QFileInfo(release.manifestPath).absolutePath());
    ReleaseManifest manifest;
    manifest.toolName = release.toolName;
    manifest.toolVersion = release.toolVersion;
    const QDateTime wallClock = release.profiles.front().request.wallClock;
    manifest.seconds = HeaderTimeAt(wallClock).seconds;
    manifest.calendar = wallClock.toString(QLatin1String(CalendarFormat));
    manifest.settings.path = relativePath(folder, release.settingsPath, error);
    for (const ReleaseProfile &profile : release.profiles) {
        const ConversionRequest &request = profile.request;
        ManifestProfile entry;
        entry.index = profile.index;
        entry.name = profile.name;
        entry.source = ManifestSource{relativePath(folder, request.sourcePath, error), QString(), 0, {}};
        entry.startAddress = request.startAddress;
        entry.softwareVersion = request.version;
        entry.littleEndian = request.littleEndian;
        entry.outputs.push_back({OutputKind::Image(), relativePath(folder, request.imagePath, error), 0, {}});
        if (!request.srecordPath.isEmpty())
            entry.outputs.push_back({OutputKind::SRecords(), relativePath(folder, request.srecordPath, error), 0, {}});
        if (!request.hexPath.isEmpty())
            entry.outputs.push_back({OutputKind::IntelHex(), relativePath(folder, request.hexPath, error), 0, {}});
        manifest.profiles.push_back(entry);
    }
    return manifest;
}

// What one member's written files hold: the image's header and trailer, and
// the size and SHA-256 of each output and of the source. A raw source is the
// image's payload, exactly the bytes that were stamped; an addressed one
// (ELF, Intel HEX, S-records) is hashed as the file it is.
struct WrittenFacts
{
    QString error;
    ImageHeader header;
    quint16 crc = 0;
    SourceFormat sourceFormat = SourceFormat::Binary;
    FileHash source;
    std::vector<FileHash> outputs;
};

// What a member's hashing starts from.
struct WrittenMember
{
    std::vector<OutputFile *> outputs;
    SourceFormat sourceFormat = SourceFormat::Binary;
    QString sourcePath;
};

QString readImage(QFile &image, WrittenFacts &facts)
{
    HeaderBytes header{};
    TrailerBytes trailer{};
    const qint64 size = image.size();
    if (size < ImageLayout::FrameSize || !image.seek(0)
        || image.read(reinterpret_cast<char *>(header.data()), ImageLayout::HeaderSize) != ImageLayout::HeaderSize
        || !image.seek(size - ImageLayout::TrailerSize)
        || image.read(reinterpret_cast<char *>(trailer.data()), ImageLayout::TrailerSize) != ImageLayout::TrailerSize)
        return image.errorString();
    facts.header = DecodeImageHeader(header, StoredByteOrder(header));
    facts.crc = DecodeImageTrailer(trailer).crc;
    FileHash hash;
    const QString problem = HashDevice(&image, &hash, ImageLayout::HeaderSize, size - ImageLayout::TrailerSize);
    facts.outputs.push_back(hash);
    if (facts.sourceFormat == SourceFormat::Binary)
        facts.source = FileHash{hash.size - ImageLayout::FrameSize, hash.spanSha256, QByteArray()};
    return problem;
}

void readAddressedSource(const WrittenMember &member, WrittenFacts &facts)
{
    const QString problem = HashFile(member.sourcePath, &facts.source);
    if (!problem.isEmpty())
        facts.error = QStringLiteral("source image %1 %2").arg(Quoted(member.sourcePath), problem);
}

WrittenFacts readWritten(const WrittenMember &member)
{
    const std::vector<OutputFile *> &files = member.outputs;
    WrittenFacts facts;
    facts.sourceFormat = member.sourceFormat;
    if (member.sourceFormat != SourceFormat::Binary)
        readAddressedSource(member, facts);
    for (std::size_t k = 0; k < files.size() && facts.error.isEmpty(); ++k) {
        FileHash hash;
        const QString problem = k == 0 ? readImage(files[k]->file(), facts) : HashDevice(&files[k]->file(), &hash);
        if (k > 0)
            facts.outputs.push_back(hash);
        if (!problem.isEmpty())
            facts.error = QStringLiteral("cannot read back %1: %2").arg(Quoted(files[k]->path()), problem);
    }
    return facts;
}

// Reads each member's written files on a thread of its own while the next
// member converts: hashing every byte is most of a release's own cost, and
// the conversion leaves a core free while it waits for the disk.
class WrittenHashing
{
public:
    explicit WrittenHashing(std::size_t members) : m_facts(members) {}
    ~WrittenHashing() { waitAll(); }
    WrittenHashing(const WrittenHashing &) = delete;
    WrittenHashing &operator=(const WrittenHashing &) = delete;

    void start(std::size_t member, const WrittenMember &written)
    {
        // Two at a time at most: more would only compete for the cores.
        if (m_pending.size() >= MaxPending) {
            m_pending.front().wait();
            m_pending.pop_front();
        }
        WrittenFacts &facts = m_facts[member];
        try {
            m_pending.push_back(std::async(std::launch::async, [&facts, written]() { facts = readWritten(written); }));
        } catch (const std::system_error &) {
            facts = readWritten(written); // no thread to be had: here, then
        }
    }

    void waitAll()
    {
        for (std::future<void> &pending : m_pending)
            pending.wait();
        m_pending.clear();
    }

    const WrittenFacts &facts(std::size_t member) const { return m_facts[member]; }

private:
    static constexpr std::size_t MaxPending = 2;
    std::vector<WrittenFacts> m_facts;
    std::deque<std::future<void>> m_pending;
};

QString completeManifest(ReleaseManifest &manifest, const WrittenHashing &hashing)
{
    for (int i = 0; i < manifest.profiles.size(); ++i) {
        ManifestProfile &profile = manifest.profiles[i];
        const WrittenFacts &facts = hashing.facts(std::size_t(i));
        if (!facts.error.isEmpty())
            return facts.error;
        if (facts.outputs.size() != std::size_t(profile.outputs.size()))
            return QStringLiteral("profile %1 wrote other files than asked").arg(profile.index);
        profile.header = facts.header;
        profile.crc = facts.crc;
        profile.source.format = SourceFormatName(facts.sourceFormat);
        profile.source.size = facts.source.size;
        profile.source.sha256 = facts.source.sha256;
        for (int k = 0; k < profile.outputs.size(); ++k) {
            profile.outputs[k].size = facts.outputs[std::size_t(k)].size;
            profile.outputs[k].sha256 = facts.outputs[std::size_t(k)].sha256;
        }
    }
    return QString();
}

QString settingsHash(const QString &path, ManifestFile &settings)
{
    FileHash hash;
    const QString problem = HashFile(path, &hash);
    if (!problem.isEmpty())
        return QStringLiteral("settings file %1 %2").arg(Quoted(path), problem);
    settings.size = hash.size;
    settings.sha256 = hash.sha256;
    return QString();
}
} // namespace

QString RunRelease(const ReleaseRequest &release)
{
    if (release.profiles.empty())
        return QStringLiteral("no profile to release");
    QString error;
    ReleaseManifest manifest = manifestFrame(release, &error);
    if (error.isEmpty())
        error = settingsHash(release.settingsPath, manifest.settings);
    if (!error.isEmpty())
        return error;

    ConversionSet set;
    for (const ReleaseProfile &profile : release.profiles)
        set.members.push_back({profile.request, QStringLiteral("profile %1 %2").arg(profile.index).arg(Quoted(profile.name))});
    const QString signaturePath = SignatureFileName(release.manifestPath);
    set.added.push_back({release.manifestPath, QStringLiteral("manifest")});
    if (release.signingKey)
        set.added.push_back({signaturePath, QStringLiteral("signature")});
    else
        set.removed.push_back({signaturePath, QStringLiteral("earlier signature")});
    set.rename = release.rename;
    WrittenHashing hashing(release.profiles.size());
    set.memberWritten = [&](std::size_t member, const std::vector<OutputFile *> &outputs,
                            const ConversionResult &written) {
        hashing.start(member, {outputs, written.source.format, release.profiles[member].request.sourcePath});
    };
    set.waitForMemberWork = [&hashing]() { hashing.waitAll(); };
    set.makeAddedFiles = [&](const WrittenOutputs &, QList<QByteArray> *contents) {
        const QString problem = completeManifest(manifest, hashing);
        if (!problem.isEmpty())
            return problem;
        const QByteArray json = ManifestJson(manifest);
        *contents << json;
        if (release.signingKey) {
            const QByteArray signature = SignatureFile(json, *release.signingKey);
            if (signature.isEmpty())
                return QStringLiteral("the manifest could not be signed");
            *contents << signature;
        }
        return QString();
    };
    return RunConversionSet(set).detail;
}
