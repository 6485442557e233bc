#include "engine/energy.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

namespace velmora::engine {

std::optional<double> energylevel(double p, double lw) {
  if (!(p > 0) || !std::isfinite(p)) return std::nullopt;
  return std::max(10 * std::log10(p / kReferencePressure2) - kReferenceLevel + lw, 0.0);
}

namespace {

struct Triangle {
  EdgeTest e[3];
  Bounds bounds;
};

// The triangles (source, seen part of a wall) of the walls with a class other than 0 and 3.
std::vector<Triangle> directTriangles(std::span<const int> iwv, const Walls& visible, double xso,
                                      double yso) {
  std::vector<Triangle> triangles;
  const std::size_t n = std::min(iwv.size(), visible.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (iwv[i] == 0 || iwv[i] == 3) continue;
    const Wall& w = visible[i];
    const double tx[3] = {w.x1, w.x2, xso}, ty[3] = {w.y1, w.y2, yso};
    const double cx = (tx[0] + tx[1] + tx[2]) / 3, cy = (ty[0] + ty[1] + ty[2]) / 3;
    Triangle t{};
    for (int e = 0; e < 3; ++e) {
      const double x1 = tx[e], y1 = ty[e], x2 = tx[(e + 1) % 3], y2 = ty[(e + 1) % 3];
      const double a = y1 - y2, b = x2 - x1, c = -a * x1 - b * y1;
      t.e[e] = {a, b, c, sign(a * cx + b * cy + c)};
    }
    t.bounds = snappedBounds(t.e);
    triangles.push_back(t);
  }
  return triangles;
}

bool seenAt(const std::vector<Triangle>& triangles, double x, double y) {
  for (const Triangle& t : triangles) {
    if (!t.bounds.contains(x, y)) continue;
    bool inside = true;
    for (const EdgeTest& e : t.e)
      if (sign(snappedSign(e.a * x + e.b * y + e.c) + e.s) != e.s) {
        inside = false;
        break;
      }
    if (inside) return true;
  }
  return false;
}

}  // namespace

std::vector<unsigned char> computedirectsound(std::span<const int> iwv, const Walls& visible, double xso,
                                              double yso, std::span<const double> xs,
                                              std::span<const double> ys) {
  const std::vector<Triangle> triangles = directTriangles(iwv, visible, xso, yso);
  const std::size_t points = std::min(xs.size(), ys.size());
  std::vector<unsigned char> seen(points, 0);
  // Every point on its own: spread over the cores.
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, points, 2048), [&](const auto& r) {
    for (std::size_t k = r.begin(); k < r.end(); ++k) seen[k] = seenAt(triangles, xs[k], ys[k]) ? 1 : 0;
  });
  return seen;
}

std::vector<unsigned char> computedirectsound(std::span<const int> iwv, const Walls& visible, double xso,
                                              double yso, const GridColumns& grid) {
  const std::vector<Triangle> triangles = directTriangles(iwv, visible, xso, yso);
  const std::size_t rows = grid.rows();
  std::vector<unsigned char> seen(rows * grid.cols(), 0);
  // Per column: 0 not seen, 1 seen, 2 asked point by point. A triangle with an edge of no side
  // passes a band round that edge's line: its points are all asked.
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, grid.cols(), 8), [&](const auto& r) {
    std::vector<unsigned char> state(rows);
    for (std::size_t j = r.begin(); j < r.end(); ++j) {
      const GridColumns::Column& column = grid.column(j);
      std::fill(state.begin(), state.end(), 0);
      for (const Triangle& t : triangles) {
        const Bounds& b = t.bounds;
        HalfPlaneSpans in = halfPlaneSpans(column, rows, 1, 0, 0, b.xmin);
        const auto add = [&](const HalfPlaneSpans& h) {
          in.sure &= h.sure;
          in.maybe &= h.maybe;
        };
        add(halfPlaneSpans(column, rows, -1, 0, 0, -b.xmax));
        add(halfPlaneSpans(column, rows, 0, 1, 0, b.ymin));
        add(halfPlaneSpans(column, rows, 0, -1, 0, -b.ymax));
        for (const EdgeTest& e : t.e) {
          if (in.maybe.empty()) break;
          if (e.s == 0) {
            in.sure = Span{};
            continue;
          }
          const double s = e.s;
          add(halfPlaneSpans(column, rows, s * e.a, s * e.b, s * e.c, -0.5 * kSnapTolerance));
        }
        for (std::ptrdiff_t i = in.maybe.lo; i <= in.maybe.hi; ++i) {
          unsigned char& st = state[static_cast<std::size_t>(i)];
          st = in.sure.holds(i) ? 1 : st == 0 ? 2 : st;
        }
      }
      const std::size_t base = j * rows;
      for (std::size_t i = 0; i < rows; ++i)
        seen[base + i] =
            state[i] == 2 ? (seenAt(triangles, grid.xs()[base + i], grid.ys()[base + i]) ? 1 : 0) : state[i];
    }
  });
  return seen;
}

double clp(double lw, double d) {
  d = std::max(d, 1.0);
  const double p2 = std::pow(10.0, lw / 10 - 10) / std::numbers::pi / (d * d);
  const double lp = 10 * std::log10(p2 / kReferencePressure2);
  return std::isnan(lp) ? 0.0 : std::max(lp, 0.0);
}

std::optional<double> sumdb(std::span<const double> levels) {
  // Energies relative to the loudest level: levels beyond ~3080 dB have energies no double holds.
  double loudest = 0;
  for (double v : levels)
    if (v != 0) loudest = std::max(loudest, std::abs(v));
  double so = 0;
  for (double v : levels) so += sign(v) * std::pow(10.0, (std::abs(v) - loudest) / 10);
  if (!(so > 0) || !std::isfinite(so)) return std::nullopt;
  return loudest + 10 * std::log10(so);
}

}  // namespace velmora::engine
