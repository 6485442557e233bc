#pragma once
// Shared pieces of the renderer (render*.cpp): property reads, colour scaling, clipping and the drawing
// of each kind of object on a canvas. Not for use outside the renderer.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/render/canvas.h"
#include "platform/model/colormaps.h"
#include "platform/model/graphics.h"
#include "platform/render/render.h"

namespace velmora::platform::render_detail {

// Sizes in points (line widths, marker and font sizes) drawn on a 96 dpi screen.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
// How far from a line or marker a press still counts as a hit, in pixels.
constexpr double kHitTolerance = 3.0;
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- property reads that tolerate absent properties and values of another kind (render_properties) ----

const Value* prop(const GraphicsObject& o, std::string_view name);  // null: no such property
std::string textOr(const GraphicsObject& o, std::string_view name, std::string_view fallback);
double numberOr(const GraphicsObject& o, std::string_view name, double fallback);
std::vector<double> numbersOf(const GraphicsObject& o, std::string_view name);
const Matrix& matrixOf(const GraphicsObject& o, std::string_view name);  // empty when not a matrix
bool onOr(const GraphicsObject& o, std::string_view name, bool fallback);

// A colour property: a colour, or one of the words "none", "auto", "flat", "interp".
struct ColorChoice {
  std::optional<Rgb> rgb;
  std::string word;  // lower case, when not a colour
  bool none() const { return !rgb && (word == "none" || word.empty()); }
};

ColorChoice colorChoice(const GraphicsObject& o, std::string_view name, std::string_view fallback = "none");
Rgb colorOr(const GraphicsObject& o, std::string_view name, Rgb fallback);
bool isOn(const GraphicsObject& o);
LineStyle lineStyleOf(const std::string& s, bool& none);
double strokeWidth(const GraphicsObject& o);

PixelRect positionRect(const GraphicsObject& axes, double width, double height);
std::pair<double, double> limits(const GraphicsObject& axes, std::string_view name);
bool equalAspectRequested(const GraphicsObject& axes);

// Colour values mapped through the figure's colour table.
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
  // The row a value falls in. A whole position (a count mapped directly) starts its row, and keeps it
  // through the rounding of the division: (5 - 1) / 107 * 107 is 3.9999999999999996.
  std::size_t row(double c) const {
    return static_cast<std::size_t>(std::min(position(c) + kWhole, static_cast<double>(rows() - 1)));
  }
  Rgb color(double c) const { return colormapRow(map, row(c)); }
  // How far below a whole position rounding may leave it.
  static constexpr double kWhole = 1e-7;
};

ColorScale colorScale(const Graphics& g, Handle axes);

// The visible children of an axes in drawing order: deeper objects first, and among equal depths the
// last child first, so that the first child ends up on top. Texts are always drawn last.
std::vector<Handle> drawOrder(const Graphics& g, Handle axes);

// ---- geometric cutting (render_clipping) ----

struct Rect {
  double x0, y0, x1, y1;
  bool contains(Point p, double margin = 0) const {
    return p.x >= x0 - margin && p.x <= x1 + margin && p.y >= y0 - margin && p.y <= y1 + margin;
  }
};

Rect expanded(const PixelRect& r, double m);
// Liang-Barsky: clips the segment a-b to the rectangle; false when nothing is left.
bool clipSegment(Point& a, Point& b, const Rect& r);

// A polygon vertex carrying a colour, clipped with its colour interpolated along the edges.
struct CVertex {
  Point p;
  Rgb c;
};

CVertex lerp(const CVertex& a, const CVertex& b, double t);
// Sutherland-Hodgman against the four sides of the rectangle.
std::vector<CVertex> clipPolygon(std::vector<CVertex> poly, const Rect& r);
std::vector<Point> clipPoints(const std::vector<Point>& pts, const Rect& r);

// ---- drawing one axes ----

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

AxesContext makeContext(const Graphics& g, Handle axes, Canvas& canvas, const AxesMapping& map);
// The canvas clip for an object: the plot box when its `clipping` is on.
void setClipFor(AxesContext& ctx, const GraphicsObject& o);
// A polyline, cut to the context's cut rectangle when `clip` holds.
void strokePolyline(AxesContext& ctx, const std::vector<Point>& pts, const Stroke& stroke, bool clip);

// ---- markers (render_markers) ----

void drawMarker(Canvas& canvas, const std::string& marker, Point c, double size,
                const std::optional<Rgb>& face, const std::optional<Rgb>& edge, double edgeWidth);

struct MarkerStyle {
  std::string marker;
  double size = 6;  // pixels
  std::optional<Rgb> face, edge;
  double edgeWidth = 1;
};

MarkerStyle markerStyle(const AxesContext& ctx, const GraphicsObject& o, const Rgb& lineColor);

// ---- objects: lines, surfaces, patches, images (render_lines, render_surfaces, ...) ----

void drawLine(AxesContext& ctx, const GraphicsObject& o);
void drawSurface(AxesContext& ctx, const GraphicsObject& o);
void drawPatch(AxesContext& ctx, const GraphicsObject& o);
void drawImage(AxesContext& ctx, const GraphicsObject& o);

// ---- coloured faces (render_faces) ----

// Colour data of one vertex: a scaled value or a true colour.
struct VertexColor {
  double value = kNaN;
  std::optional<Rgb> rgb;
  bool valid() const { return rgb.has_value() || std::isfinite(value); }
};

// Adds one triangle with vertex colour data, clipped to the plot box. Indexed colour data is looked
// up in the colour table as its value varies over the face (flat bands, one per table row, as a
// per-pixel lookup shows them); true colours blend.
void addShadedTriangle(const AxesContext& ctx, std::vector<ShadedTriangle>& out, const Point p[3],
                       const VertexColor c[3]);
// The colour-table row of an indexed value, or nothing for NaN.
std::optional<std::size_t> tableRow(const ColorScale& scale, const VertexColor& v);
// A polygon of one colour; `row` names its colour-table row when it has one.
void fillFlat(AxesContext& ctx, const std::vector<Point>& pts, const Rgb& color, bool clip);
// Colour data at element k of a (rows x cols [x 3]) matrix.
VertexColor colorData(const Matrix& c, std::size_t k);
Rgb resolve(const AxesContext& ctx, const VertexColor& v);
ColorScale scaleFor(const AxesContext& ctx, const GraphicsObject& o);

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

// ---- texts (render_text) ----

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Cap, Middle, Baseline, Bottom };

struct LaidRun {
  std::string text;
  Font font;
  double x = 0, y = 0;  // baseline start relative to the anchor, unrotated, y down
};

Font fontOf(const GraphicsObject& o, double defaultPoints);
std::vector<std::string> textLines(const GraphicsObject& o);
// Lays out label lines with markup around an anchor; returns the runs and the block's extent. Without
// a canvas the extent is estimated from the font size.
std::vector<LaidRun> layoutText(Canvas* canvas, const std::vector<std::string>& lines, bool tex,
                                const Font& font, HAlign h, VAlign v, double* blockWidth = nullptr,
                                double* blockHeight = nullptr);
HAlign hAlignOf(const GraphicsObject& o);
VAlign vAlignOf(const GraphicsObject& o);
void drawRuns(Canvas& canvas, const std::vector<LaidRun>& runs, Point anchor, double angleDegrees,
              const Rgb& color);
void drawText(AxesContext& ctx, const GraphicsObject& o);

// ---- axes frame, ticks and tick labels (render_decorations) ----

void drawAxesDecorations(AxesContext& ctx);

// The mapping of an axes whose position is the given rectangle.
AxesMapping mappingInRect(const GraphicsObject& a, const PixelRect& rect);

}  // namespace velmora::platform::render_detail
