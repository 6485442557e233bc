#include "engine/zones.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

namespace velmora::engine {

namespace {

double cross(double ax, double ay, double bx, double by) {
  return ax * by - ay * bx;
}

struct Segment {
  Point c, d;
  double tlo, thi;  // range along the window (0 first end, 1 second end) of its part beyond the line
};

struct Event {
  double t;       // window parameter where the ray crosses the window
  double dx, dy;  // ray direction from the apex (through the vertex, exactly)
};

}  // namespace

std::optional<Point> reflectionapex(const ImageRecord& ima) {
  Point apex{ima.xi, ima.yi};
  if (ima.convex) {
    const Line& l1 = ima.line1;
    const Line& l2 = ima.line2;
    const double det = l1.a * l2.b - l1.b * l2.a;
    const double scale = std::hypot(l1.a, l1.b) * std::hypot(l2.a, l2.b);
    if (std::abs(det) > 1e-12 * scale)
      apex = {(l1.b * l2.c - l2.b * l1.c) / det, (l2.a * l1.c - l1.a * l2.c) / det};
  }
  const Line& l0 = ima.line0;
  const double norm = std::hypot(l0.a, l0.b);
  if (!(norm > 0) || !(l0.s * l0.value(apex.x, apex.y) < -kSnapTolerance * norm)) {
    if (!ima.convex) return std::nullopt;
    // Boundary lines that meet on the room side: fall back to the middle image.
    apex = {ima.xi, ima.yi};
    if (!(l0.s * l0.value(apex.x, apex.y) < -kSnapTolerance * norm)) return std::nullopt;
  }
  return apex;
}

ZonePolygon reflectionzonepolygon(int nor, const Walls& walls, const Wall& window, Point apex) {
  ZonePolygon out;
  const std::size_t n = walls.size();
  if (nor < 1 || static_cast<std::size_t>(nor) > n) return out;
  const double wx = window.x2 - window.x1, wy = window.y2 - window.y1;
  const double len2 = wx * wx + wy * wy;
  if (!(len2 > 0)) return out;
  // f: the window line's value, positive on the room side.
  const auto f = [&](double x, double y) { return cross(wx, wy, x - window.x1, y - window.y1); };
  const double fa = f(apex.x, apex.y);
  if (!(fa < 0)) return out;
  // Window parameter of a point on or beyond the window line: where the ray from the apex through it
  // crosses that line. Monotone along any segment beyond the line.
  const auto windowT = [&](double x, double y) {
    const double k = fa / (fa - f(x, y));
    const double qx = apex.x + k * (x - apex.x), qy = apex.y + k * (y - apex.y);
    return ((qx - window.x1) * wx + (qy - window.y1) * wy) / len2;
  };
  constexpr double kRange = 1e-9;
  std::vector<Segment> segments;
  std::vector<Event> events;
  double extent = std::abs(apex.x) + std::abs(apex.y);
  for (std::size_t j = 0; j < n; ++j) {
    const Wall& w = walls[j];
    extent = std::max({extent, std::abs(w.x1), std::abs(w.y1), std::abs(w.x2), std::abs(w.y2)});
    if (j + 1 == static_cast<std::size_t>(nor)) continue;
    const double fc = f(w.x1, w.y1), fd = f(w.x2, w.y2);
    if (!(fc > 0) && !(fd > 0)) continue;  // on or behind the window's line: never in a ray's way
    Point c{w.x1, w.y1}, d{w.x2, w.y2};
    if (fc < 0) c = {w.x1 + (w.x2 - w.x1) * fc / (fc - fd), w.y1 + (w.y2 - w.y1) * fc / (fc - fd)};
    if (fd < 0) d = {w.x2 + (w.x1 - w.x2) * fd / (fd - fc), w.y2 + (w.y1 - w.y2) * fd / (fd - fc)};
    const double tc = windowT(c.x, c.y), td = windowT(d.x, d.y);
    const double lo = std::min(tc, td), hi = std::max(tc, td);
    if (!(hi >= -kRange && lo <= 1 + kRange)) continue;
    segments.push_back({{w.x1, w.y1}, {w.x2, w.y2}, lo - kRange, hi + kRange});
    if (fc > 0 && tc > 0 && tc < 1) events.push_back({tc, w.x1 - apex.x, w.y1 - apex.y});
    if (fd > 0 && td > 0 && td < 1) events.push_back({td, w.x2 - apex.x, w.y2 - apex.y});
  }
  events.push_back({0, window.x1 - apex.x, window.y1 - apex.y});
  events.push_back({1, window.x2 - apex.x, window.y2 - apex.y});
  std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.t < b.t; });
  std::sort(segments.begin(), segments.end(),
            [](const Segment& a, const Segment& b) { return a.tlo < b.tlo; });

  // Side of the rays on which the window's first end lies: "before" in the sweep.
  const int before =
      sign(cross(window.x2 - apex.x, window.y2 - apex.y, window.x1 - apex.x, window.y1 - apex.y));
  const double far = 1e3 * (extent + 1);
  std::vector<const Segment*> active;
  std::size_t next = 0;
  const auto push = [&](double x, double y) {
    if (!out.xp.empty() && out.xp.back() == x && out.yp.back() == y) return;
    out.xp.push_back(x);
    out.yp.push_back(y);
  };
  push(window.x1, window.y1);
  for (std::size_t e = 0; e < events.size(); ++e) {
    const Event& ev = events[e];
    while (next < segments.size() && segments[next].tlo <= ev.t) active.push_back(&segments[next++]);
    std::erase_if(active, [&](const Segment* s) { return s->thi < ev.t; });
    const double dd = ev.dx * ev.dx + ev.dy * ev.dy;
    // Window crossing of this ray, in units of its direction; hits just short of it (rounding) count
    // as the window itself.
    const double uw = -fa / cross(wx, wy, ev.dx, ev.dy);
    const double umin = uw * (1 - 1e-9);
    const double unone = uw + far / std::sqrt(dd);
    double uBefore = unone, uAfter = unone;
    for (const Segment* s : active) {
      const double cx = s->c.x - apex.x, cy = s->c.y - apex.y, ex = s->d.x - apex.x, ey = s->d.y - apex.y;
      const int oc = sign(cross(ev.dx, ev.dy, cx, cy)), od = sign(cross(ev.dx, ev.dy, ex, ey));
      if (oc == 0 && od == 0) continue;  // along the ray: no width to block with
      double u;
      if (oc == 0)
        u = (cx * ev.dx + cy * ev.dy) / dd;
      else if (od == 0)
        u = (ex * ev.dx + ey * ev.dy) / dd;
      else if (oc != od)
        u = cross(cx, cy, ex - cx, ey - cy) / cross(ev.dx, ev.dy, ex - cx, ey - cy);
      else
        continue;
      if (!(u >= umin)) continue;
      u = std::max(u, uw);
      // A segment blocks the rays on the side where it has a part.
      const bool onBefore = oc == before || od == before;
      const bool onAfter = oc == -before || od == -before;
      if (onBefore) uBefore = std::min(uBefore, u);
      if (onAfter) uAfter = std::min(uAfter, u);
    }
    if (e > 0) push(apex.x + uBefore * ev.dx, apex.y + uBefore * ev.dy);
    if (e + 1 < events.size()) push(apex.x + uAfter * ev.dx, apex.y + uAfter * ev.dy);
  }
  push(window.x2, window.y2);
  return out;
}

IndexList GridScan::inside(std::span<const double> xp, std::span<const double> yp) const {
  ReachedPoints out;
  inside(xp, yp, out);
  return std::move(out.hits);
}

void GridScan::inside(std::span<const double> xp, std::span<const double> yp, ReachedPoints& out) const {
  const std::size_t nv = std::min(xp.size(), yp.size());
  const std::size_t rows = grid_.rows(), cols = grid_.cols();
  const double* xs = grid_.xs();
  const double* ys = grid_.ys();
  if (nv < 3 || rows == 0) return;
  double xmin = xp[0], xmax = xp[0], ymin = yp[0], ymax = yp[0];
  for (std::size_t k = 1; k < nv; ++k) {
    xmin = std::min(xmin, xp[k]);
    xmax = std::max(xmax, xp[k]);
    ymin = std::min(ymin, yp[k]);
    ymax = std::max(ymax, yp[k]);
  }
  const double tol = kZoneTolerance;
  // One point: inside by crossing number, or within the tolerance of an edge.
  const auto pointIn = [&](double x, double y) {
    if (x < xmin - tol || x > xmax + tol || y < ymin - tol || y > ymax + tol) return false;
    bool in = false;
    for (std::size_t k = 0, l = nv - 1; k < nv; l = k++) {
      const double ax = xp[l], ay = yp[l], bx = xp[k], by = yp[k];
      if ((ay > y) != (by > y) && x < ax + (bx - ax) * (y - ay) / (by - ay)) in = !in;
      const double ex = bx - ax, ey = by - ay, l2 = ex * ex + ey * ey;
      const double t = l2 > 0 ? std::clamp(((x - ax) * ex + (y - ay) * ey) / l2, 0.0, 1.0) : 0.0;
      if (std::hypot(x - ax - t * ex, y - ay - t * ey) <= tol) return true;
    }
    return in;
  };
  // Edge l -> k as a unit direction and a length, the same for every column.
  struct Edge {
    std::size_t l;
    double ux, uy, el;
  };
  std::vector<Edge> edges;
  edges.reserve(nv);
  for (std::size_t k = 0, l = nv - 1; k < nv; l = k++) {
    const double ex = xp[k] - xp[l], ey = yp[k] - yp[l], el = std::hypot(ex, ey);
    if (el > 0) edges.push_back({l, ex / el, ey / el, el});
  }
  std::vector<double> along(nv), across(nv), cuts;
  std::vector<std::pair<double, double>> spans;
  std::vector<std::pair<std::size_t, std::size_t>> ranges;  // first point (0-based), count
  for (std::size_t j = 0; j < cols; ++j) {
    const GridColumns::Column& c = grid_.column(j);
    const std::size_t base = j * rows;
    if (!c.line) {
      for (std::size_t i = 0; i < rows; ++i)
        if (pointIn(xs[base + i], ys[base + i])) ranges.emplace_back(base + i, 1);
      continue;
    }
    // Column coordinates: along in point steps, across in metres.
    const double sl = std::hypot(c.dx, c.dy), s2 = sl * sl;
    bool left = false, right = false;
    for (std::size_t k = 0; k < nv; ++k) {
      const double vx = xp[k] - c.x0, vy = yp[k] - c.y0;
      along[k] = (vx * c.dx + vy * c.dy) / s2;
      across[k] = cross(c.dx, c.dy, vx, vy) / sl;
      left = left || across[k] >= -tol;
      right = right || across[k] <= tol;
    }
    if (!left || !right) continue;
    cuts.clear();
    spans.clear();
    for (std::size_t k = 0, l = nv - 1; k < nv; l = k++)
      if ((across[l] > 0) != (across[k] > 0))
        cuts.push_back(along[l] + (along[k] - along[l]) * across[l] / (across[l] - across[k]));
    // The band within the tolerance of each edge: |g| <= tol, -tol <= h <= L + tol, with g and h
    // linear in the column position.
    for (const Edge& e : edges) {
      const double ux = e.ux, uy = e.uy;
      const double px = c.x0 - xp[e.l], py = c.y0 - yp[e.l];
      double lo = -std::numeric_limits<double>::infinity(), hi = std::numeric_limits<double>::infinity();
      bool none = false;
      const auto within = [&](double v0, double slope, double vmin, double vmax) {
        if (slope == 0) {
          none = none || v0 < vmin || v0 > vmax;
          return;
        }
        double a = (vmin - v0) / slope, b = (vmax - v0) / slope;
        if (a > b) std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
      };
      within(cross(ux, uy, px, py), cross(ux, uy, c.dx, c.dy), -tol, tol);
      within(ux * px + uy * py, ux * c.dx + uy * c.dy, -tol, e.el + tol);
      if (!none && lo <= hi) spans.emplace_back(lo, hi);
    }
    std::sort(cuts.begin(), cuts.end());
    const double slack = tol / sl;
    for (std::size_t k = 0; k + 1 < cuts.size(); k += 2)
      spans.emplace_back(cuts[k] - slack, cuts[k + 1] + slack);
    std::sort(spans.begin(), spans.end());
    const double last = static_cast<double>(rows - 1);
    double from = 0;  // first position not yet emitted
    for (const auto& [lo, hi] : spans) {
      if (hi < from || lo > last) continue;
      const double a = std::max(std::ceil(std::max(lo, 0.0)), from);
      const double b = std::floor(std::min(hi, last));
      if (a <= b)
        ranges.emplace_back(base + static_cast<std::size_t>(a), static_cast<std::size_t>(b - a) + 1);
      from = std::max(from, b + 1);
    }
  }
  std::size_t total = out.hits.size();
  for (const auto& r : ranges) total += r.second;
  out.hits.reserve(total);
  for (const auto& [first, count] : ranges) out.add(first, count);
}

}  // namespace velmora::engine
