#include <algorithm>
#include <cmath>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Value;
using namespace velmora::document;

namespace {

constexpr double kGridMin = 0.1;
constexpr double kGridMax = 10;
// Beyond this many points the grid is not drawn (snapping still uses the spacing).
constexpr std::size_t kMostGridPoints = 1000000;

const std::array<const char*, 10> kViewPanel = {
    tags::kMoveRight,  tags::kMoveUp,     tags::kMoveLeft,  tags::kMoveDown,   tags::kCenterButton,
    tags::kExpandMost, tags::kExpandMore, tags::kExpandFit, tags::kExpandLess, tags::kExpandLeast};

bool pressed(const Runtime& rt, Handle fig, std::string_view tag) {
  const auto c = findInWindow(rt, fig, tag);
  if (!c) return false;
  const auto v = rt.graphics().at(*c).numbers("value");
  return !v.empty() && v.front() == 1;
}

// At least the number of grid positions from lo to hi (0 for a side that holds none).
double gridPositionBound(double lo, double hi, double g) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(g) || g <= 0 || lo > hi) return 0;
  return std::ceil((hi - lo) / g) + 2;
}

// A zone side: finite, increasing, within the reach of coordinates.
bool withinReach(const std::array<double, 2>& side) {
  return std::isfinite(side[0]) && std::isfinite(side[1]) && side[0] < side[1] &&
         std::fabs(side[0]) <= kFarthestCoordinate && std::fabs(side[1]) <= kFarthestCoordinate;
}

// A fitted side slid back within the reach of coordinates, its length kept where it fits: walls at the
// edge of reach would otherwise give a zone, and a saved case, that reaches past it.
std::array<double, 2> slidWithinReach(const std::array<double, 2>& side) {
  constexpr double reach = kFarthestCoordinate;
  if (side[1] - side[0] >= 2 * reach) return {-reach, reach};
  if (side[1] > reach) return {side[0] - (side[1] - reach), reach};
  if (side[0] < -reach) return {-reach, side[1] + (-reach - side[0])};
  return side;
}

}  // namespace

std::vector<double> gridPositions(double lo, double hi, double g) {
  std::vector<double> out;
  if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(g) || g <= 0 || lo > hi) return out;
  const double eps = g * 1e-9;
  // The loops stop on the values themselves, as the positions are defined; the count bounds them too,
  // so that rounding at a far-away zone can never keep them going.
  const double most = std::ceil((hi - lo) / g) + 2;
  if (lo > 0 || hi < 0) {
    for (double k = 0; k <= most; ++k) {
      const double v = lo + k * g;
      if (v > hi + eps) break;
      out.push_back(v);
    }
    return out;
  }
  // Aligned on the origin.
  for (double k = std::floor(std::abs(lo) / g + 1e-9); k >= 1; --k) out.push_back(-k * g);
  for (double k = 0; k <= most; ++k) {
    const double v = k * g;
    if (v > hi + eps) break;
    out.push_back(v);
  }
  return out;
}

void changegrid(Runtime& rt, std::optional<double> spacing) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  if (!spacing) {
    platform::InputDialog dialog;
    dialog.prompts = {"Enter grid size:"};
    dialog.title = "Set grid size";
    dialog.lines = 1;
    dialog.defaults = {platform::formatNumber(viewCase(rt, fig).gsize)};
    const auto answer = rt.ui().input(dialog);
    if (!answer || answer->empty()) return;
    const auto numbers = platform::readNumbers(answer->front());
    if (!numbers || numbers->empty() || std::isnan(numbers->front())) return;
    spacing = numbers->front();
  }
  if (std::isnan(*spacing)) return;
  for (Handle h : objectsByTag(rt, fig, tags::kGrid)) g.remove(h);
  double step = std::abs(platform::roundHalfAway(*spacing * 100) / 100);
  step = std::clamp(step, kGridMin, kGridMax);

  const std::array<double, 2> xlim = viewCase(rt, fig).xlim, ylim = viewCase(rt, fig).ylim;
  // The positions are listed only when their number can be near the cap: a zone of a million metres
  // at 0.1 m would otherwise list 10^7 values per side before finding that no grid is drawn.
  const double bound = gridPositionBound(xlim[0], xlim[1], step) * gridPositionBound(ylim[0], ylim[1], step);
  std::vector<double> xs, ys;
  if (bound <= 4.0 * kMostGridPoints) {
    xs = gridPositions(xlim[0], xlim[1], step);
    ys = gridPositions(ylim[0], ylim[1], step);
  }
  std::vector<double> px, py;
  if (!xs.empty() && xs.size() * ys.size() <= kMostGridPoints) {
    px.reserve(xs.size() * ys.size());
    py.reserve(xs.size() * ys.size());
    for (double x : xs) {
      for (double y : ys) {
        px.push_back(x);
        py.push_back(y);
      }
    }
  }
  const std::size_t n = px.size();
  createObject(g, platform::ObjectType::Line, drawingAxes(rt, fig),
               {{"xdata", Value::row(std::move(px))},
                {"ydata", Value::row(std::move(py))},
                {"zdata", Value::row(std::vector<double>(n, -2.0))},
                {"linestyle", "none"},
                {"marker", "."},
                {"color", "k"},
                {"markersize", 1.0},
                {"tag", tags::kGrid},
                {"hittest", "off"}});
  changeCase(rt, fig, [&](CaseRecord& record) { record.gsize = step; });
  hidegrid(rt);
}

void hidegrid(Runtime& rt) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  bool visible = false;
  if (const auto objects = findInWindow(rt, fig, tags::kObjectsButton)) {
    const Value menu = g.get(*objects, "uicontextmenu");
    if (menu.isObject() && g.exists(menu.object())) {
      for (Handle item : menuItemsInOrder(g, menu.object())) {
        if (g.at(item).text("label") == "grid") visible = g.at(item).isOn("checked");
      }
    }
  }
  for (Handle h : objectsByTag(rt, fig, tags::kGrid)) g.setText(h, "visible", visible ? "on" : "off");
}

void acouview(Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  const bool on = pressed(rt, fig, tags::kViewButton);
  for (const char* tag : kViewPanel) {
    if (const auto h = findInWindow(rt, fig, tag)) rt.graphics().setText(*h, "visible", on ? "on" : "off");
  }
}

void expandzone(Runtime& rt, const std::optional<std::vector<double>>& limits, bool fit) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  // Extent of the drawing: walls, audience corners and the source.
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  const auto extend = [&](Handle h) {
    const engine::Point p = firstPoint(rt, h);
    xmin = std::min(xmin, p.x);
    xmax = std::max(xmax, p.x);
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  };
  for (Handle h : objectsByTag(rt, fig, tags::kWallVertex)) extend(h);
  for (Handle h : objectsByTag(rt, fig, tags::kAudienceVertex)) extend(h);
  if (const auto s = findInWindow(rt, fig, tags::kSource)) extend(*s);
  if (!std::isfinite(xmin)) xmin = xmax = ymin = ymax = 0;
  const double extent = std::max(xmax - xmin, ymax - ymin);
  const double step = zoneTableStep(extent).value_or(1);

  std::array<double, 2> xl = viewCase(rt, fig).xlim, yl = viewCase(rt, fig).ylim;
  std::string button;
  if (!limits && !fit) {
    const Handle caller = rt.callbackObject();
    if (caller != platform::kNoHandle && g.exists(caller) && g.at(caller).hasProperty("string")) {
      const Value s = g.get(caller, "string");
      if (s.isText()) button = s.text();
    }
    if (button == "M") fit = true;
  }
  if (fit) {
    const double xm = (xmin + xmax) / 2, ym = (ymin + ymax) / 2;
    xl = slidWithinReach({xm - extent / 2 - step, xm + extent / 2 + step});
    yl = slidWithinReach({ym - extent / 2 - step, ym + extent / 2 + step});
  } else if (limits) {
    if (limits->size() < 4) return;
    xl = {(*limits)[0], (*limits)[1]};
    yl = {(*limits)[2], (*limits)[3]};
    if (!withinReach(xl) || !withinReach(yl)) {
      throw Error("the working zone must run from a lower to a higher limit, both within " +
                  platform::formatNumber(kFarthestCoordinate) + " m of the origin");
    }
  } else {
    double e = 0;
    if (button == ">>")
      e = 5 * step;
    else if (button == ">")
      e = step;
    else if (button == "<")
      e = -step;
    else if (button == "<<")
      e = -5 * step;
    else
      return;
    xl = {xl[0] - e, xl[1] + e};
    yl = {yl[0] - e, yl[1] + e};
    // The zone never cuts the drawing, nor grows beyond the reach of coordinates.
    if (xl[1] < xmax || xl[0] > xmin || yl[1] < ymax || yl[0] > ymin) return;
    if (!withinReach(xl) || !withinReach(yl)) return;
  }

  if (!pressed(rt, fig, tags::kZoomButton)) {
    g.set(axes, "xlim", Value::row({xl[0], xl[1]}));
    g.set(axes, "ylim", Value::row({yl[0], yl[1]}));
  }
  double gsize = 0;
  changeCase(rt, fig, [&](CaseRecord& record) {
    record.height = xl[1] - xl[0];
    record.xlim = xl;
    record.ylim = yl;
    gsize = record.gsize;
  });
  changegrid(rt, gsize);
  setsurfacefob(rt);
}

}  // namespace velmora::editor
