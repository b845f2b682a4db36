#ifndef VANDREL_CLI_STANDARDOUTPUTRECORDS_H
#define VANDREL_CLI_STANDARDOUTPUTRECORDS_H

#include "interruptcleanup.h"

#include <QString>

#include <memory>

// A record file asked for on the standard output ("-" or /dev/stdout). The
// conversion writes it as any output, onto a private temporary file, so the
// new image is put in place only with complete record text beside it; the
// text is then copied to stdout. A run that fails writes nothing to stdout; a
// copy that fails after the image is in place says so. The temporary file is
// removed at the end, and by an interrupt.
class StandardOutputRecords
{
public:
    StandardOutputRecords() = default;
    StandardOutputRecords(const StandardOutputRecords &) = delete;
    StandardOutputRecords &operator=(const StandardOutputRecords &) = delete;
    ~StandardOutputRecords();

    // Whether an option value names the standard output.
    static bool isStandardOutput(const QString &path);

    // The temporary file for the conversion to replace; empty, with error
    // set, when none can be made.
    QString temporaryPath(QString *error);

    // Copies the written text to stdout. Returns the exit status: success,
    // or a failure whose message says that imagePath is in place.
    int copyToStandardOutput(const QString &imagePath, const QString &what) const;

private:
    // Made only when asked for; the guard before the entry it serves.
    std::unique_ptr<InterruptCleanup> m_interruptCleanup;
    InterruptCleanup::Entry m_cleanupEntry;
    QString m_path; // the temporary file, removed at the end; empty before it is made
};

#endif
