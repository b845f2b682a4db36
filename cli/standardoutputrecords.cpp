#include "standardoutputrecords.h"

#include "clioutput.h"
#include "messagetext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace {
constexpr qint64 CopyChunkSize = 256 * 1024;
}

bool StandardOutputRecords::isStandardOutput(const QString &path)
{
    return path == QLatin1String("-") || path == QLatin1String("/dev/stdout");
}

StandardOutputRecords::~StandardOutputRecords()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

QString StandardOutputRecords::temporaryPath(QString *error)
{
    m_interruptCleanup = std::make_unique<InterruptCleanup>();
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("vandrel-cli-XXXXXX.records")));
    file.setAutoRemove(false);
    {
        // Registered exactly while it exists.
        const InterruptCleanup::Hold hold;
        if (!file.open()) {
            *error = QStringLiteral("cannot make a temporary file for the standard output's text in %1: %2")
                         .arg(Quoted(QDir::tempPath()), file.errorString());
            return QString();
        }
        m_path = file.fileName();
        m_cleanupEntry.add(m_path);
    }
    // A closed QTemporaryFile keeps its handle; the file goes out of scope
    // here so that the conversion can put its file in place over the name
    // (Windows renames over no open file).
    return m_path;
}

int StandardOutputRecords::copyToStandardOutput(const QString &imagePath, const QString &what) const
{
    const auto failed = [&](const QString &cause) {
        PrintError(QStringLiteral("the new image %1 is in place, but the %2 text could not be written to the "
                                  "standard output: %3")
                       .arg(Quoted(imagePath), what, cause));
        return ExitFailure;
    };
    QFile text(m_path);
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
