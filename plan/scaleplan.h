#pragma once
// True-scale printing of the room outline on one A4 sheet at a standard drawing scale, with the
// absorption of the walls, the case name and the scale.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "document/operations.h"
#include "engine/geometry.h"
#include "platform/model/runtime.h"

namespace velmora::plan {

// Sheet and margin in centimetres.
inline constexpr double kSheetWidth = 21, kSheetHeight = 29.7, kSheetMargin = 1;

// The standard scale denominators, increasing, each once: 5..100 by 5, 125..4000 by 125, 100..4000 by
// 100.
const std::vector<double>& standardScales();
// The smallest standard denominator greater than `fac`; nothing beyond 1:4000.
std::optional<double> standardScale(double fac);

// How the plan sits on the sheet.
struct PlanLayout {
  double xmean = 0, ymean = 0;  // centre of the extent (metres)
  double dx = 0, dy = 0;        // extent shown (metres)
  bool landscape = false;
  std::array<double, 2> psize{};          // printable area (cm)
  double fac = 0;                         // the scale the extent needs
  double denominator = 0;                 // the standard scale chosen
  std::array<double, 4> paperposition{};  // [left bottom width height] of the drawing on the sheet (cm)
};
// The layout for these vertices; raises an Error when no standard scale fits the plan on the sheet.
PlanLayout planLayout(const std::vector<engine::Point>& vertices);

// Which absorption labels the sheet gets.
enum class AbsorptionLabels { None, Note, PerWall };
struct LabelChoice {
  AbsorptionLabels labels = AbsorptionLabels::None;
  double common = 0;  // the absorption of the note
  bool ask = false;   // absorptions differ: the user chooses between per-wall labels and none
};
LabelChoice absorptionLabelling(const std::vector<double>& alpha);

// Builds the invisible sheet window: walls, vertices, labels, title and scale. `title` is the text at
// the lower left corner.
platform::Handle buildScalePlan(platform::Runtime& rt, const std::vector<engine::Point>& vertices,
                                const std::vector<double>& alpha, AbsorptionLabels labels,
                                const std::string& title, const PlanLayout& layout);
// Writes the sheet window as one A4 page of PostScript, the drawing at its paper position, so that
// it measures true to scale on paper.
void printScalePlan(const platform::Graphics& g, platform::Handle sheet, const std::string& path);

// The "true scale plan" of the current main window: labels chosen or asked, the sheet written to a
// PostScript file the user chooses (this platform prints to files).
void scaleplan(platform::Runtime& rt);

// Registers scaleplan (no argument).
void registerScalePlanOperations(document::Operations& ops);

}  // namespace velmora::plan
