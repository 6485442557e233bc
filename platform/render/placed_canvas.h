#pragma once
// A canvas of a window's pixel size that draws, scaled and shifted, into a rectangle of a larger
// canvas: how a document page takes a whole window (the renderer lays out for the window's size).

#include <vector>

#include "platform/render/canvas.h"

namespace velmora::platform {

class PlacedCanvas : public Canvas {
 public:
  // `width` x `height` pixels shown in `target` of `page`, scaled alike in x and y (the smaller of
  // the two ratios) and centred in the rectangle.
  PlacedCanvas(Canvas& page, double width, double height, const PixelRect& target);

  // The rectangle of the page actually covered.
  const PixelRect& placed() const { return placed_; }

  double width() const override { return width_; }
  double height() const override { return height_; }
  void setClip(const std::optional<PixelRect>& rect) override;
  bool clipsItself() const override { return page_.clipsItself(); }
  void polyline(std::span<const Point> points, const Stroke& stroke) override;
  void polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
               const std::optional<Stroke>& edge) override;
  void shadedTriangles(std::span<const ShadedTriangle> triangles) override;
  bool smoothShading() const override { return page_.smoothShading(); }
  void setColorBand(std::optional<std::size_t> row) override { page_.setColorBand(row); }
  TextMetrics measureText(std::string_view utf8, const Font& font) override;
  void text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
            double angleDegrees) override;
  void image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) override;

 private:
  Point map(Point p) const { return {placed_.x + p.x * scale_, placed_.y + p.y * scale_}; }
  PixelRect map(const PixelRect& r) const;
  std::vector<Point> map(std::span<const Point> points) const;
  Stroke map(const Stroke& s) const;
  Font map(const Font& f) const;

  Canvas& page_;
  double width_, height_, scale_;
  PixelRect placed_;
};

}  // namespace velmora::platform
