#pragma once
// The composition of the program: one table of operations, filled from each folder's register
// function. The program and the tests build it the same way; nothing fills a table behind the
// caller's back.

#include "document/operations.h"

namespace velmora::app {

// Adds every operation of every folder to `ops`. Operations keep the address of the table they were
// added to (to call each other), so the table is filled where it lives and never moved afterwards.
void registerAllOperations(document::Operations& ops);

}  // namespace velmora::app
