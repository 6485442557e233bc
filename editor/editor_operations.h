#pragma once
// Display operations of the drawing editor that the main window needs to show a case: the audience
// map placement, the images, the displayed values, the grid, the working zone and the stacking order.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/operations.h"
#include "engine/images.h"
#include "engine/surface.h"
#include "platform/model/runtime.h"

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
// Draws computed images and their radius lines in a window whose old ones are already gone.
void drawImageLines(Runtime& rt, Handle fig, const engine::ImageSet& set);
void selectvalue(Runtime& rt, const document::Operations& ops);
// The images of orders 2 and above with the windows they are seen through (higher_order_images.cpp),
// drawn when the case's order is above 1 and the objects menu's "higher-order images" is checked:
// every order when `shown` is 0, order `shown` alone when above 1; removed otherwise (-1 included).
void refreshHigherOrderImages(Runtime& rt, Handle fig, int shown);
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

// Image zoom and free zoom tool (view_tools.cpp).
// `mode` "images" presses the zoom toggle, any other text releases it; nothing: as the toggle stands.
void acouzoom(Runtime& rt, const std::optional<std::string>& mode);
// The zoom tool: from its menu item (or with no calling object) it is switched on or off; from a
// click in the drawing area or on the audience map it zooms in, out, or asks for the factor.
void zoomaxes(Runtime& rt);
// The square view of side w/f ("normal"), w*f ("extend") centred on (x, y); nothing for other clicks.
std::optional<std::array<double, 4>> zoomedView(const std::string& selectionType, double x, double y,
                                                double shownWidth, double factor);

// Audience map precision and size (map_precision.cpp).
// `intervals` given: that precision; nothing: a numbered menu item's label, or the dialog.
void surfaceprecision(Runtime& rt, const document::Operations& ops,
                      std::optional<double> intervals = std::nullopt);
void reducesurfacesize(Runtime& rt, const document::Operations& ops);
// Sets the four audience corners and edges to an axis-parallel box, corner 1 at (xmin, ymin).
void setAudienceBox(Runtime& rt, Handle fig, double xmin, double xmax, double ymin, double ymax);

// Colour scale, colour limits, object visibility, diffusion, measuring (value_display_tools.cpp).
// The base colour table of a colour scale: rows 32..225 of jet ("color"), or rows 240 down to 100 of
// the grey ramp (anything else).
engine::ColorTable baseColorTable(const std::string& colormap);
void changecolormap(Runtime& rt);
// The colour limits the level map last showed (kept in the window's application data "levelclim",
// since the reflection map sets the drawing area's limits to its own).
std::optional<std::array<double, 2>> levelLimits(const Runtime& rt, Handle fig);
void keepLevelLimits(Runtime& rt, Handle fig, const std::array<double, 2>& limits);
// `limits` given: manual mode with that pair; `automatic`: auto mode; neither: the calling menu item.
void changecolorlimits(Runtime& rt, const std::optional<std::array<double, 2>>& limits, bool automatic);
// `which` "images-on", "images-off", "radius-on", "radius-off"; nothing: the calling menu item.
void hideviewobjects(Runtime& rt, const document::Operations& ops, const std::optional<std::string>& which);
void diffusionfactor(Runtime& rt, const document::Operations& ops);
void setcursormeasure(Runtime& rt, const document::Operations& ops);
void measure(Runtime& rt);
// The measuring text for a pointer position: a blank, x and y rounded to 0.1, joined by a comma.
std::string measureText(double x, double y);

void registerEditorOperations(document::Operations& ops);

}  // namespace velmora::editor
