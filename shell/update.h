#pragma once
// The display rebuild: makes the current main window show a case description.

#include "document/case_record.h"
#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::shell {

using document::CaseDescription;
using document::Operations;

// Rebuilds the parts of the drawing that the description carries (walls, audience area, map,
// source, view, grid, receptor), copies `Lw`, `name`, `curves` and `order`, then runs the computation chain
// (each step once its operation is registered in `ops`). Values beyond the limits of a case raise an
// Error before anything changes, and so does an `order` whose beams pass the engine's limit (the
// engine's message); a failure later on puts the window back as it was.
void update(platform::Runtime& rt, const Operations& ops, const CaseDescription& prop);

// The wall list entries for N walls: "all|direct|wall 1|...|wall N".
std::string wallListString(std::size_t walls);
// The same followed, above order 1, by "|order 2|...|order N".
std::string valueListString(std::size_t walls, int order);

// Deletes an object together with the context menu it owns (menus live in the window, apart).
void deleteWithMenu(platform::Graphics& g, platform::Handle h);

}  // namespace velmora::shell
