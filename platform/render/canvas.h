#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/model/graphics.h"

namespace velmora::platform {

// A rectangle in canvas pixels, origin at the top-left corner of the canvas.
struct PixelRect {
  double x = 0, y = 0, width = 0, height = 0;
};

// A point in canvas pixels, origin at the top-left corner, y downwards.
struct Point {
  double x = 0, y = 0;
};

enum class LineStyle { Solid, Dashed, Dotted, DashDot };

struct Stroke {
  Rgb color;
  double width = 1;  // pixels
  LineStyle style = LineStyle::Solid;
};

enum class FontWeight { Light, Normal, Demi, Bold };

struct Font {
  std::string name;  // a family name; empty or "default" for the platform's sans-serif face
  double size = 13;  // pixels (em height)
  FontWeight weight = FontWeight::Normal;
  bool italic = false;
};

struct TextMetrics {
  double width = 0, ascent = 0, descent = 0;  // pixels; descent is positive below the baseline
};

// One vertex of a shaded triangle: a position and its colour; colours are interpolated linearly inside.
struct ShadedVertex {
  Point p;
  Rgb color;
};
struct ShadedTriangle {
  ShadedVertex v[3];
};
// A triangle whose colour-table position (0 where the first row starts, the number of rows where the
// last one ends) varies linearly between its vertices.
struct TableTriangle {
  Point p[3];
  double position[3];
  // The line that the side from p[k] to p[(k + 1) % 3] lies on, as two points on it, when it is one side
  // of several: a long side beside the short sides of neighbouring triangles along one straight line.
  // Every side given the same line decides the pixels on it alike, so none falls to two or to none.
  // Null when the side is a line of its own; else held by the caller for the call (a map's triangles
  // share a few hundred lines, and a list of tens of thousands of triangles is written on every paint).
  const std::array<Point, 2>* line[3] = {nullptr, nullptr, nullptr};
};

// The drawing surface the renderer paints on: screen, raster files, PostScript, HP-GL. Everything is in
// canvas pixels; the renderer does the layout (markers, text alignment and markup) and the clipping of
// geometry, so a canvas only has to draw these few primitives.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual double width() const = 0;
  virtual double height() const = 0;

  // Restricts the following drawing to a rectangle, or lifts the restriction.
  virtual void setClip(const std::optional<PixelRect>& rect) = 0;
  // Whether setClip cuts what is drawn; a canvas that cannot gets its geometry cut to the box exactly.
  virtual bool clipsItself() const { return true; }

  virtual void polyline(std::span<const Point> points, const Stroke& stroke) = 0;
  // A closed polygon, filled when `fill` is given, outlined when `edge` is given.
  virtual void polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
                       const std::optional<Stroke>& edge) = 0;
  // Triangles whose colour varies linearly between their vertices. Neighbouring triangles of one call
  // share edges without seams. The default draws small flat-coloured cells (for formats without
  // smooth shading).
  virtual void shadedTriangles(std::span<const ShadedTriangle> triangles);
  // True when shadedTriangles blends smoothly. Otherwise faces coloured through a colour table are
  // drawn by the renderer as flat bands, one polygon per table row, which is exact and compact.
  virtual bool smoothShading() const { return false; }

  // The following filled polygons are pieces of the area of one colour-table row (`row`), or of none
  // (nothing). Their outlines of the fill's own colour only close seams between neighbouring pieces.
  // A plotter uses the row to hatch each colour band differently.
  virtual void setColorBand(std::optional<std::size_t> row) { (void)row; }
  // Whether tableTriangles paints. A canvas of pixels looks up the table row of each pixel, at the same
  // cost for any number of faces; otherwise the renderer draws the bands as polygons.
  virtual bool paintsTableTriangles() const { return false; }
  // Whether a map of few bands is painted pixel by pixel too (when paintsTableTriangles): a window's
  // does, at the cost of its area instead of a polygon per strip and band, each pixel exactly a table
  // row; files written from the window keep the bands as they always drew them.
  virtual bool paintsEveryMapByPixel() const { return false; }
  // Triangles coloured at every point by the table row their position falls in (positions beyond the
  // table take its first or last row), as the bands show them; neighbouring triangles without seams.
  virtual void tableTriangles(std::span<const TableTriangle> triangles, std::span<const Rgb> table) {
    (void)triangles;
    (void)table;
  }

  virtual TextMetrics measureText(std::string_view utf8, const Font& font) = 0;
  // One run of text starting at `origin` on its baseline, turned by `angleDegrees` counter-clockwise
  // around the origin.
  virtual void text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
                    double angleDegrees) = 0;

  // An RGB image (rows top first, 3 bytes per pixel) stretched over `rect`. The default draws each
  // pixel as a filled rectangle, averaging blocks of large images.
  virtual void image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb);

 protected:
  // Largest colour change (0..1 per channel) kept inside one flat cell by the default shading.
  static constexpr double kFlatCellColorStep = 1.0 / 32;
};

}  // namespace velmora::platform
