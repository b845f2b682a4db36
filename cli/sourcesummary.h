#ifndef VANDREL_CLI_SOURCESUMMARY_H
#define VANDREL_CLI_SOURCESUMMARY_H

#include "conversion.h"

#include <QByteArray>

// The summary of "convert --json" with what the source gave added to its
// "source" object: "format" (binary, elf, ihex, srec) and, for an addressed
// source, "dataRanges", "fill", "filledRanges" and "entryAddress" when it
// gives one. A range is {"start", "end", "size"}, end excluded.
QByteArray WithSourceFacts(const QByteArray &summary, const SourceFacts &facts);

#endif
