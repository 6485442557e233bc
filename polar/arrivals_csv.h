#pragma once
// What the polar diagram shows, as a table: one row for the direct sound and one per reflection that
// reaches the receptor, with its level, delay and angle.

#include <string>

#include "polar/polar.h"

namespace velmora::polar {

// CSV text (RFC 4180) with a leading "# " comment line naming the case, the positions, the summed
// levels and the units; columns kind, wall, level, delay, angle; the direct sound, then the
// reflections by wall number. The one layout of the arrivals, for batch runs (--polar) and the
// echogram's export alike: docs/arrivals-csv.md.
std::string arrivalsCsv(const PolarInputs& in, const PolarLevels& levels, const std::string& caseName);

// The same for a main window, computed as its polar diagram is. Raises an Error with the diagram's
// own refusal ("receptor is outside room ...") when there is nothing to show.
std::string arrivalsCsv(const Runtime& rt, Handle mainWindow);

}  // namespace velmora::polar
