#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>

#include "platform/model/numbers.h"

namespace velmora::platform::render_detail {

// The frame of an axes: grid lines, box, ticks and tick labels.

std::vector<std::string> tickLabels(const GraphicsObject& axes, std::string_view name,
                                    const std::vector<double>& ticks) {
  std::vector<std::string> labels;
  auto v = prop(axes, name);
  if (textOr(axes, std::string(name) + "mode", "manual") == "auto") v = nullptr;
  if (v && v->isText() && !v->text().empty()) {
    std::size_t start = 0;
    const std::string& s = v->text();
    while (true) {
      const std::size_t bar = s.find('|', start);
      labels.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  } else if (v && v->isList() && !v->list().items.empty()) {
    for (const Value& item : v->list().items) labels.push_back(item.isText() ? item.text() : "");
  } else if (v && v->isMatrix() && !v->matrix().empty()) {
    for (double d : v->matrix().data) labels.push_back(formatNumber(d));
  } else {
    for (double t : ticks) labels.push_back(formatNumber(std::abs(t) < 1e-12 ? 0.0 : t));
  }
  return labels;
}

// About five round steps (1, 2 or 5 times a power of ten) across the limits.
std::vector<double> niceTicks(double lo, double hi) {
  const double raw = (hi - lo) / 5;
  if (!(raw > 0) || !std::isfinite(raw)) return {};
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  const double f = raw / mag;
  const double step = (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * mag;
  std::vector<double> out;
  for (double t = std::ceil(lo / step - 1e-9) * step; t <= hi + step * 1e-9 && out.size() < 100; t += step) {
    out.push_back(std::abs(t) < step * 1e-9 ? 0.0 : t);
  }
  return out;
}

// Ticks inside the limits (with a little tolerance for rounding).
std::vector<double> ticksWithin(const GraphicsObject& axes, std::string_view name, double lo, double hi) {
  std::vector<double> out;
  const double eps = (hi - lo) * 1e-9;
  std::vector<double> ticks = numbersOf(axes, name);
  if (textOr(axes, std::string(name) + "mode", "manual") == "auto") ticks = niceTicks(lo, hi);
  for (double t : ticks) {
    if (std::isfinite(t) && t >= lo - eps && t <= hi + eps) out.push_back(t);
  }
  return out;
}

double snapHalf(double v) {
  return std::floor(v) + 0.5;
}

void drawAxesDecorations(AxesContext& ctx) {
  const GraphicsObject& a = ctx.g.at(ctx.axes);
  Canvas& canvas = ctx.canvas;
  canvas.setClip(std::nullopt);
  const PixelRect& b = ctx.map.box;
  // Frame lines on pixel centres stay crisp at any device pixel ratio.
  const double left = snapHalf(b.x), right = snapHalf(b.x + b.width);
  const double top = snapHalf(b.y), bottom = snapHalf(b.y + b.height);
  const Rgb xc = colorOr(a, "xcolor", {0, 0, 0});
  const Rgb yc = colorOr(a, "ycolor", {0, 0, 0});
  const double lw = strokeWidth(a);
  const bool box = onOr(a, "box", false);
  const bool yRight = textOr(a, "yaxislocation", "left") == "right";
  const bool xTop = textOr(a, "xaxislocation", "bottom") == "top";
  const Font font = fontOf(a, 10);

  const auto tl = numbersOf(a, "ticklength");
  const double tickLen = (tl.empty() ? 0.01 : tl[0]) * std::max(b.width, b.height);
  const auto xt = ticksWithin(a, "xtick", ctx.map.xmin, ctx.map.xmax);
  const auto yt = ticksWithin(a, "ytick", ctx.map.ymin, ctx.map.ymax);

  // Grid lines first, below the frame.
  const Stroke grid{{0.15, 0.15, 0.15}, 1.0, LineStyle::Dotted};
  if (onOr(a, "xgrid", false)) {
    for (double t : xt) {
      const double x = ctx.map.toPixelX(t);
      const Point seg[2] = {{x, top}, {x, bottom}};
      canvas.polyline(seg, grid);
    }
  }
  if (onOr(a, "ygrid", false)) {
    for (double t : yt) {
      const double y = ctx.map.toPixelY(t);
      const Point seg[2] = {{left, y}, {right, y}};
      canvas.polyline(seg, grid);
    }
  }

  const double xAxisY = xTop ? top : bottom, xOtherY = xTop ? bottom : top;
  const double yAxisX = yRight ? right : left, yOtherX = yRight ? left : right;
  auto line = [&](Point p, Point q, const Rgb& c) {
    const Point seg[2] = {p, q};
    canvas.polyline(seg, Stroke{c, lw, LineStyle::Solid});
  };
  line({left, xAxisY}, {right, xAxisY}, xc);
  line({yAxisX, top}, {yAxisX, bottom}, yc);
  if (box) {
    line({left, xOtherY}, {right, xOtherY}, xc);
    line({yOtherX, top}, {yOtherX, bottom}, yc);
  }
  if (tickLen > 0) {
    for (double t : xt) {
      const double x = ctx.map.toPixelX(t);
      line({x, xAxisY}, {x, xAxisY + (xTop ? tickLen : -tickLen)}, xc);
      if (box) line({x, xOtherY}, {x, xOtherY + (xTop ? -tickLen : tickLen)}, xc);
    }
    for (double t : yt) {
      const double y = ctx.map.toPixelY(t);
      line({yAxisX, y}, {yAxisX + (yRight ? -tickLen : tickLen), y}, yc);
      if (box) line({yOtherX, y}, {yOtherX + (yRight ? tickLen : -tickLen), y}, yc);
    }
  }
  const double gap = 3;
  const auto xl = tickLabels(a, "xticklabel", xt);
  for (std::size_t i = 0; i < xt.size() && i < xl.size(); ++i) {
    const Point anchor{ctx.map.toPixelX(xt[i]), xTop ? xAxisY - gap : xAxisY + gap};
    drawRuns(canvas,
             layoutText(&canvas, {xl[i]}, false, font, HAlign::Center, xTop ? VAlign::Bottom : VAlign::Top),
             anchor, 0, xc);
  }
  const auto yl = tickLabels(a, "yticklabel", yt);
  for (std::size_t i = 0; i < yt.size() && i < yl.size(); ++i) {
    const Point anchor{yRight ? yAxisX + gap + 2 : yAxisX - gap - 2, ctx.map.toPixelY(yt[i])};
    drawRuns(canvas,
             layoutText(&canvas, {yl[i]}, false, font, yRight ? HAlign::Left : HAlign::Right, VAlign::Middle),
             anchor, 0, yc);
  }
}

}  // namespace velmora::platform::render_detail
