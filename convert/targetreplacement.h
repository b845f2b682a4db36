#ifndef VANDREL_CONVERT_TARGETREPLACEMENT_H
#define VANDREL_CONVERT_TARGETREPLACEMENT_H

#include "interruptcleanup.h"

#include <QString>

#include <functional>
#include <vector>

class OutputFile;

// Renames from to to, replacing what to names: an empty text or the cause.
using RenameFunction = std::function<QString(const QString &from, const QString &to)>;

struct ReplaceFailure
{
    const OutputFile *output = nullptr; // the one that could not be put in place; none on success
    QString cause;
    // Empty when every target holds its previous file again; otherwise what
    // is on disk where the undoing failed.
    QString notRestored;
};

// Puts each output's temporary file in place of its target, in order: sets
// every existing target aside under a temporary name, places the new files,
// and when one cannot be placed rolls back, giving each target its previous
// file again. The renames go through rename (the system's when empty).
class TargetReplacement
{
public:
    explicit TargetReplacement(const std::vector<OutputFile *> &outputs, RenameFunction rename = {});
    TargetReplacement(const TargetReplacement &) = delete;
    TargetReplacement &operator=(const TargetReplacement &) = delete;

    ReplaceFailure run();

private:
    struct Step
    {
        explicit Step(OutputFile *file) : output(file) {}
        OutputFile *output;
        QString backup; // the previous file, when there was one
        InterruptCleanup::Entry backupCleanup;
        bool movedAside = false;
        bool placed = false;
    };

    ReplaceFailure closeAll();
    ReplaceFailure setAside(Step &step);
    ReplaceFailure place(Step &step);
    ReplaceFailure failed(const Step &step, const QString &cause);
    QString rollBack();
    QString restore(Step &step);
    void finish();

    std::vector<Step> m_steps;
    RenameFunction m_rename;
};

#endif
