#include "smallfile.h"

#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

QString ReadSmallFile(const QString &path, qint64 maxSize, QByteArray *contents)
{
    if (!QFileInfo::exists(path))
        return QStringLiteral("does not exist");
    QFile file;
    const QString problem = OpenRegularFile(file, path);
    if (problem == NotRegularFileText())
        return QStringLiteral("is ") + problem;
    if (!problem.isEmpty())
        return QStringLiteral("cannot be read: ") + problem;
    // One byte past the limit tells a file that is too large.
    *contents = file.read(maxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot be read: ") + file.errorString();
    if (contents->size() > maxSize)
        return QStringLiteral("is larger than %1 bytes").arg(maxSize);
    return QString();
}
