#include "platform/model/colormaps.h"

#include <algorithm>
#include <cmath>

namespace velmora::platform {

namespace {

// The jet ramps: each channel is a trapezoid over the table, so blue rises first, then green, then
// red, each falling off in turn; the ends are dark blue (0, 0, 0.5) and dark red (0.5, 0, 0).
double jetChannel(double t, double centre) {
  return std::clamp(1.5 - std::abs(4.0 * t - centre), 0.0, 1.0);
}

}  // namespace

Matrix jetColormap(int n) {
  n = std::max(n, 1);
  Matrix m = Matrix::zeros(static_cast<std::size_t>(n), 3);
  for (int i = 0; i < n; ++i) {
    const double t = n == 1 ? 0.5 : static_cast<double>(i) / (n - 1);
    const auto row = static_cast<std::size_t>(i);
    m(row, 0) = jetChannel(t, 3.0);
    m(row, 1) = jetChannel(t, 2.0);
    m(row, 2) = jetChannel(t, 1.0);
  }
  return m;
}

Matrix grayColormap(int n) {
  n = std::max(n, 1);
  Matrix m = Matrix::zeros(static_cast<std::size_t>(n), 3);
  for (int i = 0; i < n; ++i) {
    const double v = n == 1 ? 0.0 : static_cast<double>(i) / (n - 1);
    for (std::size_t c = 0; c < 3; ++c) m(static_cast<std::size_t>(i), c) = v;
  }
  return m;
}

Rgb colormapRow(const Matrix& map, std::size_t row) {
  if (map.rows == 0 || map.cols < 3) return {};
  row = std::min(row, map.rows - 1);
  return {map(row, 0), map(row, 1), map(row, 2)};
}

}  // namespace velmora::platform
