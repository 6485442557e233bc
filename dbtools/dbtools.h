#pragma once
// The two decibel calculators of the "Utilities" menu: the energetic sum of levels and the fall of
// a source's direct level with distance. Neither reads nor changes the case.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::dbtools {

inline constexpr const char* kSumTitle = "dB sum";
inline constexpr const char* kSumPrompt = "Enter dB values separeted by spaces:";
inline constexpr const char* kResultTitle = "Result";
inline constexpr const char* kDecreaseTitle = "dB decrease";
inline constexpr const char* kFadingWindowName = "Level fading with distance to source";

// Distances beyond this many metres are taken as it: the curve has one point per metre up to twice
// the distance, and a typed 1e9 must not ask for two thousand million points.
inline constexpr double kLargestDistance = 10000;
// The source level field keeps its value in this range (dB).
inline constexpr double kLowestLevel = 0;
inline constexpr double kHighestLevel = 200;

// The text of the result box for the energetic sum of the levels: "Sum equals to 93 dB" (the sum
// rounded to 0.1 dB), or the no-level text when the energies taken away are not less than those
// added.
std::string sumResultText(std::span<const double> levels);
inline constexpr const char* kNoLevelText =
    "The sum has no level: the energy taken away is not less than the energy added.";

// Asks for levels and shows their sum.
void dbsum(platform::Runtime& rt);

// The distances of the fading curve for a distance d (after clamping): 1, 2, ... up to 2d, and at
// least the point at 1 m.
std::vector<double> fadingDistances(double d);

// Asks for a source level and a distance and opens the window of the level against distance.
void dbdecrease(platform::Runtime& rt);

// Registers dbsum and dbdecrease (no inputs, no outputs).
void registerDbToolsOperations(document::Operations& ops);

}  // namespace velmora::dbtools
