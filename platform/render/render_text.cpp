#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/model/label_markup.h"
#include "platform/model/numbers.h"

namespace velmora::platform::render_detail {

// Texts with label markup, laid out around their anchor.

Font fontOf(const GraphicsObject& o, double defaultPoints) {
  Font f;
  f.name = textOr(o, "fontname", "default");
  if (const auto v = prop(o, "fontname"); v && v->isText()) f.name = v->text();  // keep the family's case
  f.size = numberOr(o, "fontsize", defaultPoints) * kPixelsPerPoint;
  const std::string w = textOr(o, "fontweight", "normal");
  f.weight = w == "bold"    ? FontWeight::Bold
             : w == "demi"  ? FontWeight::Demi
             : w == "light" ? FontWeight::Light
                            : FontWeight::Normal;
  const std::string a = textOr(o, "fontangle", "normal");
  f.italic = a == "italic" || a == "oblique";
  return f;
}

std::vector<std::string> textLines(const GraphicsObject& o) {
  std::vector<std::string> lines;
  const auto v = prop(o, "string");
  if (!v) return lines;
  auto split = [&](const std::string& s) {
    std::size_t start = 0;
    while (true) {
      const std::size_t nl = s.find('\n', start);
      lines.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
  };
  if (v->isText()) {
    split(v->text());
  } else if (v->isList()) {
    for (const Value& item : v->list().items) {
      if (item.isText()) split(item.text());
    }
  } else if (v->isMatrix()) {
    for (double d : v->matrix().data) lines.push_back(formatNumber(d));
  }
  return lines;
}

// Lays out label lines with markup around an anchor; returns the runs and the block's extent.
std::vector<LaidRun> layoutText(Canvas* canvas, const std::vector<std::string>& lines, bool tex,
                                const Font& font, HAlign h, VAlign v, double* blockWidth,
                                double* blockHeight) {
  struct LineLayout {
    std::vector<LaidRun> runs;
    double width = 0, ascent = 0, descent = 0;
  };
  Font small = font;
  small.size = font.size * 0.7;
  std::vector<LineLayout> laid;
  for (const std::string& line : lines) {
    LineLayout L;
    const TextMetrics base =
        canvas ? canvas->measureText("Xg", font) : TextMetrics{0, font.size * 0.8, font.size * 0.2};
    L.ascent = base.ascent;
    L.descent = base.descent;
    for (const MarkupRun& run : tex ? parseLabelMarkup(line) : plainLabel(line)) {
      const bool shifted = run.shift != MarkupRun::Shift::None;
      const Font& f = shifted ? small : font;
      const TextMetrics m = canvas ? canvas->measureText(run.text, f)
                                   : TextMetrics{0.55 * f.size * run.text.size(), f.size * 0.8, f.size * 0.2};
      double rise = 0;
      if (run.shift == MarkupRun::Shift::Superscript) rise = -font.size * 0.4;
      if (run.shift == MarkupRun::Shift::Subscript) rise = font.size * 0.22;
      L.runs.push_back({run.text, f, L.width, rise});
      L.width += m.width;
      L.ascent = std::max(L.ascent, m.ascent - rise);
      L.descent = std::max(L.descent, m.descent + rise);
    }
    laid.push_back(std::move(L));
  }
  double total = 0, widest = 0;
  for (const auto& L : laid) {
    total += L.ascent + L.descent;
    widest = std::max(widest, L.width);
  }
  if (blockWidth) *blockWidth = widest;
  if (blockHeight) *blockHeight = total;
  double top = 0;  // y of the block's top relative to the anchor
  switch (v) {
    case VAlign::Top:
      top = 0;
      break;
    case VAlign::Cap:
      top = laid.empty() ? 0 : -(laid.front().ascent - font.size * 0.72);
      break;
    case VAlign::Middle:
      top = -total / 2;
      break;
    case VAlign::Baseline:
      top = laid.empty() ? 0 : -laid.front().ascent;
      break;
    case VAlign::Bottom:
      top = -total;
      break;
  }
  std::vector<LaidRun> out;
  double y = top;
  for (auto& L : laid) {
    const double shiftX = h == HAlign::Left ? 0 : h == HAlign::Center ? -L.width / 2 : -L.width;
    const double baseline = y + L.ascent;
    for (auto& r : L.runs) {
      r.x += shiftX;
      r.y += baseline;
      out.push_back(std::move(r));
    }
    y += L.ascent + L.descent;
  }
  return out;
}

Point textAnchor(const AxesContext& ctx, const GraphicsObject& o) {
  const auto pos = numbersOf(o, "position");
  const double x = pos.size() >= 1 ? pos[0] : 0, y = pos.size() >= 2 ? pos[1] : 0;
  const std::string units = textOr(o, "units", "data");
  const PixelRect& b = ctx.map.box;
  if (units == "normalized") return {b.x + x * b.width, b.y + (1 - y) * b.height};
  if (units == "pixels") return {b.x + x, b.y + b.height - y};
  return ctx.toPixel(x, y);
}

HAlign hAlignOf(const GraphicsObject& o) {
  const std::string s = textOr(o, "horizontalalignment", "left");
  return s == "center" ? HAlign::Center : s == "right" ? HAlign::Right : HAlign::Left;
}

VAlign vAlignOf(const GraphicsObject& o) {
  const std::string s = textOr(o, "verticalalignment", "middle");
  if (s == "top") return VAlign::Top;
  if (s == "cap") return VAlign::Cap;
  if (s == "baseline") return VAlign::Baseline;
  if (s == "bottom") return VAlign::Bottom;
  return VAlign::Middle;
}

void drawRuns(Canvas& canvas, const std::vector<LaidRun>& runs, Point anchor, double angleDegrees,
              const Rgb& color) {
  const double a = angleDegrees * std::numbers::pi / 180.0;
  const double ca = std::cos(a), sa = std::sin(a);
  for (const LaidRun& r : runs) {
    if (r.text.empty()) continue;
    const Point p{anchor.x + r.x * ca + r.y * sa, anchor.y - r.x * sa + r.y * ca};
    canvas.text(p, r.text, r.font, color, angleDegrees);
  }
}

void drawText(AxesContext& ctx, const GraphicsObject& o) {
  const auto lines = textLines(o);
  if (lines.empty()) return;
  const Font font = fontOf(o, 10);
  const bool tex = textOr(o, "interpreter", "tex") == "tex";
  const auto runs = layoutText(&ctx.canvas, lines, tex, font, hAlignOf(o), vAlignOf(o));
  ctx.canvas.setClip(std::nullopt);  // labels around the box, such as a status line, stay whole
  drawRuns(ctx.canvas, runs, textAnchor(ctx, o), numberOr(o, "rotation", 0), colorOr(o, "color", {0, 0, 0}));
}

}  // namespace velmora::platform::render_detail
