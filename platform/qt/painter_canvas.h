#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <optional>

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
  bool paintsEveryMapByPixel() const override { return everyMapByPixel_; }
  // Paints maps of few bands pixel by pixel too (the screen); off by default (files).
  void setEveryMapByPixel(bool on) { everyMapByPixel_ = on; }
  void tableTriangles(std::span<const TableTriangle> triangles, std::span<const Rgb> table) override;
  TextMetrics measureText(std::string_view utf8, const Font& font) override;
  void text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
            double angleDegrees) override;
  void image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) override;

 protected:
  // Files whose texts are searched (PDF, SVG) keep every letter its own glyph: a ligature such as "fi"
  // would make "first" unfindable.
  void keepLettersApart() {
    lettersApart_ = true;
    font_.reset();
  }

 private:
  QFont qfont(const Font& font);
  // The painter's pen and brush, set only when they change: a window draws thousands of lines of a few
  // kinds, and Qt prepares its stroking anew for every pen it is given.
  void usePen(const std::optional<Stroke>& stroke);
  void useBrush(const std::optional<Rgb>& fill);
  template <class PointOf, class Make, class Add>
  void rasterise(std::size_t count, PointOf point, Make make, Add add);
  bool lettersApart_ = false;
  bool everyMapByPixel_ = false;
  QPainter& painter_;
  double width_, height_;
  // What the painter holds now; unknown (empty) after anything else may have changed it.
  std::optional<std::optional<Stroke>> pen_;
  std::optional<std::optional<Rgb>> brush_;
  std::optional<std::optional<PixelRect>> clip_;
  // The last font asked for and its Qt font and metrics (texts of a window use a few fonts).
  std::optional<Font> font_;
  QFont qfont_;
  std::optional<QFontMetricsF> metrics_;
};

}  // namespace velmora::platform::qt
