#pragma once

#include <QPainter>

#include "platform/render/canvas.h"

namespace velmora::platform::qt {

// Draws on a QPainter: a widget, a QImage or any other paint device. Antialiased; shaded triangles are
// rasterised at the device's own resolution, so they stay sharp at any device pixel ratio.
class PainterCanvas : public Canvas {
 public:
  PainterCanvas(QPainter& painter, double width, double height);

  double width() const override { return width_; }
  double height() const override { return height_; }
  void setClip(const std::optional<PixelRect>& rect) override;
  void polyline(std::span<const Point> points, const Stroke& stroke) override;
  void polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
               const std::optional<Stroke>& edge) override;
  void shadedTriangles(std::span<const ShadedTriangle> triangles) override;
  bool smoothShading() const override { return true; }
  bool paintsTableTriangles() const override;
  void tableTriangles(std::span<const TableTriangle> triangles, std::span<const Rgb> table) override;
  TextMetrics measureText(std::string_view utf8, const Font& font) override;
  void text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
            double angleDegrees) override;
  void image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) override;

 protected:
  // Files whose texts are searched (PDF, SVG) keep every letter its own glyph: a ligature such as "fi"
  // would make "first" unfindable.
  void keepLettersApart() { lettersApart_ = true; }

 private:
  QFont qfont(const Font& font) const;
  template <class PointOf, class Make, class Add>
  void rasterise(std::size_t count, PointOf point, Make make, Add add);
  bool lettersApart_ = false;
  QPainter& painter_;
  double width_, height_;
};

}  // namespace velmora::platform::qt
