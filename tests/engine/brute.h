#pragma once
// Exact, slow geometry for checking the audience map: reflections found point by point.

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace velmora::engine::brute {

inline constexpr double kBoundary = 1e-6;  // points this close to a zone boundary are not compared

struct P {
  double x, y;
};

inline double cross(P o, P a, P b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

inline double distanceToLine(P p, P a, P b) {
  const double len = std::hypot(b.x - a.x, b.y - a.y);
  if (len == 0) return std::hypot(p.x - a.x, p.y - a.y);
  return std::abs(cross(a, b, p)) / len;
}

inline double distanceToSegment(P p, P a, P b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  const double t = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

struct Brute {
  std::vector<P> v;  // vertices, counter-clockwise
  std::size_t n() const { return v.size(); }
  P a(std::size_t w) const { return v[w]; }
  P b(std::size_t w) const { return v[(w + 1) % n()]; }

  bool inside(P p) const {  // crossing number
    bool in = false;
    for (std::size_t i = 0, j = n() - 1; i < n(); j = i++)
      if ((v[i].y > p.y) != (v[j].y > p.y) &&
          p.x < (v[j].x - v[i].x) * (p.y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
        in = !in;
    return in;
  }
  double distanceToWalls(P p) const {
    double d = 1e300;
    for (std::size_t w = 0; w < n(); ++w) d = std::min(d, distanceToSegment(p, a(w), b(w)));
    return d;
  }
  // The open path s -> e touches or crosses no wall other than `skip`.
  bool clear(P s, P e, std::size_t skip) const {
    for (std::size_t w = 0; w < n(); ++w) {
      if (w == skip) continue;
      const P c = a(w), d = b(w);
      const double det = (e.x - s.x) * (c.y - d.y) - (c.x - d.x) * (e.y - s.y);
      if (det == 0) continue;
      const double u = ((c.x - s.x) * (c.y - d.y) - (c.x - d.x) * (c.y - s.y)) / det;
      const double t = ((e.x - s.x) * (c.y - s.y) - (c.x - s.x) * (e.y - s.y)) / det;
      if (t >= 0 && t <= 1 && u > 1e-9 && u < 1 - 1e-9) return false;
    }
    return true;
  }
  P image(std::size_t w, P s) const {
    const P c = a(w), d = b(w);
    const double dx = d.x - c.x, dy = d.y - c.y, l2 = dx * dx + dy * dy;
    const double t = ((s.x - c.x) * dx + (s.y - c.y) * dy) / l2;
    return {2 * (c.x + t * dx) - s.x, 2 * (c.y + t * dy) - s.y};
  }
  // Reflection point of the path image -> p on wall w, if the segment crosses the wall.
  std::optional<P> reflectionPoint(std::size_t w, P img, P p) const {
    const P c = a(w), d = b(w);
    const double det = (p.x - img.x) * (c.y - d.y) - (c.x - d.x) * (p.y - img.y);
    if (det == 0) return std::nullopt;
    const double u = ((c.x - img.x) * (c.y - d.y) - (c.x - d.x) * (c.y - img.y)) / det;
    const double t = ((p.x - img.x) * (c.y - img.y) - (c.x - img.x) * (p.y - img.y)) / det;
    if (t < 0 || t > 1 || u <= 0 || u >= 1) return std::nullopt;
    return P{c.x + t * (d.x - c.x), c.y + t * (d.y - c.y)};
  }
  bool reaches(std::size_t w, P s, P p) const {
    if (cross(a(w), b(w), s) <= 0) return false;  // the wall turns its back to the source
    const P img = image(w, s);
    const auto r = reflectionPoint(w, img, p);
    return r && clear(s, *r, w) && clear(*r, p, w);
  }
  // Lines on which the answer for wall w may change: image through any vertex, and image through
  // the points where the source's shadow edges meet the wall.
  bool nearZoneBoundary(std::size_t w, P s, P p) const {
    const P img = image(w, s);
    for (const P& q : v) {
      if (distanceToLine(p, img, q) < kBoundary) return true;
      const P c = a(w), d = b(w);
      const double det = (q.x - s.x) * (c.y - d.y) - (c.x - d.x) * (q.y - s.y);
      if (det == 0) continue;
      const double t = ((q.x - s.x) * (c.y - s.y) - (c.x - s.x) * (q.y - s.y)) / det;
      const P hit{c.x + t * (d.x - c.x), c.y + t * (d.y - c.y)};
      if (distanceToLine(p, img, hit) < kBoundary) return true;
    }
    return false;
  }
  // Seen pieces of wall w from s, as wall parameters: the wall is cut where the line from s through
  // any vertex meets it, and each piece is seen or hidden as its middle point is.
  std::vector<std::pair<double, double>> seenPieces(std::size_t w, P s) const {
    std::vector<std::pair<double, double>> pieces;
    if (cross(a(w), b(w), s) <= 0) return pieces;
    const P c = a(w), d = b(w);
    std::vector<double> cuts{0, 1};
    for (const P& q : v) {
      const double det = (q.x - s.x) * (c.y - d.y) - (c.x - d.x) * (q.y - s.y);
      if (det == 0) continue;
      const double t = ((q.x - s.x) * (c.y - s.y) - (c.x - s.x) * (q.y - s.y)) / det;
      if (t > 1e-12 && t < 1 - 1e-12) cuts.push_back(t);
    }
    std::sort(cuts.begin(), cuts.end());
    for (std::size_t k = 1; k < cuts.size(); ++k) {
      const double t0 = cuts[k - 1], t1 = cuts[k];
      if (t1 - t0 < 1e-12) continue;
      const double tm = (t0 + t1) / 2;
      if (!clear(s, {c.x + tm * (d.x - c.x), c.y + tm * (d.y - c.y)}, w)) continue;
      if (!pieces.empty() && pieces.back().second >= t0 - 1e-12)
        pieces.back().second = t1;
      else
        pieces.emplace_back(t0, t1);
    }
    return pieces;
  }
  bool nearShadowLine(P s, P p) const {
    for (const P& q : v)
      if (distanceToLine(p, s, q) < kBoundary) return true;
    return false;
  }
};

}  // namespace velmora::engine::brute
