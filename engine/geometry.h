#pragma once
// Plane geometry of the room outline: vertex convexity, points in triangles, rays against walls,
// points inside an arbitrary outline, the class of one point, the audience area against the room.
//
// Conventions shared by every engine header:
// - coordinates in metres; the room outline runs counter-clockwise (room on the left of every wall);
// - wall numbers, point numbers and stored grid indices count from 1, as the case record holds them;
//   0 means "none";
// - grid indices are linear in column order, the first index running fastest.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace velmora::engine {

// Values compared against zero are first rounded to a multiple of this tolerance.
inline constexpr double kSnapTolerance = 1e-6;

// Rounds v to the nearest multiple of `tolerance`, halves away from zero.
inline double snap(double v, double tolerance = kSnapTolerance) {
  return std::round(v / tolerance) * tolerance;
}
// -1, 0 or +1; sign(0) = 0 (and 0 for NaN).
inline int sign(double v) {
  return (v > 0) - (v < 0);
}
// sign(snap(v)) without the rounding call: the snapped value is 0 exactly when |v| is below half the
// tolerance (halves round away from zero). For the per-point tests over whole grids.
inline int snappedSign(double v) {
  const double q = v / kSnapTolerance;
  return (q >= 0.5) - (q <= -0.5);
}

struct Point {
  double x = 0;
  double y = 0;
};

// Wall k runs from (x1, y1) to (x2, y2).
struct Wall {
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;
  bool operator==(const Wall&) const = default;
};
using Walls = std::vector<Wall>;

// Column-major matrix (the first index runs fastest), the shape of the audience-map grids.
struct Matrix {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<double> data;

  Matrix() = default;
  Matrix(std::size_t r, std::size_t c, double value = 0.0) : rows(r), cols(c), data(r * c, value) {}
  double& operator()(std::size_t i, std::size_t j) { return data[i + j * rows]; }
  double operator()(std::size_t i, std::size_t j) const { return data[i + j * rows]; }
  std::size_t size() const { return data.size(); }
  bool empty() const { return data.empty(); }
  bool operator==(const Matrix&) const = default;
};

// 1-based linear indices into a grid, increasing.
using IndexList = std::vector<std::size_t>;

// Grid points reached, as an IndexList and as runs of neighbouring points: run r holds the points
// first .. first + count - 1 (0-based), which are the list's entries at .. at + count - 1. Points
// are added in increasing order.
struct ReachedPoints {
  struct Run {
    std::size_t first, count, at;
  };
  IndexList hits;
  std::vector<Run> runs;
  void add(std::size_t first, std::size_t count = 1) {
    if (count == 0) return;
    if (!runs.empty() && runs.back().first + runs.back().count == first)
      runs.back().count += count;
    else
      runs.push_back({first, count, hits.size()});
    const std::size_t at = hits.size();
    hits.resize(at + count);
    for (std::size_t q = 0; q < count; ++q) hits[at + q] = first + q + 1;
  }
};

// Walls of a closed outline: wall k from vertex k to vertex k+1, the last one back to vertex 1.
// Extra values of the longer list are ignored.
Walls wallsFromOutline(std::span<const double> xx, std::span<const double> yy);
// First points of the walls (the outline vertices).
std::vector<double> wallStartsX(const Walls& walls);
std::vector<double> wallStartsY(const Walls& walls);
// N-by-2 matrices of the end points (the case record's xwv / ywv shape).
Matrix wallXMatrix(const Walls& walls);
Matrix wallYMatrix(const Walls& walls);
// Inverse of the two above; a matrix that is not N-by-2 gives no walls.
Walls wallsFromMatrices(const Matrix& xw, const Matrix& yw);

// 1-based linear indices of the zero entries of a 0/1 mask.
IndexList zeroIndices(std::span<const unsigned char> mask);
// The same into `out`, reusing its buffer.
void zeroIndices(std::span<const unsigned char> mask, IndexList& out);
IndexList nonZeroIndices(std::span<const unsigned char> mask);

// ---- bounds of a snapped half-plane test ------------------------------------------------------
// Edge test of a convex polygon: a point passes when sign(snapped(a x + b y + c)) + s has the sign s,
// that is up to the snapping tolerance over the edge line.
struct EdgeTest {
  double a, b, c;
  int s;
};
struct Bounds {
  double xmin, xmax, ymin, ymax;
  bool contains(double x, double y) const { return x >= xmin && x <= xmax && y >= ymin && y <= ymax; }
};
// A box holding every point that passes all the edge tests of a convex polygon whose edges are given
// in order round it. Near a sharp corner the snapped tests reach far beyond the corner along its
// edges; the box follows them. An edge with no side (s = 0) or two parallel neighbours give the
// unbounded box.
Bounds snappedBounds(std::span<const EdgeTest> edges);

// ---- grid columns ------------------------------------------------------------------------------
// Every audience grid is made of columns of evenly spaced points on a line (the first index runs
// along a column). A linear test a x + b y + c > t therefore changes its answer at most once along
// such a column, and the points it surely passes, surely fails or must be asked one by one follow
// from the column's ends. The fast paths of the map use this to touch only the points a test
// reaches; the points within rounding of a test's edge are still tested exactly as one by one, so
// the answers are the same bits.
class GridColumns {
 public:
  struct Column {
    double x0, y0, dx, dy;  // point i is (x0 + i dx, y0 + i dy) within 1e-12 (|x| + |y| + 1)
    double bound;           // the largest |x| + |y| + 1 over the column's points
    bool line;              // false: the column's points are tested one by one
  };
  GridColumns() = default;
  // A grid whose matrices differ in shape has no columns (rows() == 0).
  GridColumns(const Matrix& xs, const Matrix& ys);
  std::size_t rows() const { return rows_; }
  std::size_t cols() const { return columns_.size(); }
  const Column& column(std::size_t j) const { return columns_[j]; }
  const double* xs() const { return xs_; }
  const double* ys() const { return ys_; }

 private:
  std::size_t rows_ = 0;
  const double* xs_ = nullptr;
  const double* ys_ = nullptr;
  std::vector<Column> columns_;
};

// Positions lo..hi along a column (empty when lo > hi).
struct Span {
  std::ptrdiff_t lo = 0, hi = -1;
  bool empty() const { return lo > hi; }
  bool holds(std::ptrdiff_t i) const { return i >= lo && i <= hi; }
  Span& operator&=(const Span& o) {
    lo = std::max(lo, o.lo);
    hi = std::min(hi, o.hi);
    return *this;
  }
};
// The points of a column surely passing a x + b y + c > t (or >=, or the same test on the value
// divided by the snapping tolerance: the margin covers every such rounding), and the points that may
// pass: the rest surely fail. `sure` lies within `maybe`. A column that is not a line, or values that
// are not finite, give nothing sure and everything maybe. t = -infinity passes everything.
struct HalfPlaneSpans {
  Span sure, maybe;
};
inline HalfPlaneSpans halfPlaneSpans(const GridColumns::Column& column, std::size_t rows, double a, double b,
                                     double c, double t) {
  const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(rows) - 1;
  const Span all{0, last}, none{0, -1};
  if (rows == 0) return {none, none};
  if (t == -std::numeric_limits<double>::infinity()) return {all, all};
  if (!column.line) return {none, all};
  // The value at point i is v0 + i dv up to the column's straightness (1e-12 of the bound) and the
  // rounding of both evaluations: the margin is a hundred times both.
  const double margin = 1e-10 * ((std::abs(a) + std::abs(b)) * column.bound + std::abs(c) + std::abs(t));
  const double v0 = a * column.x0 + b * column.y0 + c, dv = a * column.dx + b * column.dy;
  if (!std::isfinite(margin) || !std::isfinite(v0) || !std::isfinite(dv) || !std::isfinite(t))
    return {none, all};
  if (dv == 0) {
    if (v0 > t + margin) return {all, all};
    if (v0 < t - margin) return {none, none};
    return {none, all};
  }
  // Positions where v0 + i dv crosses t + margin (sure beyond) and t - margin (may beyond). The
  // division's rounding moves them by far less than the margin does; the point at or before a
  // crossing is still counted on the doubtful side. Both lie in [-2, rows + 2].
  const double limit = static_cast<double>(rows) + 2;
  const auto position = [&](double v) { return std::clamp((v - v0) / dv, -2.0, limit); };
  const auto below = [](double q) {  // floor
    const auto i = static_cast<std::ptrdiff_t>(q);
    return i - (q < static_cast<double>(i));
  };
  const auto above = [](double q) {  // ceil
    const auto i = static_cast<std::ptrdiff_t>(q);
    return i + (q > static_cast<double>(i));
  };
  const double qs = position(t + margin), qm = position(t - margin);
  if (dv > 0)
    return {{std::max<std::ptrdiff_t>(below(qs) + 1, 0), last},
            {std::max<std::ptrdiff_t>(below(qm), 0), last}};
  return {{0, std::min(above(qs) - 1, last)}, {0, std::min(above(qm), last)}};
}

// ---- checkconvexity ----------------------------------------------------------------------------
struct Convexity {
  int iscnvx = 1;        // 1 when no vertex is reflex
  std::vector<int> ang;  // per vertex: 1 convex or straight, 0 reflex
};
// Only the sign of rota is used (+1 for a counter-clockwise outline). No tolerance: a straight
// vertex counts as convex.
Convexity checkconvexity(std::span<const double> xx, std::span<const double> yy, double rota);

// ---- checkpointinside --------------------------------------------------------------------------
// True when some point not listed in iexcl (1-based point numbers) lies in the closed triangle given
// by the first three values of xtr, ytr. A triangle whose doubled area is at most 1e-6 holds nothing.
bool checkpointinside(std::span<const double> xx, std::span<const double> yy, std::span<const double> xtr,
                      std::span<const double> ytr, std::span<const int> iexcl = {});

// ---- getwallintersection -----------------------------------------------------------------------
struct WallHit {
  double umin;   // ray parameter of the hit (infinity when nothing is hit)
  int nmin = 0;  // 1-based wall number, 0 when nothing is hit
  double tmin = 0;
};
// Nearest wall hit strictly beyond the second ray point (u > 1), walls in iskip (1-based) skipped.
// isi = +1 accepts walls that reach from the left of the ray direction onto or across the ray line.
WallHit getwallintersection(const Walls& walls, std::span<const int> iskip, double xa, double ya, double xb,
                            double yb, int isi);

// ---- removeouttersurface -----------------------------------------------------------------------
struct InsideResult {
  std::vector<unsigned char> in;  // per test point: 1 inside or on the polygon, 0 outside
  Convexity convexity;            // of the cleaned polygon
};
// Points inside an arbitrary simple polygon: duplicate and straight vertices are dropped, the notches
// are cut off one reflex vertex at a time, then the remaining convex polygon is tested. A polygon
// with fewer than 3 distinct, non-straight vertices encloses nothing.
InsideResult removeouttersurface(std::span<const double> xs, std::span<const double> ys,
                                 std::span<const double> xx, std::span<const double> yy, double rota);

// The same test prepared once for a polygon and then asked point by point (no allocation per point):
// `removeouttersurface` is this over every test point.
class InsidePolygon {
 public:
  InsidePolygon(std::span<const double> xx, std::span<const double> yy, double rota);
  bool contains(double x, double y) const;
  // contains() at every point of a grid (1 inside or on the polygon), in the grid's order: the same
  // answers, found column by column.
  std::vector<unsigned char> contains(const GridColumns& grid) const;
  const Convexity& convexity() const { return convexity_; }

 private:
  using Edge = EdgeTest;
  struct Notch {
    Edge e[3];     // two edges of the current outline and the new diagonal (inclusive)
    bool wall[2];  // the outline edge is a wall of the room (a point on it is inside) rather than
                   // the diagonal of an earlier notch (a point on it is outside)
    double xmin, xmax, ymin, ymax;
  };
  std::vector<Edge> hull_;
  std::vector<Notch> notches_;
  Convexity convexity_;
  bool empty_ = true;
  Bounds bounds_{0, 0, 0, 0};  // every point that passes the hull's snapped edge tests
};

// ---- checksource / checksource2 ----------------------------------------------------------------
enum class PointClass : int { Outside = 0, Inside = 1, OnWall = 2, OnVertex = 3 };
// Class of the point (xso, yso) against the walls; exact comparisons.
int checksource2(double xso, double yso, const Walls& walls);
// The main-window form reads its walls from the drawing; the core is the same.
inline int checksource(double xso, double yso, const Walls& walls) {
  return checksource2(xso, yso, walls);
}

// ---- checkaudience -----------------------------------------------------------------------------
// 1 when the audience-map grid (its four corner points) lies wholly inside the room, -1 otherwise.
// An empty grid gives -1.
int checkaudience(const Walls& walls, const Matrix& xs, const Matrix& ys);

// ---- checkroomconvexity ------------------------------------------------------------------------
// Exactly the three case-record fields the window operation stores.
struct RoomConvexity {
  int iscnvx = 1;
  std::vector<int> ang;
  IndexList ina;  // 1-based grid indices outside the room; empty when the audience lies inside
};
RoomConvexity checkroomconvexity(const Walls& walls, const Matrix& xs, const Matrix& ys);
// The same into `out`, reusing its buffers.
void checkroomconvexity(const Walls& walls, const Matrix& xs, const Matrix& ys, RoomConvexity& out);

// ---- test --------------------------------------------------------------------------------------
// The diagnostic walk highlights walls 1..N in wall order; the core only lists that order (1-based).
std::vector<int> test(const Walls& walls);

}  // namespace velmora::engine
