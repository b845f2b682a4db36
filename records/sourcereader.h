#ifndef VANDREL_RECORDS_SOURCEREADER_H
#define VANDREL_RECORDS_SOURCEREADER_H

#include "sourceformat.h"
#include "sourcepiece.h"

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Reads an addressed source (ELF, Intel HEX or S-records) from offset 0,
// handing each piece of data to sink in file order.
SourceReading ReadSourcePieces(QIODevice *device, SourceFormat format, const SourcePieceSink &sink);

#endif
