#ifndef VANDREL_CONVERT_CONVERSIONSET_H
#define VANDREL_CONVERT_CONVERSIONSET_H

#include "conversion.h"
#include "targetreplacement.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

class OutputFile;

// One conversion of a set, and how messages name it, e.g. profile 1 "Motor".
struct ConversionSetMember
{
    ConversionRequest request;
    QString label;
};

// The written outputs of every member, in the member's placing order (the
// image first); each file is complete and open for reading.
using WrittenOutputs = std::vector<std::vector<OutputFile *>>;

// A file of the set that is not a member's output, and what it is in
// messages, e.g. manifest.
struct SetFile
{
    QString path;
    QString what;
};

// Makes the contents of the caller's own files (one per added file, in
// order) from what the members wrote. Returns an empty text, or the cause.
using AddedFilesMaker = std::function<QString(const WrittenOutputs &written, QList<QByteArray> *contents)>;

// Several conversions and the caller's own files, written as one: every
// file goes to a temporary name first, and only when all are complete are
// they put in place together, the members' outputs in order, then the added
// files in order (a manifest, then its signature).
struct ConversionSet
{
    std::vector<ConversionSetMember> members;
    std::vector<SetFile> added;
    AddedFilesMaker makeAddedFiles;
    // Called as each member's outputs are written, with what they were
    // written from (start address, source facts), so the caller can start
    // work on them (hashing on another thread) while the next member runs.
    // waitForMemberWork must end that work: it is called before any written
    // file is closed, placed or removed, and makeAddedFiles may rely on it
    // having been called.
    std::function<void(std::size_t member, const std::vector<OutputFile *> &outputs, const ConversionResult &written)>
        memberWritten;
    std::function<void()> waitForMemberWork;
    // Files that go with the set: removed when it is put in place, kept
    // when it is not (a signature that no longer fits).
    std::vector<SetFile> removed;
    RenameFunction rename; // the system's when empty
};

struct ConversionSetResult
{
    // One English line naming the member or file and the cause; empty on success.
    QString detail;
    bool succeeded() const { return detail.isEmpty(); }
};

// Runs the set. Two members writing one file, a member writing a file that
// another reads (its source, the settings) or an added file that one reads
// or writes is refused before anything is written. A set that is refused,
// fails or is interrupted before it is in place changes no file.
ConversionSetResult RunConversionSet(const ConversionSet &set);

#endif
