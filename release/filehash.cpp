#include "filehash.h"

#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <sodium.h>

#include <algorithm>
#include <array>

namespace {
constexpr qint64 ChunkSize = 1024 * 1024;

// libsodium's SHA-256, which is quicker than Qt's: a release hashes every
// byte it writes.
class Sha256
{
public:
    Sha256() { crypto_hash_sha256_init(&m_state); }
    void add(const char *data, qint64 size)
    {
        crypto_hash_sha256_update(&m_state, reinterpret_cast<const unsigned char *>(data),
                                  static_cast<unsigned long long>(size));
    }
    QByteArray hex()
    {
        std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
        crypto_hash_sha256_final(&m_state, digest.data());
        return QByteArray(reinterpret_cast<const char *>(digest.data()), int(digest.size())).toHex();
    }

private:
    crypto_hash_sha256_state m_state;
};
} // namespace

QString HashDevice(QIODevice *device, FileHash *hash, qint64 spanBegin, qint64 spanEnd)
{
    if (!device->seek(0))
        return device->errorString();
    Sha256 whole;
    Sha256 span;
    QByteArray chunk(int(ChunkSize), Qt::Uninitialized);
    qint64 position = 0;
    for (;;) {
        const qint64 n = device->read(chunk.data(), ChunkSize);
        if (n < 0)
            return device->errorString();
        if (n == 0)
            break;
        whole.add(chunk.constData(), n);
        const qint64 from = std::max(spanBegin, position);
        const qint64 to = std::min(spanEnd, position + n);
        if (from < to)
            span.add(chunk.constData() + (from - position), to - from);
        position += n;
    }
    *hash = FileHash{position, whole.hex(), span.hex()};
    return QString();
}

QString HashFile(const QString &path, FileHash *hash)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return QStringLiteral("does not exist");
    QFile file;
    const QString problem = OpenRegularFile(file, path);
    if (problem == NotRegularFileText())
        return QStringLiteral("is ") + problem;
    if (!problem.isEmpty())
        return QStringLiteral("cannot be read: ") + problem;
    const QString failed = HashDevice(&file, hash);
    return failed.isEmpty() ? QString() : QStringLiteral("cannot be read: ") + failed;
}
