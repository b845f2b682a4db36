#include "standardoutputrecords.h"

#include "clioutput.h"
#include "messagetext.h"

#include <QDir>
#include <QFile>

namespace {
constexpr qint64 CopyChunkSize = 256 * 1024;
}

bool StandardOutputRecords::isStandardOutput(const QString &path)
{
    return path == QLatin1String("-") || path == QLatin1String("/dev/stdout");
}

QString StandardOutputRecords::temporaryPath(QString *error)
{
    m_interruptCleanup = std::make_unique<InterruptCleanup>();
    m_file = std::make_unique<QTemporaryFile>(QDir(QDir::tempPath()).filePath(QStringLiteral("vandrel-cli-XXXXXX.records")));
    {
        // Registered exactly while it exists.
        const InterruptCleanup::Hold hold;
        if (!m_file->open()) {
            *error = QStringLiteral("cannot make a temporary file for the standard output's text in %1: %2")
                         .arg(Quoted(QDir::tempPath()), m_file->errorString());
            return QString();
        }
        m_cleanupEntry.add(m_file->fileName());
    }
    // Closed, so that the conversion can put its file in place over it
    // (Windows renames over no open file).
    m_file->close();
    return m_file->fileName();
}

int StandardOutputRecords::copyToStandardOutput(const QString &imagePath, const QString &what) const
{
    const auto failed = [&](const QString &cause) {
        PrintError(QStringLiteral("the new image %1 is in place, but the %2 text could not be written to the "
                                  "standard output: %3")
                       .arg(Quoted(imagePath), what, cause));
        return ExitFailure;
    };
    QFile text(m_file->fileName());
    if (!text.open(QIODevice::ReadOnly))
        return failed(text.errorString());
    QString error;
    while (!text.atEnd()) {
        const QByteArray chunk = text.read(CopyChunkSize);
        if (chunk.isEmpty())
            return failed(text.errorString());
        if (!WriteStandardOutput(chunk, &error))
            return failed(StandardOutputClosedByReader() ? QStringLiteral("its reader closed it") : error);
    }
    return ExitSuccess;
}
