#include "platform/render_internal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora::platform::render_detail {

std::vector<Point> regularPolygon(Point c, double radius, int n, double startDegrees) {
  std::vector<Point> pts;
  for (int i = 0; i < n; ++i) {
    const double a = (startDegrees + 360.0 * i / n) * std::numbers::pi / 180.0;
    pts.push_back({c.x + radius * std::cos(a), c.y - radius * std::sin(a)});
  }
  return pts;
}

std::vector<Point> star(Point c, double outer, int points) {
  const double inner = outer * (points == 5 ? 0.382 : 0.5);
  std::vector<Point> pts;
  for (int i = 0; i < 2 * points; ++i) {
    const double r = i % 2 == 0 ? outer : inner;
    const double a = (90.0 + 180.0 * i / points) * std::numbers::pi / 180.0;
    pts.push_back({c.x + r * std::cos(a), c.y - r * std::sin(a)});
  }
  return pts;
}

int circleSegments(double radius) {
  return std::clamp(static_cast<int>(radius * 2.5), 12, 64);
}

void drawMarker(Canvas& canvas, const std::string& marker, Point c, double size,
                const std::optional<Rgb>& face, const std::optional<Rgb>& edge, double edgeWidth) {
  const double r = size / 2;
  std::optional<Stroke> stroke;
  if (edge) stroke = Stroke{*edge, edgeWidth, LineStyle::Solid};
  auto shape = [&](const std::vector<Point>& pts) { canvas.polygon(pts, face, stroke); };
  auto lines = [&](std::initializer_list<std::pair<Point, Point>> segs) {
    if (!edge) return;
    for (const auto& s : segs) {
      const Point seg[2] = {s.first, s.second};
      canvas.polyline(seg, *stroke);
    }
  };
  if (marker == ".") {
    // A dot takes a third of the marker size and is filled with its own colour.
    const double dr = std::max(0.75, size / 6);
    const std::optional<Rgb> fill = face ? face : edge;
    if (fill) canvas.polygon(regularPolygon(c, dr, circleSegments(dr), 0), fill, std::nullopt);
  } else if (marker == "o") {
    shape(regularPolygon(c, r, circleSegments(r), 0));
  } else if (marker == "square" || marker == "s") {
    shape({{c.x - r, c.y - r}, {c.x + r, c.y - r}, {c.x + r, c.y + r}, {c.x - r, c.y + r}});
  } else if (marker == "diamond" || marker == "d") {
    shape(regularPolygon(c, r, 4, 90));
  } else if (marker == "^") {
    shape(regularPolygon(c, r, 3, 90));
  } else if (marker == "v") {
    shape(regularPolygon(c, r, 3, 270));
  } else if (marker == ">") {
    shape(regularPolygon(c, r, 3, 0));
  } else if (marker == "<") {
    shape(regularPolygon(c, r, 3, 180));
  } else if (marker == "pentagram" || marker == "p") {
    shape(star(c, r * 1.2, 5));
  } else if (marker == "hexagram" || marker == "h") {
    shape(star(c, r * 1.1, 6));
  } else if (marker == "+") {
    lines({{{c.x - r, c.y}, {c.x + r, c.y}}, {{c.x, c.y - r}, {c.x, c.y + r}}});
  } else if (marker == "x") {
    const double d = r * 0.7071;
    lines({{{c.x - d, c.y - d}, {c.x + d, c.y + d}}, {{c.x - d, c.y + d}, {c.x + d, c.y - d}}});
  } else if (marker == "*") {
    const double d = r * 0.7071;
    lines({{{c.x - r, c.y}, {c.x + r, c.y}},
           {{c.x, c.y - r}, {c.x, c.y + r}},
           {{c.x - d, c.y - d}, {c.x + d, c.y + d}},
           {{c.x - d, c.y + d}, {c.x + d, c.y - d}}});
  }
}

MarkerStyle markerStyle(const AxesContext& ctx, const GraphicsObject& o, const Rgb& lineColor) {
  MarkerStyle m;
  m.marker = textOr(o, "marker", "none");
  m.size = numberOr(o, "markersize", 6) * kPixelsPerPoint;
  const ColorChoice face = colorChoice(o, "markerfacecolor", "none");
  const ColorChoice edge = colorChoice(o, "markeredgecolor", "auto");
  m.face = face.rgb ? face.rgb : (face.word == "auto" ? std::optional<Rgb>(ctx.axesColor) : std::nullopt);
  m.edge = edge.rgb ? edge.rgb : (edge.word == "auto" ? std::optional<Rgb>(lineColor) : std::nullopt);
  m.edgeWidth = strokeWidth(o);
  return m;
}

}  // namespace velmora::platform::render_detail
