#include "platform/render/placed_canvas.h"

#include <algorithm>
#include <vector>

namespace velmora::platform {

PlacedCanvas::PlacedCanvas(Canvas& page, double width, double height, const PixelRect& target)
    : page_(page), width_(width), height_(height) {
  scale_ = std::min(target.width / width, target.height / height);
  placed_ = {target.x + (target.width - width * scale_) / 2, target.y + (target.height - height * scale_) / 2,
             width * scale_, height * scale_};
  // Nothing of the window may spill onto the rest of the page.
  page_.setClip(placed_);
}

PixelRect PlacedCanvas::map(const PixelRect& r) const {
  const Point p = map(Point{r.x, r.y});
  return {p.x, p.y, r.width * scale_, r.height * scale_};
}

std::vector<Point> PlacedCanvas::map(std::span<const Point> points) const {
  std::vector<Point> out;
  out.reserve(points.size());
  for (const Point& p : points) out.push_back(map(p));
  return out;
}

Stroke PlacedCanvas::map(const Stroke& s) const {
  Stroke out = s;
  out.width = s.width * scale_;
  return out;
}

Font PlacedCanvas::map(const Font& f) const {
  Font out = f;
  out.size = f.size * scale_;
  return out;
}

void PlacedCanvas::setClip(const std::optional<PixelRect>& rect) {
  if (!rect) return page_.setClip(placed_);
  const PixelRect r = map(*rect);
  const double x0 = std::max(r.x, placed_.x), y0 = std::max(r.y, placed_.y);
  const double x1 = std::min(r.x + r.width, placed_.x + placed_.width);
  const double y1 = std::min(r.y + r.height, placed_.y + placed_.height);
  page_.setClip(PixelRect{x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0)});
}

void PlacedCanvas::polyline(std::span<const Point> points, const Stroke& stroke) {
  page_.polyline(map(points), map(stroke));
}

void PlacedCanvas::polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
                           const std::optional<Stroke>& edge) {
  page_.polygon(map(points), fill, edge ? std::optional<Stroke>(map(*edge)) : std::nullopt);
}

void PlacedCanvas::shadedTriangles(std::span<const ShadedTriangle> triangles) {
  std::vector<ShadedTriangle> out(triangles.begin(), triangles.end());
  for (ShadedTriangle& t : out) {
    for (ShadedVertex& v : t.v) v.p = map(v.p);
  }
  page_.shadedTriangles(out);
}

TextMetrics PlacedCanvas::measureText(std::string_view utf8, const Font& font) {
  const TextMetrics m = page_.measureText(utf8, map(font));
  return {m.width / scale_, m.ascent / scale_, m.descent / scale_};
}

void PlacedCanvas::text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
                        double angleDegrees) {
  page_.text(map(origin), utf8, map(font), color, angleDegrees);
}

void PlacedCanvas::image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) {
  page_.image(map(rect), columns, rows, rgb);
}

}  // namespace velmora::platform
