#pragma once
// The audience map as a table: one row per grid point with its position, whether it lies in the
// room, the number of reflections received and the direct, total and per-wall levels in dB.

#include <optional>
#include <string>

#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::shell {

using document::Operations;

// The table of a main window's computed map (CSV text, RFC 4180, one leading "# " comment line with
// the case name and the units). Raises an Error when the window has no computed map.
std::string audienceMapCsv(const platform::Runtime& rt, platform::Handle fig);

// Writes the current main window's map to `file`; without a name, asks for one (cancel: nothing).
void exportmap(platform::Runtime& rt, const std::optional<std::string>& file);

// Registers exportmap (1 input: the file name).
void registerMapExportOperations(Operations& ops);

}  // namespace velmora::shell
