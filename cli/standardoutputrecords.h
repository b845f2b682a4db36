#ifndef VANDREL_CLI_STANDARDOUTPUTRECORDS_H
#define VANDREL_CLI_STANDARDOUTPUTRECORDS_H

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A record file asked for on the standard output ("-" or /dev/stdout). The
// conversion writes it as any output, into a private temporary folder, so
// the new image is put in place only with complete record text beside it;
// the text is then copied to stdout. A run that fails leaves nothing behind
// and writes nothing to stdout; a copy that fails after the image is in
// place says so.
class StandardOutputRecords
{
public:
    // Whether an option value names the standard output.
    static bool isStandardOutput(const QString &path);

    // The temporary path for the conversion to write; empty, with error set,
    // when no temporary folder can be made.
    QString temporaryPath(QString *error);

    // Copies the written text to stdout. Returns the exit status: success,
    // or a failure whose message says that imagePath is in place.
    int copyToStandardOutput(const QString &imagePath, const QString &what) const;

private:
    std::unique_ptr<QTemporaryDir> m_folder; // made only when asked for
    QString m_path;
};

#endif
