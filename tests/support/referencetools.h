#ifndef VANDREL_TESTS_REFERENCETOOLS_H
#define VANDREL_TESTS_REFERENCETOOLS_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// Independent tools that check what the engine writes: Python's binascii for
// the CRC, srecord's srec_cat and binutils' objcopy for the S-records and
// Intel HEX, Debian's python3-intelhex, sha256sum. Each returns false and
// fills error when the tool cannot be run or fails.

// Runs a program to its end; its standard output goes to output (if given).
bool RunTool(const QString &program, const QStringList &arguments, QByteArray *output, QString *error);

// The tools are Linux programs. On Windows, scripts/test-windows.sh compares
// the files that the Windows build writes under Wine with the Linux build's,
// byte for byte, instead.
#ifdef Q_OS_WIN
constexpr bool ReferenceToolsAvailable = false;
#else
constexpr bool ReferenceToolsAvailable = true;
#endif
constexpr char ReferenceToolsAbsent[] =
    "the reference tools are Linux programs; test-windows.sh compares with the Linux build instead";

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

// Reads an Intel HEX file back into the bytes from startAddress on, as srec_cat
// and python3-intelhex read it (size bytes for the latter).
bool SrecCatIntelToBinary(const QString &hexPath, quint32 startAddress, const QString &binaryPath, QString *error);
bool PythonIntelHexToBinary(const QString &hexPath, quint32 startAddress, qint64 size, QByteArray *bytes,
                            QString *error);

// A record file of a binary file loaded at address, as the tool writes it by
// default: objcopy's "srec" or "ihex" output (CR LF line ends).
bool ObjcopyFromBinary(const QString &binaryPath, quint32 address, const QString &format,
                       const QString &outputPath, QString *error);

// srec_cat's record file of a binary file loaded at address; format is the
// output format and its options, e.g. {"-motorola"}, {"-intel"} or
// {"-intel", "-address-length=3"} (type 02 segment records).
bool SrecCatFromBinary(const QString &binaryPath, quint32 address, const QStringList &format,
                       const QString &outputPath, QString *error);

// Debian's python3-intelhex writing a binary file loaded at address, with a
// type 05 start address record when one is given.
bool PythonIntelHexFromBinary(const QString &binaryPath, quint32 address, std::optional<quint32> startAddress,
                              const QString &outputPath, QString *error);

#endif
