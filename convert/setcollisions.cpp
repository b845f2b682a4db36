#include "setcollisions.h"

#include "fileidentity.h"
#include "interruptcleanup.h"
#include "messagetext.h"
#include "outputfile.h"

#include <vector>

namespace {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseSensitive;
#endif

// Each written file holds a temporary name, a lock and a backup name at once;
// a removed file holds its lock.
constexpr int CleanupNamesPerWrittenFile = 3;

// A file that the set reads or writes, with what it is to the set.
struct Claim
{
    QString description; // e.g. new image "out/a.bin" of profile 1 "B"
    QString key;
    FileIdentity identity;
    bool written = false;
};

Claim claimOf(const QString &what, const QString &path, const QString &owner, bool written)
{
    QString description = QStringLiteral("%1 %2").arg(what, Quoted(path));
    if (!owner.isEmpty())
        description += QStringLiteral(" of ") + owner;
    return Claim{description, OutputFile::keyOf(path), FileIdentity::ofPath(path), written};
}

bool sameFile(const Claim &a, const Claim &b)
{
    if (a.identity.isValid() && b.identity.isValid())
        return a.identity == b.identity;
    return !a.key.isEmpty() && a.key.compare(b.key, FileNameCase) == 0;
}

void addMemberClaims(const ConversionSetMember &member, std::vector<Claim> &claims)
{
    const ConversionRequest &request = member.request;
    const struct
    {
        const char *what;
        const QString &path;
        bool written;
    } files[] = {
        {"source image", request.sourcePath, false},
        {"settings file", request.settingsPath, false},
        {"new image", request.imagePath, true},
        {"S-record file", request.srecordPath, true},
        {"Intel HEX file", request.hexPath, true},
    };
    for (const auto &file : files) {
        // An empty path is the member's own refusal, or no such output.
        if (!file.path.isEmpty())
            claims.push_back(claimOf(QString::fromLatin1(file.what), file.path, member.label, file.written));
    }
}

std::vector<Claim> claimsOf(const ConversionSet &set)
{
    std::vector<Claim> claims;
    for (const ConversionSetMember &member : set.members)
        addMemberClaims(member, claims);
    for (const std::vector<SetFile> *files : {&set.added, &set.removed}) {
        for (const SetFile &file : *files)
            claims.push_back(claimOf(file.what, file.path, QString(), true));
    }
    return claims;
}
} // namespace

QString SetCollision(const ConversionSet &set)
{
    const std::vector<Claim> claims = claimsOf(set);
    for (auto later = claims.cbegin(); later != claims.cend(); ++later) {
        for (auto earlier = claims.cbegin(); earlier != later; ++earlier) {
            if ((later->written || earlier->written) && sameFile(*earlier, *later))
                return QStringLiteral("%1 is also the %2").arg(later->description, earlier->description);
        }
    }
    return QString();
}

QString SetCleanupRoom(const ConversionSet &set)
{
    qint64 written = qint64(set.added.size());
    for (const ConversionSetMember &member : set.members) {
        const ConversionRequest &request = member.request;
        const bool srecords = !request.srecordPath.isEmpty() || request.hexPath.isEmpty();
        written += 1 + (srecords ? 1 : 0) + (request.hexPath.isEmpty() ? 0 : 1);
    }
    const qint64 names = written * CleanupNamesPerWrittenFile + qint64(set.removed.size());
    if (names <= InterruptCleanup::MaxFiles)
        return QString();
    return QStringLiteral("the set writes %1 files, more than the interrupt clean-up can hold at once (%2)")
        .arg(written)
        .arg(InterruptCleanup::MaxFiles / CleanupNamesPerWrittenFile);
}
