#ifndef VANDREL_RELEASE_RELEASEMANIFEST_H
#define VANDREL_RELEASE_RELEASEMANIFEST_H

#include "imageheader.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What a release wrote and from what: the manifest, "vandrel-release/1".
// Paths are relative to the manifest's folder, with "/" separators.

inline QString ManifestFormat() { return QStringLiteral("vandrel-release/1"); }

// Kinds of output, as the manifest names them.
namespace OutputKind {
inline QString Image() { return QStringLiteral("image"); }
inline QString SRecords() { return QStringLiteral("s19"); }
inline QString IntelHex() { return QStringLiteral("hex"); }
}

// A file the manifest names, with its size and SHA-256 (lowercase hex).
struct ManifestFile
{
    QString kind; // outputs only
    QString path;
    qint64 size = 0;
    QByteArray sha256;
};

struct ManifestSource
{
    QString path;
    QString format; // as read: "binary", "elf", "ihex" or "srec"
    qint64 size = 0;
    QByteArray sha256;
};

struct ManifestProfile
{
    int index = 0;
    QString name;
    ManifestSource source;
    quint32 startAddress = 0;
    quint16 softwareVersion = 0;
    int littleEndian = 1; // written "little" or "big"
    ImageHeader header;
    quint16 crc = 0;
    QVector<ManifestFile> outputs; // the image first
};

struct ReleaseManifest
{
    QString toolName;
    QString toolVersion;
    quint32 seconds = 0;  // as stamped into every header
    QString calendar;     // the wall-clock reading stamped, "YYYY-MM-DD hh:mm:ss"
    ManifestFile settings;
    QVector<ManifestProfile> profiles;
};

// The largest manifest that is read, and the most profiles it may list.
constexpr qint64 MaxManifestSize = 16 * 1024 * 1024;
constexpr int MaxManifestProfiles = 1000;

#endif
