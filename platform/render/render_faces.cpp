#include "platform/render/render_internal.h"

#include <algorithm>
#include <cmath>

#include "platform/model/numbers.h"

namespace velmora::platform::render_detail {

// Faces coloured through the colour table or with true colours, shared by surfaces and patches.

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
  return scale.row(v.value);
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

}  // namespace velmora::platform::render_detail
