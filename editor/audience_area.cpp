#include <algorithm>
#include <cmath>

#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "engine/surface.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Value;
using namespace velmora::document;

namespace {

std::optional<Handle> audienceMap(const Runtime& rt, Handle fig) {
  const auto maps = objectsByTag(rt, fig, tags::kAudienceMap);
  if (maps.empty()) return std::nullopt;
  return maps.front();
}

}  // namespace

void refreshsurfaceposition(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const auto map = audienceMap(rt, fig);
  const AudienceCorners c = audienceCorners(rt, fig);
  if (!map || c.x.size() < 4) return;
  auto& g = rt.graphics();
  const auto intervals = document::audienceMapIntervals(g, *map);
  if (!intervals) return;
  const engine::AudienceGrid grid = engine::audiencegrid(c.x, c.y, *intervals);
  g.set(*map, "xdata", Value(toPlatform(grid.xs)));
  g.set(*map, "ydata", Value(toPlatform(grid.ys)));
  refreshsurfacearea(rt);
}

void refreshsurfacearea(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const auto map = audienceMap(rt, fig);
  const AudienceCorners c = audienceCorners(rt, fig);
  if (!map || c.x.size() < 4) return;
  auto& g = rt.graphics();
  const auto cross = [](double ax, double ay, double bx, double by) { return ax * by - ay * bx; };
  const double area = cross(c.x[1] - c.x[0], c.y[1] - c.y[0], c.x[3] - c.x[0], c.y[3] - c.y[0]) / 2 +
                      cross(c.x[3] - c.x[2], c.y[3] - c.y[2], c.x[1] - c.x[2], c.y[1] - c.y[2]) / 2;
  const CaseRecord& record = viewCase(rt, fig);
  std::string label;
  const auto round1 = [](double v) { return platform::formatNumber(platform::roundHalfAway(v * 10) / 10); };
  if (!record.ina || record.ina->empty()) {
    label = "audience area=" + round1(std::abs(area)) + " m²";
  } else {
    const double points = static_cast<double>(g.at(*map).matrix("xdata").numel());
    const double inside = points - static_cast<double>(record.ina->size());
    label = "audience area (inside)=" + round1(std::abs(area) * inside / points) + " m²";
  }
  const Value menu = g.get(*map, "uicontextmenu");
  if (!menu.isObject() || !g.exists(menu.object())) return;
  const auto items = menuItemsInOrder(g, menu.object());
  if (!items.empty()) g.setText(items.back(), "label", label);
}

void matchroom(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const engine::Walls walls = wallGeometry(rt, fig);
  if (walls.empty()) return;
  double xmin = walls[0].x1, xmax = xmin, ymin = walls[0].y1, ymax = ymin;
  for (const auto& w : walls) {
    xmin = std::min(xmin, w.x1);
    xmax = std::max(xmax, w.x1);
    ymin = std::min(ymin, w.y1);
    ymax = std::max(ymax, w.y1);
  }
  setAudienceBox(rt, fig, xmin, xmax, ymin, ymax);
}

void setsurfacefob(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const auto map = audienceMap(rt, fig);
  if (!map) return;
  auto& g = rt.graphics();
  const auto xl = g.at(drawingAxes(rt, fig)).numbers("xlim");
  const double width = xl.size() == 2 ? xl[1] - xl[0] : 0;
  if (width > 0) g.setNumber(*map, "faceoffsetbias", 0.3 / width);
}

}  // namespace velmora::editor
