#include "engine/geometry.h"

#include "engine/kernels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

namespace velmora::engine {

namespace {

bool contains(std::span<const int> list, int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

Walls wallsFromOutline(std::span<const double> xx, std::span<const double> yy) {
  const std::size_t n = std::min(xx.size(), yy.size());
  Walls walls(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t next = (k + 1) % n;
    walls[k] = {xx[k], yy[k], xx[next], yy[next]};
  }
  return walls;
}

std::vector<double> wallStartsX(const Walls& walls) {
  std::vector<double> out;
  out.reserve(walls.size());
  for (const Wall& w : walls) out.push_back(w.x1);
  return out;
}

std::vector<double> wallStartsY(const Walls& walls) {
  std::vector<double> out;
  out.reserve(walls.size());
  for (const Wall& w : walls) out.push_back(w.y1);
  return out;
}

Matrix wallXMatrix(const Walls& walls) {
  Matrix m(walls.size(), 2);
  for (std::size_t k = 0; k < walls.size(); ++k) {
    m(k, 0) = walls[k].x1;
    m(k, 1) = walls[k].x2;
  }
  return m;
}

Matrix wallYMatrix(const Walls& walls) {
  Matrix m(walls.size(), 2);
  for (std::size_t k = 0; k < walls.size(); ++k) {
    m(k, 0) = walls[k].y1;
    m(k, 1) = walls[k].y2;
  }
  return m;
}

Walls wallsFromMatrices(const Matrix& xw, const Matrix& yw) {
  if (xw.cols != 2 || yw.cols != 2 || xw.rows != yw.rows) return {};
  Walls walls(xw.rows);
  for (std::size_t k = 0; k < xw.rows; ++k) walls[k] = {xw(k, 0), yw(k, 0), xw(k, 1), yw(k, 1)};
  return walls;
}

// Counted first: a map-sized list allocated once, at its size.
IndexList zeroIndices(std::span<const unsigned char> mask) {
  IndexList out;
  zeroIndices(mask, out);
  return out;
}

void zeroIndices(std::span<const unsigned char> mask, IndexList& out) {
  const std::size_t n = mask.size();
  std::size_t zeros = 0;
  for (const unsigned char m : mask) zeros += m == 0;
  out.resize(zeros + 1);
  // Eight entries at a time pass when none is zero (most of a map is inside the room, most of it
  // seen); elsewhere every index is written and the place moves on only past a zero.
  std::size_t at = 0, k = 0;
  constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  for (; k + 8 <= n; k += 8) {
    std::uint64_t word;
    std::memcpy(&word, mask.data() + k, 8);
    if (((word - ones) & ~word & highs) == 0) continue;
    for (std::size_t q = k; q < k + 8; ++q) {
      out[at] = q + 1;
      at += mask[q] == 0;
    }
  }
  for (; k < n; ++k) {
    out[at] = k + 1;
    at += mask[k] == 0;
  }
  out.resize(zeros);
}

IndexList nonZeroIndices(std::span<const unsigned char> mask) {
  const std::size_t ones = mask.size() - static_cast<std::size_t>(std::count(mask.begin(), mask.end(), 0));
  IndexList out(ones);
  for (std::size_t k = 0, at = 0; at < ones; ++k)
    if (mask[k] != 0) out[at++] = k + 1;
  return out;
}

Bounds snappedBounds(std::span<const EdgeTest> edges) {
  const double inf = std::numeric_limits<double>::infinity();
  const Bounds unbounded{-inf, inf, -inf, inf};
  const std::size_t n = edges.size();
  if (n < 3) return unbounded;
  // A point passes edge e when s (a x + b y + c) > -tolerance / 2; the lines moved out by a whole
  // tolerance bound a region holding all of them with room for rounding.
  Bounds out{inf, -inf, inf, -inf};
  for (std::size_t i = 0; i < n; ++i) {
    const EdgeTest& e = edges[i];
    const EdgeTest& f = edges[(i + 1) % n];
    if (e.s == 0 || f.s == 0) return unbounded;
    const double ce = e.c + e.s * kSnapTolerance, cf = f.c + f.s * kSnapTolerance;
    const double det = e.a * f.b - e.b * f.a;
    if (det == 0) return unbounded;
    const double x = (e.b * cf - f.b * ce) / det, y = (f.a * ce - e.a * cf) / det;
    if (!std::isfinite(x) || !std::isfinite(y)) return unbounded;
    out.xmin = std::min(out.xmin, x);
    out.xmax = std::max(out.xmax, x);
    out.ymin = std::min(out.ymin, y);
    out.ymax = std::max(out.ymax, y);
  }
  // Rounding of the corner itself.
  const double slack =
      1e-12 *
      (1 + std::max({std::abs(out.xmin), std::abs(out.xmax), std::abs(out.ymin), std::abs(out.ymax)}));
  return {out.xmin - slack, out.xmax + slack, out.ymin - slack, out.ymax + slack};
}

GridColumns::GridColumns(const Matrix& xs, const Matrix& ys) {
  if (xs.rows != ys.rows || xs.cols != ys.cols || xs.size() != xs.rows * xs.cols || ys.size() != xs.size())
    return;
  rows_ = xs.rows;
  xs_ = xs.data.data();
  ys_ = ys.data.data();
  columns_.resize(xs.cols);
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, xs.cols, 16), [&](const auto& r) {
    for (std::size_t j = r.begin(); j < r.end(); ++j) {
      Column& c = columns_[j];
      const double* x = xs_ + j * rows_;
      const double* y = ys_ + j * rows_;
      c = {x[0], y[0], 0, 0, 0, false};
      if (rows_ < 2) continue;
      c.dx = (x[rows_ - 1] - x[0]) / static_cast<double>(rows_ - 1);
      c.dy = (y[rows_ - 1] - y[0]) / static_cast<double>(rows_ - 1);
      if (!(std::hypot(c.dx, c.dy) > 0)) continue;
      c.line = columnOnLine(x, y, rows_, c.dx, c.dy);
      // |x| + |y| is convex, so on a straight column it is largest at an end (give or take the
      // straightness).
      const double ends =
          std::max(std::abs(x[0]) + std::abs(y[0]), std::abs(x[rows_ - 1]) + std::abs(y[rows_ - 1]));
      c.bound = (ends + 1) * (1 + 1e-9);
    }
  });
}

Convexity checkconvexity(std::span<const double> xx, std::span<const double> yy, double rota) {
  const int r = sign(rota);
  const std::size_t n = std::min(xx.size(), yy.size());
  Convexity out;
  if (n == 0) return out;
  std::vector<int> ang(n + 2, 1);
  for (std::size_t i = 0; i < n; ++i) {
    const double x1 = xx[i], y1 = yy[i];
    const double x2 = xx[(i + 1) % n], y2 = yy[(i + 1) % n];
    const double x3 = xx[(i + 2) % n], y3 = yy[(i + 2) % n];
    const double a1 = x1 - x2, b1 = y1 - y2, a2 = x3 - x2, b2 = y3 - y2;
    const double z = a2 * b1 - a1 * b2;  // cross product of P2 - P1 and P3 - P2
    if (r * z < 0) {
      ang[i + 1] = 0;
      out.iscnvx = 0;
    }
  }
  ang[0] = ang[n];
  ang.resize(n);
  out.ang = std::move(ang);
  return out;
}

bool checkpointinside(std::span<const double> xx, std::span<const double> yy, std::span<const double> xtr,
                      std::span<const double> ytr, std::span<const int> iexcl) {
  if (xtr.size() < 3 || ytr.size() < 3) return false;
  const double a1 = xtr[0], a2 = xtr[1] - a1, a3 = xtr[2] - a1;
  const double b1 = ytr[0], b2 = ytr[1] - b1, b3 = ytr[2] - b1;
  const double delta = a2 * b3 - a3 * b2;
  if (!(std::abs(delta) > kSnapTolerance)) return false;
  const std::size_t n = std::min(xx.size(), yy.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (contains(iexcl, static_cast<int>(i) + 1)) continue;
    const double sm1 = xx[i] - a1, sm2 = yy[i] - b1;
    const double xi = snap((sm1 * b3 - sm2 * a3) / delta);
    const double eta = snap((a2 * sm2 - b2 * sm1) / delta);
    if (xi >= 0 && xi <= 1 && eta >= 0 && eta <= 1 && xi + eta <= 1) return true;
  }
  return false;
}

WallHit getwallintersection(const Walls& walls, std::span<const int> iskip, double xa, double ya, double xb,
                            double yb, int isi) {
  WallHit hit{std::numeric_limits<double>::infinity(), 0, 0.0};
  const double a = -isi * (yb - ya), b = isi * (xb - xa), c = -a * xa - b * ya;
  const int sgn = sign(a * (xa + a) + b * (ya + b) + c);
  if (sgn == 0) return hit;
  for (std::size_t i = 0; i < walls.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    if (contains(iskip, number)) continue;
    const Wall& w = walls[i];
    const int s1 = sgn * sign(snap(a * w.x1 + b * w.y1 + c));
    const int s2 = sgn * sign(snap(a * w.x2 + b * w.y2 + c));
    if (!((s1 == 1 && s2 <= 0) || (s2 == 1 && s1 <= 0))) continue;
    const double m11 = w.x2 - w.x1, m12 = xa - xb, m21 = w.y2 - w.y1, m22 = ya - yb;
    const double det = m11 * m22 - m12 * m21;
    if (!(std::abs(det) > kSnapTolerance)) continue;
    const double r1 = xa - w.x1, r2 = ya - w.y1;
    const double t = snap((r1 * m22 - m12 * r2) / det);
    const double u = snap((m11 * r2 - r1 * m21) / det);
    if (t >= 0 && t <= 1 && u > 1 && u < hit.umin) {
      hit.umin = u;
      hit.nmin = number;
      hit.tmin = t;
    }
  }
  return hit;
}

InsidePolygon::InsidePolygon(std::span<const double> xx, std::span<const double> yy, double rota) {
  const std::size_t n0 = std::min(xx.size(), yy.size());
  // 1. exact duplicates: the later copy goes.
  std::vector<double> px, py;
  px.reserve(n0);
  py.reserve(n0);
  for (std::size_t j = 0; j < n0; ++j) {
    bool duplicate = false;
    for (std::size_t i = 0; i < j && !duplicate; ++i) duplicate = xx[i] == xx[j] && yy[i] == yy[j];
    if (!duplicate) {
      px.push_back(xx[j]);
      py.push_back(yy[j]);
    }
  }
  // 2. straight vertices, all marked against the unreduced list and removed at once.
  {
    const std::size_t n = px.size();
    std::vector<double> qx, qy;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t prev = (i + n - 1) % n, next = (i + 1) % n;
      const double cross =
          (px[i] - px[prev]) * (py[next] - py[prev]) - (py[i] - py[prev]) * (px[next] - px[prev]);
      if (!(std::abs(cross) < kSnapTolerance)) {
        qx.push_back(px[i]);
        qy.push_back(py[i]);
      }
    }
    px = std::move(qx);
    py = std::move(qy);
  }
  // 3. convexity of the cleaned polygon is what the caller gets back.
  convexity_ = checkconvexity(px, py, rota);
  Convexity current = convexity_;
  std::vector<bool> wallEdge(px.size(), true);  // edge from vertex i to the next is a wall

  // 5. notches: cut off one reflex vertex at a time, preferring ears.
  while (current.iscnvx == 0 && px.size() >= 3) {
    const std::size_t n = px.size();
    std::size_t chosen = n;
    for (std::size_t i0 = 0; i0 < n; ++i0) {
      if (current.ang[i0] != 0) continue;
      chosen = i0;
      const std::size_t iav = (i0 + n - 1) % n, iap = (i0 + 1) % n;
      const double xtr[3] = {px[iav], px[i0], px[iap]};
      const double ytr[3] = {py[iav], py[i0], py[iap]};
      const int excl[3] = {static_cast<int>(iav) + 1, static_cast<int>(i0) + 1, static_cast<int>(iap) + 1};
      if (!checkpointinside(px, py, xtr, ytr, excl)) break;
    }
    if (chosen == n) break;
    const std::size_t i0 = chosen, iav = (i0 + n - 1) % n, iap = (i0 + 1) % n;
    const double tx[3] = {px[iav], px[i0], px[iap]};
    const double ty[3] = {py[iav], py[i0], py[iap]};
    Notch notch{};
    for (int e = 0; e < 3; ++e) {
      const double x1 = tx[e], y1 = ty[e], x2 = tx[(e + 1) % 3], y2 = ty[(e + 1) % 3];
      const double a = y1 - y2, b = x2 - x1, c = -a * x1 - b * y1;
      const double xt = (x1 + x2) / 2 + rota * a, yt = (y1 + y2) / 2 + rota * b;
      notch.e[e] = {a, b, c, -sign(a * xt + b * yt + c)};
    }
    notch.wall[0] = wallEdge[iav];
    notch.wall[1] = wallEdge[i0];
    notch.xmin = std::min({tx[0], tx[1], tx[2]});
    notch.xmax = std::max({tx[0], tx[1], tx[2]});
    notch.ymin = std::min({ty[0], ty[1], ty[2]});
    notch.ymax = std::max({ty[0], ty[1], ty[2]});
    notches_.push_back(notch);
    px.erase(px.begin() + static_cast<std::ptrdiff_t>(i0));
    py.erase(py.begin() + static_cast<std::ptrdiff_t>(i0));
    wallEdge[iav] = false;
    wallEdge.erase(wallEdge.begin() + static_cast<std::ptrdiff_t>(i0));
    current = checkconvexity(px, py, rota);
  }

  // 6. the convex remainder; a degenerate remainder encloses nothing.
  const std::size_t n = px.size();
  if (n < 3) return;
  empty_ = false;
  double turning = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x1 = px[i], y1 = py[i], x2 = px[(i + 1) % n], y2 = py[(i + 1) % n];
    const double a = y1 - y2, b = x2 - x1, c = -a * x1 - b * y1;
    hull_.push_back({a, b, c, sign(a * (x1 + rota * a) + b * (y1 + rota * b) + c)});
    const double x3 = px[(i + 2) % n], y3 = py[(i + 2) % n];
    turning += std::atan2((x2 - x1) * (y3 - y2) - (y2 - y1) * (x3 - x2),
                          (x2 - x1) * (x3 - x2) + (y2 - y1) * (y3 - y2));
  }
  // The corners of the widened region are those of neighbouring edges only when the outline winds
  // once round a convex region.
  const double inf = std::numeric_limits<double>::infinity();
  bounds_ = std::abs(std::abs(turning) - 2 * std::numbers::pi) < 1 ? snappedBounds(hull_)
                                                                   : Bounds{-inf, inf, -inf, inf};
}

bool InsidePolygon::contains(double x, double y) const {
  if (empty_) return false;
  if (!bounds_.contains(x, y)) return false;
  for (const Edge& e : hull_) {
    const int ss = snappedSign(e.a * x + e.b * y + e.c) + e.s;
    if (sign(ss) != e.s) return false;
  }
  for (const Notch& t : notches_) {
    if (x < t.xmin || x > t.xmax || y < t.ymin || y > t.ymax) continue;
    // Snapped like every sign test. A point on a wall is inside; a point on a diagonal (the new one
    // or an earlier notch's) is outside, even when rounding puts its line value a hair off.
    const auto in = [&](int e, bool strict) {
      const double v = t.e[e].s * snappedSign(t.e[e].a * x + t.e[e].b * y + t.e[e].c);
      return strict ? v > 0 : v >= 0;
    };
    if (in(0, t.wall[0]) && in(1, t.wall[1]) && in(2, false)) return false;
  }
  return true;
}

namespace {

// The half-plane that a snapped edge test passes: s (a x + b y + c) above -tolerance / 2, or at or
// above +tolerance / 2 when strict. A test with no side (s = 0) passes a band round its line: nothing
// is sure about it.
HalfPlaneSpans edgeSpans(const GridColumns::Column& column, std::size_t rows, const EdgeTest& e,
                         bool strict) {
  if (e.s == 0) return {Span{0, -1}, Span{0, static_cast<std::ptrdiff_t>(rows) - 1}};
  const double s = e.s;
  return halfPlaneSpans(column, rows, s * e.a, s * e.b, s * e.c, (strict ? 0.5 : -0.5) * kSnapTolerance);
}

// The box xmin <= x <= xmax, ymin <= y <= ymax.
HalfPlaneSpans boxSpans(const GridColumns::Column& column, std::size_t rows, double xmin, double xmax,
                        double ymin, double ymax) {
  HalfPlaneSpans out = halfPlaneSpans(column, rows, 1, 0, 0, xmin);
  for (const HalfPlaneSpans& h :
       {halfPlaneSpans(column, rows, -1, 0, 0, -xmax), halfPlaneSpans(column, rows, 0, 1, 0, ymin),
        halfPlaneSpans(column, rows, 0, -1, 0, -ymax)}) {
    out.sure &= h.sure;
    out.maybe &= h.maybe;
  }
  return out;
}

}  // namespace

std::vector<unsigned char> InsidePolygon::contains(const GridColumns& grid) const {
  const std::size_t rows = grid.rows();
  std::vector<unsigned char> in(rows * grid.cols(), 0);
  if (empty_) return in;
  // Per column: 0 outside, 1 inside, 2 asked point by point.
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, grid.cols(), 8), [&](const auto& r) {
    std::vector<unsigned char> state(rows);
    for (std::size_t j = r.begin(); j < r.end(); ++j) {
      const GridColumns::Column& column = grid.column(j);
      HalfPlaneSpans hull = boxSpans(column, rows, bounds_.xmin, bounds_.xmax, bounds_.ymin, bounds_.ymax);
      for (const Edge& e : hull_) {
        const HalfPlaneSpans h = edgeSpans(column, rows, e, false);
        hull.sure &= h.sure;
        hull.maybe &= h.maybe;
      }
      std::fill(state.begin(), state.end(), 0);
      for (std::ptrdiff_t i = hull.maybe.lo; i <= hull.maybe.hi; ++i) state[static_cast<std::size_t>(i)] = 2;
      for (std::ptrdiff_t i = hull.sure.lo; i <= hull.sure.hi; ++i) state[static_cast<std::size_t>(i)] = 1;
      // A point that a notch surely holds is outside; one it may hold is asked.
      for (const Notch& t : notches_) {
        if (t.e[0].s == 0 && t.wall[0]) continue;  // a strict test with no side never passes
        if (t.e[1].s == 0 && t.wall[1]) continue;
        HalfPlaneSpans notch = boxSpans(column, rows, t.xmin, t.xmax, t.ymin, t.ymax);
        notch.maybe &= hull.maybe;
        if (notch.maybe.empty()) continue;
        for (int e = 0; e < 3; ++e) {
          if (t.e[e].s == 0) continue;  // passes everywhere (not strict)
          const HalfPlaneSpans h = edgeSpans(column, rows, t.e[e], e < 2 && t.wall[e]);
          notch.sure &= h.sure;
          notch.maybe &= h.maybe;
        }
        for (std::ptrdiff_t i = notch.maybe.lo; i <= notch.maybe.hi; ++i) {
          unsigned char& st = state[static_cast<std::size_t>(i)];
          st = notch.sure.holds(i) ? 0 : st == 1 ? 2 : st;
        }
      }
      const std::size_t base = j * rows;
      for (std::size_t i = 0; i < rows; ++i)
        in[base + i] =
            state[i] == 2 ? (contains(grid.xs()[base + i], grid.ys()[base + i]) ? 1 : 0) : state[i];
    }
  });
  return in;
}

InsideResult removeouttersurface(std::span<const double> xs, std::span<const double> ys,
                                 std::span<const double> xx, std::span<const double> yy, double rota) {
  const InsidePolygon polygon(xx, yy, rota);
  InsideResult out;
  const std::size_t n = std::min(xs.size(), ys.size());
  out.in.resize(n);
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, n, 2048), [&](const auto& r) {
    for (std::size_t k = r.begin(); k < r.end(); ++k) out.in[k] = polygon.contains(xs[k], ys[k]) ? 1 : 0;
  });
  out.convexity = polygon.convexity();
  return out;
}

int checksource2(double xso, double yso, const Walls& walls) {
  bool uNeg = false, uPos = false, vNeg = false, vPos = false;
  for (const Wall& w : walls) {
    if (w.y1 != w.y2) {
      const double t = (yso - w.y1) / (w.y2 - w.y1);
      if (t >= 0 && t < 1) {
        const double uu = (w.x1 - xso) + t * (w.x2 - w.x1);
        if (uu == 0) return t == 0 ? 3 : 2;
        (uu < 0 ? uNeg : uPos) = true;
      }
    }
    if (w.x1 != w.x2) {
      const double t = (xso - w.x1) / (w.x2 - w.x1);
      if (t >= 0 && t < 1) {
        const double vv = (w.y1 - yso) + t * (w.y2 - w.y1);
        if (vv == 0) return t == 0 ? 3 : 2;
        (vv < 0 ? vNeg : vPos) = true;
      }
    }
  }
  // A side on which no wall is crossed means the point is outside.
  return (uNeg && uPos && vNeg && vPos) ? 1 : 0;
}

int checkaudience(const Walls& walls, const Matrix& xs, const Matrix& ys) {
  if (xs.empty() || xs.rows != ys.rows || xs.cols != ys.cols) return -1;
  const std::size_t s1 = xs.rows - 1, s2 = xs.cols - 1;
  const double cx[5] = {xs(0, 0), xs(s1, 0), xs(s1, s2), xs(0, s2), xs(0, 0)};
  const double cy[5] = {ys(0, 0), ys(s1, 0), ys(s1, s2), ys(0, s2), ys(0, 0)};
  for (int e = 0; e < 4; ++e) {
    const double xA = cx[e], yA = cy[e], xB = cx[e + 1], yB = cy[e + 1];
    for (const Wall& w : walls) {
      const double m11 = xB - xA, m12 = w.x1 - w.x2, m21 = yB - yA, m22 = w.y1 - w.y2;
      const double det = m11 * m22 - m12 * m21;
      if (!(std::abs(det) > kSnapTolerance)) continue;
      const double r1 = w.x1 - xA, r2 = w.y1 - yA;
      const double t1 = snap((r1 * m22 - m12 * r2) / det);
      const double t2 = snap((m11 * r2 - r1 * m21) / det);
      if (t2 > 0 && t2 < 1 && t1 > 0 && t1 < 1) return -1;
    }
  }
  for (int e = 0; e < 4; ++e)
    if (checksource2(cx[e], cy[e], walls) != 1) return -1;
  return 1;
}

RoomConvexity checkroomconvexity(const Walls& walls, const Matrix& xs, const Matrix& ys) {
  RoomConvexity out;
  checkroomconvexity(walls, xs, ys, out);
  return out;
}

void checkroomconvexity(const Walls& walls, const Matrix& xs, const Matrix& ys, RoomConvexity& out) {
  const std::vector<double> xx = wallStartsX(walls), yy = wallStartsY(walls);
  out.ina.clear();
  if (checkaudience(walls, xs, ys) == -1 && xs.size() == ys.size()) {
    const InsidePolygon room(xx, yy, 1);
    const GridColumns grid(xs, ys);
    if (grid.rows() > 0)
      zeroIndices(room.contains(grid), out.ina);
    else
      zeroIndices(removeouttersurface(xs.data, ys.data, xx, yy, 1).in, out.ina);
  }
  Convexity c = checkconvexity(xx, yy, 1);
  out.iscnvx = c.iscnvx;
  out.ang = std::move(c.ang);
}

std::vector<int> test(const Walls& walls) {
  std::vector<int> order(walls.size());
  for (std::size_t k = 0; k < walls.size(); ++k) order[k] = static_cast<int>(k) + 1;
  return order;
}

}  // namespace velmora::engine
