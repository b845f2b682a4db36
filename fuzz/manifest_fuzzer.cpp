// libFuzzer target over the release manifest reader: any bytes, as verify
// reads them from a manifest nobody vouches for. A manifest that is read
// must write back to a document that reads the same.

#include "manifestreader.h"
#include "manifestwriter.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(MaxManifestSize))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const ManifestReading reading = ParseManifest(bytes);
    if (!reading.succeeded())
        return 0;
    const QByteArray written = ManifestJson(reading.manifest);
    const ManifestReading again = ParseManifest(written);
    if (!again.succeeded() || ManifestJson(again.manifest) != written)
        std::abort();
    return 0;
}
