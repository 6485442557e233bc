#include "platform/qt/painter_canvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::platform::qt {

namespace {

QColor qcolor(const Rgb& c) {
  return QColor::fromRgbF(static_cast<float>(std::clamp(c.r, 0.0, 1.0)),
                          static_cast<float>(std::clamp(c.g, 0.0, 1.0)),
                          static_cast<float>(std::clamp(c.b, 0.0, 1.0)));
}

QPen qpen(const Stroke& s) {
  QPen pen(qcolor(s.color), s.width);
  pen.setJoinStyle(Qt::RoundJoin);
  switch (s.style) {
    case LineStyle::Solid:
      pen.setCapStyle(Qt::RoundCap);
      break;
    case LineStyle::Dashed:
      pen.setCapStyle(Qt::FlatCap);
      pen.setDashPattern({6, 4});
      break;
    case LineStyle::Dotted:
      pen.setCapStyle(Qt::FlatCap);
      pen.setDashPattern({1, 2.5});
      break;
    case LineStyle::DashDot:
      pen.setCapStyle(Qt::FlatCap);
      pen.setDashPattern({6, 3, 1, 3});
      break;
  }
  return pen;
}

QPolygonF qpoly(std::span<const Point> pts) {
  QPolygonF poly;
  poly.reserve(static_cast<qsizetype>(pts.size()));
  for (const Point& p : pts) poly << QPointF(p.x, p.y);
  return poly;
}

// Rasterises shaded triangles into premultiplied RGBA with four samples per pixel. Edges shared by two
// triangles belong to exactly one of them (top-left rule), so a mesh has no seams and no double cover.
class ShadeRaster {
 public:
  ShadeRaster(int x0, int y0, int w, int h)
      : x0_(x0), y0_(y0), w_(w), h_(h), acc_(static_cast<std::size_t>(w) * h * 4) {}

  void add(const QPointF p[3], const Rgb c[3]) {
    double area = cross(p[0], p[1], p[2]);
    if (std::abs(area) < 1e-12) return;
    int o[3] = {0, 1, 2};
    if (area < 0) {  // counter-clockwise in device space
      std::swap(o[1], o[2]);
      area = -area;
    }
    const QPointF a = p[o[0]], b = p[o[1]], d = p[o[2]];
    const Rgb ca = c[o[0]], cb = c[o[1]], cd = c[o[2]];
    const int minX = std::max(x0_, static_cast<int>(std::floor(std::min({a.x(), b.x(), d.x()}))));
    const int maxX = std::min(x0_ + w_ - 1, static_cast<int>(std::floor(std::max({a.x(), b.x(), d.x()}))));
    const int minY = std::max(y0_, static_cast<int>(std::floor(std::min({a.y(), b.y(), d.y()}))));
    const int maxY = std::min(y0_ + h_ - 1, static_cast<int>(std::floor(std::max({a.y(), b.y(), d.y()}))));
    static constexpr double kSamples[4][2] = {{0.375, 0.125}, {0.875, 0.375}, {0.625, 0.875}, {0.125, 0.625}};
    // Edge functions w = A x + B y + C, positive inside; the top-left rule decides points on an edge.
    struct Edge {
      double a, b, c;
      bool topLeft;
      bool inside(double x, double y) const {
        const double w = a * x + b * y + c;
        return w > 0 || (w == 0 && topLeft);
      }
    };
    auto edge = [](const QPointF& from, const QPointF& to) {
      // cross(from, to, q) = (to - from) x (q - from)
      const double dx = to.x() - from.x(), dy = to.y() - from.y();
      return Edge{-dy, dx, dy * from.x() - dx * from.y(), topLeft(from, to)};
    };
    const Edge e0 = edge(b, d), e1 = edge(d, a), e2 = edge(a, b);
    const double inv = 0.25 / area;
    // Colour as an affine function of position, pre-scaled by the sample weight.
    const double rx = (ca.r * e0.a + cb.r * e1.a + cd.r * e2.a) * inv,
                 ry = (ca.r * e0.b + cb.r * e1.b + cd.r * e2.b) * inv,
                 rc = (ca.r * e0.c + cb.r * e1.c + cd.r * e2.c) * inv;
    const double gx = (ca.g * e0.a + cb.g * e1.a + cd.g * e2.a) * inv,
                 gy = (ca.g * e0.b + cb.g * e1.b + cd.g * e2.b) * inv,
                 gc = (ca.g * e0.c + cb.g * e1.c + cd.g * e2.c) * inv;
    const double bx = (ca.b * e0.a + cb.b * e1.a + cd.b * e2.a) * inv,
                 by = (ca.b * e0.b + cb.b * e1.b + cd.b * e2.b) * inv,
                 bc = (ca.b * e0.c + cb.b * e1.c + cd.b * e2.c) * inv;
    for (int y = minY; y <= maxY; ++y) {
      float* row = &acc_[static_cast<std::size_t>(y - y0_) * w_ * 4];
      for (int x = minX; x <= maxX; ++x) {
        float* px = row + static_cast<std::size_t>(x - x0_) * 4;
        // Most pixels lie wholly inside or outside: one test at the centre decides them.
        const double cx = x + 0.5, cy = y + 0.5;
        const double m0 = e0.a * cx + e0.b * cy + e0.c, h0 = 0.5 * (std::abs(e0.a) + std::abs(e0.b));
        const double m1 = e1.a * cx + e1.b * cy + e1.c, h1 = 0.5 * (std::abs(e1.a) + std::abs(e1.b));
        const double m2 = e2.a * cx + e2.b * cy + e2.c, h2 = 0.5 * (std::abs(e2.a) + std::abs(e2.b));
        if (m0 + h0 < 0 || m1 + h1 < 0 || m2 + h2 < 0) continue;
        if (m0 - h0 > 0 && m1 - h1 > 0 && m2 - h2 > 0) {
          px[0] += static_cast<float>(4 * (rx * cx + ry * cy + rc));
          px[1] += static_cast<float>(4 * (gx * cx + gy * cy + gc));
          px[2] += static_cast<float>(4 * (bx * cx + by * cy + bc));
          px[3] += 1.0f;
          continue;
        }
        for (const auto& s : kSamples) {
          const double qx = x + s[0], qy = y + s[1];
          if (!e0.inside(qx, qy) || !e1.inside(qx, qy) || !e2.inside(qx, qy)) continue;
          px[0] += static_cast<float>(rx * qx + ry * qy + rc);
          px[1] += static_cast<float>(gx * qx + gy * qy + gc);
          px[2] += static_cast<float>(bx * qx + by * qy + bc);
          px[3] += 0.25f;
        }
      }
    }
  }

  QImage image() const {
    QImage img(w_, h_, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h_; ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < w_; ++x) {
        const float* px = &acc_[(static_cast<std::size_t>(y) * w_ + x) * 4];
        const float alpha = std::min(px[3], 1.0f);
        auto byte = [alpha](float v) { return static_cast<int>(std::clamp(v, 0.0f, alpha) * 255.0f + 0.5f); };
        line[x] = qRgba(byte(px[0]), byte(px[1]), byte(px[2]), byte(alpha));
      }
    }
    return img;
  }

 private:
  static double cross(const QPointF& a, const QPointF& b, const QPointF& c) {
    return (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
  }
  static bool topLeft(const QPointF& from, const QPointF& to) {
    const double dy = to.y() - from.y();
    return dy < 0 || (dy == 0 && to.x() > from.x());
  }

  int x0_, y0_, w_, h_;
  std::vector<float> acc_;
};

}  // namespace

PainterCanvas::PainterCanvas(QPainter& painter, double width, double height)
    : painter_(painter), width_(width), height_(height) {
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

void PainterCanvas::setClip(const std::optional<PixelRect>& rect) {
  if (rect) {
    painter_.setClipRect(QRectF(rect->x, rect->y, rect->width, rect->height));
  } else {
    painter_.setClipping(false);
  }
}

void PainterCanvas::polyline(std::span<const Point> points, const Stroke& stroke) {
  if (points.size() < 2) return;
  painter_.setPen(qpen(stroke));
  painter_.setBrush(Qt::NoBrush);
  QPolygonF poly = qpoly(points);
  // A thin horizontal or vertical segment sits on device pixel centres, so it stays one sharp pixel wide.
  const qreal dpr = painter_.device() ? painter_.device()->devicePixelRatioF() : 1.0;
  if (poly.size() == 2 && std::abs(stroke.width * dpr - std::round(stroke.width * dpr)) < 1e-9 &&
      static_cast<long long>(std::round(stroke.width * dpr)) % 2 == 1 &&
      painter_.worldTransform().isIdentity()) {
    auto centre = [dpr](qreal v) { return (std::floor(v * dpr) + 0.5) / dpr; };
    if (poly[0].y() == poly[1].y()) {
      poly[0].setY(centre(poly[0].y()));
      poly[1].setY(poly[0].y());
    } else if (poly[0].x() == poly[1].x()) {
      poly[0].setX(centre(poly[0].x()));
      poly[1].setX(poly[0].x());
    }
  }
  painter_.drawPolyline(poly);
}

void PainterCanvas::polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
                            const std::optional<Stroke>& edge) {
  if (points.size() < 3) return;
  painter_.setPen(edge ? qpen(*edge) : QPen(Qt::NoPen));
  painter_.setBrush(fill ? QBrush(qcolor(*fill)) : QBrush(Qt::NoBrush));
  painter_.drawPolygon(qpoly(points), Qt::WindingFill);
}

void PainterCanvas::shadedTriangles(std::span<const ShadedTriangle> triangles) {
  if (triangles.empty()) return;
  // Work in device pixels: the painter's transform includes the device pixel ratio.
  const QTransform toDevice = painter_.deviceTransform();
  const qreal dpr = painter_.device() ? painter_.device()->devicePixelRatioF() : 1.0;
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  std::vector<QPointF> pts;
  pts.reserve(triangles.size() * 3);
  for (const ShadedTriangle& t : triangles) {
    for (const ShadedVertex& v : t.v) {
      const QPointF q = toDevice.map(QPointF(v.p.x, v.p.y));
      pts.push_back(q);
      minX = std::min(minX, q.x());
      minY = std::min(minY, q.y());
      maxX = std::max(maxX, q.x());
      maxY = std::max(maxY, q.y());
    }
  }
  // Only the part of the device (and of the clip) that can show.
  QRectF limit(0, 0, painter_.device()->width() * dpr, painter_.device()->height() * dpr);
  if (painter_.hasClipping()) limit &= toDevice.mapRect(painter_.clipBoundingRect());
  minX = std::max(minX, limit.left());
  minY = std::max(minY, limit.top());
  maxX = std::min(maxX, limit.right());
  maxY = std::min(maxY, limit.bottom());
  if (!(maxX > minX && maxY > minY)) return;
  const int x0 = static_cast<int>(std::floor(minX)), y0 = static_cast<int>(std::floor(minY));
  const int w = static_cast<int>(std::ceil(maxX)) - x0 + 1, h = static_cast<int>(std::ceil(maxY)) - y0 + 1;
  if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > 64LL * 1024 * 1024) return;
  ShadeRaster raster(x0, y0, w, h);
  for (std::size_t i = 0; i < triangles.size(); ++i) {
    const Rgb c[3] = {triangles[i].v[0].color, triangles[i].v[1].color, triangles[i].v[2].color};
    raster.add(&pts[i * 3], c);
  }
  QImage img = raster.image();
  img.setDevicePixelRatio(dpr);
  painter_.save();
  painter_.setWorldTransform(QTransform());
  painter_.drawImage(QPointF(x0 / dpr, y0 / dpr), img);
  painter_.restore();
}

QFont PainterCanvas::qfont(const Font& font) const {
  QFont f = font.name.empty() || font.name == "default" || font.name == "Default"
                ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                : QFont(QString::fromStdString(font.name));
  if (font.name == "Helvetica" || font.name == "Arial") f.setStyleHint(QFont::SansSerif);
  if (font.name == "Times New Roman" || font.name == "Times") f.setStyleHint(QFont::Serif);
  const int dpi = painter_.device() ? painter_.device()->logicalDpiY() : 96;
  f.setPointSizeF(std::max(1.0, font.size * 72.0 / (dpi > 0 ? dpi : 96)));
  switch (font.weight) {
    case FontWeight::Light:
      f.setWeight(QFont::Light);
      break;
    case FontWeight::Normal:
      f.setWeight(QFont::Normal);
      break;
    case FontWeight::Demi:
      f.setWeight(QFont::DemiBold);
      break;
    case FontWeight::Bold:
      f.setWeight(QFont::Bold);
      break;
  }
  f.setItalic(font.italic);
  // Qt shapes text without ligatures once any letter spacing is set; 1/64 pixel is its smallest step.
  if (lettersApart_) f.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
  return f;
}

TextMetrics PainterCanvas::measureText(std::string_view utf8, const Font& font) {
  const QFontMetricsF m(qfont(font), painter_.device());
  return {m.horizontalAdvance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))),
          m.ascent(), m.descent()};
}

void PainterCanvas::text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
                         double angleDegrees) {
  painter_.save();
  painter_.setFont(qfont(font));
  painter_.setPen(qcolor(color));
  painter_.translate(origin.x, origin.y);
  if (angleDegrees != 0) painter_.rotate(-angleDegrees);
  painter_.drawText(QPointF(0, 0), QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  painter_.restore();
}

void PainterCanvas::image(const PixelRect& rect, int columns, int rows, std::span<const std::uint8_t> rgb) {
  if (columns <= 0 || rows <= 0 || rgb.size() < static_cast<std::size_t>(columns) * rows * 3) return;
  const QImage img(rgb.data(), columns, rows, columns * 3, QImage::Format_RGB888);
  painter_.save();
  // Enlarged small pictures (icons) keep their pixels; reduced ones are smoothed.
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, rect.width < columns || rect.height < rows);
  painter_.drawImage(QRectF(rect.x, rect.y, rect.width, rect.height), img);
  painter_.restore();
}

}  // namespace velmora::platform::qt
