#ifndef VANDREL_RECORDS_ELFFILE_H
#define VANDREL_RECORDS_ELFFILE_H

#include "sourcepiece.h"

#include <QString>
#include <QtGlobal>

#include <vector>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

// Contents of an ELF file that a loader puts into memory, and where.
struct ElfLoadPiece
{
    quint64 address = 0;    // load address
    quint64 fileOffset = 0; // of its bytes in the file
    quint64 size = 0;
    QString name;           // "section .data", "segment 2"
};

struct ElfLoadLayout
{
    QString fault; // why the file cannot be used; empty when it can
    quint64 entryAddress = 0;
    std::vector<ElfLoadPiece> pieces;
};

// Reads an ELF executable's headers (32- or 64-bit, either byte order) in
// bounded memory, laid out as objcopy -O binary lays it out: each allocated
// section with contents at its load address, the p_paddr of the PT_LOAD
// segment holding it plus the section's offset in the segment (so a .data
// run in RAM lands where it is loaded from). Without section headers, the
// PT_LOAD segments' file bytes at p_paddr. Relocatable objects, files without
// loadable data and headers that are cut short or point past the file's end
// are refused with the reason.
ElfLoadLayout ReadElfLayout(QIODevice *device);

// ReadElfLayout, then each piece's bytes in chunks of bounded size; a
// piece's origin indexes originNames.
SourceReading ReadElfSource(QIODevice *device, const SourcePieceSink &sink);

#endif
