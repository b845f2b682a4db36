#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size()
        && file.flush();
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QMap<QString, QByteArray> FolderState(const QString &folder, bool recursive)
{
    QMap<QString, QByteArray> state;
    const QDir base(folder);
    QStringList pending{folder};
    while (!pending.isEmpty()) {
        const QFileInfoList entries = QDir(pending.takeFirst())
                                          .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                                             | QDir::System,
                                                         QDir::Name);
        for (const QFileInfo &entry : entries) {
            QByteArray what;
            if (entry.isSymLink())
                what = "link to " + entry.symLinkTarget().toUtf8();
            else if (entry.isDir())
                what = "folder";
            else if (entry.isFile())
                what = ReadFile(entry.filePath());
            else
                what = "special";
            if (recursive && entry.isDir() && !entry.isSymLink())
                pending << entry.filePath();
            state.insert(base.relativeFilePath(entry.filePath()), what);
        }
    }
    return state;
}
