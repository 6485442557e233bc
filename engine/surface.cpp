#include "engine/surface.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/energy.h"
#include "engine/visibility.h"

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

SurfaceValues refreshsurfacevalues(const SurfaceInputs& in, const ProgressFn& progress) {
  SurfaceValues out;
  const std::size_t n = in.walls.size();
  const std::size_t rows = in.xs.rows, cols = in.xs.cols;
  const bool shapeOk = in.ys.rows == rows && in.ys.cols == cols && in.xs.size() == rows * cols;
  const std::size_t points = shapeOk ? in.xs.size() : 0;
  const double* xs = in.xs.data.data();
  const double* ys = in.ys.data.data();
  const std::span<const double> xspan(xs, points), yspan(ys, points);
  out.PT = Matrix(shapeOk ? rows : 0, shapeOk ? cols : 0);
  out.RT = out.PT;
  out.Pso = out.PT;
  out.Pwall.assign(n, {});
  out.inRW.assign(n, {});
  out.xpol.assign(n, {});
  out.ypol.assign(n, {});

  // Direct sound.
  if (in.iscnvx == 0) {
    const auto seen = computedirectsound(in.iwv, in.visible, in.xso, in.yso, xspan, yspan);
    out.inDS = zeroIndices(seen);
  }
  for (std::size_t k = 0; k < points; ++k)
    out.Pso.data[k] = pointsourceenergy(std::hypot(xs[k] - in.xso, ys[k] - in.yso));
  for (std::size_t idx : out.inDS) out.Pso.data[idx - 1] = 0;

  // The timing covers the reflections, from the opening of the progress bar.
  const auto started = std::chrono::steady_clock::now();
  const bool report = !in.noprogressbar && progress;
  const std::string total = std::to_string(n);
  if (report) progress(0.0, "processing wall 0 on " + total);

  std::vector<unsigned char> insideRoom;  // computed once, only if a zone has to be evaluated exactly
  for (std::size_t i = 0; i < n; ++i) {
    if (report)
      progress(static_cast<double>(i + 1) / n, "processing wall " + std::to_string(i + 1) + " on " + total);
    double alpha = i < in.alpha.size() ? in.alpha[i] : 0.0;
    alpha = std::isnan(alpha) ? 100.0 : std::clamp(alpha, 0.0, 100.0);
    if (i >= in.images.size()) continue;
    const ImageRecord& ima = in.images[i];
    if (ima.validity == 0 || std::isnan(ima.validity) || alpha == 100) continue;
    IndexList& hits = out.inRW[i];
    if (in.iscnvx != 0) {
      const Line& l1 = ima.line1;
      const Line& l2 = ima.line2;
      for (std::size_t k = 0; k < points; ++k)
        if (sideInclusive(l1.s, l1.value(xs[k], ys[k])) && sideStrict(l2.s, l2.value(xs[k], ys[k])))
          hits.push_back(k + 1);
    } else {
      const Wall seen = i < in.visible.size() ? in.visible[i] : in.walls[i];
      ZoneResult zone = checkimagevisibility(static_cast<int>(i) + 1, in.walls, seen, ima, xspan, yspan);
      out.console.insert(out.console.end(), zone.console.begin(), zone.console.end());
      if (zone.beep) ++out.beeps;
      out.xpol[i] = std::move(zone.xp);
      out.ypol[i] = std::move(zone.yp);
      if (zone.failed) {
        // The tracing gave up: evaluate this wall's reflection exactly at every point instead.
        if (insideRoom.empty() && points > 0) {
          const auto xx = wallStartsX(in.walls), yy = wallStartsY(in.walls);
          insideRoom = removeouttersurface(xspan, yspan, xx, yy, 1).in;
        }
        zone.E = exactreflectionzone(static_cast<int>(i) + 1, in.walls, ima, in.xso, in.yso, xspan, yspan,
                                     insideRoom);
        out.exactWalls.push_back(static_cast<int>(i) + 1);
      }
      for (std::size_t k = 0; k < points && k < zone.E.size(); ++k)
        if (zone.E[k]) hits.push_back(k + 1);
    }
    double dcoef = i < in.diffcoef.size() ? in.diffcoef[i] : 1.0;
    if (!std::isfinite(dcoef) || dcoef < 0) dcoef = 1.0;
    const double factor = dcoef * (1 - alpha / 100);
    std::vector<double>& energy = out.Pwall[i];
    energy.resize(hits.size());
    for (std::size_t h = 0; h < hits.size(); ++h) {
      const std::size_t k = hits[h] - 1;
      energy[h] = factor * pointsourceenergy(std::hypot(xs[k] - ima.xi, ys[k] - ima.yi));
      out.RT.data[k] += 1;
      out.PT.data[k] += energy[h];
    }
  }
  if (!in.noprogressbar) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out.console.push_back("time for reflections computation: " + std::to_string(std::lround(seconds)) +
                          " sec");
  }
  return out;
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
