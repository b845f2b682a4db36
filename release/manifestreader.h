#ifndef VANDREL_RELEASE_MANIFESTREADER_H
#define VANDREL_RELEASE_MANIFESTREADER_H

#include "releasemanifest.h"

#include <QByteArray>
#include <QString>

// A manifest as read from bytes nobody vouches for: every value is checked
// for its type and range, every path is relative.
struct ManifestReading
{
    QByteArray bytes; // the file as read (what a signature covers)
    ReleaseManifest manifest;
    QString error;    // one English line; empty when the manifest was read
    bool succeeded() const { return error.isEmpty(); }
};

// Reads the manifest from its bytes.
ManifestReading ParseManifest(const QByteArray &bytes);

#endif
