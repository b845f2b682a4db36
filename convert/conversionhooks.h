#ifndef VANDREL_CONVERT_CONVERSIONHOOKS_H
#define VANDREL_CONVERT_CONVERSIONHOOKS_H

#include "conversion.h"
#include "targetreplacement.h"

#include <functional>
#include <vector>

// Points inside a run at which a caller can act: what another program could
// do at that moment (rewrite the source, make a rename fail), done at a known
// point instead of by timing.
struct ConversionHooks
{
    // Runs once, after the first piece of the source has been read.
    std::function<void()> afterFirstSourcePiece;
    // Puts the outputs in place and gives targets their previous files back.
    RenameFunction rename;
    // When set, the run hands its written outputs (in placing order) and what
    // it wrote them from (the start address, the source's facts) to it
    // instead of putting them in place itself, and returns what it returns:
    // a set of runs places every run's outputs at once.
    std::function<ConversionResult(const std::vector<OutputFile *> &outputs, const ConversionResult &written)>
        placeTogether;
};

ConversionResult RunConversion(const ConversionRequest &request, const ConversionHooks &hooks);

#endif
