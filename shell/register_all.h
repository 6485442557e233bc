#pragma once

#include "shell/operations.h"

namespace velmora::shell {

// Registers the operations of every folder in the table the dispatcher routes to.
void registerAllOperations(Operations& ops);

}  // namespace velmora::shell
