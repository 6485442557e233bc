#pragma once

#include <cstdio>
#include <memory>

#include "platform/render/canvas.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace velmora::platform {

// Level 2 PostScript through cairo, in colour or in shades of grey. Canvas pixels are scaled onto the
// page; interpolated faces become small flat-coloured cells, since level 2 has no smooth shading.
class PsCanvas : public Canvas {
 public:
  PsCanvas(std::FILE* out, double widthPx, double heightPx, double pageWidthPt, double pageHeightPt,
           bool color);
  ~PsCanvas() override;
  PsCanvas(const PsCanvas&) = delete;
  PsCanvas& operator=(const PsCanvas&) = delete;

  // Ends the page and the document; raises an Error when cairo could not write it.
  void finish();

  double width() const override { return width_; }
  double height() const override { return height_; }
  void setClip(const std::optional<PixelRect>& rect) override;
  void polyline(std::span<const Point> points, const Stroke& stroke) override;
  void polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
               const std::optional<Stroke>& edge) override;
  TextMetrics measureText(std::string_view utf8, const Font& font) override;
  void text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
            double angleDegrees) override;
  void image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) override;

 private:
  Rgb shade(const Rgb& c) const;
  void setSource(const Rgb& c);
  void setStroke(const Stroke& s);
  void selectFont(const Font& font);

  double width_, height_;
  bool color_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  bool finished_ = false;
};

}  // namespace velmora::platform
