#ifndef VANDREL_TESTS_REFERENCETOOLS_H
#define VANDREL_TESTS_REFERENCETOOLS_H

#include <QString>
#include <QtGlobal>

// Independent tools that check what the engine writes: Python's binascii for
// the CRC, srecord's srec_cat and binutils' objcopy for the S-records. Each
// returns false and fills error when the tool cannot be run or fails.

// binascii.crc_hqx(contents of path, 0), which is CRC-16/XMODEM.
bool PythonCrcHqx(const QString &path, quint16 *crc, QString *error);

// Reads an S-record file back into the binary image it describes, taking
// startAddress as offset 0. srec_cat refuses any record with a bad checksum.
bool SrecCatToBinary(const QString &srecordPath, quint32 startAddress,
                     const QString &binaryPath, QString *error);

// objcopy's S-record text of a binary file loaded at startAddress, 16 data
// bytes a record, S3 records only.
bool ObjcopyToSRecords(const QString &binaryPath, quint32 startAddress,
                       const QString &srecordPath, QString *error);

#endif
