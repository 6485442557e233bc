// The energies of a point source over many grid points, built for several points at a time (see
// engine/CMakeLists.txt): each lane does the same IEEE operations as the one-point code.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "engine/energy.h"
#include "engine/energy_kernels.h"
#include "engine/wide_loop.h"

namespace velmora::engine {

VELMORA_WIDE_LOOP
void pointsourceenergies(const double* xs, const double* ys, std::size_t n, double x0, double y0,
                         double factor, double* out) {
  // distance() without its branches: both corrections are formed and the right one kept. A point
  // that needs the library's own hypot is marked NaN and redone after, with any true NaN.
  const double mark = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t k = 0; k < n; ++k) {
    const double dx = xs[k] - x0, dy = ys[k] - y0;
    const double px = std::abs(dx), py = std::abs(dy);
    const double ax = px < py ? py : px, ay = px < py ? px : py;
    const double h = std::sqrt(ax * ax + ay * ay);
    const double d1 = h - ay, d2 = h - ax;
    const double c1 = ax * (2.0 * d1 - ax) + (d1 - 2.0 * (ax - ay)) * d1;
    const double c2 = 2.0 * d2 * (ax - 2.0 * ay) + ((4.0 * d2 - ay) * ay + d2 * d2);
    const double d = h - (h <= 2.0 * ay ? c1 : c2) / (2.0 * h);
    const double r = d < 1.0 ? 1.0 : d;
    const double e = factor * (kRhoCOver4 * kReferencePower / (std::numbers::pi * r * r));
    const double big = ax <= 0x1p511 ? e : mark, tiny = ay >= 0x1p-511 ? big : mark;
    out[k] = ay > ax * 0x1p-54 ? tiny : mark;
  }
  for (std::size_t k = 0; k < n; ++k)
    if (std::isnan(out[k])) out[k] = factor * pointsourceenergy(distance(xs[k] - x0, ys[k] - y0));
}

void pointsourceenergies(const double* xs, const double* ys, std::span<const std::size_t> hits, double x0,
                         double y0, double factor, double* out) {
  // Runs of neighbouring points go through the contiguous loop; the rest one by one.
  const std::size_t m = hits.size();
  for (std::size_t h = 0; h < m;) {
    std::size_t end = h + 1;
    while (end < m && hits[end] == hits[end - 1] + 1) ++end;
    const std::size_t k = hits[h] - 1;
    if (end - h >= 4) {
      pointsourceenergies(xs + k, ys + k, end - h, x0, y0, factor, out + h);
    } else {
      for (std::size_t q = h; q < end; ++q)
        out[q] = factor * pointsourceenergy(distance(xs[hits[q] - 1] - x0, ys[hits[q] - 1] - y0));
    }
    h = end;
  }
}

}  // namespace velmora::engine
