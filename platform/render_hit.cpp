#include "platform/render_internal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora::platform {

namespace {

using namespace render_detail;

// Which object a pointer press lands on.

double distanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool insidePolygon(Point p, const std::vector<Point>& poly) {
  bool in = false;
  for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point& a = poly[i];
    const Point& b = poly[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

bool nearPolyline(Point p, const std::vector<Point>& pts, double tol) {
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    if (distanceToSegment(p, pts[i], pts[i + 1]) <= tol) return true;
  }
  return pts.size() == 1 && std::hypot(p.x - pts[0].x, p.y - pts[0].y) <= tol;
}

bool hitLine(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const auto xs = numbersOf(o, "xdata");
  const auto ys = numbersOf(o, "ydata");
  const std::size_t n = std::min(xs.size(), ys.size());
  bool noLine = false;
  lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  const std::string marker = textOr(o, "marker", "none");
  const double markerRadius = numberOr(o, "markersize", 6) * kPixelsPerPoint / 2;
  const double tol = kHitTolerance + strokeWidth(o) / 2;
  std::vector<Point> run;
  for (std::size_t i = 0; i <= n; ++i) {
    const bool finite = i < n && std::isfinite(xs[i]) && std::isfinite(ys[i]);
    if (finite) {
      const Point q{map.toPixelX(xs[i]), map.toPixelY(ys[i])};
      if (marker != "none" && std::hypot(p.x - q.x, p.y - q.y) <= markerRadius + kHitTolerance) return true;
      run.push_back(q);
      continue;
    }
    if (!noLine && run.size() >= 2 && nearPolyline(p, run, tol)) return true;
    run.clear();
  }
  return false;
}

bool hitSurface(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const Matrix& z = matrixOf(o, "zdata");
  if (z.rows < 2 || z.cols < 2) return false;
  const Matrix& xd = matrixOf(o, "xdata");
  const Matrix& yd = matrixOf(o, "ydata");
  auto at = [&](std::size_t r, std::size_t c) {
    const double x =
        (xd.rows == z.rows && xd.cols == z.cols) ? xd(r, c) : (c < xd.numel() ? xd.data[c] : c + 1.0);
    const double y =
        (yd.rows == z.rows && yd.cols == z.cols) ? yd(r, c) : (r < yd.numel() ? yd.data[r] : r + 1.0);
    return Point{map.toPixelX(x), map.toPixelY(y)};
  };
  for (std::size_t c = 0; c + 1 < z.cols; ++c) {
    for (std::size_t r = 0; r + 1 < z.rows; ++r) {
      const std::vector<Point> cell{at(r, c), at(r + 1, c), at(r + 1, c + 1), at(r, c + 1)};
      bool finite = true;
      for (const Point& q : cell) finite = finite && std::isfinite(q.x) && std::isfinite(q.y);
      if (finite &&
          (insidePolygon(p, cell) || nearPolyline(p, {cell[0], cell[1], cell[2], cell[3], cell[0]}, 0.5)))
        return true;
    }
  }
  return false;
}

bool hitPatch(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const Matrix& xd = matrixOf(o, "xdata");
  const Matrix& yd = matrixOf(o, "ydata");
  if (xd.empty() || xd.numel() != yd.numel()) return false;
  const bool vector = xd.rows == 1 || xd.cols == 1;
  const std::size_t perFace = vector ? xd.numel() : xd.rows;
  const std::size_t faces = vector ? 1 : xd.cols;
  const bool filled = !colorChoice(o, "facecolor", "flat").none();
  for (std::size_t f = 0; f < faces; ++f) {
    std::vector<Point> pts;
    for (std::size_t k = 0; k < perFace; ++k) {
      const std::size_t i = f * perFace + k;
      if (std::isfinite(xd.data[i]) && std::isfinite(yd.data[i]))
        pts.push_back({map.toPixelX(xd.data[i]), map.toPixelY(yd.data[i])});
    }
    if (pts.empty()) continue;
    if (filled && pts.size() >= 3 && insidePolygon(p, pts)) return true;
    std::vector<Point> ring = pts;
    ring.push_back(pts.front());
    if (nearPolyline(p, ring, kHitTolerance)) return true;
  }
  return false;
}

bool hitImage(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const Matrix& cd = matrixOf(o, "cdata");
  if (cd.rows == 0 || cd.cols == 0) return false;
  const auto xd = numbersOf(o, "xdata");
  const auto yd = numbersOf(o, "ydata");
  const double cols = static_cast<double>(cd.cols), rows = static_cast<double>(cd.rows);
  const double x1 = xd.empty() ? 1 : xd.front(), x2 = xd.size() >= 2 ? xd.back() : x1 + cols - 1;
  const double y1 = yd.empty() ? 1 : yd.front(), y2 = yd.size() >= 2 ? yd.back() : y1 + rows - 1;
  const double dx = cols > 1 ? (x2 - x1) / (cols - 1) : 1, dy = rows > 1 ? (y2 - y1) / (rows - 1) : 1;
  const double ax = map.toPixelX(x1 - dx / 2), bx = map.toPixelX(x2 + dx / 2);
  const double ay = map.toPixelY(y1 - dy / 2), by = map.toPixelY(y2 + dy / 2);
  return p.x >= std::min(ax, bx) && p.x <= std::max(ax, bx) && p.y >= std::min(ay, by) &&
         p.y <= std::max(ay, by);
}

bool hitText(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const auto lines = textLines(o);
  if (lines.empty()) return false;
  // Without a canvas the extent is estimated from the font size.
  double w = 0, h = 0;
  const Font font = fontOf(o, 10);
  const auto runs = layoutText(nullptr, lines, textOr(o, "interpreter", "tex") == "tex", font, hAlignOf(o),
                               vAlignOf(o), &w, &h);
  if (runs.empty()) return false;
  double minX = runs.front().x, minY = runs.front().y - font.size;
  for (const auto& r : runs) {
    minX = std::min(minX, r.x);
    minY = std::min(minY, r.y - font.size);
  }
  const auto pos = numbersOf(o, "position");
  const double x = pos.size() >= 1 ? pos[0] : 0, y = pos.size() >= 2 ? pos[1] : 0;
  const std::string units = textOr(o, "units", "data");
  const PixelRect& b = map.box;
  Point anchor = units == "normalized" ? Point{b.x + x * b.width, b.y + (1 - y) * b.height}
                 : units == "pixels"   ? Point{b.x + x, b.y + b.height - y}
                                       : Point{map.toPixelX(x), map.toPixelY(y)};
  // Undo the rotation of the press around the anchor, then test the unrotated block.
  const double ang = numberOr(o, "rotation", 0) * std::numbers::pi / 180.0;
  const double dx = p.x - anchor.x, dy = p.y - anchor.y;
  const double lx = dx * std::cos(ang) - dy * std::sin(ang);
  const double ly = dx * std::sin(ang) + dy * std::cos(ang);
  return lx >= minX && lx <= minX + w && ly >= minY && ly <= minY + h;
}

bool hitObject(const AxesMapping& map, const GraphicsObject& o, Point p) {
  if (o.type() != ObjectType::Text && onOr(o, "clipping", true)) {
    const PixelRect& b = map.box;
    if (!Rect{b.x, b.y, b.x + b.width, b.y + b.height}.contains(p, 1.0)) return false;
  }
  switch (o.type()) {
    case ObjectType::Line:
      return hitLine(map, o, p);
    case ObjectType::Surface:
      return hitSurface(map, o, p);
    case ObjectType::Patch:
      return hitPatch(map, o, p);
    case ObjectType::Image:
      return hitImage(map, o, p);
    case ObjectType::Text:
      return hitText(map, o, p);
    default:
      return false;
  }
}

}  // namespace

Handle hitTest(const Graphics& g, Handle figure, double px, double py, double width, double height) {
  const Point p{px, py};
  for (Handle axes : g.at(figure).children()) {
    const GraphicsObject& a = g.at(axes);
    if (a.type() != ObjectType::Axes) continue;
    const AxesMapping map = axesMapping(g, axes, width, height);
    const auto order = drawOrder(g, axes);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {  // topmost first
      const GraphicsObject& o = g.at(*it);
      if (!onOr(o, "hittest", true)) continue;
      if (hitObject(map, o, p)) return *it;
    }
    const PixelRect& b = map.box;
    if (isOn(a) && onOr(a, "hittest", true) && Rect{b.x, b.y, b.x + b.width, b.y + b.height}.contains(p)) {
      return axes;
    }
  }
  return figure;
}

}  // namespace velmora::platform
