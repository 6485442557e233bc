#pragma once
// The case record's own operations, on the current main window.

#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::document {

// Empties the current main window's curve table, if it holds any row.
void resetcurves(platform::Runtime& rt);

// Registers resetcurves.
void registerCaseOperations(Operations& ops);

}  // namespace velmora::document
