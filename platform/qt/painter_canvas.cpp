#include "platform/qt/painter_canvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
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

// Edge functions w = A x + B y + C, positive inside; the top-left rule decides points on an edge.
struct Edge {
  double a, b, c;
  bool topLeft;
  bool inside(double x, double y) const {
    const double w = a * x + b * y + c;
    return w > 0 || (w == 0 && topLeft);
  }
};

double cross(const QPointF& a, const QPointF& b, const QPointF& c) {
  return (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
}

// A triangle in device space with its vertices in counter-clockwise order (`o` maps the order to the
// given vertices), its area and the pixel box it may touch within the raster [x0, x0 + w) x [y0, y0 + h).
// Nothing for a triangle without area.
struct PlacedTriangle {
  std::array<int, 3> o;
  QPointF a, b, d;
  double area;
  int minX, maxX, minY, maxY;
};

std::optional<PlacedTriangle> placeTriangle(const QPointF p[3], int x0, int y0, int w, int h) {
  double area = cross(p[0], p[1], p[2]);
  if (std::abs(area) < 1e-12) return std::nullopt;
  std::array<int, 3> o = {0, 1, 2};
  if (area < 0) {
    std::swap(o[1], o[2]);
    area = -area;
  }
  const QPointF a = p[o[0]], b = p[o[1]], d = p[o[2]];
  return PlacedTriangle{o,
                        a,
                        b,
                        d,
                        area,
                        std::max(x0, static_cast<int>(std::floor(std::min({a.x(), b.x(), d.x()})))),
                        std::min(x0 + w - 1, static_cast<int>(std::floor(std::max({a.x(), b.x(), d.x()})))),
                        std::max(y0, static_cast<int>(std::floor(std::min({a.y(), b.y(), d.y()})))),
                        std::min(y0 + h - 1, static_cast<int>(std::floor(std::max({a.y(), b.y(), d.y()}))))};
}

bool topLeft(const QPointF& from, const QPointF& to) {
  const double dy = to.y() - from.y();
  return dy < 0 || (dy == 0 && to.x() > from.x());
}

// The edge from `from` to `to` of a triangle whose vertices run counter-clockwise in device space.
// cross(from, to, q) = (to - from) x (q - from) is worked out from the endpoints in one fixed order: the
// two triangles that share an edge then get exactly opposite values at every point, and no pixel centre
// on it falls to neither.
inline Edge edgeOf(const QPointF& from, const QPointF& to) {
  const bool reversed = to.y() < from.y() || (to.y() == from.y() && to.x() < from.x());
  const QPointF& p = reversed ? to : from;
  const QPointF& q = reversed ? from : to;
  const double dx = q.x() - p.x(), dy = q.y() - p.y();
  const double sign = reversed ? -1.0 : 1.0;
  return Edge{-dy * sign, dx * sign, (dy * p.x() - dx * p.y()) * sign, topLeft(from, to)};
}

// Rasterises shaded triangles into premultiplied RGBA with four samples per pixel. Edges shared by two
// triangles belong to exactly one of them (top-left rule), so a mesh has no seams and no double cover.
class ShadeRaster {
 public:
  ShadeRaster(int x0, int y0, int w, int h)
      : x0_(x0), y0_(y0), w_(w), h_(h), acc_(static_cast<std::size_t>(w) * h * 4) {}

  // A triangle whose colour varies linearly between its vertices.
  void add(const QPointF p[3], const Rgb c[3]) {
    cover(p, [&](const int o[3], const Edge e[3], double inv) {
      const Rgb ca = c[o[0]], cb = c[o[1]], cd = c[o[2]];
      // Colour as an affine function of position, pre-scaled by the sample weight.
      const double rx = (ca.r * e[0].a + cb.r * e[1].a + cd.r * e[2].a) * inv,
                   ry = (ca.r * e[0].b + cb.r * e[1].b + cd.r * e[2].b) * inv,
                   rc = (ca.r * e[0].c + cb.r * e[1].c + cd.r * e[2].c) * inv;
      const double gx = (ca.g * e[0].a + cb.g * e[1].a + cd.g * e[2].a) * inv,
                   gy = (ca.g * e[0].b + cb.g * e[1].b + cd.g * e[2].b) * inv,
                   gc = (ca.g * e[0].c + cb.g * e[1].c + cd.g * e[2].c) * inv;
      const double bx = (ca.b * e[0].a + cb.b * e[1].a + cd.b * e[2].a) * inv,
                   by = (ca.b * e[0].b + cb.b * e[1].b + cd.b * e[2].b) * inv,
                   bc = (ca.b * e[0].c + cb.b * e[1].c + cd.b * e[2].c) * inv;
      return [=](double x, double y) {
        return Rgb{rx * x + ry * y + rc, gx * x + gy * y + gc, bx * x + by * y + bc};
      };
    });
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
  // Accumulates the samples of the pixels a triangle covers. `shader(o, e, inv)` is given the vertex
  // order (counter-clockwise in device space), the edge opposite each vertex and 1 / (4 area); it
  // returns the colour at a device point, pre-scaled by the weight of one of four samples.
  template <class Shader>
  void cover(const QPointF p[3], Shader shader) {
    const auto placed = placeTriangle(p, x0_, y0_, w_, h_);
    if (!placed) return;
    const auto& [o, a, b, d, area, minX, maxX, minY, maxY] = *placed;
    static constexpr double kSamples[4][2] = {{0.375, 0.125}, {0.875, 0.375}, {0.625, 0.875}, {0.125, 0.625}};
    const Edge e[3] = {edgeOf(b, d), edgeOf(d, a), edgeOf(a, b)};
    const auto colourAt = shader(o.data(), e, 0.25 / area);
    // A colour pre-scaled for one sample, added with the weight of `samples` of the four.
    const auto put = [](float* px, const Rgb& c, double samples) {
      px[0] += static_cast<float>(samples * c.r);
      px[1] += static_cast<float>(samples * c.g);
      px[2] += static_cast<float>(samples * c.b);
      px[3] += static_cast<float>(0.25 * samples);
    };
    for (int y = minY; y <= maxY; ++y) {
      float* row = &acc_[static_cast<std::size_t>(y - y0_) * w_ * 4];
      for (int x = minX; x <= maxX; ++x) {
        float* px = row + static_cast<std::size_t>(x - x0_) * 4;
        // Most pixels lie wholly inside or outside: one test at the centre decides them.
        const double cx = x + 0.5, cy = y + 0.5;
        const double m0 = e[0].a * cx + e[0].b * cy + e[0].c,
                     h0 = 0.5 * (std::abs(e[0].a) + std::abs(e[0].b));
        const double m1 = e[1].a * cx + e[1].b * cy + e[1].c,
                     h1 = 0.5 * (std::abs(e[1].a) + std::abs(e[1].b));
        const double m2 = e[2].a * cx + e[2].b * cy + e[2].c,
                     h2 = 0.5 * (std::abs(e[2].a) + std::abs(e[2].b));
        if (m0 + h0 < 0 || m1 + h1 < 0 || m2 + h2 < 0) continue;
        if (m0 - h0 > 0 && m1 - h1 > 0 && m2 - h2 > 0) {
          put(px, colourAt(cx, cy), 4);
          continue;
        }
        for (const auto& s : kSamples) {
          const double qx = x + s[0], qy = y + s[1];
          if (e[0].inside(qx, qy) && e[1].inside(qx, qy) && e[2].inside(qx, qy)) put(px, colourAt(qx, qy), 1);
        }
      }
    }
  }

  int x0_, y0_, w_, h_;
  std::vector<float> acc_;
};

// Paints triangles whose colour-table position varies linearly between their vertices straight into an
// opaque picture, row span by row span: a pixel takes the colour of the table row of the position at
// its centre, in the one triangle that holds the centre (the top-left rule gives a centre on a shared
// edge to exactly one of its two triangles), so a mesh shows no seams. A map's cells are often smaller
// than a pixel, and are coloured by band, not blended: one sample per pixel shows them as the bands do.
class TableRaster {
 public:
  TableRaster(int x0, int y0, int w, int h, std::span<const Rgb> table)
      : x0_(x0), y0_(y0), w_(w), h_(h), image_(w, h, QImage::Format_ARGB32_Premultiplied) {
    image_.fill(Qt::transparent);
    bits_ = image_.bits();
    stride_ = image_.bytesPerLine();
    colours_.reserve(table.size());
    for (const Rgb& c : table) {
      const auto byte = [](double v) {
        return static_cast<int>(std::clamp(static_cast<float>(v), 0.0f, 1.0f) * 255.0f + 0.5f);
      };
      colours_.push_back(qRgba(byte(c.r), byte(c.g), byte(c.b), 255));
    }
  }

  // `line[k]`, when given, is the line (two device points) the side from vertex k to the next lies on.
  void add(const QPointF p[3], const double position[3], const std::optional<std::array<QPointF, 2>> line[3]) {
    const auto placed = placeTriangle(p, x0_, y0_, w_, h_);
    if (!placed) return;
    const auto& [o, a, b, d, area, minX, maxX, minY, maxY] = *placed;
    if (minX > maxX || minY > maxY) return;
    // The sides themselves, b-d, d-a and a-b: the position is an affine function of the device point
    // made from them.
    const Edge own[3] = {edgeOf(b, d), edgeOf(d, a), edgeOf(a, b)};
    // The side from vertex i to vertex j (the k-th of own), on its given line when it has one, run the
    // same way.
    const auto side = [&](int i, int j, int k) {
      const auto& given = line[j == (i + 1) % 3 ? i : j];
      if (!given) return own[k];
      const QPointF along = p[j] - p[i], l = (*given)[1] - (*given)[0];
      return along.x() * l.x() + along.y() * l.y() >= 0 ? edgeOf((*given)[0], (*given)[1])
                                                        : edgeOf((*given)[1], (*given)[0]);
    };
    const Edge e[3] = {side(o[1], o[2], 0), side(o[2], o[0], 1), side(o[0], o[1], 2)};
    const double ta = position[o[0]], tb = position[o[1]], td = position[o[2]];
    const double scale = 1 / area;
    const double tx = (ta * own[0].a + tb * own[1].a + td * own[2].a) * scale,
                 ty = (ta * own[0].b + tb * own[1].b + td * own[2].b) * scale,
                 tc = (ta * own[0].c + tb * own[1].c + td * own[2].c) * scale;
    const QRgb* const colours = colours_.data();
    const double last = static_cast<double>(colours_.size() - 1);
    // Along a row an edge's inside test changes once, where the edge crosses it: each edge bounds the row's
    // run of centres on one side, found from the crossing and settled by the exact test around it.
    double inverse[3];
    for (int k = 0; k < 3; ++k) inverse[k] = e[k].a != 0 ? 1 / e[k].a : 0;
    for (int y = minY; y <= maxY; ++y) {
      const double cy = y + 0.5;
      int from = minX, to = maxX;
      for (int k = 0; k < 3 && from <= to; ++k) {
        const Edge& edge = e[k];
        const auto in = [&edge, cy](int x) { return edge.inside(x + 0.5, cy); };
        if (edge.a == 0) {
          if (!in(minX)) from = maxX + 1;
          continue;
        }
        // Where the centres meet the edge, in pixel numbers; pixels well clear of it need no test.
        const double crossing = -(edge.b * cy + edge.c) * inverse[k] - 0.5;
        int x;
        if (std::isnan(crossing)) {
          x = minX;
        } else {
          const double clamped = std::clamp(crossing, minX - 1.0, maxX + 1.0);  // minX >= 0
          x = static_cast<int>(clamped + 2) - 2;                                 // floor
          const double fraction = clamped - x;
          if (fraction > kClear && fraction < 1 - kClear) {
            if (edge.a > 0) {
              from = std::max(from, x + 1);
            } else {
              to = std::min(to, x);
            }
            continue;
          }
        }
        if (edge.a > 0) {  // inside from some pixel on
          if (in(x)) {
            while (x > from && in(x - 1)) --x;
          } else {
            while (x <= to && !in(x)) ++x;
          }
          from = std::max(from, x);
        } else {  // inside up to some pixel
          if (in(x)) {
            while (x < to && in(x + 1)) ++x;
          } else {
            while (x >= from && !in(x)) --x;
          }
          to = std::min(to, x);
        }
      }
      if (from > to) continue;
      QRgb* line = reinterpret_cast<QRgb*>(bits_ + static_cast<std::ptrdiff_t>(y - y0_) * stride_) - x0_;
      const double rowPart = ty * cy;
      // Whole positions (counts mapped directly) sit on a row's start: rounding inside the triangle must
      // not drop them into the row below. The row is the whole part of the position; beyond the table
      // (or not a number, from positions too far apart to interpolate) an end row. Without branches: a
      // map's pixels change rows at random.
      const auto positionAt = [&](int x) { return tx * (x + 0.5) + rowPart + tc + 1e-7; };
      const auto rowOf = [last](double t) {
        const double above = t > 0 ? t : 0.0;
        return static_cast<int>(above < last ? above : last);
      };
      // A pixel under two triangles (a surface folded over itself) shows their sum, as overlapping
      // shaded triangles do.
      const auto put = [line](int x, QRgb c) {
        const QRgb under = line[x];
        line[x] = under == 0 ? c
                             : qRgba(std::min(255, qRed(under) + qRed(c)), std::min(255, qGreen(under) + qGreen(c)),
                                     std::min(255, qBlue(under) + qBlue(c)), 255);
      };
      if (to - from >= kRunForOneRow) {
        // The position runs linearly along the row: when both ends, widened by far more than rounding
        // can move a pixel's sum, fall in one row, so does every pixel between (strips, wide cells).
        const double first = positionAt(from), lastAt = positionAt(to);
        const double margin = 1e-9 * (1 + std::abs(tx) * (to + 1.0) + std::abs(rowPart) + std::abs(tc));
        const double lo = std::min(first, lastAt) - margin, hi = std::max(first, lastAt) + margin;
        if (std::isfinite(lo) && std::isfinite(hi) && rowOf(lo) == rowOf(hi)) {
          const QRgb c = colours[rowOf(lo)];
          for (int x = from; x <= to; ++x) put(x, c);
          continue;
        }
      }
      for (int x = from; x <= to; ++x) put(x, colours[rowOf(positionAt(x))]);
    }
  }

  QImage image() const { return image_; }

 private:
  // A pixel centre this far (in pixels) from where an edge crosses its row lies on the side the crossing
  // says: the exact test could only disagree much closer, by rounding.
  static constexpr double kClear = 1e-6;
  // Runs of a row at least this many pixels long are first tried for one colour throughout.
  static constexpr int kRunForOneRow = 3;
  int x0_, y0_, w_, h_;
  QImage image_;
  uchar* bits_;  // the image's pixels, detached once
  qsizetype stride_;
  std::vector<QRgb> colours_;
};

bool sameStroke(const Stroke& a, const Stroke& b) {
  return a.color == b.color && a.width == b.width && a.style == b.style;
}

bool sameRect(const PixelRect& a, const PixelRect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

PainterCanvas::PainterCanvas(QPainter& painter, double width, double height)
    : painter_(painter), width_(width), height_(height) {
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

void PainterCanvas::usePen(const std::optional<Stroke>& stroke) {
  if (pen_ && pen_->has_value() == stroke.has_value() && (!stroke || sameStroke(**pen_, *stroke))) return;
  painter_.setPen(stroke ? qpen(*stroke) : QPen(Qt::NoPen));
  pen_ = stroke;
}

void PainterCanvas::useBrush(const std::optional<Rgb>& fill) {
  if (brush_ && *brush_ == fill) return;
  painter_.setBrush(fill ? QBrush(qcolor(*fill)) : QBrush(Qt::NoBrush));
  brush_ = fill;
}

void PainterCanvas::setClip(const std::optional<PixelRect>& rect) {
  if (clip_ && clip_->has_value() == rect.has_value() && (!rect || sameRect(**clip_, *rect))) return;
  if (rect) {
    painter_.setClipRect(QRectF(rect->x, rect->y, rect->width, rect->height));
  } else {
    painter_.setClipping(false);
  }
  clip_ = rect;
}

void PainterCanvas::polyline(std::span<const Point> points, const Stroke& stroke) {
  if (points.size() < 2) return;
  usePen(stroke);
  useBrush(std::nullopt);
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
  usePen(edge);
  useBrush(fill);
  painter_.drawPolygon(qpoly(points), Qt::WindingFill);
}

void PainterCanvas::shadedTriangles(std::span<const ShadedTriangle> triangles) {
  rasterise(
      triangles.size(), [&](std::size_t i, int k) { return triangles[i].v[k].p; },
      [](int x0, int y0, int w, int h) { return ShadeRaster(x0, y0, w, h); },
      [&](auto& raster, std::size_t i, const QPointF p[3]) {
        const Rgb c[3] = {triangles[i].v[0].color, triangles[i].v[1].color, triangles[i].v[2].color};
        raster.add(p, c);
      });
}

bool PainterCanvas::paintsTableTriangles() const {
  // Pixels are the output: a vector file or a printer keeps the bands as shapes.
  const QPaintEngine* engine = painter_.paintEngine();
  return engine != nullptr && engine->type() == QPaintEngine::Raster;
}

void PainterCanvas::tableTriangles(std::span<const TableTriangle> triangles, std::span<const Rgb> table) {
  if (table.empty()) return;
  const QTransform toDevice = painter_.deviceTransform();
  const bool identity = toDevice.isIdentity();
  // A map's triangles come column by column, and the lines they name are the columns': the last two
  // lines placed on the device are kept.
  const std::array<Point, 2>* placedFrom[2] = {nullptr, nullptr};
  std::array<QPointF, 2> placedTo[2];
  int nextPlaced = 0;
  const auto place = [&](const std::array<Point, 2>* given) {
    for (int c = 0; c < 2; ++c)
      if (placedFrom[c] == given) return placedTo[c];
    const auto at = [&](const Point& q) { return identity ? QPointF(q.x, q.y) : toDevice.map(QPointF(q.x, q.y)); };
    placedFrom[nextPlaced] = given;
    placedTo[nextPlaced] = {at((*given)[0]), at((*given)[1])};
    const auto& placed = placedTo[nextPlaced];
    nextPlaced ^= 1;
    return placed;
  };
  rasterise(
      triangles.size(), [&](std::size_t i, int k) { return triangles[i].p[k]; },
      [&](int x0, int y0, int w, int h) { return TableRaster(x0, y0, w, h, table); },
      [&](auto& raster, std::size_t i, const QPointF p[3]) {
        std::optional<std::array<QPointF, 2>> line[3];
        for (int k = 0; k < 3; ++k) {
          if (const auto* given = triangles[i].line[k]) line[k] = place(given);
        }
        raster.add(p, triangles[i].position, line);
      });
}

// Paints triangles as one image in device pixels, over the part of the device (and of the clip) they
// can show on: `point(i, k)` is vertex k of triangle i, `make(x0, y0, w, h)` makes the raster of that
// part, `add(raster, i, devicePoints)` adds triangle i.
template <class PointOf, class Make, class Add>
void PainterCanvas::rasterise(std::size_t count, PointOf point, Make make, Add add) {
  if (count == 0) return;
  // The painter's transform includes the device pixel ratio.
  const QTransform toDevice = painter_.deviceTransform();
  const bool identity = toDevice.isIdentity();
  const qreal dpr = painter_.device() ? painter_.device()->devicePixelRatioF() : 1.0;
  // The triangles' device points, worked out again for the raster rather than kept: a fine map has
  // hundreds of thousands.
  const auto devicePoints = [&](std::size_t i, QPointF q[3]) {
    for (int k = 0; k < 3; ++k) {
      const Point p = point(i, k);
      q[k] = identity ? QPointF(p.x, p.y) : toDevice.map(QPointF(p.x, p.y));
    }
  };
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (std::size_t i = 0; i < count; ++i) {
    QPointF pts[3];
    devicePoints(i, pts);
    for (const QPointF& q : pts) {
      minX = std::min(minX, q.x());
      minY = std::min(minY, q.y());
      maxX = std::max(maxX, q.x());
      maxY = std::max(maxY, q.y());
    }
  }
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
  auto raster = make(x0, y0, w, h);
  for (std::size_t i = 0; i < count; ++i) {
    QPointF pts[3];
    devicePoints(i, pts);
    add(raster, i, pts);
  }
  QImage img = raster.image();
  img.setDevicePixelRatio(dpr);
  painter_.save();
  painter_.setWorldTransform(QTransform());
  painter_.drawImage(QPointF(x0 / dpr, y0 / dpr), img);
  painter_.restore();
}

QFont PainterCanvas::qfont(const Font& font) {
  if (font_ && font_->name == font.name && font_->size == font.size && font_->weight == font.weight &&
      font_->italic == font.italic)
    return qfont_;
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
  font_ = font;
  qfont_ = f;
  metrics_.reset();
  return f;
}

TextMetrics PainterCanvas::measureText(std::string_view utf8, const Font& font) {
  const QFont f = qfont(font);
  if (!metrics_) metrics_.emplace(f, painter_.device());
  const QFontMetricsF& m = *metrics_;
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
