#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>

namespace velmora::platform::render_detail {

// Geometric cutting: the whole clip of a canvas that cannot clip, and elsewhere the trim that keeps
// far-away data from reaching a canvas as huge coordinates.

Rect expanded(const PixelRect& r, double m) {
  return {r.x - m, r.y - m, r.x + r.width + m, r.y + r.height + m};
}

// Liang-Barsky: clips the segment a-b to the rectangle; false when nothing is left.
bool clipSegment(Point& a, Point& b, const Rect& r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - r.x0, r.x1 - a.x, a.y - r.y0, r.y1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const Point a0 = a;
  a = {a0.x + t0 * dx, a0.y + t0 * dy};
  b = {a0.x + t1 * dx, a0.y + t1 * dy};
  return true;
}

CVertex lerp(const CVertex& a, const CVertex& b, double t) {
  return {{a.p.x + t * (b.p.x - a.p.x), a.p.y + t * (b.p.y - a.p.y)},
          {a.c.r + t * (b.c.r - a.c.r), a.c.g + t * (b.c.g - a.c.g), a.c.b + t * (b.c.b - a.c.b)}};
}

// Sutherland-Hodgman against the four sides of the rectangle.
std::vector<CVertex> clipPolygon(std::vector<CVertex> poly, const Rect& r) {
  auto side = [&](int k, const Point& p) {
    switch (k) {
      case 0:
        return p.x - r.x0;
      case 1:
        return r.x1 - p.x;
      case 2:
        return p.y - r.y0;
      default:
        return r.y1 - p.y;
    }
  };
  // Most pieces of a drawing lie wholly inside the box: they are kept as they are.
  if (std::all_of(poly.begin(), poly.end(), [&](const CVertex& v) {
        return side(0, v.p) >= 0 && side(1, v.p) >= 0 && side(2, v.p) >= 0 && side(3, v.p) >= 0;
      }))
    return poly;
  for (int k = 0; k < 4 && !poly.empty(); ++k) {
    std::vector<CVertex> out;
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const CVertex& a = poly[i];
      const CVertex& b = poly[(i + 1) % poly.size()];
      const double da = side(k, a.p), db = side(k, b.p);
      if (da >= 0) out.push_back(a);
      if ((da >= 0) != (db >= 0)) out.push_back(lerp(a, b, da / (da - db)));
    }
    poly = std::move(out);
  }
  return poly;
}

std::vector<Point> clipPoints(const std::vector<Point>& pts, const Rect& r) {
  std::vector<CVertex> cv;
  cv.reserve(pts.size());
  for (const Point& p : pts) cv.push_back({p, {}});
  std::vector<Point> out;
  for (const CVertex& v : clipPolygon(std::move(cv), r)) out.push_back(v.p);
  return out;
}

// ---- drawing context of one axes ----

void setClipFor(AxesContext& ctx, const GraphicsObject& o) {
  if (onOr(o, "clipping", true)) {
    ctx.canvas.setClip(ctx.map.box);
  } else {
    ctx.canvas.setClip(std::nullopt);
  }
}

void strokePolyline(AxesContext& ctx, const std::vector<Point>& pts, const Stroke& stroke, bool clip) {
  if (pts.size() < 2) return;
  if (!clip) {
    ctx.canvas.polyline(pts, stroke);
    return;
  }
  std::vector<Point> run;
  auto flush = [&] {
    if (run.size() >= 2) ctx.canvas.polyline(run, stroke);
    run.clear();
  };
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    Point a = pts[i], b = pts[i + 1];
    const bool aInside = ctx.clipRect.contains(a);
    if (!clipSegment(a, b, ctx.clipRect)) {
      flush();
      continue;
    }
    if (!aInside || run.empty()) {
      flush();
      run.push_back(a);
    }
    run.push_back(b);
    if (!ctx.clipRect.contains(pts[i + 1])) flush();
  }
  flush();
}

}  // namespace velmora::platform::render_detail
