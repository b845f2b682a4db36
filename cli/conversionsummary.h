#ifndef VANDREL_CLI_CONVERSIONSUMMARY_H
#define VANDREL_CLI_CONVERSIONSUMMARY_H

#include "conversion.h"

#include <QByteArray>
#include <QString>

// "convert --json": what a successful run wrote, read back from the disk:
// paths, sizes, the start address, the header fields and trailer as
// "inspect --json" shows them, and the SHA-256 of each file written.
// Empty, with error set, when a file cannot be read back.
QByteArray ConversionSummaryJson(const ConversionRequest &request, QString *error);

#endif
