#include "standardoutputrecords.h"

#include "clioutput.h"
#include "messagetext.h"

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
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid()) {
        *error = QStringLiteral("cannot make a temporary folder for the standard output's text: %1")
                     .arg(m_folder->errorString());
        return QString();
    }
    m_path = m_folder->filePath(QStringLiteral("records"));
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
