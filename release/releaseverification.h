#ifndef VANDREL_RELEASE_RELEASEVERIFICATION_H
#define VANDREL_RELEASE_RELEASEVERIFICATION_H

#include <QString>
#include <QVector>

// What verify found for one file the manifest names (or its signature).
struct VerifiedFile
{
    enum Verdict { Ok, Failed, NotChecked };

    QString path; // as it can be opened: the manifest's folder joined with the manifest's path
    QString what; // "new image", "S-record file", "source image", "signature", ...
    Verdict verdict = Failed;
    QString reason; // why it failed or was not checked
};

struct VerificationRequest
{
    QString manifestPath;
    QString publicKeyPath;        // empty: the signature is not checked
    bool requireSources = false;  // a missing source or settings file fails
};

struct ReleaseVerification
{
    QString error;         // the check could not be made (a public key that cannot be read)
    QString manifestError; // the manifest cannot be read; nothing else was checked
    QVector<VerifiedFile> files;

    bool passed() const;
};

// Hashes every file the manifest names and compares them with it, checks
// each image's header and trailer against the manifest and its record files
// against the image, and with a public key the manifest's signature. Only
// reads.
ReleaseVerification VerifyRelease(const VerificationRequest &request);

#endif
