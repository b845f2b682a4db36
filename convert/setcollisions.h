#ifndef VANDREL_CONVERT_SETCOLLISIONS_H
#define VANDREL_CONVERT_SETCOLLISIONS_H

#include "conversionset.h"

#include <QString>

// Files of a set that must be told apart before anything is written: no
// file may be written twice, nor be one that a member reads (its source,
// its settings file). Returns an empty text, or the refusal naming both.
QString SetCollision(const ConversionSet &set);

// Whether the interrupt clean-up can hold every temporary, lock and backup
// name of the set at once. Returns an empty text, or the refusal.
QString SetCleanupRoom(const ConversionSet &set);

#endif
