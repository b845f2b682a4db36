#include "releaseverification.h"

#include "filehash.h"
#include "imageinspection.h"
#include "intelhexinspection.h"
#include "manifestreader.h"
#include "messagetext.h"
#include "regularfile.h"
#include "signature.h"
#include "smallfile.h"
#include "srecordinspection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {
VerifiedFile verdict(const QString &path, const QString &what, VerifiedFile::Verdict result,
                     const QString &reason = QString())
{
    return VerifiedFile{path, what, result, reason};
}

QString firstFailure(const QVector<InspectionCheck> &checks)
{
    for (const InspectionCheck &check : checks) {
        if (check.counts && !check.passed)
            return QStringLiteral("%1: %2").arg(check.name, check.detail);
    }
    return QString();
}

// The header and trailer as the manifest records them, and sound.
QString imageProblem(QIODevice *image, const ManifestProfile &profile)
{
    const ImageInspection inspection = InspectImage(image);
    if (!inspection.readError.isEmpty())
        return QStringLiteral("cannot be read: ") + inspection.readError;
    const QString failed = firstFailure(inspection.checks);
    if (!failed.isEmpty())
        return failed;
    const ImageHeader &header = inspection.header;
    const ImageHeader &listed = profile.header;
    if (header.length != listed.length || header.magic != listed.magic || header.seconds != listed.seconds
        || header.milliseconds != listed.milliseconds || header.version != listed.version
        || header.littleEndian != listed.littleEndian || header.checksum != listed.checksum)
        return QStringLiteral("its header differs from the manifest's");
    if (inspection.trailer.crc != profile.crc)
        return QStringLiteral("its CRC %1 differs from the manifest's %2")
            .arg(HexNumber(inspection.trailer.crc, 4), HexNumber(profile.crc, 4));
    return QString();
}

QString recordFileProblem(QIODevice *records, QIODevice *image, const QString &kind, quint32 address)
{
    const RecordFileInspection inspection = kind == OutputKind::IntelHex() ? InspectIntelHex(records, image, address)
                                                                           : InspectSRecords(records, image, address);
    if (!inspection.readError.isEmpty())
        return QStringLiteral("cannot be read: ") + inspection.readError;
    return firstFailure(inspection.checks);
}

QString kindName(const QString &kind)
{
    if (kind == OutputKind::Image())
        return QStringLiteral("new image");
    return kind == OutputKind::IntelHex() ? QStringLiteral("Intel HEX file") : QStringLiteral("S-record file");
}

class Verifier
{
public:
    Verifier(const VerificationRequest &request, ReleaseVerification &result)
        : m_request(request), m_result(result), m_folder(QFileInfo(request.manifestPath).path())
    {
    }

    void checkSignature(const QByteArray &manifest);
    void checkInput(const QString &path, const QString &what, qint64 size, const QByteArray &sha256);
    void checkProfile(const ManifestProfile &profile);

private:
    QString shown(const QString &path) const { return QDir::cleanPath(m_folder + QLatin1Char('/') + path); }
    bool hashMatches(const QString &path, const QString &what, qint64 size, const QByteArray &sha256);
    void inspectOutputs(const ManifestProfile &profile);

    const VerificationRequest &m_request;
    ReleaseVerification &m_result;
    QString m_folder;
};

void Verifier::checkSignature(const QByteArray &manifest)
{
    QByteArray keyFile;
    QString problem = ReadSmallFile(m_request.publicKeyPath, MaxKeyFileSize, &keyFile);
    PublicKey key;
    if (problem.isEmpty())
        problem = ParsePublicKey(keyFile, &key);
    if (!problem.isEmpty()) {
        m_result.error = QStringLiteral("public key %1 %2").arg(Quoted(m_request.publicKeyPath), problem);
        return;
    }
    const QString path = SignatureFileName(m_request.manifestPath);
    QByteArray signature;
    problem = ReadSmallFile(path, MaxKeyFileSize, &signature);
    if (problem == QLatin1String("does not exist"))
        problem = QStringLiteral("the manifest is not signed (no signature file)");
    else if (problem.isEmpty())
        problem = CheckSignatureFile(manifest, signature, key);
    if (!problem.isEmpty())
        problem += QStringLiteral(" (the signature of manifest %1)").arg(Quoted(m_request.manifestPath));
    m_result.files << verdict(path, QStringLiteral("signature"), problem.isEmpty() ? VerifiedFile::Ok : VerifiedFile::Failed,
                              problem);
}

bool Verifier::hashMatches(const QString &path, const QString &what, qint64 size, const QByteArray &sha256)
{
    FileHash hash;
    QString problem = HashFile(shown(path), &hash);
    if (problem.isEmpty() && hash.size != size)
        problem = QStringLiteral("has %1 bytes; the manifest says %2").arg(hash.size).arg(size);
    else if (problem.isEmpty() && hash.sha256 != sha256)
        problem = QStringLiteral("its SHA-256 differs from the manifest's");
    if (!problem.isEmpty())
        m_result.files << verdict(shown(path), what, VerifiedFile::Failed, problem);
    return problem.isEmpty();
}

// A source or the settings file: checked when it is there.
void Verifier::checkInput(const QString &path, const QString &what, qint64 size, const QByteArray &sha256)
{
    if (!QFileInfo::exists(shown(path)) && !QFileInfo(shown(path)).isSymLink()) {
        m_result.files << verdict(shown(path), what,
                                  m_request.requireSources ? VerifiedFile::Failed : VerifiedFile::NotChecked,
                                  QStringLiteral("not present"));
        return;
    }
    if (hashMatches(path, what, size, sha256))
        m_result.files << verdict(shown(path), what, VerifiedFile::Ok);
}

void Verifier::checkProfile(const ManifestProfile &profile)
{
    const ManifestSource &source = profile.source;
    checkInput(source.path, QStringLiteral("source image"), source.size, source.sha256);
    inspectOutputs(profile);
}

// Each output whose hash matches is opened again for its own checks: the
// image against the manifest, each record file against the image.
void Verifier::inspectOutputs(const ManifestProfile &profile)
{
    QFile image;
    bool imageSound = false;
    for (const ManifestFile &output : profile.outputs) {
        const QString what = kindName(output.kind);
        if (!hashMatches(output.path, what, output.size, output.sha256))
            continue;
        const bool isImage = output.kind == OutputKind::Image();
        QFile ownFile;
        QFile &file = isImage ? image : ownFile;
        QString problem = OpenRegularFile(file, shown(output.path));
        if (problem.isEmpty() && isImage)
            problem = imageProblem(&file, profile);
        else if (problem.isEmpty() && imageSound)
            problem = recordFileProblem(&file, &image, output.kind, profile.startAddress);
        if (isImage)
            imageSound = problem.isEmpty();
        m_result.files << verdict(shown(output.path), what, problem.isEmpty() ? VerifiedFile::Ok : VerifiedFile::Failed,
                                  problem);
    }
}
} // namespace

bool ReleaseVerification::passed() const
{
    if (!error.isEmpty() || !manifestError.isEmpty())
        return false;
    for (const VerifiedFile &file : files) {
        if (file.verdict == VerifiedFile::Failed)
            return false;
    }
    return true;
}

ReleaseVerification VerifyRelease(const VerificationRequest &request)
{
    ReleaseVerification result;
    Verifier verifier(request, result);
    QByteArray bytes;
    const QString unreadable = ReadSmallFile(request.manifestPath, MaxManifestSize, &bytes);
    if (!unreadable.isEmpty()) {
        result.manifestError = unreadable;
        return result;
    }
    if (!request.publicKeyPath.isEmpty()) {
        verifier.checkSignature(bytes);
        if (!result.error.isEmpty())
            return result;
    }
    const ManifestReading reading = ParseManifest(bytes);
    if (!reading.succeeded()) {
        result.manifestError = reading.error;
        return result;
    }
    const ReleaseManifest &manifest = reading.manifest;
    verifier.checkInput(manifest.settings.path, QStringLiteral("settings file"), manifest.settings.size,
                        manifest.settings.sha256);
    for (const ManifestProfile &profile : manifest.profiles)
        verifier.checkProfile(profile);
    return result;
}
