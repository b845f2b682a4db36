#ifndef VANDREL_RECORDS_SOURCEPIECE_H
#define VANDREL_RECORDS_SOURCEPIECE_H

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <vector>

// Bytes an addressed source gives at an address, as its reader hands them
// out. origin says where in the file they come from (see SourceReading).
struct SourcePiece
{
    quint64 address = 0;
    const quint8 *data = nullptr;
    qint64 size = 0;
    qint64 origin = 0;
};

// Takes each piece in file order; false stops the reading.
using SourcePieceSink = std::function<bool(const SourcePiece &)>;

// How one reading of an addressed source ended.
struct SourceReading
{
    // Why the file is not a well-formed source of its format, or why it
    // could not be read; empty when it was read whole.
    QString fault;
    bool readFailed = false; // the fault is the device's, not the file's form
    bool stopped = false;    // the sink stopped it
    std::optional<quint64> entryAddress;
    // An ELF's pieces come from sections (or segments): origin indexes
    // these names. A record file's origin is the line number.
    std::vector<QString> originNames;

    bool complete() const { return fault.isEmpty() && !stopped; }
    // "line 12", "section .data".
    QString originText(qint64 origin) const;
};

#endif
