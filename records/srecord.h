#ifndef VANDREL_RECORDS_SRECORD_H
#define VANDREL_RECORDS_SRECORD_H

#include <QString>
#include <QtGlobal>

#include <array>

// Motorola S-records. A line is "S", the type digit, then hex pairs: the
// byte count (address, data and checksum bytes), the address (2 bytes for
// S0 S1 S5 S9, 3 for S2 S6 S8, 4 for S3 S7), the data, and the checksum, the
// ones' complement of the low byte of the sum of every pair before it.
namespace SRecordLayout {
// The lines this tool writes around its S3 records, the same in every file.
constexpr char HeaderLine[] = "S01000005570646174654170702E73313960\n";
constexpr char EndLine[] = "S705080052910F\n";
// The record types of the lines between them: S3 data records.
constexpr int DataRecordType = 3;
// The record type of the end line: S7.
constexpr int EndRecordType = 7;
// Data bytes in each S3 record this tool writes (the last may hold fewer).
constexpr int DataBytesPerRecord = 16;
// A full S3 line: "S3", count, 8 address digits, 16 data bytes, checksum, LF.
constexpr int FullLineLength = 2 + 2 + 8 + 2 * DataBytesPerRecord + 2 + 1;
// The byte count is one byte: address, data and checksum together.
constexpr int MaxByteCount = 255;
// Characters of the longest line a reader need accept, line end excluded.
constexpr int MaxLineLength = 4 + 2 * MaxByteCount;
}

// Address bytes of a record type, or 0 for a type that does not exist (S4,
// anything but a digit).
int SRecordAddressBytes(int type);

// The checksum of a record: byte count, address bytes and data summed, low
// byte complemented.
quint8 SRecordChecksum(int addressBytes, quint32 address, const quint8 *data, int count);

// Formats one record (upper-case hex, LF end) at out and returns the end.
// out must have room for 4 + 2 * (addressBytes + count + 1) + 1 characters;
// count is at most MaxByteCount - addressBytes - 1.
char *FormatSRecord(char *out, int type, quint32 address, const quint8 *data, int count);

// One record as read from a file.
struct SRecord
{
    int type = 0;     // 0-9
    int addressBytes = 0;
    quint32 address = 0;
    int count = 0;    // data bytes
    std::array<quint8, SRecordLayout::MaxByteCount> data = {};
    quint8 checksum = 0;         // as stored
    quint8 computedChecksum = 0; // of the fields read
    bool checksumMatches() const { return checksum == computedChecksum; }
};

// Parses one line, its line end removed. Hex digits of either case are
// read. Returns an empty text, or one line saying what is wrong with its form;
// a wrong checksum is not a fault of form (see SRecord::checksumMatches).
QString ParseSRecord(const char *text, int length, SRecord &record);

#endif
