#ifndef VANDREL_RELEASE_RELEASERUN_H
#define VANDREL_RELEASE_RELEASERUN_H

#include "conversion.h"
#include "signature.h"
#include "targetreplacement.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// One profile of a release: where it comes from and what it converts.
struct ReleaseProfile
{
    int index = 0;
    QString name;
    ConversionRequest request; // settingsPath set; the same wall clock for all
};

struct ReleaseRequest
{
    std::vector<ReleaseProfile> profiles;
    QString settingsPath;
    QString manifestPath;
    std::optional<SecretKey> signingKey; // none: no signature, and a stale one is removed
    QString toolName;
    QString toolVersion;
    RenameFunction rename; // the system's when empty
};

// Converts every profile, writes the manifest and, with a key, its signature
// (SignatureFileName of the manifest), all put in place together or none.
// Returns an empty text, or one English line naming what failed.
QString RunRelease(const ReleaseRequest &release);

#endif
