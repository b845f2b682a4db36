#ifndef VANDREL_RECORDS_INTELHEX_H
#define VANDREL_RECORDS_INTELHEX_H

#include <QString>
#include <QtGlobal>

#include <array>

// Intel HEX. A line is ":" then hex pairs: the data byte count, a 16-bit
// offset, the record type, the data, and the checksum, the two's complement
// of the low byte of the sum of every pair before it.
namespace IntelHexLayout {
enum RecordType : quint8 {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02, // data: segment, address = segment * 16 + offset
    StartSegmentAddress = 0x03,    // data: CS:IP
    ExtendedLinearAddress = 0x04,  // data: the upper 16 bits of the address
    StartLinearAddress = 0x05,     // data: EIP
};
// Offsets are 16-bit: a record's data stays within one 64 KiB segment, so
// this tool splits a record where it would cross a segment boundary.
constexpr quint32 SegmentSize = 0x10000;
// This tool writes data records, a type 04 record (offset 0) wherever the
// upper 16 address bits change, starting from these, and the end-of-file
// record.
constexpr quint16 FirstUpperAddress = 0;
constexpr quint16 UpperAddressRecordOffset = 0;
// Data bytes in each data record this tool writes (the last may hold fewer).
constexpr int DataBytesPerRecord = 16;
// A full data line: ":", count, offset, type, 16 data bytes, checksum, LF.
constexpr int FullLineLength = 1 + 2 + 4 + 2 + 2 * DataBytesPerRecord + 2 + 1;
constexpr int MaxDataBytes = 255;
// Characters of the longest line a reader need accept, line end excluded.
constexpr int MaxLineLength = 1 + 2 * (1 + 2 + 1 + MaxDataBytes + 1);
constexpr char EndOfFileLine[] = ":00000001FF\n";
}

quint8 IntelHexChecksum(quint8 type, quint16 offset, const quint8 *data, int count);

// Formats one record (upper-case hex, LF end) at out and returns the end.
// out must have room for 12 + 2 * count characters; count is at most 255.
char *FormatIntelHexRecord(char *out, quint8 type, quint16 offset, const quint8 *data, int count);

// One record as read from a file.
struct IntelHexRecord
{
    quint8 type = 0;
    quint16 offset = 0;
    int count = 0;
    std::array<quint8, IntelHexLayout::MaxDataBytes> data = {};
    quint8 checksum = 0;         // as stored
    quint8 computedChecksum = 0; // of the fields read
    bool checksumMatches() const { return checksum == computedChecksum; }
};

// Parses one line, its line end removed. Hex digits of either case are
// read. Returns an empty text, or one line saying what is wrong with its
// form; a wrong checksum is not a fault of form, and neither is a record
// type this tool does not know (the reader decides).
QString ParseIntelHexRecord(const char *text, int length, IntelHexRecord &record);

// What is wrong with a parsed record's type: one that is not 00 to 05, or a
// record other than data whose data bytes are not the count its type holds.
// Empty when it is right.
QString IntelHexTypeFault(const IntelHexRecord &record);

#endif
