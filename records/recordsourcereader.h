#ifndef VANDREL_RECORDS_RECORDSOURCEREADER_H
#define VANDREL_RECORDS_RECORDSOURCEREADER_H

#include "sourcepiece.h"

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Record files as sources, line by line in bounded memory with the record
// codecs: any record length, any order, hex digits of either case, LF or
// CR LF, blank lines skipped. The first line that is not a well-formed record,
// a wrong checksum, a wrong count or a record after the end record makes the
// file unusable: loading part of a firmware is worse than none.
// Each data record is one piece, its origin the line number.

// Intel HEX: types 00 to 05, the end-of-file record required (every tool
// writes one, so a file without it was cut short); a record's data runs on
// past a 64 KiB boundary to the next address, after type 02 as after type 04
// records.
SourceReading ReadIntelHexSource(QIODevice *device, const SourcePieceSink &sink);

// S-records: S0 ignored, S1/S2/S3 data, S5/S6 counts checked, S7/S8/S9 ends
// (optional, as srec_cat leaves it out without a start address).
SourceReading ReadSRecordSource(QIODevice *device, const SourcePieceSink &sink);

#endif
