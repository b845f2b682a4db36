#include "filehash.h"

#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>

namespace {
constexpr qint64 ChunkSize = 1024 * 1024;

// OpenSSL's SHA-256, which uses the processor's SHA instructions where it
// has them: a release hashes every byte it writes, several times over.
class Sha256
{
public:
    Sha256() : m_context(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
    {
        m_good = m_context && EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) == 1;
    }
    void add(const char *data, qint64 size)
    {
        m_good = m_good && EVP_DigestUpdate(m_context.get(), data, std::size_t(size)) == 1;
    }
    // Empty when the library failed, which the caller reports.
    QByteArray hex()
    {
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned int size = 0;
        if (!m_good || EVP_DigestFinal_ex(m_context.get(), digest.data(), &size) != 1)
            return QByteArray();
        return QByteArray(reinterpret_cast<const char *>(digest.data()), int(size)).toHex();
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> m_context;
    bool m_good = false;
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
    if (hash->sha256.isEmpty() || hash->spanSha256.isEmpty())
        return QStringLiteral("the cryptography library could not hash it");
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
