#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/model/numbers.h"

namespace velmora::platform::render_detail {

// ---- property reads that tolerate absent properties and values of another kind ----

// Read in place: a window paints thousands of objects, and a map's matrices hold thousands of numbers.
const Value* prop(const GraphicsObject& o, std::string_view name) {
  if (std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
    return o.find(name);
  return o.find(lower(std::string(name)));
}

std::string textOr(const GraphicsObject& o, std::string_view name, std::string_view fallback) {
  const auto v = prop(o, name);
  if (v && v->isText()) return lower(v->text());
  return std::string(fallback);
}

double numberOr(const GraphicsObject& o, std::string_view name, double fallback) {
  const auto v = prop(o, name);
  if (v && v->isMatrix() && !v->matrix().empty()) return v->matrix().data[0];
  return fallback;
}

std::vector<double> numbersOf(const GraphicsObject& o, std::string_view name) {
  const auto v = prop(o, name);
  if (v && v->isMatrix()) return v->matrix().data;
  return {};
}

const Matrix& matrixOf(const GraphicsObject& o, std::string_view name) {
  static const Matrix none;
  const auto v = prop(o, name);
  return v && v->isMatrix() ? v->matrix() : none;
}

bool onOr(const GraphicsObject& o, std::string_view name, bool fallback) {
  const auto v = prop(o, name);
  if (v && v->isText()) return equalsIgnoreCase(v->text(), "on");
  return fallback;
}

ColorChoice colorChoice(const GraphicsObject& o, std::string_view name, std::string_view fallback) {
  const auto v = prop(o, name);
  if (!v) return {std::nullopt, std::string(fallback)};
  if (auto c = colorOf(*v)) return {c, ""};
  if (v->isText()) return {std::nullopt, lower(v->text())};
  return {std::nullopt, std::string(fallback)};
}

Rgb colorOr(const GraphicsObject& o, std::string_view name, Rgb fallback) {
  const ColorChoice c = colorChoice(o, name);
  return c.rgb ? *c.rgb : fallback;
}

bool isOn(const GraphicsObject& o) {
  return onOr(o, "visible", true);
}

LineStyle lineStyleOf(const std::string& s, bool& none) {
  none = false;
  if (s == "--") return LineStyle::Dashed;
  if (s == ":") return LineStyle::Dotted;
  if (s == "-.") return LineStyle::DashDot;
  if (s == "none") none = true;
  return LineStyle::Solid;
}

double strokeWidth(const GraphicsObject& o) {
  return std::max(1.0, numberOr(o, "linewidth", 0.5) * kPixelsPerPoint);
}

// ---- figure and axes geometry ----

PixelRect positionRect(const GraphicsObject& axes, double width, double height) {
  auto pos = numbersOf(axes, "position");
  if (pos.size() < 4) pos = {0.13, 0.11, 0.775, 0.815};
  if (textOr(axes, "units", "normalized") == "pixels") {
    return {pos[0], height - pos[1] - pos[3], pos[2], pos[3]};
  }
  return {pos[0] * width, (1.0 - pos[1] - pos[3]) * height, pos[2] * width, pos[3] * height};
}

std::pair<double, double> limits(const GraphicsObject& axes, std::string_view name) {
  const auto v = numbersOf(axes, name);
  double lo = v.size() >= 2 ? v[0] : 0.0;
  double hi = v.size() >= 2 ? v[1] : 1.0;
  if (!std::isfinite(lo) || !std::isfinite(hi)) return {0, 1};
  if (hi < lo) std::swap(lo, hi);
  if (hi - lo < 1e-300) {
    lo -= 0.5;
    hi += 0.5;
  }
  return {lo, hi};
}

bool equalAspectRequested(const GraphicsObject& axes) {
  const auto mode = prop(axes, "dataaspectratiomode");
  if (mode && mode->isText()) return equalsIgnoreCase(mode->text(), "manual");
  return numbersOf(axes, "dataaspectratio").size() >= 2;
}

// ---- colour scaling through the figure's colour table ----

Matrix figureColormap(const Graphics& g, Handle fig) {
  if (fig != kNoHandle) {
    const Matrix& m = matrixOf(g.at(fig), "colormap");
    if (m.rows > 0 && m.cols >= 3) return m;
  }
  return jetColormap();
}

// Colour values of the scaled objects (patches, surfaces, scaled images) of an axes.
void collectColorRange(const Graphics& g, Handle axes, double& lo, double& hi) {
  for (Handle h : g.at(axes).children()) {
    const GraphicsObject& o = g.at(h);
    if (o.type() != ObjectType::Patch && o.type() != ObjectType::Surface) continue;
    const Matrix& given = matrixOf(o, "cdata");
    const Matrix& c = given.empty() && o.type() == ObjectType::Surface ? matrixOf(o, "zdata") : given;
    if (c.pages == 3) continue;
    for (double v : c.data) {
      if (!std::isfinite(v)) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
}

ColorScale colorScale(const Graphics& g, Handle axes) {
  ColorScale s;
  s.map = figureColormap(g, g.figureOf(axes));
  const GraphicsObject& a = g.at(axes);
  const auto clim = numbersOf(a, "clim");
  if (clim.size() >= 2) {
    s.cmin = clim[0];
    s.cmax = clim[1];
  }
  if (textOr(a, "climmode", "manual") == "auto") {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    collectColorRange(g, axes, lo, hi);
    if (lo <= hi) {
      s.cmin = lo;
      s.cmax = hi > lo ? hi : lo + 1;
    }
  }
  return s;
}

// ---- depth order ----

double meanFinite(const std::vector<double>& v) {
  double sum = 0;
  int n = 0;
  for (double x : v) {
    if (std::isfinite(x)) {
      sum += x;
      ++n;
    }
  }
  return n == 0 ? 0.0 : sum / n;
}

double depthOf(const GraphicsObject& o) {
  switch (o.type()) {
    case ObjectType::Line:
    case ObjectType::Surface:
    case ObjectType::Patch:
      return meanFinite(matrixOf(o, "zdata").data);  // in place: a map has thousands
    default:
      return 0.0;
  }
}

// The visible children of an axes in drawing order: deeper objects first, and among equal depths the
// last child first, so that the first child ends up on top. Texts are always drawn last.
std::vector<Handle> drawOrder(const Graphics& g, Handle axes) {
  struct Entry {
    Handle h;
    double depth;
    bool text;
    std::size_t index;
  };
  std::vector<Entry> entries;
  const auto& kids = g.at(axes).children();
  for (std::size_t i = 0; i < kids.size(); ++i) {
    const GraphicsObject& o = g.at(kids[i]);
    switch (o.type()) {
      case ObjectType::Line:
      case ObjectType::Surface:
      case ObjectType::Patch:
      case ObjectType::Text:
      case ObjectType::Image:
        break;
      default:
        continue;
    }
    if (!isOn(o)) continue;
    entries.push_back({kids[i], depthOf(o), o.type() == ObjectType::Text, i});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.text != b.text) return !a.text;
    if (a.depth != b.depth) return a.depth < b.depth;
    return a.index > b.index;
  });
  std::vector<Handle> out;
  out.reserve(entries.size());
  for (const Entry& e : entries) out.push_back(e.h);
  return out;
}

}  // namespace velmora::platform::render_detail
