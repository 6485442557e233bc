#include "engine/surface.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include "engine/energy.h"
#include "engine/energy_kernels.h"
#include "engine/kernels.h"
#include "engine/visibility.h"
#include "engine/zones.h"

namespace velmora::engine {

AudienceGrid audiencegrid(std::span<const double> xaud, std::span<const double> yaud, int nsurface) {
  AudienceGrid g;
  if (xaud.size() < 4 || yaud.size() < 4 || nsurface < 1) return g;
  const std::size_t m = static_cast<std::size_t>(nsurface) + 1;
  g.xs = Matrix(m, m);
  g.ys = Matrix(m, m);
  for (std::size_t j = 0; j < m; ++j) {
    const double eta = static_cast<double>(j) / nsurface;
    for (std::size_t i = 0; i < m; ++i) {
      const double xi = static_cast<double>(i) / nsurface;
      g.xs(i, j) = xaud[0] + xi * (xaud[1] - xaud[0]) + eta * (xaud[3] - xaud[0]) +
                   xi * eta * (xaud[0] - xaud[1] + xaud[2] - xaud[3]);
      g.ys(i, j) = yaud[0] + xi * (yaud[1] - yaud[0]) + eta * (yaud[3] - yaud[0]) +
                   xi * eta * (yaud[0] - yaud[1] + yaud[2] - yaud[3]);
    }
  }
  return g;
}

namespace {

// s * snap(v) >= 0 and s * snap(v) > 0 without forming the snapped value: snap(v) is 0 exactly
// when |v / tolerance| < 0.5 (halves round away from zero).
inline bool sideInclusive(double s, double v) {
  const double q = v / kSnapTolerance;
  return s > 0 ? q > -0.5 : s < 0 ? q < 0.5 : true;
}
inline bool sideStrict(double s, double v) {
  const double q = v / kSnapTolerance;
  return s > 0 ? q >= 0.5 : s < 0 ? q <= -0.5 : false;
}

}  // namespace

namespace {

// Everything one wall contributes to the map, computed on any thread and reduced in wall order.
struct WallWork {
  ReachedPoints reached;
  std::vector<double> energy;
  std::vector<double> xp, yp;
  std::vector<std::string> console;
  bool beep = false;
  bool gaveUp = false;  // the zone tracing gave up
};

class WallMap {
 public:
  const GridColumns& columns() const { return scan_.columns(); }
  WallMap(const SurfaceInputs& in, const Matrix& xs, const Matrix& ys, std::size_t points)
      : in_(in), points_(points), xs_(xs.data.data(), points), ys_(ys.data.data(), points), scan_(xs, ys) {}

  // Fills `w`, whose hit list and energies keep their capacity from an earlier computation.
  void compute(std::size_t i, WallWork& w) const {
    w.reached.hits.clear();
    w.reached.runs.clear();
    w.energy.clear();
    double alpha = i < in_.alpha.size() ? in_.alpha[i] : 0.0;
    alpha = std::isnan(alpha) ? 100.0 : std::clamp(alpha, 0.0, 100.0);
    if (i >= in_.images.size()) return;
    const ImageRecord& ima = in_.images[i];
    if (ima.validity == 0 || std::isnan(ima.validity) || alpha == 100) return;
    if (in_.iscnvx != 0)
      convexZone(ima, w.reached);
    else
      tracedZone(i, ima, w);
    double dcoef = i < in_.diffcoef.size() ? in_.diffcoef[i] : 1.0;
    if (!std::isfinite(dcoef) || dcoef < 0) dcoef = 1.0;
    const double factor = dcoef * (1 - alpha / 100);
    w.energy.resize(w.reached.hits.size());
    for (const ReachedPoints::Run& run : w.reached.runs)
      pointsourceenergies(xs_.data() + run.first, ys_.data() + run.first, run.count, ima.xi, ima.yi, factor,
                          w.energy.data() + run.at);
  }

 private:
  // The wedge between the record's two boundary lines, column by column: only the points near its
  // edges are tested, those well inside it are taken as they come.
  void convexZone(const ImageRecord& ima, ReachedPoints& hits) const {
    const Line& l1 = ima.line1;
    const Line& l2 = ima.line2;
    const auto reached = [&](std::size_t k) {
      return sideInclusive(l1.s, l1.value(xs_[k], ys_[k])) && sideStrict(l2.s, l2.value(xs_[k], ys_[k]));
    };
    if (!(l2.s > 0 || l2.s < 0)) return;  // a strict test with no side passes nowhere
    const GridColumns& grid = scan_.columns();
    const std::size_t rows = grid.rows();
    if (rows * grid.cols() != points_) {
      for (std::size_t k = 0; k < points_; ++k)
        if (reached(k)) hits.add(k);
      return;
    }
    const double tol = kSnapTolerance;
    const double s1 = l1.s > 0 ? 1.0 : l1.s < 0 ? -1.0 : 0.0, s2 = l2.s > 0 ? 1.0 : -1.0;
    std::vector<HalfPlaneSpans> zones(grid.cols());
    std::size_t most = 0;
    for (std::size_t j = 0; j < grid.cols(); ++j) {
      const GridColumns::Column& column = grid.column(j);
      HalfPlaneSpans& zone = zones[j];
      zone = halfPlaneSpans(column, rows, s2 * l2.a, s2 * l2.b, s2 * l2.c, 0.5 * tol);
      if (s1 != 0) {
        const HalfPlaneSpans h = halfPlaneSpans(column, rows, s1 * l1.a, s1 * l1.b, s1 * l1.c, -0.5 * tol);
        zone.sure &= h.sure;
        zone.maybe &= h.maybe;
      }
      if (!zone.maybe.empty()) most += static_cast<std::size_t>(zone.maybe.hi - zone.maybe.lo + 1);
    }
    hits.hits.reserve(most);
    for (std::size_t j = 0; j < grid.cols(); ++j) {
      const HalfPlaneSpans& zone = zones[j];
      const std::size_t base = j * rows;
      const auto test = [&](std::ptrdiff_t from, std::ptrdiff_t to) {
        for (std::ptrdiff_t i = from; i <= to; ++i)
          if (reached(base + static_cast<std::size_t>(i))) hits.add(base + static_cast<std::size_t>(i));
      };
      if (zone.sure.empty()) {
        test(zone.maybe.lo, zone.maybe.hi);
        continue;
      }
      test(zone.maybe.lo, zone.sure.lo - 1);
      hits.add(base + static_cast<std::size_t>(zone.sure.lo),
               static_cast<std::size_t>(zone.sure.hi - zone.sure.lo + 1));
      test(zone.sure.hi + 1, zone.maybe.hi);
    }
  }

  // Room that is not convex. The tracing still runs for its diagnostics; the zone itself is the
  // exact region seen from the image through the wall's seen part, which the traced polygon can
  // overstep in a room that winds round itself.
  void tracedZone(std::size_t i, const ImageRecord& ima, WallWork& w) const {
    const int nor = static_cast<int>(i) + 1;
    const Wall seen = i < in_.visible.size() ? in_.visible[i] : in_.walls[i];
    const std::optional<Point> apex = reflectionapex(ima);
    const bool exact = apex && (ima.validity == 1 || ima.validity == 2);
    // Without a grid the tracing only builds its polygon and its messages.
    const std::span<const double> none;
    ZoneResult zone = checkimagevisibility(nor, in_.walls, seen, ima, exact ? none : xs_, exact ? none : ys_);
    w.console = std::move(zone.console);
    w.beep = zone.beep;
    w.gaveUp = zone.failed;
    if (exact) {
      ZonePolygon polygon = reflectionzonepolygon(nor, in_.walls, seen, *apex);
      scan_.inside(polygon.xp, polygon.yp, w.reached);
      w.xp = std::move(polygon.xp);
      w.yp = std::move(polygon.yp);
      return;
    }
    // The source on the wall's line (class 3 or an image on the wall): the traced zone, or where the
    // tracing gave up the reflection tested point by point.
    w.xp = std::move(zone.xp);
    w.yp = std::move(zone.yp);
    if (zone.failed)
      zone.E = exactreflectionzone(nor, in_.walls, ima, in_.xso, in_.yso, xs_, ys_, insideRoom());
    for (std::size_t k = 0; k < points_ && k < zone.E.size(); ++k)
      if (zone.E[k]) w.reached.add(k);
  }

  // Rare (the tracing gave up with the source on the wall's line), so not shared between walls: a
  // lock held round nested parallel work could be re-entered by the same thread.
  std::vector<unsigned char> insideRoom() const {
    const auto xx = wallStartsX(in_.walls), yy = wallStartsY(in_.walls);
    const InsidePolygon room(xx, yy, 1);
    std::vector<unsigned char> in(points_);
    for (std::size_t k = 0; k < points_; ++k) in[k] = room.contains(xs_[k], ys_[k]) ? 1 : 0;
    return in;
  }

  const SurfaceInputs& in_;
  std::size_t points_;
  std::span<const double> xs_, ys_;
  GridScan scan_;
};

}  // namespace

SurfaceValues refreshsurfacevalues(const SurfaceInputs& in, const ProgressFn& progress) {
  return refreshsurfacevalues(in, in.xs, in.ys, progress);
}

SurfaceValues refreshsurfacevalues(const SurfaceInputs& in, const Matrix& gridX, const Matrix& gridY,
                                   const ProgressFn& progress) {
  SurfaceValues out;
  refreshsurfacevalues(in, gridX, gridY, out, progress);
  return out;
}

void refreshsurfacevalues(const SurfaceInputs& in, const Matrix& gridX, const Matrix& gridY,
                          SurfaceValues& out, const ProgressFn& progress) {
  const std::size_t n = in.walls.size();
  const std::size_t rows = gridX.rows, cols = gridX.cols;
  const bool shapeOk =
      gridY.rows == rows && gridY.cols == cols && gridX.size() == rows * cols && gridY.size() == rows * cols;
  const std::size_t points = shapeOk ? gridX.size() : 0;
  const double* xs = gridX.data.data();
  const double* ys = gridY.data.data();
  const std::span<const double> xspan(xs, points), yspan(ys, points);
  // Every field is replaced; the buffers of an earlier result are filled again where they fit.
  for (Matrix* m : {&out.PT, &out.RT, &out.Pso}) {
    m->rows = shapeOk ? rows : 0;
    m->cols = shapeOk ? cols : 0;
    m->data.assign(points, 0.0);
  }
  std::vector<WallWork> work(n);
  for (std::size_t i = 0; i < n && i < out.inRW.size() && i < out.Pwall.size(); ++i) {
    work[i].reached.hits = std::move(out.inRW[i]);
    work[i].energy = std::move(out.Pwall[i]);
  }
  out.Pwall.resize(n);
  out.inRW.resize(n);
  out.xpol.assign(n, {});
  out.ypol.assign(n, {});
  out.inDS.clear();
  out.console.clear();
  out.beeps = 0;
  out.exactWalls.clear();

  const WallMap map(in, gridX, gridY, points);
  // Direct sound, none where the source is not seen.
  std::vector<unsigned char> seen;
  if (in.iscnvx == 0) {
    seen = map.columns().rows() > 0 ? computedirectsound(in.iwv, in.visible, in.xso, in.yso, map.columns())
                                    : computedirectsound(in.iwv, in.visible, in.xso, in.yso, xspan, yspan);
    zeroIndices(seen, out.inDS);
  }
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, points, 4096), [&](const auto& r) {
    double* pso = out.Pso.data.data();
    pointsourceenergies(xs + r.begin(), ys + r.begin(), r.size(), in.xso, in.yso, 1.0, pso + r.begin());
    if (!seen.empty())
      for (std::size_t k = r.begin(); k < r.end(); ++k)
        if (!seen[k]) pso[k] = 0.0;
  });

  // The timing covers the reflections, from the opening of the progress bar.
  const auto started = std::chrono::steady_clock::now();
  const bool report = !in.noprogressbar && progress;
  const std::string total = std::to_string(n);
  if (report) progress(0.0, "processing wall 0 on " + total);

  // Walls are computed in parallel, each into its own slot, and added to the map in wall order, so
  // the sums are the same at any thread count. With a progress bar they go in chunks of a few walls
  // per thread, and the calling thread (which owns the bar) reports each chunk's walls in order.
  const std::size_t threads = static_cast<std::size_t>(std::max(1, tbb::this_task_arena::max_concurrency()));
  const std::size_t chunk = report ? 2 * threads : std::max<std::size_t>(n, 1);
  for (std::size_t first = 0; first < n; first += chunk) {
    const std::size_t last = std::min(n, first + chunk);
    tbb::parallel_for(tbb::blocked_range<std::size_t>(first, last, 1), [&](const auto& r) {
      for (std::size_t i = r.begin(); i < r.end(); ++i) map.compute(i, work[i]);
    });
    // Sums per point in wall order, the points spread over the cores.
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, points, 8192), [&](const auto& r) {
      for (std::size_t i = first; i < last; ++i) {
        const std::vector<ReachedPoints::Run>& runs = work[i].reached.runs;
        const double* energy = work[i].energy.data();
        auto run = std::upper_bound(runs.begin(), runs.end(), r.begin(),
                                    [](std::size_t k, const ReachedPoints::Run& u) { return k < u.first; });
        if (run != runs.begin()) --run;
        for (; run != runs.end() && run->first < r.end(); ++run) {
          const std::size_t from = std::max(run->first, r.begin());
          const std::size_t to = std::min(run->first + run->count, r.end());
          if (from >= to) continue;
          addreflections(out.PT.data.data() + from, out.RT.data.data() + from,
                         energy + run->at + (from - run->first), to - from);
        }
      }
    });
    for (std::size_t i = first; i < last; ++i) {
      if (report)
        progress(static_cast<double>(i + 1) / n, "processing wall " + std::to_string(i + 1) + " on " + total);
      WallWork& w = work[i];
      out.console.insert(out.console.end(), w.console.begin(), w.console.end());
      if (w.beep) ++out.beeps;
      if (w.gaveUp) out.exactWalls.push_back(static_cast<int>(i) + 1);
      out.inRW[i] = std::move(w.reached.hits);
      out.Pwall[i] = std::move(w.energy);
      out.xpol[i] = std::move(w.xp);
      out.ypol[i] = std::move(w.yp);
      w = WallWork{};
    }
  }
  if (!in.noprogressbar) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out.console.push_back("time for reflections computation: " + std::to_string(std::lround(seconds)) +
                          " sec");
  }
}

ColorTable calculate_colormap(const ColorTable& cm0, int n) {
  const std::size_t m = cm0.size();
  if (m == 0) return {};
  if (n <= 1 || m == 1) return {cm0[0], cm0[0]};
  ColorTable cm(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    // Position 1 + k (m - 1) / (n - 1) in the 1-based table, here 0-based.
    const double pos = static_cast<double>(k) * static_cast<double>(m - 1) / (n - 1);
    std::size_t lo = static_cast<std::size_t>(std::floor(pos));
    if (lo >= m - 1) lo = m - 2;
    const double f = pos - static_cast<double>(lo);
    for (int c = 0; c < 3; ++c)
      cm[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] =
          cm0[lo][static_cast<std::size_t>(c)] +
          f * (cm0[lo + 1][static_cast<std::size_t>(c)] - cm0[lo][static_cast<std::size_t>(c)]);
  }
  return cm;
}

}  // namespace velmora::engine
