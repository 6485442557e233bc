#pragma once
// Display operations of the drawing editor that the main window needs to show a case: the audience
// map placement, the images, the displayed values, the grid, the working zone and the stacking order.

#include <optional>
#include <string>
#include <vector>

#include "platform/runtime.h"
#include "shell/operations.h"

namespace velmora::editor {

using platform::Handle;
using platform::Runtime;

// Audience area (audience_area.cpp).
void refreshsurfaceposition(Runtime& rt);
void refreshsurfacearea(Runtime& rt);
void matchroom(Runtime& rt);
void setsurfacefob(Runtime& rt);

// Images and displayed values (display.cpp).
void refreshimages(Runtime& rt, std::optional<Handle> window = std::nullopt);
void selectvalue(Runtime& rt, const shell::Operations& ops);
// Ticks of the colour bar in reflection mode for the largest count maxr.
std::vector<double> reflectionTicks(double maxr);

// Zone, view and grid (zone_view.cpp).
void changegrid(Runtime& rt, std::optional<double> spacing);
// Grid positions along one axis of the working zone for spacing g.
std::vector<double> gridPositions(double lo, double hi, double g);
void hidegrid(Runtime& rt);
void acouview(Runtime& rt);
// `limits` four numbers (xlim then ylim), `fit` the text form; neither: the calling button decides.
void expandzone(Runtime& rt, const std::optional<std::vector<double>>& limits, bool fit);

// Stacking order (layer.cpp).
void setlayer(Runtime& rt);

void registerEditorOperations(shell::Operations& ops);

}  // namespace velmora::editor
