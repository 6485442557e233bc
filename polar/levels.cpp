// Levels, angles and delays of the sound arriving at the receptor.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <optional>
#include <string>

#include "document/acoustics.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/energy.h"
#include "engine/kinds.h"
#include "platform/model/numbers.h"
#include "polar/polar.h"

namespace velmora::polar {

namespace {

constexpr double kTol = 1e-6;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double snapTol(double v) {
  return std::round(v / kTol) * kTol;
}

// Crossing of the wall (x1, y1)-(x2, y2) with the line from Q to the receptor R: t along the wall
// (0 at its start), u along the line from R (0) to Q (1). Nothing when the two are parallel.
struct Crossing {
  double t = 0, u = 0;
};
std::optional<Crossing> crossing(const engine::Wall& w, double xq, double yq, double xre, double yre) {
  const double m11 = w.x2 - w.x1, m21 = w.y2 - w.y1;
  const double m12 = xre - xq, m22 = yre - yq;
  const double det = m11 * m22 - m12 * m21;
  if (!(std::abs(det) > kTol)) return std::nullopt;
  const double bx = xre - w.x1, by = yre - w.y1;
  const double t = (m22 * bx - m12 * by) / det;
  const double u = (m11 * by - m21 * bx) / det;
  return Crossing{snapTol(t), snapTol(u)};
}

bool inClosed(double v) {
  return v >= 0 && v <= 1;
}

double levelOf(double p) {
  return 10 * std::log10(p / engine::kReferencePressure2);
}

}  // namespace

double roundTo(double v, double step) {
  return platform::roundHalfAway(v / step) * step;
}

std::string shown(double v, double step) {
  // Rounding to a decimal step leaves binary noise (0.1 * 667 = 66.7000000001); reading the value
  // back through its decimal digits gives the short text.
  const double r = roundTo(v, step);
  if (!std::isfinite(r)) return platform::formatNumber(r);
  const int digits = step >= 1 ? 0 : static_cast<int>(std::lround(-std::log10(step)));
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", digits, r);
  return platform::formatNumber(std::strtod(buffer, nullptr));
}

namespace {

// Nothing is drawn for a receptor too close to the source or outside the room.
std::optional<std::string> refusalOf(const PolarInputs& in) {
  if (std::hypot(in.xre - in.xso, in.yre - in.yso) < 1)
    return "receptor must be at least one meter far from source ...";
  if (engine::checksource(in.xre, in.yre, in.walls) == 0) return "receptor is outside room ...";
  return std::nullopt;
}

double sourcePower(const PolarInputs& in) {
  return 1e-12 * std::pow(10.0, in.Lw / 10);
}

void directSound(const PolarInputs& in, PolarLevels& L) {
  const double dxs = in.xre - in.xso, dys = in.yre - in.yso;
  L.rso = std::max(1.0, std::sqrt(dxs * dxs + dys * dys + in.Hr * in.Hr));
  L.Pso = engine::kRhoCOver4 * sourcePower(in) / std::numbers::pi / (L.rso * L.rso);
  L.isov = 1;
  if (in.convex) return;
  for (const engine::Wall& w : in.walls) {
    const auto c = crossing(w, in.xso, in.yso, in.xre, in.yre);
    if (c && inClosed(c->t) && inClosed(c->u)) {
      L.isov = 0;
      return;
    }
  }
}

// First pass: the receptor in the zone of each image.
void reflectionsInZones(const PolarInputs& in, PolarLevels& L) {
  const std::size_t n = in.walls.size();
  const double W = sourcePower(in);
  L.irecv.assign(n, 1);
  L.Pwall.assign(n, engine::kReferencePressure2);
  L.rref.assign(n, kNaN);
  for (std::size_t i = 0; i < n; ++i) {
    const double alpha = i < in.alpha.size() ? in.alpha[i] : 0.0;
    if (i >= in.images.size() || in.images[i].validity == 0 || alpha == 100) {
      L.irecv[i] = 0;
      continue;
    }
    const engine::ImageRecord& im = in.images[i];
    const double v0 = snapTol(im.line0.value(in.xre, in.yre));
    const double v1 = snapTol(im.line1.value(in.xre, in.yre));
    const double v2 = snapTol(im.line2.value(in.xre, in.yre));
    if (im.line0.s * v0 >= 0 && im.line1.s * v1 >= 0 && im.line2.s * v2 > 0) {
      const double dx = in.xre - im.xi, dy = in.yre - im.yi;
      const double r = std::max(1.0, std::sqrt(dx * dx + dy * dy + in.Hr * in.Hr));
      const double dcoef = i < in.diffcoef.size() ? in.diffcoef[i] : 1.0;
      L.Pwall[i] = dcoef * (1 - alpha / 100) * engine::kRhoCOver4 * W / std::numbers::pi / (r * r);
      L.rref[i] = r;
    } else {
      L.irecv[i] = 0;
    }
  }
}

// Whether the reflection of wall i, received by its zone, really reaches the receptor in a room that
// is not convex: its reflection point lies on the seen part of the wall, and the way from there to
// the receptor crosses no other wall.
bool reachesUnobstructed(const PolarInputs& in, std::size_t i) {
  const engine::Wall part = i < in.visible.size() ? in.visible[i] : in.walls[i];
  const engine::ImageRecord& im = in.images[i];
  double xq = im.xi, yq = im.yi;
  if (im.convex) {
    const auto corrected =
        engine::computecorrectimage(im, part.x1, part.y1, part.x2, part.y2, in.xre, in.yre);
    xq = corrected.xi;
    yq = corrected.yi;
  }
  const auto c = crossing(part, xq, yq, in.xre, in.yre);
  if (!c) return true;  // parallel: left as the zone found it
  if (!(inClosed(c->t) && inClosed(c->u))) return false;
  const double px = part.x1 + c->t * (part.x2 - part.x1);
  const double py = part.y1 + c->t * (part.y2 - part.y1);
  for (std::size_t j = 0; j < in.walls.size(); ++j) {
    if (j == i) continue;
    const auto cj = crossing(in.walls[j], px, py, in.xre, in.yre);
    if (cj && inClosed(cj->u) && cj->t >= 0 && cj->t < 1) return false;
  }
  return true;
}

// Second pass in a room that is not convex.
void reflectionsSeen(const PolarInputs& in, PolarLevels& L) {
  const std::size_t n = in.walls.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (L.irecv[i] != 1 || reachesUnobstructed(in, i)) continue;
    L.irecv[i] = 0;
    L.Pwall[i] = engine::kReferencePressure2;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (L.irecv[i] == 0) L.rref[i] = kNaN;
  }
}

// Above order 1: the paths of orders 2..N, from the beams, that carry some energy.
void higherOrderPaths(const PolarInputs& in, PolarLevels& L) {
  if (in.order <= 1) return;
  engine::CaseInputs c;
  c.walls = in.walls;
  c.alpha = in.alpha;
  c.xso = in.xso;
  c.yso = in.yso;
  c.curves = in.curves;
  c.diffusion = in.diffusion;
  c.order = in.order;
  engine::Receptor r{in.xre, in.yre, in.Lw, in.Hr, kSoundSpeed, 2};
  for (engine::PathArrival& a : engine::higherorderarrivals(c, r)) {
    if (a.energy > 0 && std::isfinite(a.levelDb)) L.higher.push_back(std::move(a));
  }
}

void sumLevels(PolarLevels& L) {
  const std::size_t n = L.irecv.size();
  L.PT = 0;
  L.received = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (L.irecv[i] != 0) {
      L.PT += L.Pwall[i];
      ++L.received;
    }
  }
  for (const engine::PathArrival& a : L.higher) L.PT += a.energy;
  if (L.reflections() == 0) L.PT = engine::kReferencePressure2;
  L.Lso = levelOf(L.Pso);
  L.LT = levelOf(L.PT);
  L.LTa = levelOf(L.PT + L.isov * L.Pso);
  L.Lwall.assign(n, kNaN);
  for (std::size_t i = 0; i < n; ++i) {
    const double level = levelOf(L.Pwall[i]);
    // A reflection that does not arrive carries exactly the reference pressure (0 dB).
    if (L.irecv[i] != 0 && level != 0 && std::isfinite(level)) L.Lwall[i] = level;
  }
}

// Scale: the lower limit a little under the weakest reflection, the upper limit the direct level.
void diagramScale(PolarLevels& L) {
  std::vector<double> levels = L.Lwall;
  for (const engine::PathArrival& a : L.higher) levels.push_back(a.levelDb);
  const double weakest = platform::nanMin(levels);
  L.Lmin = std::isnan(weakest) ? 0.0 : std::max(10 * std::floor(weakest / 10) - 2, 0.0);
  // A direct level at or below the lower limit (a very weak source) would leave the diagram no
  // extent: it keeps a range of 1 dB.
  L.Lmax = std::max(L.Lso - L.Lmin, 1.0);
}

void delaysAndAngles(const PolarInputs& in, PolarLevels& L) {
  const std::size_t n = in.walls.size();
  const double horizontal = std::hypot(in.xre - in.xso, in.yre - in.yso);
  L.dela.assign(n, kNaN);
  L.ang.assign(n, kNaN);
  for (std::size_t i = 0; i < n && i < in.images.size(); ++i) {
    L.dela[i] = (L.rref[i] - L.rso) / kSoundSpeed * 1000;
    const double ix = in.images[i].xi - in.xre, iy = in.images[i].yi - in.yre;
    const double lir = std::hypot(ix, iy);
    const double cosine = ((in.xso - in.xre) * ix + (in.yso - in.yre) * iy) / horizontal / lir;
    L.ang[i] = std::acos(std::clamp(cosine, -1.0, 1.0)) / std::numbers::pi * 180;
  }
}

}  // namespace

PolarComputation computePolarLevels(const PolarInputs& in) {
  PolarComputation out;
  out.refusal = refusalOf(in);
  if (out.refusal) return out;
  PolarLevels& L = out.levels;
  directSound(in, L);
  reflectionsInZones(in, L);
  if (!in.convex) reflectionsSeen(in, L);
  higherOrderPaths(in, L);
  sumLevels(L);
  diagramScale(L);
  delaysAndAngles(in, L);
  return out;
}

PolarInputs readPolarInputs(const Runtime& rt, Handle fig) {
  PolarInputs in;
  in.walls = document::wallGeometry(rt, fig);
  in.alpha = document::wallAbsorptions(rt, fig);
  const engine::Point s = document::firstPoint(rt, document::objectInWindow(rt, fig, tags::kSource));
  const engine::Point r = document::firstPoint(rt, document::objectInWindow(rt, fig, tags::kReceptor));
  in.xso = s.x;
  in.yso = s.y;
  in.xre = r.x;
  in.yre = r.y;
  const document::CaseRecord record = document::readCase(rt, fig);
  in.Lw = record.Lw;
  in.Hr = record.Hr;
  if (record.images) in.images = *record.images;
  if (record.diffcoef) in.diffcoef = *record.diffcoef;
  in.convex = engine::convexityClass(record.iscnvx.value_or(1)) == engine::ConvexityClass::Convex;
  if (record.xwv && record.ywv) in.visible = engine::wallsFromMatrices(*record.xwv, *record.ywv);
  in.order = std::clamp(record.order, 1, engine::kMaxOrder);
  if (in.order > 1) {
    in.curves = document::convexCurves(record.curves);
    in.diffusion = document::diffusionChecked(rt, fig);
  }
  return in;
}

}  // namespace velmora::polar
