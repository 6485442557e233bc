#include "platform/render/canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::platform {

namespace {

double colorDistance(const Rgb& a, const Rgb& b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

Rgb mix(const Rgb& a, const Rgb& b, const Rgb& c, double wa, double wb, double wc) {
  return {a.r * wa + b.r * wb + c.r * wc, a.g * wa + b.g * wb + c.g * wc, a.b * wa + b.b * wb + c.b * wc};
}

}  // namespace

void Canvas::shadedTriangles(std::span<const ShadedTriangle> triangles) {
  for (const ShadedTriangle& t : triangles) {
    const Point& a = t.v[0].p;
    const Point& b = t.v[1].p;
    const Point& c = t.v[2].p;
    const double spread =
        std::max({colorDistance(t.v[0].color, t.v[1].color), colorDistance(t.v[1].color, t.v[2].color),
                  colorDistance(t.v[0].color, t.v[2].color)});
    const double longest = std::max({std::hypot(b.x - a.x, b.y - a.y), std::hypot(c.x - b.x, c.y - b.y),
                                     std::hypot(c.x - a.x, c.y - a.y)});
    // Cells no smaller than about a pixel and a half: finer ones only grow the file.
    const int bySize = std::max(1, static_cast<int>(longest / 1.5));
    const int n =
        std::clamp(static_cast<int>(std::ceil(spread / kFlatCellColorStep)), 1, std::min(bySize, 48));
    auto at = [&](int i, int j) {
      const double u = static_cast<double>(i) / n;
      const double v = static_cast<double>(j) / n;
      return Point{a.x + u * (b.x - a.x) + v * (c.x - a.x), a.y + u * (b.y - a.y) + v * (c.y - a.y)};
    };
    auto colorAt = [&](double i, double j) {
      const double u = i / n;
      const double v = j / n;
      return mix(t.v[0].color, t.v[1].color, t.v[2].color, 1 - u - v, u, v);
    };
    for (int i = 0; i < n; ++i) {
      for (int j = 0; i + j < n; ++j) {
        // The cell's own colour, drawn also as a thin outline so that neighbouring cells leave no gap.
        const Rgb up = colorAt(i + 1.0 / 3, j + 1.0 / 3);
        const Point cell[3] = {at(i, j), at(i + 1, j), at(i, j + 1)};
        polygon(cell, up, Stroke{up, 0.5, LineStyle::Solid});
        if (i + j < n - 1) {
          const Rgb down = colorAt(i + 2.0 / 3, j + 2.0 / 3);
          const Point cell2[3] = {at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
          polygon(cell2, down, Stroke{down, 0.5, LineStyle::Solid});
        }
      }
    }
  }
}

void Canvas::image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) {
  if (columns <= 0 || rows <= 0 || rgb.size() < static_cast<std::size_t>(columns) * rows * 3) return;
  // Blocks of pixels averaged so that at most 128 x 128 rectangles are drawn.
  const int bx = (columns + 127) / 128;
  const int by = (rows + 127) / 128;
  const double cw = rect.width / columns;
  const double ch = rect.height / rows;
  for (int r0 = 0; r0 < rows; r0 += by) {
    for (int c0 = 0; c0 < columns; c0 += bx) {
      double sum[3] = {0, 0, 0};
      int count = 0;
      for (int r = r0; r < std::min(rows, r0 + by); ++r) {
        for (int c = c0; c < std::min(columns, c0 + bx); ++c) {
          const std::size_t k = (static_cast<std::size_t>(r) * columns + c) * 3;
          for (int q = 0; q < 3; ++q) sum[q] += rgb[k + q];
          ++count;
        }
      }
      const Rgb color{sum[0] / count / 255.0, sum[1] / count / 255.0, sum[2] / count / 255.0};
      const double x0 = rect.x + c0 * cw;
      const double y0 = rect.y + r0 * ch;
      const double x1 = rect.x + std::min(columns, c0 + bx) * cw;
      const double y1 = rect.y + std::min(rows, r0 + by) * ch;
      const Point cell[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
      polygon(cell, color, Stroke{color, 0.5, LineStyle::Solid});
    }
  }
}

}  // namespace velmora::platform
