#include "platform/render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/canvas.h"
#include "platform/colormaps.h"
#include "platform/label_markup.h"
#include "platform/numbers.h"

namespace velmora::platform {

namespace {

// Sizes in points (line widths, marker and font sizes) drawn on a 96 dpi screen.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
// How far from a line or marker a press still counts as a hit, in pixels.
constexpr double kHitTolerance = 3.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- property reads that tolerate absent properties and values of another kind ----

std::optional<Value> prop(const GraphicsObject& o, std::string_view name) {
  if (!o.hasProperty(name)) return std::nullopt;
  return o.get(name);
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

Matrix matrixOf(const GraphicsObject& o, std::string_view name) {
  const auto v = prop(o, name);
  if (v && v->isMatrix()) return v->matrix();
  return {};
}

bool onOr(const GraphicsObject& o, std::string_view name, bool fallback) {
  const auto v = prop(o, name);
  if (v && v->isText()) return equalsIgnoreCase(v->text(), "on");
  return fallback;
}

// A colour property: a colour, or one of the words "none", "auto", "flat", "interp".
struct ColorSpec {
  std::optional<Rgb> rgb;
  std::string word;  // lower case, when not a colour
  bool none() const { return !rgb && (word == "none" || word.empty()); }
};

ColorSpec colorSpec(const GraphicsObject& o, std::string_view name, std::string_view fallback = "none") {
  const auto v = prop(o, name);
  if (!v) return {std::nullopt, std::string(fallback)};
  if (auto c = colorOf(*v)) return {c, ""};
  if (v->isText()) return {std::nullopt, lower(v->text())};
  return {std::nullopt, std::string(fallback)};
}

Rgb colorOr(const GraphicsObject& o, std::string_view name, Rgb fallback) {
  const ColorSpec c = colorSpec(o, name);
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

struct ColorScale {
  Matrix map;
  double cmin = 0, cmax = 1;

  std::size_t rows() const { return std::max<std::size_t>(map.rows, 1); }
  // Position in the table, 0 .. rows, before the row is chosen.
  double position(double c) const {
    const double span = cmax - cmin;
    const double t = span > 0 ? (c - cmin) / span : 0.0;
    return std::clamp(t * static_cast<double>(rows()), 0.0, static_cast<double>(rows()));
  }
  Rgb color(double c) const {
    const auto row = static_cast<std::size_t>(std::min(position(c), static_cast<double>(rows() - 1)));
    return colormapRow(map, row);
  }
};

Matrix figureColormap(const Graphics& g, Handle fig) {
  if (fig != kNoHandle) {
    const Matrix m = matrixOf(g.at(fig), "colormap");
    if (m.rows > 0 && m.cols >= 3) return m;
  }
  return jetColormap();
}

// Colour values of the scaled objects (patches, surfaces, scaled images) of an axes.
void collectColorRange(const Graphics& g, Handle axes, double& lo, double& hi) {
  for (Handle h : g.at(axes).children()) {
    const GraphicsObject& o = g.at(h);
    if (o.type() != ObjectType::Patch && o.type() != ObjectType::Surface) continue;
    Matrix c = matrixOf(o, "cdata");
    if (c.empty() && o.type() == ObjectType::Surface) c = matrixOf(o, "zdata");
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
      return meanFinite(numbersOf(o, "zdata"));
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

// ---- geometric clipping, so that far-away data never reaches a canvas as huge coordinates ----

struct Rect {
  double x0, y0, x1, y1;
  bool contains(Point p, double margin = 0) const {
    return p.x >= x0 - margin && p.x <= x1 + margin && p.y >= y0 - margin && p.y <= y1 + margin;
  }
};

Rect expanded(const PixelRect& r, double m) {
  return {r.x - m, r.y - m, r.x + r.width + m, r.y + r.height + m};
}

// Liang-Barsky: clips the segment a-b to the rectangle; false when nothing is left.
bool clipSegment(Point& a, Point& b, const Rect& r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - r.x0, r.x1 - a.x, a.y - r.y0, r.y1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const Point a0 = a;
  a = {a0.x + t0 * dx, a0.y + t0 * dy};
  b = {a0.x + t1 * dx, a0.y + t1 * dy};
  return true;
}

// A polygon vertex carrying a colour, clipped with its colour interpolated along the edges.
struct CVertex {
  Point p;
  Rgb c;
};

CVertex lerp(const CVertex& a, const CVertex& b, double t) {
  return {{a.p.x + t * (b.p.x - a.p.x), a.p.y + t * (b.p.y - a.p.y)},
          {a.c.r + t * (b.c.r - a.c.r), a.c.g + t * (b.c.g - a.c.g), a.c.b + t * (b.c.b - a.c.b)}};
}

// Sutherland-Hodgman against the four sides of the rectangle.
std::vector<CVertex> clipPolygon(std::vector<CVertex> poly, const Rect& r) {
  auto side = [&](int k, const Point& p) {
    switch (k) {
      case 0:
        return p.x - r.x0;
      case 1:
        return r.x1 - p.x;
      case 2:
        return p.y - r.y0;
      default:
        return r.y1 - p.y;
    }
  };
  for (int k = 0; k < 4 && !poly.empty(); ++k) {
    std::vector<CVertex> out;
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const CVertex& a = poly[i];
      const CVertex& b = poly[(i + 1) % poly.size()];
      const double da = side(k, a.p), db = side(k, b.p);
      if (da >= 0) out.push_back(a);
      if ((da >= 0) != (db >= 0)) out.push_back(lerp(a, b, da / (da - db)));
    }
    poly = std::move(out);
  }
  return poly;
}

std::vector<Point> clipPoints(const std::vector<Point>& pts, const Rect& r) {
  std::vector<CVertex> cv;
  cv.reserve(pts.size());
  for (const Point& p : pts) cv.push_back({p, {}});
  std::vector<Point> out;
  for (const CVertex& v : clipPolygon(std::move(cv), r)) out.push_back(v.p);
  return out;
}

// ---- drawing context of one axes ----

struct AxesContext {
  const Graphics& g;
  Handle axes;
  Canvas& canvas;
  AxesMapping map;
  ColorScale scale;
  Rect clipRect;  // the plot box widened a little, for geometric clipping
  Rgb axesColor;

  Point toPixel(double x, double y) const { return {map.toPixelX(x), map.toPixelY(y)}; }
};

void setClipFor(AxesContext& ctx, const GraphicsObject& o) {
  if (onOr(o, "clipping", true)) {
    ctx.canvas.setClip(ctx.map.box);
  } else {
    ctx.canvas.setClip(std::nullopt);
  }
}

void strokePolyline(AxesContext& ctx, const std::vector<Point>& pts, const Stroke& stroke, bool clip) {
  if (pts.size() < 2) return;
  if (!clip) {
    ctx.canvas.polyline(pts, stroke);
    return;
  }
  std::vector<Point> run;
  auto flush = [&] {
    if (run.size() >= 2) ctx.canvas.polyline(run, stroke);
    run.clear();
  };
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    Point a = pts[i], b = pts[i + 1];
    const bool aInside = ctx.clipRect.contains(a);
    if (!clipSegment(a, b, ctx.clipRect)) {
      flush();
      continue;
    }
    if (!aInside || run.empty()) {
      flush();
      run.push_back(a);
    }
    run.push_back(b);
    if (!ctx.clipRect.contains(pts[i + 1])) flush();
  }
  flush();
}

// ---- markers ----

std::vector<Point> regularPolygon(Point c, double radius, int n, double startDegrees) {
  std::vector<Point> pts;
  for (int i = 0; i < n; ++i) {
    const double a = (startDegrees + 360.0 * i / n) * std::numbers::pi / 180.0;
    pts.push_back({c.x + radius * std::cos(a), c.y - radius * std::sin(a)});
  }
  return pts;
}

std::vector<Point> star(Point c, double outer, int points) {
  const double inner = outer * (points == 5 ? 0.382 : 0.5);
  std::vector<Point> pts;
  for (int i = 0; i < 2 * points; ++i) {
    const double r = i % 2 == 0 ? outer : inner;
    const double a = (90.0 + 180.0 * i / points) * std::numbers::pi / 180.0;
    pts.push_back({c.x + r * std::cos(a), c.y - r * std::sin(a)});
  }
  return pts;
}

int circleSegments(double radius) {
  return std::clamp(static_cast<int>(radius * 2.5), 12, 64);
}

void drawMarker(Canvas& canvas, const std::string& marker, Point c, double size,
                const std::optional<Rgb>& face, const std::optional<Rgb>& edge, double edgeWidth) {
  const double r = size / 2;
  std::optional<Stroke> stroke;
  if (edge) stroke = Stroke{*edge, edgeWidth, LineStyle::Solid};
  auto shape = [&](const std::vector<Point>& pts) { canvas.polygon(pts, face, stroke); };
  auto lines = [&](std::initializer_list<std::pair<Point, Point>> segs) {
    if (!edge) return;
    for (const auto& s : segs) {
      const Point seg[2] = {s.first, s.second};
      canvas.polyline(seg, *stroke);
    }
  };
  if (marker == ".") {
    // A dot takes a third of the marker size and is filled with its own colour.
    const double dr = std::max(0.75, size / 6);
    const std::optional<Rgb> fill = face ? face : edge;
    if (fill) canvas.polygon(regularPolygon(c, dr, circleSegments(dr), 0), fill, std::nullopt);
  } else if (marker == "o") {
    shape(regularPolygon(c, r, circleSegments(r), 0));
  } else if (marker == "square" || marker == "s") {
    shape({{c.x - r, c.y - r}, {c.x + r, c.y - r}, {c.x + r, c.y + r}, {c.x - r, c.y + r}});
  } else if (marker == "diamond" || marker == "d") {
    shape(regularPolygon(c, r, 4, 90));
  } else if (marker == "^") {
    shape(regularPolygon(c, r, 3, 90));
  } else if (marker == "v") {
    shape(regularPolygon(c, r, 3, 270));
  } else if (marker == ">") {
    shape(regularPolygon(c, r, 3, 0));
  } else if (marker == "<") {
    shape(regularPolygon(c, r, 3, 180));
  } else if (marker == "pentagram" || marker == "p") {
    shape(star(c, r * 1.2, 5));
  } else if (marker == "hexagram" || marker == "h") {
    shape(star(c, r * 1.1, 6));
  } else if (marker == "+") {
    lines({{{c.x - r, c.y}, {c.x + r, c.y}}, {{c.x, c.y - r}, {c.x, c.y + r}}});
  } else if (marker == "x") {
    const double d = r * 0.7071;
    lines({{{c.x - d, c.y - d}, {c.x + d, c.y + d}}, {{c.x - d, c.y + d}, {c.x + d, c.y - d}}});
  } else if (marker == "*") {
    const double d = r * 0.7071;
    lines({{{c.x - r, c.y}, {c.x + r, c.y}},
           {{c.x, c.y - r}, {c.x, c.y + r}},
           {{c.x - d, c.y - d}, {c.x + d, c.y + d}},
           {{c.x - d, c.y + d}, {c.x + d, c.y - d}}});
  }
}

struct MarkerStyle {
  std::string marker;
  double size = 6;  // pixels
  std::optional<Rgb> face, edge;
  double edgeWidth = 1;
};

MarkerStyle markerStyle(const AxesContext& ctx, const GraphicsObject& o, const Rgb& lineColor) {
  MarkerStyle m;
  m.marker = textOr(o, "marker", "none");
  m.size = numberOr(o, "markersize", 6) * kPixelsPerPoint;
  const ColorSpec face = colorSpec(o, "markerfacecolor", "none");
  const ColorSpec edge = colorSpec(o, "markeredgecolor", "auto");
  m.face = face.rgb ? face.rgb : (face.word == "auto" ? std::optional<Rgb>(ctx.axesColor) : std::nullopt);
  m.edge = edge.rgb ? edge.rgb : (edge.word == "auto" ? std::optional<Rgb>(lineColor) : std::nullopt);
  m.edgeWidth = strokeWidth(o);
  return m;
}

// ---- lines ----

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

// ---- shaded faces ----

// Colour data of one vertex: a scaled value or a true colour.
struct VertexColor {
  double value = kNaN;
  std::optional<Rgb> rgb;
  bool valid() const { return rgb.has_value() || std::isfinite(value); }
};

// The part of a polygon on one side of a table position, which its vertices carry in the red channel
// (a value that interpolates linearly, as positions do).
std::vector<CVertex> cutAtPosition(const std::vector<CVertex>& poly, double threshold, bool keepAbove) {
  std::vector<CVertex> out;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const CVertex& a = poly[i];
    const CVertex& b = poly[(i + 1) % poly.size()];
    const double da = keepAbove ? a.c.r - threshold : threshold - a.c.r;
    const double db = keepAbove ? b.c.r - threshold : threshold - b.c.r;
    if (da >= 0) out.push_back(a);
    if ((da >= 0) != (db >= 0)) out.push_back(lerp(a, b, da / (da - db)));
  }
  return out;
}

// Draws a triangle whose colour value varies linearly as flat bands, one per colour-table row, as a
// per-pixel table lookup would show it: each band is the triangle cut between two row thresholds.
void addColorBands(const AxesContext& ctx, const Point p[3], const VertexColor c[3]) {
  const double rows = static_cast<double>(ctx.scale.rows());
  const double span = ctx.scale.cmax - ctx.scale.cmin;
  double t[3];
  for (int k = 0; k < 3; ++k) t[k] = span > 0 ? (c[k].value - ctx.scale.cmin) / span * rows : 0.0;
  auto rowOf = [&](double v) { return std::clamp(std::floor(v), 0.0, rows - 1); };
  const double first = rowOf(std::min({t[0], t[1], t[2]})), last = rowOf(std::max({t[0], t[1], t[2]}));
  // The value is carried in the colour's red channel while clipping: it interpolates linearly.
  const std::vector<CVertex> tri = {{p[0], {t[0], 0, 0}}, {p[1], {t[1], 0, 0}}, {p[2], {t[2], 0, 0}}};
  for (double row = first; row <= last; ++row) {
    std::vector<CVertex> band = tri;
    if (row > first) band = cutAtPosition(band, row, true);
    if (row < last) band = cutAtPosition(band, row + 1, false);
    band = clipPolygon(std::move(band), ctx.clipRect);
    if (band.size() < 3) continue;
    std::vector<Point> pts;
    for (const CVertex& v : band) pts.push_back(v.p);
    const Rgb color = colormapRow(ctx.scale.map, static_cast<std::size_t>(row));
    // A hairline of the band's own colour closes the gaps a viewer leaves between neighbouring fills.
    ctx.canvas.setColorBand(static_cast<std::size_t>(row));
    ctx.canvas.polygon(pts, color, Stroke{color, 1.0, LineStyle::Solid});
    ctx.canvas.setColorBand(std::nullopt);
  }
}

// Adds one triangle with vertex colour data, clipped to the plot box. Indexed colour data is looked
// up in the colour table as its value varies over the face (flat bands, one per table row, as a
// per-pixel lookup shows them); true colours blend.
void addShadedTriangle(const AxesContext& ctx, std::vector<ShadedTriangle>& out, const Point p[3],
                       const VertexColor c[3]) {
  for (int k = 0; k < 3; ++k) {
    if (!c[k].valid()) return;  // NaN colour data is not drawn
  }
  const bool trueColor = c[0].rgb && c[1].rgb && c[2].rgb;
  if (!trueColor) {
    addColorBands(ctx, p, c);
    return;
  }
  const std::vector<CVertex> poly = {{p[0], *c[0].rgb}, {p[1], *c[1].rgb}, {p[2], *c[2].rgb}};
  const Rect& r = ctx.clipRect;
  bool inside = true;
  for (const CVertex& v : poly) inside = inside && r.contains(v.p);
  const std::vector<CVertex> kept = inside ? poly : clipPolygon(poly, r);
  for (std::size_t k = 1; k + 1 < kept.size(); ++k) {  // a fan over the convex piece
    out.push_back({{{kept[0].p, kept[0].c}, {kept[k].p, kept[k].c}, {kept[k + 1].p, kept[k + 1].c}}});
  }
}

// The colour-table row of an indexed value, or nothing for NaN.
std::optional<std::size_t> tableRow(const ColorScale& scale, const VertexColor& v) {
  if (v.rgb || !std::isfinite(v.value)) return std::nullopt;
  return static_cast<std::size_t>(std::min(scale.position(v.value), static_cast<double>(scale.rows() - 1)));
}

// Colour data mapped directly ("direct": value k is table row k) or through the axes' limits.
ColorScale scaleFor(const AxesContext& ctx, const GraphicsObject& o) {
  ColorScale s = ctx.scale;
  if (equalsIgnoreCase(textOr(o, "cdatamapping", "scaled"), "direct")) {
    s.cmin = 1;
    s.cmax = 1 + static_cast<double>(s.rows());
  }
  return s;
}

void fillFlat(AxesContext& ctx, const std::vector<Point>& pts, const Rgb& color, bool clip) {
  const std::vector<Point> poly = clip ? clipPoints(pts, ctx.clipRect) : pts;
  if (poly.size() >= 3) ctx.canvas.polygon(poly, color, std::nullopt);
}

// Colour data at element k of a (rows x cols [x 3]) matrix.
VertexColor colorData(const Matrix& c, std::size_t k) {
  VertexColor v;
  const std::size_t plane = c.rows * c.cols;
  if (c.pages == 3 && c.data.size() >= 3 * plane && k < plane) {
    v.rgb = Rgb{c.data[k], c.data[k + plane], c.data[k + 2 * plane]};
    if (!std::isfinite(v.rgb->r) || !std::isfinite(v.rgb->g) || !std::isfinite(v.rgb->b)) v.rgb.reset();
  } else if (k < c.data.size()) {
    v.value = c.data[k];
  } else if (c.data.size() == 1) {
    v.value = c.data[0];
  }
  return v;
}

Rgb resolve(const AxesContext& ctx, const VertexColor& v) {
  return v.rgb ? *v.rgb : ctx.scale.color(v.value);
}

// Uses an object's own colour mapping while it is drawn.
class ScaleFor {
 public:
  ScaleFor(AxesContext& ctx, const GraphicsObject& o) : ctx_(ctx), saved_(ctx.scale) {
    ctx.scale = scaleFor(ctx, o);
  }
  ~ScaleFor() { ctx_.scale = std::move(saved_); }
  ScaleFor(const ScaleFor&) = delete;
  ScaleFor& operator=(const ScaleFor&) = delete;

 private:
  AxesContext& ctx_;
  ColorScale saved_;
};

// ---- surfaces ----

void drawSurface(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix z = matrixOf(o, "zdata");
  if (z.rows < 2 || z.cols < 2) return;
  const Matrix xd = matrixOf(o, "xdata");
  const Matrix yd = matrixOf(o, "ydata");
  Matrix cd = matrixOf(o, "cdata");
  if (cd.empty()) cd = z;
  const std::size_t rows = z.rows, cols = z.cols;
  // x and y given as vectors (one per column / row) or as matrices of the grid's size.
  auto xAt = [&](std::size_t r, std::size_t c) {
    if (xd.rows == rows && xd.cols == cols) return xd(r, c);
    return c < xd.numel() ? xd.data[c] : static_cast<double>(c + 1);
  };
  auto yAt = [&](std::size_t r, std::size_t c) {
    if (yd.rows == rows && yd.cols == cols) return yd(r, c);
    return r < yd.numel() ? yd.data[r] : static_cast<double>(r + 1);
  };
  const bool clip = onOr(o, "clipping", true);
  setClipFor(ctx, o);
  const ScaleFor mapping(ctx, o);
  const ColorSpec face = colorSpec(o, "facecolor", "flat");
  if (!face.none()) {
    std::vector<ShadedTriangle> tris;
    const bool indexedInterp = !face.rgb && face.word == "interp" && cd.pages != 3;
    for (std::size_t c = 0; c + 1 < cols; ++c) {
      // Cells whose four corners fall in one table row are joined down the column into one strip, so
      // wide areas of one colour cost one polygon instead of a pair of triangles per cell.
      std::size_t stripStart = 0;
      std::optional<std::size_t> stripRow;
      auto flushStrip = [&](std::size_t endRow) {
        if (!stripRow) return;
        std::vector<Point> pts;
        for (std::size_t r = stripStart; r <= endRow; ++r) pts.push_back(ctx.toPixel(xAt(r, c), yAt(r, c)));
        for (std::size_t r = endRow + 1; r-- > stripStart;)
          pts.push_back(ctx.toPixel(xAt(r, c + 1), yAt(r, c + 1)));
        const Rgb color = colormapRow(ctx.scale.map, *stripRow);
        const std::vector<Point> poly = clip ? clipPoints(pts, ctx.clipRect) : pts;
        if (poly.size() >= 3) {
          ctx.canvas.setColorBand(*stripRow);
          ctx.canvas.polygon(poly, color, Stroke{color, 1.0, LineStyle::Solid});
          ctx.canvas.setColorBand(std::nullopt);
        }
        stripRow.reset();
      };
      for (std::size_t r = 0; r + 1 < rows; ++r) {
        if (indexedInterp) {
          const std::size_t corners[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1,
                                          (c + 1) * rows + r};
          std::optional<std::size_t> row = tableRow(ctx.scale, colorData(cd, corners[0]));
          bool uniform = row.has_value();
          for (int k = 1; k < 4 && uniform; ++k)
            uniform = tableRow(ctx.scale, colorData(cd, corners[k])) == row;
          for (int k = 0; k < 4 && uniform; ++k) {
            const std::size_t rr = k == 1 || k == 2 ? r + 1 : r, cc = k >= 2 ? c + 1 : c;
            uniform =
                std::isfinite(xAt(rr, cc)) && std::isfinite(yAt(rr, cc)) && std::isfinite(z.data[corners[k]]);
          }
          if (uniform) {
            if (stripRow != row) {
              flushStrip(r);
              stripStart = r;
              stripRow = row;
            }
            continue;
          }
          flushStrip(r);
        }
        const std::size_t idx[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1,
                                    (c + 1) * rows + r};
        const std::size_t rr[4] = {r, r + 1, r + 1, r};
        const std::size_t cc[4] = {c, c, c + 1, c + 1};
        Point p[4];
        bool finite = true;
        for (int k = 0; k < 4; ++k) {
          const double x = xAt(rr[k], cc[k]), y = yAt(rr[k], cc[k]);
          finite = finite && std::isfinite(x) && std::isfinite(y) && std::isfinite(z.data[idx[k]]);
          p[k] = ctx.toPixel(x, y);
        }
        if (!finite) continue;
        if (face.rgb) {
          fillFlat(ctx, {p[0], p[1], p[2], p[3]}, *face.rgb, clip);
        } else if (face.word == "interp") {
          VertexColor vc[4];
          for (int k = 0; k < 4; ++k) vc[k] = colorData(cd, idx[k]);
          const Point t1[3] = {p[0], p[1], p[2]};
          const VertexColor c1[3] = {vc[0], vc[1], vc[2]};
          const Point t2[3] = {p[0], p[2], p[3]};
          const VertexColor c2[3] = {vc[0], vc[2], vc[3]};
          addShadedTriangle(ctx, tris, t1, c1);
          addShadedTriangle(ctx, tris, t2, c2);
        } else {  // "flat": the colour of the cell's first corner
          const VertexColor v = colorData(cd, idx[0]);
          if (v.valid()) fillFlat(ctx, {p[0], p[1], p[2], p[3]}, resolve(ctx, v), clip);
        }
      }
      flushStrip(rows - 1);
    }
    if (!tris.empty()) ctx.canvas.shadedTriangles(tris);
  }
  const ColorSpec edge = colorSpec(o, "edgecolor", "none");
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  if (edge.none() || noLine) return;
  const Rgb edgeColor = edge.rgb ? *edge.rgb : Rgb{0, 0, 0};
  const Stroke stroke{edgeColor, strokeWidth(o), style};
  for (std::size_t r = 0; r < rows; ++r) {
    std::vector<Point> pts;
    for (std::size_t c = 0; c < cols; ++c) pts.push_back(ctx.toPixel(xAt(r, c), yAt(r, c)));
    strokePolyline(ctx, pts, stroke, clip);
  }
  for (std::size_t c = 0; c < cols; ++c) {
    std::vector<Point> pts;
    for (std::size_t r = 0; r < rows; ++r) pts.push_back(ctx.toPixel(xAt(r, c), yAt(r, c)));
    strokePolyline(ctx, pts, stroke, clip);
  }
}

// ---- patches ----

void drawPatch(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix xd = matrixOf(o, "xdata");
  const Matrix yd = matrixOf(o, "ydata");
  if (xd.empty() || xd.numel() != yd.numel()) return;
  // A vector is one face; a matrix holds one face per column.
  const bool vector = xd.rows == 1 || xd.cols == 1;
  const std::size_t perFace = vector ? xd.numel() : xd.rows;
  const std::size_t faces = vector ? 1 : xd.cols;
  const Matrix cd = matrixOf(o, "cdata");
  const bool clip = onOr(o, "clipping", true);
  setClipFor(ctx, o);
  const ScaleFor mapping(ctx, o);
  const ColorSpec face = colorSpec(o, "facecolor", "flat");
  const ColorSpec edge = colorSpec(o, "edgecolor", "none");
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  // Colour data per vertex (as many values as vertices) or per face.
  const bool perVertex = cd.rows * cd.cols == xd.numel() && xd.numel() > 1;
  std::vector<ShadedTriangle> tris;
  for (std::size_t f = 0; f < faces; ++f) {
    std::vector<Point> pts;
    std::vector<VertexColor> colors;
    for (std::size_t k = 0; k < perFace; ++k) {
      const std::size_t i = f * perFace + k;
      if (!std::isfinite(xd.data[i]) || !std::isfinite(yd.data[i])) continue;
      pts.push_back(ctx.toPixel(xd.data[i], yd.data[i]));
      colors.push_back(colorData(cd, perVertex ? i : f));
    }
    if (pts.size() < 2) continue;
    if (pts.size() >= 3 && !face.none()) {
      if (face.rgb) {
        fillFlat(ctx, pts, *face.rgb, clip);
      } else if (face.word == "interp") {
        for (std::size_t k = 1; k + 1 < pts.size(); ++k) {  // a fan over the face
          const Point t[3] = {pts[0], pts[k], pts[k + 1]};
          const VertexColor c[3] = {colors[0], colors[k], colors[k + 1]};
          addShadedTriangle(ctx, tris, t, c);
        }
      } else if (colors[0].valid()) {  // "flat"
        fillFlat(ctx, pts, resolve(ctx, colors[0]), clip);
      }
    }
    if (!edge.none() && !noLine) {
      std::optional<Rgb> ec = edge.rgb;
      if (!ec && colors[0].valid()) ec = resolve(ctx, colors[0]);
      if (!ec) continue;
      std::vector<Point> ring = pts;
      ring.push_back(pts.front());
      if (!tris.empty()) {  // keep the faces below their outline
        ctx.canvas.shadedTriangles(tris);
        tris.clear();
      }
      strokePolyline(ctx, ring, Stroke{*ec, strokeWidth(o), style}, clip);
    }
  }
  if (!tris.empty()) ctx.canvas.shadedTriangles(tris);
}

// ---- images ----

void drawImage(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix cd = matrixOf(o, "cdata");
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

// ---- texts ----

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

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Cap, Middle, Baseline, Bottom };

struct LaidRun {
  std::string text;
  Font font;
  double x = 0, y = 0;  // baseline start relative to the anchor, unrotated, y down
};

// Lays out label lines with markup around an anchor; returns the runs and the block's extent.
std::vector<LaidRun> layoutText(Canvas* canvas, const std::vector<std::string>& lines, bool tex,
                                const Font& font, HAlign h, VAlign v, double* blockWidth = nullptr,
                                double* blockHeight = nullptr) {
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

// ---- axes decorations ----

std::vector<std::string> tickLabels(const GraphicsObject& axes, std::string_view name,
                                    const std::vector<double>& ticks) {
  std::vector<std::string> labels;
  auto v = prop(axes, name);
  if (textOr(axes, std::string(name) + "mode", "manual") == "auto") v.reset();
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

AxesContext makeContext(const Graphics& g, Handle axes, Canvas& canvas, const AxesMapping& map) {
  AxesContext ctx{g, axes, canvas, map, colorScale(g, axes), {}, {1, 1, 1}};
  // A margin wide enough for thick lines, so clipped geometry ends outside the visible box; a canvas
  // that cannot clip by itself gets its geometry cut at the box exactly.
  ctx.clipRect = expanded(map.box, canvas.clipsItself() ? 8 : 0);
  const ColorSpec c = colorSpec(g.at(axes), "color", "none");
  if (c.rgb) {
    ctx.axesColor = *c.rgb;
  } else if (const Handle fig = g.figureOf(axes); fig != kNoHandle) {
    ctx.axesColor = colorOr(g.at(fig), "color", {0.8, 0.8, 0.8});
  }
  return ctx;
}

void renderAxesWith(const Graphics& g, Handle axes, Canvas& canvas, const AxesMapping& map) {
  const GraphicsObject& a = g.at(axes);
  AxesContext ctx = makeContext(g, axes, canvas, map);
  const bool visible = isOn(a);
  if (visible) {
    const ColorSpec bg = colorSpec(a, "color", "none");
    if (bg.rgb) {
      canvas.setClip(std::nullopt);
      const PixelRect& b = map.box;
      const Point r[4] = {
          {b.x, b.y}, {b.x + b.width, b.y}, {b.x + b.width, b.y + b.height}, {b.x, b.y + b.height}};
      canvas.polygon(r, bg.rgb, std::nullopt);
    }
  }
  for (Handle h : drawOrder(g, axes)) {
    const GraphicsObject& o = g.at(h);
    switch (o.type()) {
      case ObjectType::Line:
        drawLine(ctx, o);
        break;
      case ObjectType::Surface:
        drawSurface(ctx, o);
        break;
      case ObjectType::Patch:
        drawPatch(ctx, o);
        break;
      case ObjectType::Image:
        drawImage(ctx, o);
        break;
      case ObjectType::Text:
        break;  // after the frame
      default:
        break;
    }
  }
  if (visible) drawAxesDecorations(ctx);
  for (Handle h : drawOrder(g, axes)) {
    const GraphicsObject& o = g.at(h);
    if (o.type() == ObjectType::Text) drawText(ctx, o);
  }
  canvas.setClip(std::nullopt);
}

// ---- hit testing ----

double distanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool insidePolygon(Point p, const std::vector<Point>& poly) {
  bool in = false;
  for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point& a = poly[i];
    const Point& b = poly[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

bool nearPolyline(Point p, const std::vector<Point>& pts, double tol) {
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    if (distanceToSegment(p, pts[i], pts[i + 1]) <= tol) return true;
  }
  return pts.size() == 1 && std::hypot(p.x - pts[0].x, p.y - pts[0].y) <= tol;
}

bool hitLine(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const auto xs = numbersOf(o, "xdata");
  const auto ys = numbersOf(o, "ydata");
  const std::size_t n = std::min(xs.size(), ys.size());
  bool noLine = false;
  lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  const std::string marker = textOr(o, "marker", "none");
  const double markerRadius = numberOr(o, "markersize", 6) * kPixelsPerPoint / 2;
  const double tol = kHitTolerance + strokeWidth(o) / 2;
  std::vector<Point> run;
  for (std::size_t i = 0; i <= n; ++i) {
    const bool finite = i < n && std::isfinite(xs[i]) && std::isfinite(ys[i]);
    if (finite) {
      const Point q{map.toPixelX(xs[i]), map.toPixelY(ys[i])};
      if (marker != "none" && std::hypot(p.x - q.x, p.y - q.y) <= markerRadius + kHitTolerance) return true;
      run.push_back(q);
      continue;
    }
    if (!noLine && run.size() >= 2 && nearPolyline(p, run, tol)) return true;
    run.clear();
  }
  return false;
}

bool hitSurface(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const Matrix z = matrixOf(o, "zdata");
  if (z.rows < 2 || z.cols < 2) return false;
  const Matrix xd = matrixOf(o, "xdata");
  const Matrix yd = matrixOf(o, "ydata");
  auto at = [&](std::size_t r, std::size_t c) {
    const double x =
        (xd.rows == z.rows && xd.cols == z.cols) ? xd(r, c) : (c < xd.numel() ? xd.data[c] : c + 1.0);
    const double y =
        (yd.rows == z.rows && yd.cols == z.cols) ? yd(r, c) : (r < yd.numel() ? yd.data[r] : r + 1.0);
    return Point{map.toPixelX(x), map.toPixelY(y)};
  };
  for (std::size_t c = 0; c + 1 < z.cols; ++c) {
    for (std::size_t r = 0; r + 1 < z.rows; ++r) {
      const std::vector<Point> cell{at(r, c), at(r + 1, c), at(r + 1, c + 1), at(r, c + 1)};
      bool finite = true;
      for (const Point& q : cell) finite = finite && std::isfinite(q.x) && std::isfinite(q.y);
      if (finite &&
          (insidePolygon(p, cell) || nearPolyline(p, {cell[0], cell[1], cell[2], cell[3], cell[0]}, 0.5)))
        return true;
    }
  }
  return false;
}

bool hitPatch(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const Matrix xd = matrixOf(o, "xdata");
  const Matrix yd = matrixOf(o, "ydata");
  if (xd.empty() || xd.numel() != yd.numel()) return false;
  const bool vector = xd.rows == 1 || xd.cols == 1;
  const std::size_t perFace = vector ? xd.numel() : xd.rows;
  const std::size_t faces = vector ? 1 : xd.cols;
  const bool filled = !colorSpec(o, "facecolor", "flat").none();
  for (std::size_t f = 0; f < faces; ++f) {
    std::vector<Point> pts;
    for (std::size_t k = 0; k < perFace; ++k) {
      const std::size_t i = f * perFace + k;
      if (std::isfinite(xd.data[i]) && std::isfinite(yd.data[i]))
        pts.push_back({map.toPixelX(xd.data[i]), map.toPixelY(yd.data[i])});
    }
    if (pts.empty()) continue;
    if (filled && pts.size() >= 3 && insidePolygon(p, pts)) return true;
    std::vector<Point> ring = pts;
    ring.push_back(pts.front());
    if (nearPolyline(p, ring, kHitTolerance)) return true;
  }
  return false;
}

bool hitImage(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const Matrix cd = matrixOf(o, "cdata");
  if (cd.rows == 0 || cd.cols == 0) return false;
  const auto xd = numbersOf(o, "xdata");
  const auto yd = numbersOf(o, "ydata");
  const double cols = static_cast<double>(cd.cols), rows = static_cast<double>(cd.rows);
  const double x1 = xd.empty() ? 1 : xd.front(), x2 = xd.size() >= 2 ? xd.back() : x1 + cols - 1;
  const double y1 = yd.empty() ? 1 : yd.front(), y2 = yd.size() >= 2 ? yd.back() : y1 + rows - 1;
  const double dx = cols > 1 ? (x2 - x1) / (cols - 1) : 1, dy = rows > 1 ? (y2 - y1) / (rows - 1) : 1;
  const double ax = map.toPixelX(x1 - dx / 2), bx = map.toPixelX(x2 + dx / 2);
  const double ay = map.toPixelY(y1 - dy / 2), by = map.toPixelY(y2 + dy / 2);
  return p.x >= std::min(ax, bx) && p.x <= std::max(ax, bx) && p.y >= std::min(ay, by) &&
         p.y <= std::max(ay, by);
}

bool hitText(const AxesMapping& map, const GraphicsObject& o, Point p) {
  const auto lines = textLines(o);
  if (lines.empty()) return false;
  // Without a canvas the extent is estimated from the font size.
  double w = 0, h = 0;
  const Font font = fontOf(o, 10);
  const auto runs = layoutText(nullptr, lines, textOr(o, "interpreter", "tex") == "tex", font, hAlignOf(o),
                               vAlignOf(o), &w, &h);
  if (runs.empty()) return false;
  double minX = runs.front().x, minY = runs.front().y - font.size;
  for (const auto& r : runs) {
    minX = std::min(minX, r.x);
    minY = std::min(minY, r.y - font.size);
  }
  const auto pos = numbersOf(o, "position");
  const double x = pos.size() >= 1 ? pos[0] : 0, y = pos.size() >= 2 ? pos[1] : 0;
  const std::string units = textOr(o, "units", "data");
  const PixelRect& b = map.box;
  Point anchor = units == "normalized" ? Point{b.x + x * b.width, b.y + (1 - y) * b.height}
                 : units == "pixels"   ? Point{b.x + x, b.y + b.height - y}
                                       : Point{map.toPixelX(x), map.toPixelY(y)};
  // Undo the rotation of the press around the anchor, then test the unrotated block.
  const double ang = numberOr(o, "rotation", 0) * std::numbers::pi / 180.0;
  const double dx = p.x - anchor.x, dy = p.y - anchor.y;
  const double lx = dx * std::cos(ang) - dy * std::sin(ang);
  const double ly = dx * std::sin(ang) + dy * std::cos(ang);
  return lx >= minX && lx <= minX + w && ly >= minY && ly <= minY + h;
}

bool hitObject(const AxesMapping& map, const GraphicsObject& o, Point p) {
  if (o.type() != ObjectType::Text && onOr(o, "clipping", true)) {
    const PixelRect& b = map.box;
    if (!Rect{b.x, b.y, b.x + b.width, b.y + b.height}.contains(p, 1.0)) return false;
  }
  switch (o.type()) {
    case ObjectType::Line:
      return hitLine(map, o, p);
    case ObjectType::Surface:
      return hitSurface(map, o, p);
    case ObjectType::Patch:
      return hitPatch(map, o, p);
    case ObjectType::Image:
      return hitImage(map, o, p);
    case ObjectType::Text:
      return hitText(map, o, p);
    default:
      return false;
  }
}

}  // namespace

namespace {

// The mapping of an axes whose position is the given rectangle.
AxesMapping mappingInRect(const GraphicsObject& a, const PixelRect& rect) {
  AxesMapping m;
  m.box = rect;
  std::tie(m.xmin, m.xmax) = limits(a, "xlim");
  std::tie(m.ymin, m.ymax) = limits(a, "ylim");
  m.xReverse = equalsIgnoreCase(textOr(a, "xdir", "normal"), "reverse");
  m.yReverse = equalsIgnoreCase(textOr(a, "ydir", "normal"), "reverse");
  if (equalAspectRequested(a) && m.box.width > 0 && m.box.height > 0) {
    const auto dar = numbersOf(a, "dataaspectratio");
    const double ax = dar[0] > 0 ? dar[0] : 1, ay = dar[1] > 0 ? dar[1] : 1;
    // Equal scale: the side with room to spare shrinks, and the box stays centred.
    const double spanX = (m.xmax - m.xmin) / ax, spanY = (m.ymax - m.ymin) / ay;
    const double scale = std::min(m.box.width / spanX, m.box.height / spanY);
    const double w = spanX * scale, h = spanY * scale;
    m.box.x += (m.box.width - w) / 2;
    m.box.y += (m.box.height - h) / 2;
    m.box.width = w;
    m.box.height = h;
  }
  return m;
}

}  // namespace

AxesMapping axesMapping(const Graphics& g, Handle axes, double width, double height) {
  const GraphicsObject& a = g.at(axes);
  return mappingInRect(a, positionRect(a, width, height));
}

void renderAxes(const Graphics& g, Handle axes, Canvas& canvas, const PixelRect& rect) {
  renderAxesWith(g, axes, canvas, mappingInRect(g.at(axes), rect));
}

void renderFigure(const Graphics& g, Handle figure, Canvas& canvas, const RenderOptions& options) {
  const GraphicsObject& fig = g.at(figure);
  const double w = canvas.width(), h = canvas.height();
  canvas.setClip(std::nullopt);
  const Point all[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  canvas.polygon(all, options.whiteBackground ? Rgb{1, 1, 1} : colorOr(fig, "color", {0.8, 0.8, 0.8}),
                 std::nullopt);
  const auto& kids = fig.children();
  // The first child is on top: draw from the last to the first.
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    const GraphicsObject& o = g.at(*it);
    if (o.type() != ObjectType::Axes) continue;
    renderAxesWith(g, *it, canvas, axesMapping(g, *it, w, h));
  }
}

Handle hitTest(const Graphics& g, Handle figure, double px, double py, double width, double height) {
  const Point p{px, py};
  for (Handle axes : g.at(figure).children()) {
    const GraphicsObject& a = g.at(axes);
    if (a.type() != ObjectType::Axes) continue;
    const AxesMapping map = axesMapping(g, axes, width, height);
    const auto order = drawOrder(g, axes);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {  // topmost first
      const GraphicsObject& o = g.at(*it);
      if (!onOr(o, "hittest", true)) continue;
      if (hitObject(map, o, p)) return *it;
    }
    const PixelRect& b = map.box;
    if (isOn(a) && onOr(a, "hittest", true) && Rect{b.x, b.y, b.x + b.width, b.y + b.height}.contains(p)) {
      return axes;
    }
  }
  return figure;
}

}  // namespace velmora::platform
