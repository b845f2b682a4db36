#include "sourcereader.h"

#include "elffile.h"
#include "recordsourcereader.h"

#include <QIODevice>

QString SourceReading::originText(qint64 origin) const
{
    if (originNames.empty())
        return QStringLiteral("line %1").arg(origin);
    if (origin >= 0 && size_t(origin) < originNames.size())
        return originNames[size_t(origin)];
    return QStringLiteral("piece %1").arg(origin);
}

SourceReading ReadSourcePieces(QIODevice *device, SourceFormat format, const SourcePieceSink &sink)
{
    if (!device->seek(0)) {
        SourceReading reading;
        reading.fault = device->errorString();
        reading.readFailed = true;
        return reading;
    }
    switch (format) {
    case SourceFormat::Elf:
        return ReadElfSource(device, sink);
    case SourceFormat::IntelHex:
        return ReadIntelHexSource(device, sink);
    case SourceFormat::SRecord:
        return ReadSRecordSource(device, sink);
    default:
        break;
    }
    SourceReading reading;
    reading.fault = QStringLiteral("a %1 file is not an addressed source").arg(SourceFormatTitle(format));
    return reading;
}
