// The arithmetic of the scanned plan import: arcs, the cut-out, the conversion to metres and the view.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "plan/scan.h"
#include "platform/model/numbers.h"

namespace velmora::plan {

namespace {

using platform::roundHalfAway;
using platform::sign;
using platform::snap;

// With y negated (image rows grow downwards), so that angles turn counter-clockwise.
Point up(Point p) {
  return {p.x, -p.y};
}

double clampedAcos(double c) {
  return std::acos(std::clamp(snap(c), -1.0, 1.0));
}

double millimetres(double v) {
  return roundHalfAway(v * 1000) / 1000 + 0.0;  // + 0.0: no negative zero
}

}  // namespace

std::optional<Circle> circleThrough(Point p1, Point p2, Point p3) {
  // Perpendicular bisectors of P1P3 and P2P3: 2 (P3 - Pi) . C = |P3|^2 - |Pi|^2.
  const double a11 = 2 * (p3.x - p1.x), a12 = 2 * (p3.y - p1.y);
  const double a21 = 2 * (p3.x - p2.x), a22 = 2 * (p3.y - p2.y);
  const double b1 = p3.x * p3.x - p1.x * p1.x + p3.y * p3.y - p1.y * p1.y;
  const double b2 = p3.x * p3.x - p2.x * p2.x + p3.y * p3.y - p2.y * p2.y;
  const double det = a11 * a22 - a12 * a21;
  if (!(std::abs(det) > 1e-6)) return std::nullopt;
  Circle c;
  c.centre = {(b1 * a22 - a12 * b2) / det, (a11 * b2 - b1 * a21) / det};
  c.radius = std::hypot(p1.x - c.centre.x, p1.y - c.centre.y);
  if (!(c.radius > 0) || !std::isfinite(c.radius)) return std::nullopt;
  return c;
}

std::optional<std::vector<Point>> circlePreview(Point p1, Point p2, Point p3) {
  const auto c = circleThrough(up(p1), up(p2), up(p3));
  if (!c) return std::nullopt;
  std::vector<Point> out;
  for (int d = 0; d <= 360; d += 5) {
    const double t = d * std::numbers::pi / 180;
    out.push_back(up({c->centre.x + c->radius * std::cos(t), c->centre.y + c->radius * std::sin(t)}));
  }
  return out;
}

std::optional<std::vector<Point>> circleArcPoints(Point p1, Point p2, Point p3, int m) {
  const Point q1 = up(p1), q2 = up(p2), q3 = up(p3);
  const auto circle = circleThrough(q1, q2, q3);
  if (!circle || m < 1) return std::nullopt;
  const Point c = circle->centre;
  const double r = circle->radius;
  // Chord line through P1 and P2: a x + b y + c = 0.
  const double a = q1.y - q2.y, b = q2.x - q1.x, cc = -(a * q1.x + b * q1.y);
  const double s3 = sign(a * q3.x + b * q3.y + cc);
  const double sc = sign(a * c.x + b * c.y + cc);
  double alpha = clampedAcos(((q2.x - c.x) * (q1.x - c.x) + (q2.y - c.y) * (q1.y - c.y)) / (r * r));
  if (sc * s3 > 0) alpha = 2 * std::numbers::pi - alpha;  // the centre lies on the side of P3
  double alpha0 = clampedAcos((q1.x - c.x) / r);
  if (q1.y < c.y) alpha0 = -alpha0;
  double step = alpha / m;
  if (s3 > 0) step = -step;
  std::vector<Point> out;
  for (int i = 1; i < m; ++i) {
    const double t = alpha0 + i * step;
    out.push_back(up({c.x + r * std::cos(t), c.y + r * std::sin(t)}));
  }
  out.push_back(p2);  // the arc ends exactly where the replaced wall ended
  return out;
}

Point parabolaAt(Point p1, Point p2, Point p3, double t) {
  const auto axis = [t](double v1, double v2, double v3) {
    const double a1 = v1, a2 = 4 * v3 - 3 * v1 - v2, a3 = 2 * v1 + 2 * v2 - 4 * v3;
    return a1 + a2 * t + a3 * t * t;
  };
  return {axis(p1.x, p2.x, p3.x), axis(p1.y, p2.y, p3.y)};
}

std::vector<Point> parabolaArcPoints(Point p1, Point p2, Point p3, int m) {
  std::vector<Point> out;
  for (int i = 1; i < m; ++i) out.push_back(parabolaAt(p1, p2, p3, static_cast<double>(i) / m));
  out.push_back(p2);
  return out;
}

CropBox cropBox(Point corner1, Point corner2, int width, int height) {
  const auto whole = [](double v, int hi) {
    return static_cast<int>(std::clamp(roundHalfAway(v), 1.0, static_cast<double>(hi)));
  };
  const int ia = whole(corner1.x, width), ib = whole(corner2.x, width);
  const int ja = whole(corner1.y, height), jb = whole(corner2.y, height);
  const int im = static_cast<int>(roundHalfAway((ia + ib) / 2.0));
  const int jm = static_cast<int>(roundHalfAway((ja + jb) / 2.0));
  int di = std::abs(ib - ia), dj = std::abs(jb - ja);
  // Widen the shorter side so the cut-out keeps the image's aspect ratio.
  const double aratio = static_cast<double>(width) / height;
  const int dii = static_cast<int>(std::ceil(aratio * dj));
  const int djj = static_cast<int>(std::ceil(di / aratio));
  if (djj >= dj) {
    dj = std::min(djj, height);
  } else {
    di = std::min(dii, width);
  }
  CropBox box;
  box.i1 = im - static_cast<int>(roundHalfAway(di / 2.0));
  box.i2 = im + static_cast<int>(roundHalfAway(di / 2.0));
  box.j1 = jm - static_cast<int>(roundHalfAway(dj / 2.0));
  box.j2 = jm + static_cast<int>(roundHalfAway(dj / 2.0));
  // Shift a box that leaves the image back inside, keeping its size.
  const auto shift = [](int& lo, int& hi, int size) {
    if (lo < 1) {
      hi += 1 - lo;
      lo = 1;
    }
    if (hi > size) {
      lo += size - hi;
      hi = size;
    }
    lo = std::max(lo, 1);
  };
  shift(box.i1, box.i2, width);
  shift(box.j1, box.j2, height);
  return box;
}

Tracing toMetres(Tracing t, const std::optional<OrientationReference>& orientation, double pixels,
                 double metres, bool* reversed) {
  if (reversed) *reversed = false;
  if (t.vertices.empty()) return t;
  const auto forEachPoint = [&t](const auto& f) {
    for (Point& v : t.vertices) f(v);
    if (t.source) f(*t.source);
    for (std::size_t r = 0; r < t.curves.rows; ++r) {
      for (const std::size_t c : {1u, 3u, 5u}) {  // start, end and third point
        Point p{t.curves(r, c), t.curves(r, c + 1)};
        f(p);
        t.curves(r, c) = p.x;
        t.curves(r, c + 1) = p.y;
      }
    }
  };

  // 1. Vertex 1 at the origin.
  const Point origin = t.vertices.front();
  forEachPoint([origin](Point& p) {
    p.x -= origin.x;
    p.y -= origin.y;
  });

  // 2. Turn the reference line exactly horizontal or vertical: of the two turns by the angle between
  // the line and its axis, the one that lines it up.
  if (orientation) {
    const Point a = orientation->a, b = orientation->b;
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const bool needed = orientation->horizontal ? a.y != b.y : a.x != b.x;
    if (needed && len > 0) {
      // The angle between the line and its axis (the arc cosine of |dx| / L or |dy| / L, taken
      // precisely for lines close to their axis).
      const double adx = std::abs(a.x - b.x), ady = std::abs(a.y - b.y);
      const double angle = orientation->horizontal ? std::atan2(ady, adx) : std::atan2(adx, ady);
      const auto misfit = [&](double th) {
        const double c = std::cos(th), s = std::sin(th);
        const Point ra{c * a.x - s * a.y, s * a.x + c * a.y};
        const Point rb{c * b.x - s * b.y, s * b.x + c * b.y};
        return orientation->horizontal ? std::abs(ra.y - rb.y) : std::abs(ra.x - rb.x);
      };
      const double th = misfit(angle) <= misfit(-angle) ? angle : -angle;
      const double c = std::cos(th), s = std::sin(th);
      forEachPoint([c, s](Point& p) { p = {c * p.x - s * p.y, s * p.x + c * p.y}; });
    }
  }

  // 3. Image rows grow downwards.
  forEachPoint([](Point& p) { p.y = -p.y; });

  // 4. Metres, in whole millimetres.
  const double fac = metres / pixels;
  forEachPoint([fac](Point& p) { p = {millimetres(p.x * fac), millimetres(p.y * fac)}; });

  // 5. Counter-clockwise order.
  double cross = 0;
  const std::size_t n = t.vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point& p = t.vertices[i];
    const Point& q = t.vertices[(i + 1) % n];
    cross += p.x * q.y - q.x * p.y;
  }
  if (cross < 0) {
    std::reverse(t.vertices.begin(), t.vertices.end());
    // Wall k (from vertex k to k+1) becomes wall n-k; the closing wall n stays wall n.
    const auto renumber = [n](double k) {
      const auto w = static_cast<std::size_t>(k);
      return w >= n ? static_cast<double>(n) : static_cast<double>(n - w);
    };
    for (std::size_t r = 0; r < t.curves.rows; ++r) {
      const double first = renumber(t.curves(r, 8)), last = renumber(t.curves(r, 7));
      t.curves(r, 7) = std::min(first, last);
      t.curves(r, 8) = std::max(first, last);
      std::swap(t.curves(r, 1), t.curves(r, 3));
      std::swap(t.curves(r, 2), t.curves(r, 4));
    }
    if (reversed) *reversed = true;
  }
  return t;
}

std::array<double, 4> resultLimits(const std::vector<Point>& vertices) {
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  for (const Point& p : vertices) {
    xmin = std::min(xmin, p.x);
    xmax = std::max(xmax, p.x);
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  }
  if (vertices.empty()) xmin = xmax = ymin = ymax = 0;
  const double d = std::ceil(std::max(xmax - xmin, ymax - ymin));
  const double ee = d <= 10 ? 2 : (d <= 50 ? 5 : 10);
  const double xc = (xmin + xmax) / 2, yc = (ymin + ymax) / 2;
  return {xc - d / 2 - ee, xc + d / 2 + ee, yc - d / 2 - ee, yc + d / 2 + ee};
}

namespace {
constexpr double kStraightenDegrees = 15;
double degreesFromHorizontal(Point a, Point b) {
  const double len = std::hypot(b.x - a.x, b.y - a.y);
  if (!(len > 0)) return 90;
  return clampedAcos(std::abs(b.x - a.x) / len) * 180 / std::numbers::pi;
}
}  // namespace

bool nearHorizontal(Point a, Point b) {
  return degreesFromHorizontal(a, b) < kStraightenDegrees;
}

bool nearVertical(Point a, Point b) {
  const double len = std::hypot(b.x - a.x, b.y - a.y);
  return len > 0 && degreesFromHorizontal(a, b) > 90 - kStraightenDegrees;
}

}  // namespace velmora::plan
