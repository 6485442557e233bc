#include "editor/drag.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "document/acoustics.h"
#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "editor/live_map.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using engine::Point;
using platform::Value;
using namespace velmora::document;

namespace {

// Neighbours closer than this leave no room for a constrained vertex.
constexpr double kShortestSegment = 0.1;
// A constrained vertex keeps this fraction of the segment away from either neighbour.
constexpr double kEndMargin = 0.001;
// Below this length a wall has no angle.
constexpr double kNoLength = 0.000001;

constexpr const char* kWallRelease = "velmoracopy('refreshmwp')";
constexpr const char* kAudienceRelease = "velmoracopy('refreshmap')";
constexpr const char* kAxisRelease = "velmoracopy('refreshmax')";
constexpr const char* kSourceMotion = "velmoracopy('movesource')";
constexpr const char* kSourceRelease = "velmoracopy('refreshmso')";
constexpr const char* kReceptorMotion = "velmoracopy('movereceptor')";
constexpr const char* kReceptorRelease = "velmoracopy('refreshmre')";

// ---- status texts -----------------------------------------------------------------------------

// Shortest decimal text, without a minus sign on zero.
std::string number(double v) {
  return platform::formatNumber(v + 0.0);
}
std::string coordinate(double v) {
  return number(platform::roundHalfAway(v * 100) / 100);
}
double roundLength(double v) {
  return platform::roundHalfAway(v * 10) / 10;
}
// Angle with the horizontal in whole degrees, 0 to 90; 0 for a wall of no length.
std::string angle(Point from, Point to) {
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  if (length < kNoLength) return "0";
  const double c = std::min(1.0, std::abs(to.x - from.x) / length);
  return number(platform::roundHalfAway(std::acos(c) * 180 / std::numbers::pi));
}
std::string pointText(Point p) {
  return "( " + coordinate(p.x) + " , " + coordinate(p.y) + " )";
}

// ---- window state -----------------------------------------------------------------------------

bool normalSelection(const Runtime& rt, Handle fig) {
  return platform::equalsIgnoreCase(rt.graphics().at(fig).text("selectiontype"), "normal");
}

void setCallback(Runtime& rt, Handle fig, const char* prop, const char* text) {
  rt.graphics().setText(fig, prop, text);
}

// Back to idle: no motion or release callback.
void endDrag(Runtime& rt, Handle fig) {
  setCallback(rt, fig, "windowbuttonmotionfcn", "");
  setCallback(rt, fig, "windowbuttonupfcn", "");
}

bool pressed(const Runtime& rt, Handle fig, std::string_view tag) {
  const auto c = findInWindow(rt, fig, tag);
  if (!c) return false;
  const auto v = rt.graphics().at(*c).numbers("value");
  return !v.empty() && v.front() == 1;
}

// The window's current object when it is still there and carries this tag.
std::optional<Handle> currentObjectTagged(const Runtime& rt, Handle fig, std::string_view tag) {
  const auto& g = rt.graphics();
  const Handle h = g.currentObject(fig);
  if (h == platform::kNoHandle || !g.exists(h) || g.at(h).tag() != tag) return std::nullopt;
  return h;
}

// First row of the drawing area's current point.
Point pointer(const Runtime& rt, Handle fig) {
  const platform::Matrix& cp = rt.graphics().at(drawingAxes(rt, fig)).matrix("currentpoint");
  if (cp.rows == 0 || cp.cols < 2) return {0, 0};
  return {cp(0, 0), cp(0, 1)};
}

// Point `index` (0 or 1) of a two-point line.
Point pointOf(const Runtime& rt, Handle h, std::size_t index) {
  const auto& o = rt.graphics().at(h);
  const auto x = o.numbers("xdata");
  const auto y = o.numbers("ydata");
  if (x.empty() || y.empty()) return {0, 0};
  return {x[std::min(index, x.size() - 1)], y[std::min(index, y.size() - 1)]};
}

void setStatus(Runtime& rt, Handle fig, const std::string& text) {
  if (const auto status = findInWindow(rt, fig, tags::kText)) rt.graphics().setText(*status, "string", text);
}

void movePoint(Runtime& rt, Handle h, Point p) {
  rt.graphics().set(h, "xdata", Value(p.x));
  rt.graphics().set(h, "ydata", Value(p.y));
}

// ---- placement --------------------------------------------------------------------------------

// The grid point nearest to p: the points of the drawn grid, or, when it holds none, the grid
// that the spacing lays over the working zone.
Point snapToGrid(const Runtime& rt, Handle fig, const CaseRecord& record, Point p) {
  for (Handle grid : objectsByTag(rt, fig, tags::kGrid)) {
    const auto xs = rt.graphics().at(grid).numbers("xdata");
    const auto ys = rt.graphics().at(grid).numbers("ydata");
    if (const auto q = nearestGridPoint(xs, ys, p.x, p.y)) return *q;
  }
  if (!(record.gsize > 0)) return p;
  const auto nearest = [](const std::vector<double>& v, double x) {
    double best = x, distance = INFINITY;
    for (double c : v) {
      if (std::abs(c - x) < distance) {
        distance = std::abs(c - x);
        best = c;
      }
    }
    return best;
  };
  return {nearest(gridPositions(record.xlim[0], record.xlim[1], record.gsize), p.x),
          nearest(gridPositions(record.ylim[0], record.ylim[1], record.gsize), p.y)};
}

Point clampToZone(const CaseRecord& record, Point p) {
  return {std::max(std::min(p.x, record.xlim[1]), record.xlim[0]),
          std::max(std::min(p.y, record.ylim[1]), record.ylim[0])};
}

// Snap when "snap" is pressed, then clamp to the working zone.
Point place(const Runtime& rt, Handle fig, const CaseRecord& record, Point p) {
  if (pressed(rt, fig, tags::kSnapButton)) p = snapToGrid(rt, fig, record, p);
  return clampToZone(record, p);
}

// A vertex between two linked lines: h1 ends at it, h2 starts at it.
struct Links {
  Handle h1 = platform::kNoHandle, h2 = platform::kNoHandle;
};
template <class RecordType>
std::optional<Links> linksOf(const Runtime& rt, Handle marker) {
  const auto& g = rt.graphics();
  const auto* rec = g.at(marker).userdataAs<RecordType>();
  if (rec == nullptr || !g.exists(rec->con[0]) || !g.exists(rec->con[1])) return std::nullopt;
  return Links{rec->con[0], rec->con[1]};
}

// Moves the marker and the ends of its two lines.
void moveVertex(Runtime& rt, Handle marker, const Links& links, Point p) {
  auto& g = rt.graphics();
  movePoint(rt, marker, p);
  const Point start = pointOf(rt, links.h1, 0);
  const Point end = pointOf(rt, links.h2, 1);
  g.setRow(links.h1, "xdata", {start.x, p.x});
  g.setRow(links.h1, "ydata", {start.y, p.y});
  g.setRow(links.h2, "xdata", {p.x, end.x});
  g.setRow(links.h2, "ydata", {p.y, end.y});
}

// The free placement of a vertex with its two lines; `what` names them in the status line.
void placeFreeVertex(Runtime& rt, Handle fig, Handle marker, const Links& links, const std::string& what) {
  const Point p = place(rt, fig, viewCase(rt, fig), pointer(rt, fig));
  const Point p0 = pointOf(rt, links.h1, 0);
  const Point p2 = pointOf(rt, links.h2, 1);
  const double l1 = std::hypot(p.x - p0.x, p.y - p0.y);
  const double l2 = std::hypot(p2.x - p.x, p2.y - p.y);
  setStatus(rt, fig,
            "Vertex : " + pointText(p) + "      " + what + " length : " + number(roundLength(l1)) + " / " +
                number(roundLength(l2)) + "      " + what + " angle : " + angle(p0, p) + "° / " +
                angle(p, p2) + "°");
  moveVertex(rt, marker, links, p);
}

// Opens a motion with the common test: a press other than "normal" ends the drag. Gives the window,
// or nothing when the drag ended.
std::optional<Handle> beginMotion(Runtime& rt, const char* release) {
  const Handle fig = currentMainWindow(rt);
  if (!normalSelection(rt, fig)) {
    endDrag(rt, fig);
    return std::nullopt;
  }
  setCallback(rt, fig, "windowbuttonupfcn", release);
  return fig;
}

// Source or receptor under the pointer, when the point is in the room.
void placeMarker(Runtime& rt, std::string_view tag, const std::string& what, const char* release) {
  const Handle fig = currentMainWindow(rt);
  if (!normalSelection(rt, fig)) return;
  if (const auto marker = findInWindow(rt, fig, tag)) {
    const Point p = place(rt, fig, viewCase(rt, fig), pointer(rt, fig));
    if (checksource(rt, p.x, p.y, fig) != 0) {
      setStatus(rt, fig, what + " : " + pointText(p));
      movePoint(rt, *marker, p);
    }
  }
  setCallback(rt, fig, "windowbuttonupfcn", release);
}

void armMarker(Runtime& rt, const char* motion) {
  const Handle fig = currentMainWindow(rt);
  if (normalSelection(rt, fig)) setCallback(rt, fig, "windowbuttonmotionfcn", motion);
}

void shiftObject(Runtime& rt, Handle h, double dx, double dy) {
  auto& g = rt.graphics();
  auto xs = g.at(h).numbers("xdata");
  auto ys = g.at(h).numbers("ydata");
  for (double& x : xs) x -= dx;
  for (double& y : ys) y -= dy;
  g.setRow(h, "xdata", std::move(xs));
  g.setRow(h, "ydata", std::move(ys));
}

}  // namespace

std::optional<Point> nearestGridPoint(const std::vector<double>& xs, const std::vector<double>& ys, double x,
                                      double y) {
  const std::size_t n = std::min(xs.size(), ys.size());
  std::optional<Point> best;
  double bestDistance = INFINITY;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = (xs[i] - x) * (xs[i] - x) + (ys[i] - y) * (ys[i] - y);
    if (d < bestDistance) {
      bestDistance = d;
      best = Point{xs[i], ys[i]};
    }
  }
  return best;
}

void movewallpoint(Runtime& rt) {
  const auto fig = beginMotion(rt, kWallRelease);
  if (!fig) return;
  const auto marker = currentObjectTagged(rt, *fig, tags::kWallVertex);
  const auto links = marker ? linksOf<VertexRecord>(rt, *marker) : std::nullopt;
  if (!links) {
    // The dragged vertex is gone (or the press was elsewhere): nothing to move.
    endDrag(rt, *fig);
    return;
  }
  if (!pressed(rt, *fig, tags::kConstrainButton)) {
    placeFreeVertex(rt, *fig, *marker, *links, "Wall");
    return;
  }

  // Kept on the segment between the neighbours, not snapped.
  const Point p0 = pointOf(rt, links->h1, 0);
  const Point p2 = pointOf(rt, links->h2, 1);
  const double length = std::hypot(p2.x - p0.x, p2.y - p0.y);
  if (length < kShortestSegment) return;
  const Point v{(p2.x - p0.x) / length, (p2.y - p0.y) / length};
  const Point at = pointer(rt, *fig);
  const double t = ((at.x - p0.x) * v.x + (at.y - p0.y) * v.y) / length;
  if (t < kEndMargin || t > 1 - kEndMargin) return;
  const Point p = clampToZone(viewCase(rt, *fig), {p0.x + t * length * v.x, p0.y + t * length * v.y});
  setStatus(rt, *fig,
            "Vertex : " + pointText(p) + "       Wall length : " + number(roundLength(t * length)) + " / " +
                number(roundLength((1 - t) * length)));
  moveVertex(rt, *marker, *links, p);
}

void moveaudiencepoint(Runtime& rt) {
  const auto fig = beginMotion(rt, kAudienceRelease);
  if (!fig) return;
  const auto marker = currentObjectTagged(rt, *fig, tags::kAudienceVertex);
  const auto links = marker ? linksOf<AudienceCornerRecord>(rt, *marker) : std::nullopt;
  if (!links) {
    endDrag(rt, *fig);
    return;
  }
  placeFreeVertex(rt, *fig, *marker, *links, "Edge");
}

void moveaxis(Runtime& rt) {
  const auto fig = beginMotion(rt, kAxisRelease);
  if (!fig) return;
  auto& g = rt.graphics();
  const auto xAxis = currentObjectTagged(rt, *fig, tags::kXAxis);
  const auto yAxis = currentObjectTagged(rt, *fig, tags::kYAxis);
  if (!xAxis && !yAxis) {
    endDrag(rt, *fig);
    return;
  }
  const CaseRecord& record = viewCase(rt, *fig);
  const Point p = place(rt, *fig, record, pointer(rt, *fig));
  if (xAxis) {
    setStatus(rt, *fig, "X axis : distance from bottom border " + coordinate(p.y - record.ylim[0]));
    g.setRow(*xAxis, "ydata", {p.y, p.y});
  } else {
    setStatus(rt, *fig, "Y axis : distance from left border " + coordinate(p.x - record.xlim[0]));
    g.setRow(*yAxis, "xdata", {p.x, p.x});
  }
}

void refreshcoordinates(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const auto xAxis = findInWindow(rt, fig, tags::kXAxis);
  const auto yAxis = findInWindow(rt, fig, tags::kYAxis);
  const double x0 = yAxis ? firstPoint(rt, *yAxis).x : 0;
  const double y0 = xAxis ? firstPoint(rt, *xAxis).y : 0;

  for (const char* tag : {tags::kWallVertex, tags::kWall, tags::kAudienceVertex, tags::kAudienceEdge,
                          tags::kSource, tags::kReceptor}) {
    for (Handle h : objectsByTag(rt, fig, tag)) shiftObject(rt, h, x0, y0);
  }
  if (xAxis) g.setRow(*xAxis, "ydata", {0, 0});
  if (yAxis) g.setRow(*yAxis, "xdata", {0, 0});

  const Handle axes = drawingAxes(rt, fig);
  const auto xl = g.at(axes).numbers("xlim");
  const auto yl = g.at(axes).numbers("ylim");
  if (xl.size() == 2 && yl.size() == 2) {
    g.setRow(axes, "xlim", {xl[0] - x0, xl[1] - x0});
    g.setRow(axes, "ylim", {yl[0] - y0, yl[1] - y0});
  }
  CaseRecord record = readCase(rt, fig);
  record.xlim = {record.xlim[0] - x0, record.xlim[1] - x0};
  record.ylim = {record.ylim[0] - y0, record.ylim[1] - y0};
  const double gsize = record.gsize;
  storeCase(rt, fig, std::move(record));
  ops.call(rt, "changegrid", {Value(gsize)});
}

void preparemovesource(Runtime& rt) {
  armMarker(rt, kSourceMotion);
}

void movesource(Runtime& rt) {
  placeMarker(rt, tags::kSource, "Source", kSourceRelease);
}

void preparemovereceptor(Runtime& rt) {
  armMarker(rt, kReceptorMotion);
}

void movereceptor(Runtime& rt) {
  placeMarker(rt, tags::kReceptor, "Receptor", kReceptorRelease);
}

void movedrawing(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle caller = rt.callbackObject();
  const std::string button = caller != platform::kNoHandle && g.exists(caller) ? g.at(caller).tag() : "";
  if (button != tags::kMoveUp && button != tags::kMoveRight && button != tags::kMoveDown &&
      button != tags::kMoveLeft && button != tags::kCenterButton)
    return;

  // Extent of the drawing: walls, audience edges and the source.
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  const auto extend = [&](Handle h) {
    const Point p = firstPoint(rt, h);
    xmin = std::min(xmin, p.x);
    xmax = std::max(xmax, p.x);
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  };
  for (Handle h : objectsByTag(rt, fig, tags::kWall)) extend(h);
  for (Handle h : objectsByTag(rt, fig, tags::kAudienceEdge)) extend(h);
  if (const auto s = findInWindow(rt, fig, tags::kSource)) extend(*s);
  if (!std::isfinite(xmin)) return;
  const double extent = std::max(xmax - xmin, ymax - ymin);
  const double step = zoneTableStep(extent).value_or(1);

  CaseRecord record = readCase(rt, fig);
  auto& xl = record.xlim;
  auto& yl = record.ylim;
  using platform::snap;
  if (button == tags::kMoveUp) {
    if (snap(yl[1] - step) >= snap(ymax)) yl = {yl[0] - step, yl[1] - step};
  } else if (button == tags::kMoveRight) {
    if (snap(xl[1] - step) >= snap(xmax)) xl = {xl[0] - step, xl[1] - step};
  } else if (button == tags::kMoveDown) {
    if (snap(yl[0] + step) <= snap(ymin)) yl = {yl[0] + step, yl[1] + step};
  } else if (button == tags::kMoveLeft) {
    if (snap(xl[0] + step) <= snap(xmin)) xl = {xl[0] + step, xl[1] + step};
  } else {
    const double w = xl[1] - xl[0], h = yl[1] - yl[0];
    const double xm = (xmin + xmax) / 2, ym = (ymin + ymax) / 2;
    xl = {xm - w / 2, xm + w / 2};
    yl = {ym - h / 2, ym + h / 2};
  }

  const bool zoom = pressed(rt, fig, tags::kZoomButton);
  if (!zoom) {
    const Handle axes = drawingAxes(rt, fig);
    g.setRow(axes, "xlim", {xl[0], xl[1]});
    g.setRow(axes, "ylim", {yl[0], yl[1]});
  }
  const double gsize = record.gsize;
  storeCase(rt, fig, std::move(record));
  ops.call(rt, "changegrid", {Value(gsize)});
  if (zoom) ops.call(rt, document::kZoomOperation);
}

void setactivewall(Runtime& rt, const Operations& ops) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  if (!normalSelection(rt, fig)) return;
  Handle wall = rt.callbackObject();
  if (wall == platform::kNoHandle || !g.exists(wall) || g.at(wall).tag() != tags::kWall) {
    const auto current = currentObjectTagged(rt, fig, tags::kWall);
    if (!current) return;
    wall = *current;
  }
  // Wall order is the reverse of the drawing area's stacking order.
  std::vector<Handle> walls;
  for (Handle h : g.at(drawingAxes(rt, fig)).children()) {
    if (g.at(h).tag() == tags::kWall) walls.push_back(h);
  }
  std::reverse(walls.begin(), walls.end());
  const auto it = std::find(walls.begin(), walls.end(), wall);
  if (it == walls.end()) return;
  const auto i = static_cast<double>(it - walls.begin()) + 1;
  if (const auto list = findInWindow(rt, fig, tags::kValueList)) g.set(*list, "value", Value(i + 2));
  ops.call(rt, "selectvalue");
}

void registerDragOperations(Operations& ops) {
  const Operations* table = &ops;
  const auto add = [&ops](const char* name, std::function<void(Runtime&)> f) {
    ops.add(document::makeOperation(name, 0, 0, document::withoutArguments(std::move(f))));
  };
  // Motions that move a vertex, the source or an audience corner also hand the new geometry to the
  // live map. A motion moved something when it wrote the status line anew.
  auto live = std::make_shared<LiveMap>(ops);
  const auto following = [live](LiveDrag kind, void (*motion)(Runtime&)) {
    return [live, kind, motion](Runtime& rt) {
      const auto fig = findMainWindow(rt);
      if (!fig) return motion(rt);
      const bool firstMotion = rt.graphics().at(*fig).text("windowbuttonupfcn").empty();
      const auto status = [&] {
        const auto text = findInWindow(rt, *fig, tags::kText);
        return text ? rt.graphics().at(*text).text("string") : std::string();
      };
      const std::string before = status();
      motion(rt);
      if (status() != before) live->follow(rt, *fig, kind, firstMotion);
    };
  };
  add("movewallpoint", following(LiveDrag::Vertex, movewallpoint));
  add("moveaudiencepoint", following(LiveDrag::Audience, moveaudiencepoint));
  add("moveaxis", moveaxis);
  add("refreshcoordinates", [table](Runtime& rt) { refreshcoordinates(rt, *table); });
  add("preparemovesource", preparemovesource);
  add("movesource", following(LiveDrag::Source, movesource));
  // Not a verb: waits for the live map's worker and shows what it finished (tests, automation).
  add("settlelivemap", [live](Runtime& rt) { live->settle(rt); });
  // Not a verb: the first step of the vertex, source and audience releases.
  add("stoplivemap", [live](Runtime&) { live->release(); });
  add("preparemovereceptor", preparemovereceptor);
  add("movereceptor", movereceptor);
  add("movedrawing", [table](Runtime& rt) { movedrawing(rt, *table); });
  add("setactivewall", [table](Runtime& rt) { setactivewall(rt, *table); });
}

}  // namespace velmora::editor
