#include "platform/render/ps_canvas.h"

#include <cairo-ps.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "platform/model/error.h"

namespace velmora::platform {

namespace {

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
  auto* f = static_cast<std::FILE*>(closure);
  return std::fwrite(data, 1, length, f) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

std::string family(const Font& font) {
  if (font.name.empty() || font.name == "default" || font.name == "Default") return "sans-serif";
  return font.name;
}

}  // namespace

PsCanvas::PsCanvas(std::FILE* out, double widthPx, double heightPx, double pageWidthPt, double pageHeightPt,
                   bool color)
    : width_(widthPx), height_(heightPx), color_(color) {
  surface_ = cairo_ps_surface_create_for_stream(writeToFile, out, pageWidthPt, pageHeightPt);
  cairo_ps_surface_restrict_to_level(surface_, CAIRO_PS_LEVEL_2);
  cr_ = cairo_create(surface_);
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    throw Error(std::string("cannot start the PostScript page: ") +
                cairo_status_to_string(cairo_status(cr_)));
  }
  cairo_scale(cr_, pageWidthPt / widthPx, pageHeightPt / heightPx);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
}

PsCanvas::~PsCanvas() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
}

void PsCanvas::finish() {
  if (finished_) return;
  finished_ = true;
  cairo_show_page(cr_);
  cairo_surface_finish(surface_);
  const cairo_status_t st = cairo_surface_status(surface_);
  if (st != CAIRO_STATUS_SUCCESS)
    throw Error(std::string("PostScript output failed: ") + cairo_status_to_string(st));
}

Rgb PsCanvas::shade(const Rgb& c) const {
  if (color_) return c;
  const double y = 0.30 * c.r + 0.59 * c.g + 0.11 * c.b;  // luminance: black and white output
  return {y, y, y};
}

void PsCanvas::setSource(const Rgb& c) {
  const Rgb s = shade(c);
  cairo_set_source_rgb(cr_, std::clamp(s.r, 0.0, 1.0), std::clamp(s.g, 0.0, 1.0), std::clamp(s.b, 0.0, 1.0));
}

void PsCanvas::setStroke(const Stroke& s) {
  setSource(s.color);
  cairo_set_line_width(cr_, s.width);
  const double w = std::max(1.0, s.width);
  switch (s.style) {
    case LineStyle::Solid: {
      cairo_set_dash(cr_, nullptr, 0, 0);
      cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
      break;
    }
    case LineStyle::Dashed: {
      const double d[2] = {6 * w, 4 * w};
      cairo_set_dash(cr_, d, 2, 0);
      cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
      break;
    }
    case LineStyle::Dotted: {
      const double d[2] = {1 * w, 2.5 * w};
      cairo_set_dash(cr_, d, 2, 0);
      cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
      break;
    }
    case LineStyle::DashDot: {
      const double d[4] = {6 * w, 3 * w, 1 * w, 3 * w};
      cairo_set_dash(cr_, d, 4, 0);
      cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
      break;
    }
  }
}

void PsCanvas::setClip(const std::optional<PixelRect>& rect) {
  cairo_reset_clip(cr_);
  if (rect) {
    cairo_rectangle(cr_, rect->x, rect->y, rect->width, rect->height);
    cairo_clip(cr_);
  }
}

void PsCanvas::polyline(std::span<const Point> points, const Stroke& stroke) {
  if (points.size() < 2) return;
  cairo_new_path(cr_);
  cairo_move_to(cr_, points[0].x, points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr_, points[i].x, points[i].y);
  setStroke(stroke);
  cairo_stroke(cr_);
}

void PsCanvas::polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
                       const std::optional<Stroke>& edge) {
  if (points.size() < 3) return;
  cairo_new_path(cr_);
  cairo_move_to(cr_, points[0].x, points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr_, points[i].x, points[i].y);
  cairo_close_path(cr_);
  cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
  if (fill) {
    setSource(*fill);
    if (edge) {
      cairo_fill_preserve(cr_);
    } else {
      cairo_fill(cr_);
    }
  }
  if (edge) {
    setStroke(*edge);
    cairo_stroke(cr_);
  }
  cairo_new_path(cr_);
}

void PsCanvas::selectFont(const Font& font) {
  const cairo_font_weight_t weight = font.weight == FontWeight::Bold || font.weight == FontWeight::Demi
                                         ? CAIRO_FONT_WEIGHT_BOLD
                                         : CAIRO_FONT_WEIGHT_NORMAL;
  cairo_select_font_face(cr_, family(font).c_str(),
                         font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL, weight);
  cairo_set_font_size(cr_, font.size);
}

TextMetrics PsCanvas::measureText(std::string_view utf8, const Font& font) {
  selectFont(font);
  const std::string s(utf8);
  cairo_text_extents_t te;
  cairo_text_extents(cr_, s.c_str(), &te);
  cairo_font_extents_t fe;
  cairo_font_extents(cr_, &fe);
  return {te.x_advance, fe.ascent, fe.descent};
}

void PsCanvas::text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
                    double angleDegrees) {
  const std::string s(utf8);
  cairo_save(cr_);
  selectFont(font);
  setSource(color);
  cairo_translate(cr_, origin.x, origin.y);
  if (angleDegrees != 0) cairo_rotate(cr_, -angleDegrees * std::numbers::pi / 180.0);
  cairo_move_to(cr_, 0, 0);
  cairo_show_text(cr_, s.c_str());
  cairo_new_path(cr_);
  cairo_restore(cr_);
}

void PsCanvas::image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) {
  if (columns <= 0 || rows <= 0 || rgb.size() < static_cast<std::size_t>(columns) * rows * 3) return;
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_RGB24, columns, rows);
  if (cairo_surface_status(img) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(img);
    return;
  }
  cairo_surface_flush(img);
  unsigned char* data = cairo_image_surface_get_data(img);
  const int stride = cairo_image_surface_get_stride(img);
  for (int r = 0; r < rows; ++r) {
    auto* line = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(r) * stride);
    for (int c = 0; c < columns; ++c) {
      const std::size_t k = (static_cast<std::size_t>(r) * columns + c) * 3;
      const Rgb px = shade({rgb[k] / 255.0, rgb[k + 1] / 255.0, rgb[k + 2] / 255.0});
      auto byte = [](double v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      };
      line[c] = (byte(px.r) << 16) | (byte(px.g) << 8) | byte(px.b);
    }
  }
  cairo_surface_mark_dirty(img);
  cairo_save(cr_);
  cairo_translate(cr_, rect.x, rect.y);
  cairo_scale(cr_, rect.width / columns, rect.height / rows);
  cairo_set_source_surface(cr_, img, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr_, 0, 0, columns, rows);
  cairo_fill(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(img);
}

}  // namespace velmora::platform
