#include "releaserun.h"

#include "conversionset.h"
#include "filehash.h"
#include "imageheader.h"
#include "manifestwriter.h"
#include "messagetext.h"
#include "outputfile.h"
#include "stamptime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
        entry.source = ManifestSource{relativePath(folder, request.sourcePath, error), QStringLiteral("binary"), 0, {}};
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

// The header, the trailer and the hashes of a written image; the source is
// the payload, exactly the bytes that were stamped.
QString readImage(QFile &image, ManifestProfile &profile)
{
    HeaderBytes header{};
    TrailerBytes trailer{};
    const qint64 size = image.size();
    if (size < ImageLayout::FrameSize || !image.seek(0)
        || image.read(reinterpret_cast<char *>(header.data()), ImageLayout::HeaderSize) != ImageLayout::HeaderSize
        || !image.seek(size - ImageLayout::TrailerSize)
        || image.read(reinterpret_cast<char *>(trailer.data()), ImageLayout::TrailerSize) != ImageLayout::TrailerSize)
        return image.errorString();
    profile.header = DecodeImageHeader(header, StoredByteOrder(header));
    profile.crc = DecodeImageTrailer(trailer).crc;
    FileHash hash;
    const QString problem = HashDevice(&image, &hash, ImageLayout::HeaderSize, size - ImageLayout::TrailerSize);
    if (!problem.isEmpty())
        return problem;
    profile.outputs[0].size = hash.size;
    profile.outputs[0].sha256 = hash.sha256;
    profile.source.size = hash.size - ImageLayout::FrameSize;
    profile.source.sha256 = hash.spanSha256;
    return QString();
}

QString completeManifest(ReleaseManifest &manifest, const WrittenOutputs &written)
{
    for (int i = 0; i < manifest.profiles.size(); ++i) {
        ManifestProfile &profile = manifest.profiles[i];
        const std::vector<OutputFile *> &files = written[std::size_t(i)];
        if (files.size() != std::size_t(profile.outputs.size()))
            return QStringLiteral("profile %1 wrote other files than asked").arg(profile.index);
        for (int k = 0; k < profile.outputs.size(); ++k) {
            OutputFile &file = *files[std::size_t(k)];
            FileHash hash;
            const QString problem =
                k == 0 ? readImage(file.file(), profile) : HashDevice(&file.file(), &hash);
            if (!problem.isEmpty())
                return QStringLiteral("cannot read back %1: %2").arg(Quoted(file.path()), problem);
            if (k > 0) {
                profile.outputs[k].size = hash.size;
                profile.outputs[k].sha256 = hash.sha256;
            }
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
    set.makeAddedFiles = [&](const WrittenOutputs &written, QList<QByteArray> *contents) {
        const QString problem = completeManifest(manifest, written);
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
