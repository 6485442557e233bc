#include "engine/energy.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

namespace velmora::engine {

double pointsourceenergy(double distance, double power) {
  const double r = std::max(distance, 1.0);
  return kRhoCOver4 * power / (std::numbers::pi * r * r);
}

std::optional<double> energylevel(double p, double lw) {
  if (!(p > 0) || !std::isfinite(p)) return std::nullopt;
  return std::max(10 * std::log10(p / kReferencePressure2) - kReferenceLevel + lw, 0.0);
}

std::vector<unsigned char> computedirectsound(std::span<const int> iwv, const Walls& visible, double xso,
                                              double yso, std::span<const double> xs,
                                              std::span<const double> ys) {
  struct Triangle {
    EdgeTest e[3];
    Bounds bounds;
  };
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
  const std::size_t points = std::min(xs.size(), ys.size());
  std::vector<unsigned char> seen(points, 0);
  // Every point on its own: spread over the cores.
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, points, 2048), [&](const auto& r) {
    for (std::size_t k = r.begin(); k < r.end(); ++k) {
      const double x = xs[k], y = ys[k];
      for (const Triangle& t : triangles) {
        if (!t.bounds.contains(x, y)) continue;
        bool inside = true;
        for (const EdgeTest& e : t.e)
          if (sign(snappedSign(e.a * x + e.b * y + e.c) + e.s) != e.s) {
            inside = false;
            break;
          }
        if (inside) {
          seen[k] = 1;
          break;
        }
      }
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
  double so = 0;
  for (double v : levels) so += sign(v) * std::pow(10.0, std::abs(v) / 10);
  if (!(so > 0) || !std::isfinite(so)) return std::nullopt;
  return 10 * std::log10(so);
}

}  // namespace velmora::engine
