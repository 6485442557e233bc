#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>

namespace velmora::platform::render_detail {

void drawLine(AxesContext& ctx, const GraphicsObject& o) {
  // Read in place, and each property once: a window draws thousands of lines.
  const std::vector<double>& xs = matrixOf(o, "xdata").data;
  const std::vector<double>& ys = matrixOf(o, "ydata").data;
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n == 0) return;
  const Rgb color = colorOr(o, "color", {0, 0, 1});
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  const bool clip = onOr(o, "clipping", true);
  if (clip) {
    ctx.canvas.setClip(ctx.map.box);
  } else {
    ctx.canvas.setClip(std::nullopt);
  }
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
  const std::string marker = textOr(o, "marker", "none");
  if (marker == "none" || marker.empty()) return;
  const MarkerStyle m = markerStyle(ctx, o, color);
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
