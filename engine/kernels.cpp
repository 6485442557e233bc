// The loops over grid points, kept apart so that they are built for several points at a time (see
// engine/CMakeLists.txt): each lane does the same IEEE operations as the one-point code.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "engine/kernels.h"
#include "engine/wide_loop.h"

namespace velmora::engine {

VELMORA_WIDE_LOOP
void addreflections(double* pt, double* rt, const double* energy, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    pt[k] += energy[k];
    rt[k] += 1;
  }
}

VELMORA_WIDE_LOOP
bool columnOnLine(const double* x, const double* y, std::size_t n, double dx, double dy) {
  if (n == 0) return false;
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;
  // For values that are not negative, a <= b is bits(a) <= bits(b) (a NaN has larger bits than
  // infinity), so each test is an integer difference whose sign bit is kept: no branch, no
  // comparison of doubles. A NaN scale (a NaN coordinate) fails on its own.
  const auto bits = [](double v) { return std::bit_cast<std::int64_t>(v); };
  const std::int64_t infinite = bits(std::numeric_limits<double>::infinity());
  const double x0 = x[0], y0 = y[0];
  const std::int32_t m = static_cast<std::int32_t>(n);
  std::int64_t off = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    const double di = i;
    const double scale = std::abs(x[i]) + std::abs(y[i]) + 1;
    const double ex = std::abs(x0 + di * dx - x[i]), ey = std::abs(y0 + di * dy - y[i]);
    const std::int64_t limit = bits(1e-12 * scale);
    off |= (limit - bits(ex)) | (limit - bits(ey)) | (infinite - bits(scale));
  }
  return off >= 0;
}

}  // namespace velmora::engine
