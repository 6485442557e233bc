#include "engine/beams.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include "engine/case_inputs.h"
#include "engine/energy.h"

namespace velmora::engine {

namespace {

// An image closer than this (m) to a wall's line sees the wall edge on: it reflects nothing there.
constexpr double kEdgeOn = 1e-9;
// A lit part shorter than this (m) carries no beam: its zone has no width a grid could resolve.
constexpr double kShortest = 1e-9;
// Window parameters closer than this are one ray.
constexpr double kSameRay = 1e-12;
// A wall whose range along the window reaches within this of [0, 1] may block a ray.
constexpr double kRange = 1e-9;

double cross(double ax, double ay, double bx, double by) {
  return ax * by - ay * bx;
}

double wallLength(const Wall& w) {
  return std::hypot(w.x2 - w.x1, w.y2 - w.y1);
}

// Signed distance of p from the wall's line, positive on the room side (the left of the wall).
double roomSide(const Wall& w, Point p) {
  const double dx = w.x2 - w.x1, dy = w.y2 - w.y1;
  return cross(dx, dy, p.x - w.x1, p.y - w.y1) / std::hypot(dx, dy);
}

Point mirror(const Wall& w, Point p) {
  const double dx = w.x2 - w.x1, dy = w.y2 - w.y1, l2 = dx * dx + dy * dy;
  const double t = ((p.x - w.x1) * dx + (p.y - w.y1) * dy) / l2;
  return {2 * (w.x1 + t * dx) - p.x, 2 * (w.y1 + t * dy) - p.y};
}

// Wall parameter (0 first end, 1 second end) of the foot of p, within [0, 1].
double paramOn(const Wall& w, double x, double y) {
  const double dx = w.x2 - w.x1, dy = w.y2 - w.y1;
  return std::clamp(((x - w.x1) * dx + (y - w.y1) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
}

// The part s1..s2 of a wall; the wall's own end points where the part reaches them, so that the
// neighbouring walls meet the window exactly.
Wall partOf(const Wall& w, double s1, double s2) {
  const auto at = [&](double s, double a, double b) { return s == 0 ? a : s == 1 ? b : a + s * (b - a); };
  return {at(s1, w.x1, w.x2), at(s1, w.y1, w.y2), at(s2, w.x1, w.x2), at(s2, w.y1, w.y2)};
}

struct LitPart {
  std::size_t wall;  // 0-based
  double s1, s2;     // wall parameters, s1 < s2
};

struct Sweep {
  ZonePolygon zone;
  std::vector<LitPart> lit;  // in the order of the window
};

struct Segment {
  std::size_t wall;
  Point c, d;       // the whole wall
  double tlo, thi;  // range along the window of its part beyond the window's line
};

// The rays from the apex through the window, swept from the window's first end to its second: between
// two rays through wall end points the nearest wall beyond the window is one and the same, found on
// the middle ray; the boundary runs along it from one ray to the other.
Sweep sweepbeam(const Walls& walls, std::size_t last, Point apex, const Wall& window, bool wantZone,
                bool wantLit) {
  Sweep out;
  const std::size_t n = walls.size();
  const double wx = window.x2 - window.x1, wy = window.y2 - window.y1;
  const double len2 = wx * wx + wy * wy;
  if (!(len2 > 0)) return out;
  // f: the window line's value, positive on the room side.
  const auto f = [&](double x, double y) { return cross(wx, wy, x - window.x1, y - window.y1); };
  const double fa = f(apex.x, apex.y);
  if (!(fa < -kEdgeOn * std::sqrt(len2))) return out;
  const auto windowT = [&](double x, double y) {
    const double k = fa / (fa - f(x, y));
    const double qx = apex.x + k * (x - apex.x), qy = apex.y + k * (y - apex.y);
    return ((qx - window.x1) * wx + (qy - window.y1) * wy) / len2;
  };
  std::vector<Segment> segments;
  std::vector<double> events{0.0, 1.0};
  double extent = std::abs(apex.x) + std::abs(apex.y);
  for (std::size_t j = 0; j < n; ++j) {
    const Wall& w = walls[j];
    extent = std::max({extent, std::abs(w.x1), std::abs(w.y1), std::abs(w.x2), std::abs(w.y2)});
    if (j == last) continue;
    const double fc = f(w.x1, w.y1), fd = f(w.x2, w.y2);
    if (!(fc > 0) && !(fd > 0)) continue;  // on or behind the window's line: never in a ray's way
    Point c{w.x1, w.y1}, d{w.x2, w.y2};
    if (fc < 0) c = {w.x1 + (w.x2 - w.x1) * fc / (fc - fd), w.y1 + (w.y2 - w.y1) * fc / (fc - fd)};
    if (fd < 0) d = {w.x2 + (w.x1 - w.x2) * fd / (fd - fc), w.y2 + (w.y1 - w.y2) * fd / (fd - fc)};
    const double tc = windowT(c.x, c.y), td = windowT(d.x, d.y);
    const double lo = std::min(tc, td), hi = std::max(tc, td);
    if (!(hi >= -kRange && lo <= 1 + kRange)) continue;
    segments.push_back({j, {w.x1, w.y1}, {w.x2, w.y2}, lo - kRange, hi + kRange});
    if (tc > 0 && tc < 1) events.push_back(tc);
    if (td > 0 && td < 1) events.push_back(td);
  }
  std::sort(events.begin(), events.end());
  std::sort(segments.begin(), segments.end(), [](const Segment& a, const Segment& b) {
    return a.tlo < b.tlo || (a.tlo == b.tlo && a.wall < b.wall);
  });

  // Point of the window at parameter t, its ends exactly.
  const auto windowPoint = [&](double t) -> Point {
    if (t == 0) return {window.x1, window.y1};
    if (t == 1) return {window.x2, window.y2};
    return {window.x1 + t * wx, window.y1 + t * wy};
  };
  const double far = 1e3 * (extent + 1);
  // Where the ray through the window at t meets the line of wall j (beyond the window); far along
  // the ray when no wall is there.
  const auto boundaryPoint = [&](double t, const Segment* s) -> Point {
    const Point q = windowPoint(t);
    const double dx = q.x - apex.x, dy = q.y - apex.y;
    double u = 1 + far / std::hypot(dx, dy);
    if (s != nullptr) {
      const double ex = s->d.x - s->c.x, ey = s->d.y - s->c.y;
      const double den = cross(dx, dy, ex, ey);
      if (den != 0) u = std::max(1.0, cross(s->c.x - apex.x, s->c.y - apex.y, ex, ey) / den);
    }
    return {apex.x + u * dx, apex.y + u * dy};
  };

  struct Stretch {
    double ta, tb;
    const Segment* s;  // nearest wall, nullptr for none
  };
  std::vector<Stretch> stretches;
  std::vector<const Segment*> active;
  std::size_t next = 0;
  for (std::size_t e = 0; e + 1 < events.size(); ++e) {
    const double ta = events[e], tb = events[e + 1];
    if (!(tb - ta > kSameRay)) continue;
    const double tm = (ta + tb) / 2;
    while (next < segments.size() && segments[next].tlo <= tm) active.push_back(&segments[next++]);
    std::erase_if(active, [&](const Segment* s) { return s->thi < tm; });
    const Point q = windowPoint(tm);
    const double dx = q.x - apex.x, dy = q.y - apex.y;
    const Segment* nearest = nullptr;
    double best = 0;
    for (const Segment* s : active) {
      const double ex = s->d.x - s->c.x, ey = s->d.y - s->c.y;
      const double den = cross(dx, dy, ex, ey);
      if (den == 0) continue;
      const double cx = s->c.x - apex.x, cy = s->c.y - apex.y;
      const double along = cross(cx, cy, dx, dy) / den;  // on the wall, 0 at c and 1 at d
      if (along < -kSameRay || along > 1 + kSameRay) continue;
      const double u = cross(cx, cy, ex, ey) / den;
      if (u < 1 - 1e-9) continue;  // before the window
      if (nearest == nullptr || u < best || (u == best && s->wall < nearest->wall)) {
        nearest = s;
        best = u;
      }
    }
    // Rays too close to tell apart were skipped: the stretches on either side still join.
    if (!stretches.empty() && stretches.back().s == nearest)
      stretches.back().tb = tb;
    else
      stretches.push_back({ta, tb, nearest});
  }

  if (wantZone) {
    ZonePolygon& z = out.zone;
    const auto push = [&](Point p) {
      if (!z.xp.empty() && z.xp.back() == p.x && z.yp.back() == p.y) return;
      z.xp.push_back(p.x);
      z.yp.push_back(p.y);
    };
    push(windowPoint(0));
    for (const Stretch& st : stretches) {
      push(boundaryPoint(st.ta, st.s));
      push(boundaryPoint(st.tb, st.s));
    }
    push(windowPoint(1));
  }
  if (wantLit) {
    for (const Stretch& st : stretches) {
      if (st.s == nullptr) continue;
      const Wall& w = walls[st.s->wall];
      // Only a wall that faces the image is lit from the room side.
      if (!(roomSide(w, apex) > kEdgeOn)) continue;
      const Point a = boundaryPoint(st.ta, st.s), b = boundaryPoint(st.tb, st.s);
      double s1 = paramOn(w, a.x, a.y), s2 = paramOn(w, b.x, b.y);
      if (s1 > s2) std::swap(s1, s2);
      if (!((s2 - s1) * wallLength(w) > kShortest)) continue;
      if (!out.lit.empty() && out.lit.back().wall == st.s->wall && out.lit.back().s2 == s1)
        out.lit.back().s2 = s2;
      else
        out.lit.push_back({st.s->wall, s1, s2});
    }
  }
  return out;
}

// What every beam of a case shares.
struct Context {
  const Walls& walls;
  std::vector<double> absorption;  // percent, within [0, 100]; NaN counts as 100
  std::vector<bool> convex;        // walls of a curved stretch
  std::vector<Curve> curves;
  bool diffusion = true;
};

Context contextOf(const CaseInputs& in, const ImageSet& images) {
  Context ctx{in.walls, {}, {}, in.curves, in.diffusion};
  const std::size_t n = in.walls.size();
  ctx.absorption.resize(n);
  for (std::size_t j = 0; j < n; ++j) {
    const double a = j < in.alpha.size() ? in.alpha[j] : 0.0;
    ctx.absorption[j] = std::isnan(a) ? 100.0 : std::clamp(a, 0.0, 100.0);
  }
  ctx.convex.assign(n, false);
  for (int w : images.convexWalls)
    if (w >= 1 && static_cast<std::size_t>(w) <= n) ctx.convex[static_cast<std::size_t>(w - 1)] = true;
  return ctx;
}

double sanitisedDiffcoef(double d) {
  return std::isfinite(d) && d >= 0 ? d : 1.0;
}

std::vector<Beam> firstOrderBeams(const Context& ctx, const ImageSet& images) {
  std::vector<Beam> beams;
  const Point source{images.xso, images.yso};
  for (std::size_t j = 0; j < ctx.walls.size(); ++j) {
    const Wall& w = ctx.walls[j];
    if (!(wallLength(w) > 0) || ctx.absorption[j] == 100 || j >= images.images.size()) continue;
    const double validity = images.images[j].validity;
    if (validity != 1 && validity != 2) continue;  // hidden, or the source on an end vertex
    if (!(roomSide(w, source) > kEdgeOn)) continue;
    const Wall& seen = j < images.visible.size() ? images.visible[j] : w;
    double s1 = paramOn(w, seen.x1, seen.y1), s2 = paramOn(w, seen.x2, seen.y2);
    if (s1 > s2) std::swap(s1, s2);
    if (!((s2 - s1) * wallLength(w) > kShortest)) continue;
    const double dcoef = sanitisedDiffcoef(j < images.diffcoef.size() ? images.diffcoef[j] : 1.0);
    beams.push_back({mirror(w, source), partOf(w, s1, s2), static_cast<int>(j) + 1, kNoParent,
                     dcoef * (1 - ctx.absorption[j] / 100)});
  }
  return beams;
}

std::vector<Beam> childrenOf(const Context& ctx, const Beam& parent, std::size_t index, const Sweep& sweep) {
  std::vector<Beam> children;
  for (const LitPart& part : sweep.lit) {
    const std::size_t j = part.wall;
    if (ctx.absorption[j] == 100) continue;  // a wall that absorbs everything ends its beams
    const Wall& w = ctx.walls[j];
    const Wall window = partOf(w, part.s1, part.s2);
    double dcoef = 1;
    if (ctx.diffusion && ctx.convex[j]) {
      const int seen = part.s1 > 0 || part.s2 < 1 ? 2 : 1;
      dcoef = sanitisedDiffcoef(computeimagec(static_cast<int>(j) + 1, seen, ctx.curves, window.x1, window.y1,
                                              window.x2, window.y2, parent.image.x, parent.image.y)
                                    .dcoef);
    }
    children.push_back({mirror(w, parent.image), window, static_cast<int>(j) + 1, index,
                        parent.factor * (dcoef * (1 - ctx.absorption[j] / 100))});
  }
  return children;
}

Sweep sweepOf(const Walls& walls, const Beam& b, bool wantZone, bool wantLit) {
  return sweepbeam(walls, static_cast<std::size_t>(b.wall - 1), b.image, b.window, wantZone, wantLit);
}

BeamTree trace(const Context& ctx, const ImageSet& images, int order, std::size_t limit) {
  BeamTree tree;
  order = std::clamp(order, 1, kMaxOrder);
  tree.orders.push_back(firstOrderBeams(ctx, images));
  std::size_t total = tree.orders[0].size();
  if (total > limit) {
    tree.complete = false;
    return tree;
  }
  // Parents in chunks, so that a level far past the limit is never held whole.
  constexpr std::size_t kChunk = 1024;
  std::vector<std::vector<Beam>> children;
  for (int k = 1; k < order; ++k) {
    const std::vector<Beam>& parents = tree.orders.back();
    std::vector<Beam> level;
    for (std::size_t first = 0; first < parents.size(); first += kChunk) {
      const std::size_t last = std::min(parents.size(), first + kChunk);
      children.assign(last - first, {});
      tbb::parallel_for(tbb::blocked_range<std::size_t>(first, last, 1), [&](const auto& r) {
        for (std::size_t i = r.begin(); i < r.end(); ++i)
          children[i - first] = childrenOf(ctx, parents[i], i, sweepOf(ctx.walls, parents[i], false, true));
      });
      for (std::vector<Beam>& c : children) level.insert(level.end(), c.begin(), c.end());
      if (total + level.size() > limit) {
        tree.complete = false;
        tree.orders.push_back(std::move(level));
        return tree;
      }
    }
    total += level.size();
    tree.orders.push_back(std::move(level));
  }
  return tree;
}

// The zones of the beams of order 2 and above rasterised onto the grid, a chunk of beams at a time
// (their hit lists, 1-based and increasing, held together). `reduce(k, first, last, hits, from, to)`
// takes the chunk's beams first..last of order k over the grid points from..to (0-based, to
// excluded), point ranges in parallel, each range seeing the beams in order: sums come out the same
// at any thread count. `chunkDone(k, beamsDone, last)` follows each chunk (and opens each order
// with last = 0) on the calling thread.
template <class Reduce, class ChunkDone>
void rasterise(const Context& ctx, const BeamTree& tree, const Matrix& xs, const Matrix& ys, Reduce&& reduce,
               ChunkDone&& chunkDone) {
  const GridScan scan(xs, ys);
  const std::size_t points = xs.size();
  const std::size_t threads = static_cast<std::size_t>(std::max(1, tbb::this_task_arena::max_concurrency()));
  // A few dozen hit lists at once, fewer on a fine grid: at most about 8 million indices (64 MB).
  constexpr std::size_t kHitBudget = std::size_t{1} << 23;
  const std::size_t chunk = std::clamp(kHitBudget / std::max<std::size_t>(points, 1), threads, 32 * threads);
  std::vector<IndexList> hits;
  std::size_t done = 0;
  for (int k = 2; k <= static_cast<int>(tree.orders.size()); ++k) {
    const std::vector<Beam>& beams = tree.orders[static_cast<std::size_t>(k - 1)];
    chunkDone(k, done, std::size_t{0});
    for (std::size_t first = 0; first < beams.size(); first += chunk) {
      const std::size_t last = std::min(beams.size(), first + chunk);
      hits.assign(last - first, {});
      tbb::parallel_for(tbb::blocked_range<std::size_t>(first, last, 1), [&](const auto& r) {
        for (std::size_t i = r.begin(); i < r.end(); ++i) {
          const ZonePolygon zone = sweepOf(ctx.walls, beams[i], true, false).zone;
          hits[i - first] = scan.inside(zone.xp, zone.yp);
        }
      });
      tbb::parallel_for(tbb::blocked_range<std::size_t>(0, points, 8192),
                        [&](const auto& r) { reduce(k, first, last, hits, r.begin(), r.end()); });
      done += last - first;
      chunkDone(k, done, last);
    }
  }
}

std::string refusal(int order, std::size_t limit) {
  return "reflection order " + std::to_string(order) + " refused: more than " + std::to_string(limit) +
         " reflection paths to trace";
}

}  // namespace

std::size_t BeamTree::count() const {
  std::size_t n = 0;
  for (const auto& level : orders) n += level.size();
  return n;
}

std::vector<int> BeamTree::walls(int order, std::size_t index) const {
  std::vector<int> path;
  if (order < 1 || static_cast<std::size_t>(order) > orders.size() ||
      index >= orders[static_cast<std::size_t>(order - 1)].size())
    return path;
  for (int k = order; k >= 1 && index != kNoParent; --k) {
    const Beam& b = orders[static_cast<std::size_t>(k - 1)][index];
    path.push_back(b.wall);
    index = b.parent;
  }
  std::reverse(path.begin(), path.end());
  return path;
}

ImageSet firstorderimages(const CaseInputs& in) {
  const Convexity c = checkconvexity(wallStartsX(in.walls), wallStartsY(in.walls), 1);
  ImageSetInputs ii;
  ii.walls = in.walls;
  ii.ang = c.ang;
  ii.iscnvx = c.iscnvx;
  ii.curves = in.curves;
  ii.xso = in.xso;
  ii.yso = in.yso;
  ii.diffusion = in.diffusion;
  ii.noprogressbar = true;
  return computeimages(ii);
}

BeamTree tracebeams(const CaseInputs& in, const ImageSet& images, int order, std::size_t limit) {
  return trace(contextOf(in, images), images, order, limit);
}

ZonePolygon beamzone(const Walls& walls, const Beam& beam) {
  if (beam.wall < 1 || static_cast<std::size_t>(beam.wall) > walls.size()) return {};
  return sweepOf(walls, beam, true, false).zone;
}

BeamEstimate estimatebeams(const CaseInputs& in, const ImageSet& images, std::size_t limit) {
  BeamEstimate e;
  const int order = std::clamp(in.order, 1, kMaxOrder);
  const BeamTree tree = tracebeams(in, images, order, limit);
  for (const auto& level : tree.orders) e.perOrder.push_back(level.size());
  e.total = tree.count();
  e.tooMuch = !tree.complete;
  if (e.tooMuch) e.message = refusal(order, limit);
  return e;
}

BeamEstimate estimatebeams(const CaseInputs& in, std::size_t limit) {
  return estimatebeams(in, firstorderimages(in), limit);
}

HigherOrderValues higherordermap(const CaseInputs& in, const ImageSet& images, const Matrix& xs,
                                 const Matrix& ys, SurfaceValues& values, const ProgressFn& progress,
                                 std::size_t limit) {
  HigherOrderValues out;
  const int order = std::clamp(in.order, 1, kMaxOrder);
  if (order == 1) return out;
  const std::size_t rows = xs.rows, cols = xs.cols, points = xs.size();
  if (ys.rows != rows || ys.cols != cols || points != rows * cols || ys.size() != points ||
      values.RT.rows != rows || values.RT.cols != cols || values.PT.rows != rows || values.PT.cols != cols)
    return out;
  const Context ctx = contextOf(in, images);
  const BeamTree tree = trace(ctx, images, order, limit);
  if (!tree.complete) {
    out.refused = true;
    out.message = refusal(order, limit);
    return out;
  }
  for (const auto& level : tree.orders) out.beams.push_back(level.size());
  out.RTorder.assign(static_cast<std::size_t>(order), Matrix(rows, cols));
  out.PTorder = out.RTorder;
  out.RTorder[0] = values.RT;
  out.PTorder[0] = values.PT;

  const double* x = xs.data.data();
  const double* y = ys.data.data();
  const bool report = progress && !in.noprogressbar;
  std::size_t work = 0;
  for (int k = 2; k <= order; ++k) work += tree.orders[static_cast<std::size_t>(k - 1)].size();
  rasterise(
      ctx, tree, xs, ys,
      [&](int k, std::size_t first, std::size_t last, const std::vector<IndexList>& hits, std::size_t from,
          std::size_t to) {
        const std::vector<Beam>& beams = tree.orders[static_cast<std::size_t>(k - 1)];
        Matrix& RT = out.RTorder[static_cast<std::size_t>(k - 1)];
        Matrix& PT = out.PTorder[static_cast<std::size_t>(k - 1)];
        for (std::size_t i = first; i < last; ++i) {
          const IndexList& h = hits[i - first];
          const Beam& b = beams[i];
          for (auto it = std::lower_bound(h.begin(), h.end(), from + 1); it != h.end() && *it <= to; ++it) {
            const std::size_t p = *it - 1;
            RT.data[p] += 1;
            PT.data[p] += b.factor * pointsourceenergy(std::hypot(x[p] - b.image.x, y[p] - b.image.y));
          }
        }
      },
      [&](int k, std::size_t done, std::size_t last) {
        if (!report) return;
        progress(work > 0 ? static_cast<double>(done) / static_cast<double>(work) : 0.0,
                 "processing order " + std::to_string(k) + ": beam " + std::to_string(last) + " on " +
                     std::to_string(tree.orders[static_cast<std::size_t>(k - 1)].size()));
      });
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, points, 8192), [&](const auto& r) {
    for (std::size_t p = r.begin(); p < r.end(); ++p)
      for (int k = 2; k <= order; ++k) {
        values.RT.data[p] += out.RTorder[static_cast<std::size_t>(k - 1)].data[p];
        values.PT.data[p] += out.PTorder[static_cast<std::size_t>(k - 1)].data[p];
      }
  });
  return out;
}

bool higherorderechorisk(const CaseInputs& in, const ImageSet& images, const EchoRiskInputs& risk,
                         const EchoRiskThresholds& t, std::vector<std::uint8_t>& flags, std::size_t limit) {
  const std::size_t points = risk.xs.size();
  if (risk.ys.rows != risk.xs.rows || risk.ys.cols != risk.xs.cols || risk.ys.size() != points ||
      risk.Pso.size() != points || flags.size() != points || points != risk.xs.rows * risk.xs.cols)
    return false;
  const int order = std::clamp(in.order, 1, kMaxOrder);
  const Context ctx = contextOf(in, images);
  const BeamTree tree = trace(ctx, images, order, limit);
  if (!tree.complete) return false;
  std::vector<std::uint8_t> excluded(points, 0);
  for (const IndexList* list : {&risk.inDS, &risk.ina})
    for (std::size_t k : *list)
      if (k >= 1 && k <= points) excluded[k - 1] = 1;
  const double levelFactor = std::pow(10.0, -t.levelDb / 10);
  const double* x = risk.xs.data.data();
  const double* y = risk.ys.data.data();
  rasterise(
      ctx, tree, risk.xs, risk.ys,
      [&](int k, std::size_t first, std::size_t last, const std::vector<IndexList>& hits, std::size_t from,
          std::size_t to) {
        const std::vector<Beam>& beams = tree.orders[static_cast<std::size_t>(k - 1)];
        for (std::size_t i = first; i < last; ++i) {
          const IndexList& h = hits[i - first];
          const Beam& b = beams[i];
          for (auto it = std::lower_bound(h.begin(), h.end(), from + 1); it != h.end() && *it <= to; ++it) {
            const std::size_t p = *it - 1;
            if (excluded[p] || flags[p]) continue;
            const double direct = std::max(1.0, std::hypot(x[p] - risk.xso, y[p] - risk.yso));
            const double distance = std::hypot(x[p] - b.image.x, y[p] - b.image.y);
            const double delayMs = (std::max(1.0, distance) - direct) / kEchoSoundSpeed * 1000;
            if (delayMs > t.delayMs && b.factor * pointsourceenergy(distance) >= risk.Pso[p] * levelFactor)
              flags[p] = 1;
          }
        }
      },
      [](int, std::size_t, std::size_t) {});
  return true;
}

std::vector<PathArrival> higherorderarrivals(const CaseInputs& in, const ImageSet& images, const Receptor& r,
                                             std::size_t limit) {
  std::vector<PathArrival> out;
  const int order = std::clamp(in.order, 1, kMaxOrder);
  const Context ctx = contextOf(in, images);
  const BeamTree tree = trace(ctx, images, order, limit);
  if (!tree.complete) return out;
  const Matrix xr(1, 1, r.xre), yr(1, 1, r.yre);
  const GridScan scan(xr, yr);
  const double power = 1e-12 * std::pow(10.0, r.Lw / 10);
  const double dxs = r.xre - images.xso, dys = r.yre - images.yso;
  const double horizontal = std::hypot(dxs, dys);
  const double rso = std::max(1.0, std::sqrt(dxs * dxs + dys * dys + r.Hr * r.Hr));
  for (int k = std::max(1, r.fromOrder); k <= order; ++k) {
    const std::vector<Beam>& beams = tree.orders[static_cast<std::size_t>(k - 1)];
    std::vector<unsigned char> reached(beams.size(), 0);
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, beams.size(), 16), [&](const auto& range) {
      for (std::size_t i = range.begin(); i < range.end(); ++i) {
        const ZonePolygon zone = sweepOf(ctx.walls, beams[i], true, false).zone;
        reached[i] = scan.inside(zone.xp, zone.yp).empty() ? 0 : 1;
      }
    });
    for (std::size_t i = 0; i < beams.size(); ++i) {
      if (!reached[i]) continue;
      const Beam& b = beams[i];
      PathArrival a;
      a.order = k;
      a.walls = tree.walls(k, i);
      a.image = b.image;
      a.window = b.window;
      const double dx = r.xre - b.image.x, dy = r.yre - b.image.y;
      a.distance = std::max(1.0, std::sqrt(dx * dx + dy * dy + r.Hr * r.Hr));
      a.energy = b.factor * kRhoCOver4 * power / std::numbers::pi / (a.distance * a.distance);
      a.levelDb = 10 * std::log10(a.energy / kReferencePressure2);
      a.delayMs = (a.distance - rso) / r.soundSpeed * 1000;
      const double ix = b.image.x - r.xre, iy = b.image.y - r.yre;
      const double lir = std::hypot(ix, iy);
      if (horizontal > 0 && lir > 0) {  // else no direction to measure from: 0
        const double cosine = ((images.xso - r.xre) * ix + (images.yso - r.yre) * iy) / horizontal / lir;
        a.angleDeg = std::acos(std::clamp(cosine, -1.0, 1.0)) / std::numbers::pi * 180;
      }
      out.push_back(std::move(a));
    }
  }
  return out;
}

std::vector<PathArrival> higherorderarrivals(const CaseInputs& in, const Receptor& r, std::size_t limit) {
  return higherorderarrivals(in, firstorderimages(in), r, limit);
}

}  // namespace velmora::engine
