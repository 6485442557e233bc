#pragma once

#include "document/operations.h"

namespace velmora::shell {

using document::Operations;

// Registers the main-window operations: getzonesize, init, update, refreshwallmenu, enableobjects,
// printcase, printpolar, createarrow and the window adapters of the acoustic engine.
void registerWindowOperations(Operations& ops);

}  // namespace velmora::shell
