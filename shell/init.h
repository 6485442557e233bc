#pragma once
// The zone-size question and the construction of a new main window.

#include <optional>
#include <string_view>
#include <vector>

#include "document/operations.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::shell {

using document::Operations;

inline constexpr std::string_view kWindowTitle = "VELMORA  (room acoustics in plan, by the VELMORA authors)";
inline constexpr double kWindowWidth = 640;
inline constexpr double kWindowHeight = 560;

// Said in an error box when the answer to the zone-size question holds no number.
inline constexpr std::string_view kZoneAnswerError =
    "The size of the drawing zone is a number of metres from 4 to 640, such as 20.";

// Asks for the size of the drawing zone. Nothing on cancel; an answer that holds no number gets an
// error box and the question again; otherwise the largest number read, kept in 4..640 and rounded
// up to an even number.
std::optional<double> getzonesize(platform::Runtime& rt);

// Builds a new main window for a drawing zone of side `zone` and runs the start-up computations
// (every one of them registered in `ops`). Returns the window.
platform::Handle init(platform::Runtime& rt, const Operations& ops, double zone);

}  // namespace velmora::shell
