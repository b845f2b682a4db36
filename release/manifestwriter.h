#ifndef VANDREL_RELEASE_MANIFESTWRITER_H
#define VANDREL_RELEASE_MANIFESTWRITER_H

#include "releasemanifest.h"

#include <QByteArray>

// The manifest as UTF-8 JSON, keys in a fixed order: the same manifest gives
// the same bytes.
QByteArray ManifestJson(const ReleaseManifest &manifest);

#endif
