#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>

namespace velmora::platform::render_detail {

void drawLine(AxesContext& ctx, const GraphicsObject& o) {
  const auto xs = numbersOf(o, "xdata");
  const auto ys = numbersOf(o, "ydata");
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n == 0) return;
  const Rgb color = colorOr(o, "color", {0, 0, 1});
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  const bool clip = onOr(o, "clipping", true);
  setClipFor(ctx, o);
  if (!noLine) {
    const Stroke stroke{color, strokeWidth(o), style};
    std::vector<Point> run;
    for (std::size_t i = 0; i <= n; ++i) {
      if (i < n && std::isfinite(xs[i]) && std::isfinite(ys[i])) {
        run.push_back(ctx.toPixel(xs[i], ys[i]));
        continue;
      }
      strokePolyline(ctx, run, stroke, clip);  // NaN breaks the line
      run.clear();
    }
  }
  const MarkerStyle m = markerStyle(ctx, o, color);
  if (m.marker == "none" || m.marker.empty()) return;
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
    const Point c = ctx.toPixel(xs[i], ys[i]);
    if (clip && !Rect{ctx.map.box.x, ctx.map.box.y, ctx.map.box.x + ctx.map.box.width,
                      ctx.map.box.y + ctx.map.box.height}
                     .contains(c, 0.5)) {
      continue;
    }
    drawMarker(ctx.canvas, m.marker, c, m.size, m.face, m.edge, m.edgeWidth);
  }
}

}  // namespace velmora::platform::render_detail
