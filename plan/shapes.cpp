#include "plan/shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/graphics.h"
#include "platform/model/numbers.h"
#include "platform/model/ui.h"

namespace velmora::plan {

using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180;

// Walls closer than the geometric tolerance cannot be told apart by the acoustic computation.
constexpr double kTolerance = platform::kSnapTolerance;

std::optional<double> singleNumber(const std::string& text) {
  const auto numbers = platform::readNumbers(text);
  if (!numbers || numbers->size() != 1 || !std::isfinite(numbers->front())) return std::nullopt;
  return numbers->front();
}

// Vertices at the angles 2 pi k / N, k = 0..N-1, on the ellipse of semi-axes a and b.
void ellipseOutline(ShapeRoom& room, double a, double b, int walls) {
  for (int k = 0; k < walls; ++k) {
    const double t = 2 * kPi * k / walls;
    room.x.push_back(a * std::cos(t));
    room.y.push_back(b * std::sin(t));
  }
}

struct P {
  double x, y;
};

double pointSegmentDistance(P p, P a, P b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double cross(P o, P a, P b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool segmentsCross(P a, P b, P c, P d) {
  const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
  return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

double segmentDistance(P a, P b, P c, P d) {
  if (segmentsCross(a, b, c, d)) return 0;
  return std::min({pointSegmentDistance(a, c, d), pointSegmentDistance(b, c, d),
                   pointSegmentDistance(c, a, b), pointSegmentDistance(d, a, b)});
}

const char* const kNoRoom = "These values give no room: ";

}  // namespace

std::optional<Shape> shapeFromLabel(std::string_view label) {
  if (label == "circle") return Shape::Circle;
  if (label == "ellipse") return Shape::Ellipse;
  if (label == "parabola") return Shape::Parabola;
  if (label == "logarithmic spiral") return Shape::Spiral;
  return std::nullopt;
}

ShapeDialog shapeDialog(Shape shape) {
  switch (shape) {
    case Shape::Circle:
      return {"Create a circle", {"Diameter (m):", "Wall number:"}, {"10", "72"}};
    case Shape::Ellipse:
      return {"Create an ellipse",
              {"Great diameter (m):", "Small diameter (m):", "Wall number:"},
              {"10", "3", "72"}};
    case Shape::Parabola:
      return {"Create an parabola (y=ax\u00b2)",
              {"Curvature coefficient (a):", "Wide (m):", "Wall number:"},
              {"1", "6", "72"}};
    case Shape::Spiral:
      return {"Create a logarithmic spiral",
              {"Initial radius (m):", "Inclination (\u00b0):", "Initial angle (\u00b0):", "Aperture (\u00b0)",
               "Wall number:"},
              {"10", "75", "45", "120", "30"}};
  }
  return {};
}

int clampWallNumber(double n) {
  return static_cast<int>(std::clamp(platform::roundHalfAway(n), 4.0, 360.0));
}

ShapeRoom circleRoom(double diameter, int walls) {
  const double r = std::abs(diameter) / 2;
  ShapeRoom room;
  ellipseOutline(room, r, r, walls);
  room.xso = r;  // the first vertex
  room.yso = 0;
  room.xre = -0.43 * r;
  room.yre = 0;
  return room;
}

ShapeRoom ellipseRoom(double greatDiameter, double smallDiameter, int walls) {
  double great = std::abs(greatDiameter), small = std::abs(smallDiameter);
  if (small > great) std::swap(great, small);
  ShapeRoom room;
  ellipseOutline(room, great / 2, small / 2, walls);
  // One at each focus.
  const double c = 0.5 * std::sqrt(great * great - small * small);
  room.xso = c;
  room.xre = -c;
  return room;
}

ShapeRoom parabolaRoom(double curvature, double width, int walls) {
  const double a = std::abs(curvature), w = std::abs(width);
  ShapeRoom room;
  double top = -INFINITY;
  for (int k = 0; k <= walls; ++k) {
    const double x = -w / 2 + w * k / walls;
    room.x.push_back(x);
    room.y.push_back(a * x * x);
    top = std::max(top, room.y.back());
  }
  // The source at the focus, unless the focus lies above the opening.
  const double focus = 0.25 / a;
  room.yso = std::min(top, focus);
  room.yre = std::min(top, focus + 1);
  return room;
}

SpiralParameters SpiralParameters::accepted(double radius, double inclination, double angle, double aperture,
                                            double walls) {
  SpiralParameters p;
  p.radius = std::abs(radius);
  p.inclination = std::abs(inclination);
  p.angle = std::clamp(angle, -90.0, 90.0);
  p.aperture = std::clamp(std::abs(aperture), 20.0, 360.0);
  p.walls = clampWallNumber(walls);
  return p;
}

std::array<std::string, 5> SpiralParameters::texts() const {
  return {platform::formatNumber(radius), platform::formatNumber(inclination), platform::formatNumber(angle),
          platform::formatNumber(aperture), platform::formatNumber(walls)};
}

ShapeRoom spiralRoom(const SpiralParameters& p) {
  const int n = p.walls;
  const double dt = p.aperture / n * kDegree;
  const double i = p.inclination * kDegree;
  // Law of sines: every wall meets the ray from the pole through its start at the angle i.
  const double denominator = std::sin(i - dt);
  if (!(denominator > 0)) {
    throw Error(std::string(kNoRoom) + "the inclination must lie between the angle between two walls (" +
                platform::formatNumber(p.aperture / n) + "\u00b0) and 180\u00b0.");
  }
  const double fac = std::sin(kPi - i) / denominator;
  ShapeRoom room;
  double r = p.radius, phi = p.angle * kDegree;
  for (int k = 0; k <= n; ++k) {
    if (k > 0) {
      r *= fac;
      phi += dt;
    }
    room.x.push_back(r * std::cos(phi));
    room.y.push_back(r * std::sin(phi));
  }
  // Closed below by three walls that absorb everything: down from the spiral's end, across at
  // y = -r0, back up to its start.
  const double xEnd = room.x.back(), xStart = room.x.front();
  room.x.push_back(xEnd);
  room.y.push_back(-p.radius);
  room.x.push_back(xStart);
  room.y.push_back(-p.radius);
  room.alpha.assign(static_cast<std::size_t>(n), 0.0);
  room.alpha.insert(room.alpha.end(), {100.0, 100.0, 100.0});
  room.xso = 0;
  room.yso = 0;
  room.xre = -1;
  room.yre = 0;
  return room;
}

std::optional<std::string> outlineProblem(const std::vector<double>& x, const std::vector<double>& y) {
  const std::size_t n = std::min(x.size(), y.size());
  if (n < 3) return std::string(kNoRoom) + "it has fewer than three vertices.";
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(x[k]) || !std::isfinite(y[k])) {
      return std::string(kNoRoom) + "its vertices are beyond the numbers that can be computed.";
    }
    // A case keeps its points within this distance: the rebuild would refuse the room with a console
    // line only, leaving the dialog's user with no word.
    if (std::abs(x[k]) > document::kFarthestCoordinate || std::abs(y[k]) > document::kFarthestCoordinate) {
      return std::string(kNoRoom) + "its vertices lie more than 1000000 m from the origin.";
    }
  }
  const auto vertex = [&](std::size_t k) { return P{x[k % n], y[k % n]}; };
  for (std::size_t k = 0; k < n; ++k) {
    const P a = vertex(k), b = vertex(k + 1);
    if (std::hypot(b.x - a.x, b.y - a.y) < kTolerance) {
      return std::string(kNoRoom) + "some of its walls are shorter than a micrometre.";
    }
  }
  for (std::size_t j = 0; j < n; ++j) {
    const P a = vertex(j), b = vertex(j + 1);
    // The next wall shares vertex j+1: its far end must not lie back on this wall.
    if (pointSegmentDistance(vertex(j + 2), a, b) < kTolerance ||
        pointSegmentDistance(a, b, vertex(j + 2)) < kTolerance) {
      return std::string(kNoRoom) + "its walls cross or touch one another.";
    }
    for (std::size_t k = j + 2; k < n; ++k) {
      if (j == 0 && k == n - 1) continue;  // wall N ends where wall 1 starts
      if (segmentDistance(a, b, vertex(k), vertex(k + 1)) < kTolerance) {
        return std::string(kNoRoom) + "its walls cross or touch one another.";
      }
    }
  }
  double area = 0;
  for (std::size_t k = 0; k < n; ++k) area += x[k] * y[(k + 1) % n] - x[(k + 1) % n] * y[k];
  if (!(area > 0)) return std::string(kNoRoom) + "its outline does not run counter-clockwise around an area.";
  return std::nullopt;
}

document::CaseDescription shapeDescription(const ShapeRoom& room, Shape shape) {
  document::CaseDescription d;
  d.xwall = room.x;
  d.ywall = room.y;
  if (!room.alpha.empty()) d.alpha = room.alpha;
  d.xso = room.xso;
  d.yso = room.yso;
  d.xre = room.xre;
  d.yre = room.yre;
  // The spiral keeps the window's audience map resolution.
  if (shape != Shape::Spiral) d.Nsurface = 50;
  d.geometricshapes = "yes";
  return d;
}

namespace {

// The remembered spiral texts, when the window holds five of them.
std::optional<std::vector<std::string>> rememberedSpiral(const Graphics& g, Handle fig) {
  const Value* v = g.at(fig).appData(kSpiralAppData);
  if (!v || !v->isList() || v->list().items.size() != 5) return std::nullopt;
  std::vector<std::string> texts;
  for (const Value& item : v->list().items) {
    if (!item.isText()) return std::nullopt;
    texts.push_back(item.text());
  }
  return texts;
}

ShapeRoom buildRoom(Shape shape, const std::vector<double>& v, Graphics& g, Handle fig) {
  switch (shape) {
    case Shape::Circle:
      return circleRoom(v[0], clampWallNumber(v[1]));
    case Shape::Ellipse:
      return ellipseRoom(v[0], v[1], clampWallNumber(v[2]));
    case Shape::Parabola:
      if (v[0] == 0) throw Error(std::string(kNoRoom) + "a curvature of 0 is a straight line.");
      return parabolaRoom(v[0], v[1], clampWallNumber(v[2]));
    case Shape::Spiral: {
      const SpiralParameters p = SpiralParameters::accepted(v[0], v[1], v[2], v[3], v[4]);
      ShapeRoom room = spiralRoom(p);
      if (!outlineProblem(room.x, room.y)) {
        platform::List texts;
        for (const std::string& t : p.texts()) texts.items.emplace_back(t);
        g.setAppData(fig, kSpiralAppData, Value(std::move(texts)));
      }
      return room;
    }
  }
  return {};
}

// The shape is shown without the view's helpers: radius, axes and audience limits unchecked in the
// view options and hidden.
void hideViewHelpers(Graphics& g, Handle fig, platform::Runtime& rt) {
  if (const auto objects = document::findInWindow(rt, fig, tags::kObjectsButton)) {
    const Value menu = g.get(*objects, "uicontextmenu");
    if (menu.isObject() && g.exists(menu.object())) {
      for (Handle item : g.at(menu.object()).children()) {
        if (g.at(item).type() != ObjectType::UiMenu) continue;
        const std::string label = g.at(item).text("label");
        if (label == "radius" || label == "axes" || label == "audience limits")
          g.setText(item, "checked", "off");
      }
    }
  }
  for (const char* tag :
       {tags::kRadius, tags::kXAxis, tags::kYAxis, tags::kAudienceEdge, tags::kAudienceVertex}) {
    for (Handle h : g.findobj(fig, tag)) g.setText(h, "visible", "off");
  }
}

}  // namespace

void geometricshapes(platform::Runtime& rt, const document::Operations& ops) {
  Graphics& g = rt.graphics();
  const Handle fig = document::currentMainWindow(rt);
  const Handle caller = rt.callbackObject();
  if (caller == platform::kNoHandle || !g.exists(caller) || g.at(caller).type() != ObjectType::UiMenu) return;
  const auto shape = shapeFromLabel(g.at(caller).text("label"));
  if (!shape) return;

  ShapeDialog dialog = shapeDialog(*shape);
  if (*shape == Shape::Spiral) {
    if (auto remembered = rememberedSpiral(g, fig)) dialog.defaults = std::move(*remembered);
  }
  platform::InputDialog input;
  input.title = dialog.title;
  input.prompts = dialog.prompts;
  input.defaults = dialog.defaults;
  const auto answer = rt.ui().input(input);
  if (!answer || answer->size() != dialog.prompts.size()) return;
  std::vector<double> values;
  for (const std::string& text : *answer) {
    const auto v = singleNumber(text);
    if (!v) return;
    values.push_back(*v);
  }

  ShapeRoom room;
  try {
    room = buildRoom(*shape, values, g, fig);
    if (auto problem = outlineProblem(room.x, room.y)) throw Error(*problem);
    if (!std::isfinite(room.xso) || !std::isfinite(room.yso) || !std::isfinite(room.xre) ||
        !std::isfinite(room.yre)) {
      throw Error(std::string(kNoRoom) + "its source or receptor cannot be placed.");
    }
  } catch (const Error& e) {
    rt.ui().message(platform::MessageKind::Error, e.what(), dialog.title);
    return;
  }

  ops.call(rt, "update", {shapeDescription(room, *shape).toValue()});
  hideViewHelpers(g, fig, rt);
}

void registerShapeOperations(document::Operations& ops) {
  const document::Operations* table = &ops;
  ops.add(document::makeOperation(
      "geometricshapes", 0, 0,
      [table](platform::Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
        geometricshapes(rt, *table);
        return {};
      }));
}

}  // namespace velmora::plan
