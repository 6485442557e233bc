#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velmora::platform::render_detail {

void drawImage(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix& cd = matrixOf(o, "cdata");
  if (cd.rows == 0 || cd.cols == 0) return;
  const int rows = static_cast<int>(cd.rows), cols = static_cast<int>(cd.cols);
  const auto xd = numbersOf(o, "xdata");
  const auto yd = numbersOf(o, "ydata");
  const double x1 = xd.empty() ? 1 : xd.front(), x2 = xd.size() >= 2 ? xd.back() : x1 + cols - 1;
  const double y1 = yd.empty() ? 1 : yd.front(), y2 = yd.size() >= 2 ? yd.back() : y1 + rows - 1;
  const double dx = cols > 1 ? (x2 - x1) / (cols - 1) : 1, dy = rows > 1 ? (y2 - y1) / (rows - 1) : 1;
  // Pixel centres sit on xdata/ydata; row 1 at ydata(1).
  const Point a = ctx.toPixel(x1 - dx / 2, y1 - dy / 2);
  const Point b = ctx.toPixel(x2 + dx / 2, y2 + dy / 2);
  const bool flipX = b.x < a.x, flipY = b.y < a.y;
  const bool direct = textOr(o, "cdatamapping", "direct") != "scaled";
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(rows) * cols * 3);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const std::size_t k = static_cast<std::size_t>(c) * rows + r;
      Rgb px;
      if (cd.pages == 3) {
        px = {cd.at3(r, c, 0), cd.at3(r, c, 1), cd.at3(r, c, 2)};
      } else if (direct) {
        const double idx = std::isfinite(cd.data[k]) ? cd.data[k] : 1;
        const auto row = static_cast<std::size_t>(std::clamp(std::floor(idx), 1.0, 1e9)) - 1;
        px = colormapRow(ctx.scale.map, row);
      } else {
        px = ctx.scale.color(cd.data[k]);
      }
      const int outR = flipY ? rows - 1 - r : r;
      const int outC = flipX ? cols - 1 - c : c;
      const std::size_t o3 = (static_cast<std::size_t>(outR) * cols + outC) * 3;
      auto byte = [](double v) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      };
      rgb[o3] = byte(px.r);
      rgb[o3 + 1] = byte(px.g);
      rgb[o3 + 2] = byte(px.b);
    }
  }
  setClipFor(ctx, o);
  ctx.canvas.image({std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)}, cols,
                   rows, rgb);
}

}  // namespace velmora::platform::render_detail
