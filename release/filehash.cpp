#include "filehash.h"

#include "regularfile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {
constexpr qint64 ChunkSize = 1024 * 1024;
} // namespace

QString HashDevice(QIODevice *device, FileHash *hash, qint64 spanBegin, qint64 spanEnd)
{
    if (!device->seek(0))
        return device->errorString();
    QCryptographicHash whole(QCryptographicHash::Sha256);
    QCryptographicHash span(QCryptographicHash::Sha256);
    QByteArray chunk(int(ChunkSize), Qt::Uninitialized);
    qint64 position = 0;
    for (;;) {
        const qint64 n = device->read(chunk.data(), ChunkSize);
        if (n < 0)
            return device->errorString();
        if (n == 0)
            break;
        whole.addData(QByteArray::fromRawData(chunk.constData(), int(n)));
        const qint64 from = std::max(spanBegin, position);
        const qint64 to = std::min(spanEnd, position + n);
        if (from < to)
            span.addData(QByteArray::fromRawData(chunk.constData() + (from - position), int(to - from)));
        position += n;
    }
    *hash = FileHash{position, whole.result().toHex(), span.result().toHex()};
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
