#include "engine/visibility.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <utility>

namespace velmora::engine {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Seen-part ends this close to a wall end (in wall parameter) are the wall end: rounding noise.
constexpr double kExactEnd = 1e-9;

double clampedAcos(double v) {
  return std::acos(std::clamp(v, -1.0, 1.0));
}

std::string joinNumbers(const std::vector<int>& numbers) {
  std::string out;
  for (std::size_t k = 0; k < numbers.size(); ++k) {
    if (k > 0) out += ' ';
    out += std::to_string(numbers[k]);
  }
  return out;
}

// Run of hidden walls as seen from the source: angles in degrees, the vertices themselves kept so
// that the shadow tests use exact coordinates rather than a round trip through polar form.
struct Mask {
  double thm1, rm1, thm2, rm2;
  Point start, end;
};

}  // namespace

std::vector<SeenInterval> exactseenparts(const Walls& walls, double xso, double yso) {
  const std::size_t n = walls.size();
  std::vector<SeenInterval> out(n);
  // side[j] > 0: the source is on the room side of wall j's line.
  std::vector<double> side(n);
  for (std::size_t j = 0; j < n; ++j) {
    const Wall& w = walls[j];
    side[j] = (w.x2 - w.x1) * (yso - w.y1) - (w.y2 - w.y1) * (xso - w.x1);
  }
  std::vector<std::pair<double, double>> shadows;
  for (std::size_t i = 0; i < n; ++i) {
    if (!(snap(side[i]) > 0)) continue;
    const Wall& wi = walls[i];
    shadows.clear();
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i || side[j] == 0 || !std::isfinite(side[j])) continue;
      const Wall& wj = walls[j];
      // The shadow of wall j is the part of its wedge seen from the source that lies beyond its
      // line: three half-planes f > 0, each linear along wall i, so the shadow is one interval.
      double lo = 0, hi = 1;
      const auto clip = [&](double f0, double f1) {
        if (f0 > 0 && f1 > 0) return true;
        if (!(f0 > 0) && !(f1 > 0)) return false;
        const double t = f0 / (f0 - f1);
        if (f0 > 0)
          hi = std::min(hi, t);
        else
          lo = std::max(lo, t);
        return lo < hi;
      };
      const double dx = wj.x2 - wj.x1, dy = wj.y2 - wj.y1;
      const double beyond = side[j] > 0 ? -1.0 : 1.0;
      const auto line = [&](double x, double y) { return beyond * (dx * (y - wj.y1) - dy * (x - wj.x1)); };
      const double w = side[j] > 0 ? 1.0 : -1.0;  // sign of cross(C - S, D - S)
      const double cx = wj.x1 - xso, cy = wj.y1 - yso, ex = wj.x2 - xso, ey = wj.y2 - yso;
      const auto fromC = [&](double x, double y) { return w * (cx * (y - yso) - cy * (x - xso)); };
      const auto toD = [&](double x, double y) { return w * ((x - xso) * ey - (y - yso) * ex); };
      if (clip(line(wi.x1, wi.y1), line(wi.x2, wi.y2)) && clip(fromC(wi.x1, wi.y1), fromC(wi.x2, wi.y2)) &&
          clip(toD(wi.x1, wi.y1), toD(wi.x2, wi.y2)) && hi - lo > 1e-12)
        shadows.emplace_back(lo, hi);
    }
    // The longest stretch of the wall outside every shadow.
    std::sort(shadows.begin(), shadows.end());
    double covered = 0, best1 = 0, best2 = 0;
    const auto gap = [&](double a, double b) {
      if (b - a > best2 - best1) {
        best1 = a;
        best2 = b;
      }
    };
    for (const auto& [lo, hi] : shadows) {
      if (lo > covered) gap(covered, lo);
      covered = std::max(covered, hi);
    }
    if (covered < 1) gap(covered, 1);
    if (best2 > best1) {
      out[i] = {true, best1 < kExactEnd ? 0.0 : best1, best2 > 1 - kExactEnd ? 1.0 : best2};
    }
  }
  return out;
}

namespace {

// How the source sees each wall before any shadow: the wall's length, the source's distance and
// polar angle of the wall's first vertex (one more entry closing the outline), and whether the
// source is strictly on the room side of the wall's line. Sets the first classification in `out`.
struct SourceView {
  std::vector<double> length, radius, theta;
  std::vector<bool> facing;
};

SourceView classifyBySide(const Walls& walls, double xso, double yso, std::span<const int> ang,
                          WallVisibility& out) {
  const std::size_t n = walls.size();
  const auto angAt = [&](std::size_t k) { return k < ang.size() ? ang[k] : 1; };
  SourceView view{std::vector<double>(n), std::vector<double>(n + 1), std::vector<double>(n + 1),
                  std::vector<bool>(n)};
  for (std::size_t i = 0; i < n; ++i) {
    const Wall& w = walls[i];
    view.length[i] = std::hypot(w.x2 - w.x1, w.y2 - w.y1);
    const double ps = snap(-(w.y2 - w.y1) * (xso - w.x1) + (w.x2 - w.x1) * (yso - w.y1));
    view.facing[i] = ps > 0;
    if (ps < 0) {
      out.iwv[i] = 0;
    } else if (std::abs(ps) < kSnapTolerance) {
      const double t = std::abs(w.x2 - w.x1) > kSnapTolerance ? (xso - w.x1) / (w.x2 - w.x1)
                                                              : (yso - w.y1) / (w.y2 - w.y1);
      if (t < 0 || t > 1)
        out.iwv[i] = 0;
      else if (t < kSnapTolerance)
        out.iwv[i] = angAt(i) == 0 ? 0 : 3;
      else if (t > 1 - kSnapTolerance)
        out.iwv[i] = angAt((i + 1) % n) == 0 ? 0 : 3;
    }
    view.radius[i] = std::hypot(w.x1 - xso, w.y1 - yso);
    if (view.radius[i] < kSnapTolerance) {
      view.theta[i] = kNaN;
    } else {
      view.theta[i] = clampedAcos((w.x1 - xso) / view.radius[i]);
      if (w.y1 - yso < 0) view.theta[i] = -view.theta[i];
    }
  }
  return view;
}

// Closes the outline and unwinds the angles along it, in degrees, snapped.
void unwindAngles(SourceView& view) {
  std::vector<double>& theta = view.theta;
  std::vector<double>& radius = view.radius;
  const std::size_t n = theta.size() - 1;
  theta[n] = theta[0];
  radius[n] = radius[0];
  for (std::size_t i = 1; i <= n; ++i) {
    const double dt = theta[i] - theta[i - 1];
    if (std::abs(dt) > 3 * std::numbers::pi)
      theta[i] += 4 * std::numbers::pi;
    else if (std::abs(dt) > std::numbers::pi)
      theta[i] += 2 * std::numbers::pi;
  }
  for (std::size_t i = 0; i <= n; ++i) {
    theta[i] = snap(theta[i] * 180 / std::numbers::pi);
    radius[i] = snap(radius[i]);
  }
}

// One mask per run of consecutive walls turned away from the source.
std::vector<Mask> hiddenRuns(const Walls& walls, const std::vector<int>& iwv, const SourceView& view) {
  const std::size_t n = walls.size();
  std::vector<Mask> masks;
  for (std::size_t i = 0; i < n; ++i) {
    if (iwv[i] != 0 || (i > 0 && iwv[i - 1] == 0)) continue;
    std::size_t i2 = i;
    while (i2 + 1 < n && iwv[i2 + 1] == 0) ++i2;
    const Wall& first = walls[i];
    const Wall& last = walls[i2];
    masks.push_back({view.theta[i], view.radius[i], view.theta[i2 + 1], view.radius[i2 + 1],
                     {first.x1, first.y1},
                     {last.x2, last.y2}});
  }
  return masks;
}

// The seen part of each wall as parameters along it: [twv1, twv2].
struct SeenParameters {
  std::vector<double> t1, t2;
};

// Cuts wall i's seen part at the shadow edge through `end` (its second end) or `start` (its first).
void cutAt(const Wall& w, double t, bool secondEnd, Wall& visible, SeenParameters& seen, std::size_t i) {
  if (secondEnd) {
    seen.t2[i] = t;
    visible.x2 = w.x1 + t * (w.x2 - w.x1);
    visible.y2 = w.y1 + t * (w.y2 - w.y1);
  } else {
    seen.t1[i] = t;
    visible.x1 = w.x1 + t * (w.x2 - w.x1);
    visible.y1 = w.y1 + t * (w.y2 - w.y1);
  }
}

// The shadow of one run of hidden walls on every wall still seen: hides it whole, or cuts its ends.
void applyMask(const Mask& m, const Walls& walls, double xso, double yso, const SourceView& view,
               WallVisibility& out, SeenParameters& seen) {
  for (std::size_t i = 0; i < walls.size(); ++i) {
    if (out.iwv[i] == 0) continue;
    const Wall& w = walls[i];
    double th1 = view.theta[i], th2 = view.theta[i + 1];
    const double r1 = view.radius[i], r2 = view.radius[i + 1];
    if (th1 - m.thm1 > 220) {
      th1 -= 360;
      th2 -= 360;
    } else if (th1 - m.thm1 < -220) {
      th1 += 360;
      th2 += 360;
    }
    const double a = -(w.y2 - w.y1), b = w.x2 - w.x1, c = -a * w.x1 - b * w.y1;
    const int s = sign(a * (w.x1 + a) + b * (w.y1 + b) + c);
    const auto behind = [&](const Point& p) { return s * snap(a * p.x + b * p.y + c) < 0; };
    const double rmin = std::min(m.rm1, m.rm2);
    const bool unaffected = th2 < m.thm2 || th1 > m.thm1 || (rmin >= r1 && rmin >= r2) ||
                            (th1 < m.thm2 && m.thm2 < th2 && m.rm2 >= r1 && m.rm2 >= r2) ||
                            (th1 < m.thm1 && m.thm1 < th2 && m.rm1 >= r1 && m.rm1 >= r2) ||
                            (std::abs(m.rm1 - r2) < kSnapTolerance && behind(m.end)) ||
                            (std::abs(m.rm2 - r1) < kSnapTolerance && behind(m.start));
    if (unaffected) continue;
    if (m.thm1 >= th2 && m.thm2 <= th1) {
      out.iwv[i] = 0;
      continue;
    }
    // Shadow edge from the source through a mask vertex, cut against the wall.
    const auto shadow = [&](const Point& v) -> std::optional<double> {
      const double vx = v.x - xso, vy = v.y - yso;
      const double m11 = w.x2 - w.x1, m12 = -vx, m21 = w.y2 - w.y1, m22 = -vy;
      const double det = m11 * m22 - m12 * m21;
      if (!(std::abs(det) > kSnapTolerance)) return std::nullopt;
      const double r1x = xso - w.x1, r2y = yso - w.y1;
      const double t = snap((r1x * m22 - m12 * r2y) / det);
      const double u = snap((m11 * r2y - r1x * m21) / det);
      if (u > 1 && t > 0 && t < 1) return t;
      return std::nullopt;
    };
    if (th1 < m.thm2 && m.thm2 < th2) {
      out.iwv[i] = 2;
      if (auto t = shadow(m.end); t && *t < seen.t2[i]) cutAt(w, *t, true, out.visible[i], seen, i);
    }
    if (th1 < m.thm1 && m.thm1 < th2) {
      out.iwv[i] = 2;
      if (auto t = shadow(m.start); t && *t > seen.t1[i]) cutAt(w, *t, false, out.visible[i], seen, i);
    }
  }
}

// Cross-check: the masks judge a run's depth by its two end vertices and cut each end of a wall on
// its own, so a run that bulges in front of a wall between its ends, or a run nested in another run's
// shadow, can mislead them. The exact seen part of every wall facing the source decides; the walls it
// corrects are listed.
void applyExactSeenParts(const Walls& walls, double xso, double yso, const SourceView& view,
                         WallVisibility& out, SeenParameters& seen) {
  const std::vector<SeenInterval> exact = exactseenparts(walls, xso, yso);
  for (std::size_t i = 0; i < walls.size(); ++i) {
    if (!view.facing[i]) continue;
    const SeenInterval& e = exact[i];
    const Wall& w = walls[i];
    const int cls = !e.seen ? 0 : (e.t1 == 0 && e.t2 == 1 ? 1 : 2);
    if (cls != out.iwv[i]) out.corrected.push_back(static_cast<int>(i) + 1);
    out.iwv[i] = cls;
    out.visible[i] = w;
    seen.t1[i] = e.t1;
    seen.t2[i] = e.t2;
    if (cls != 2) continue;
    if (e.t1 > 0) cutAt(w, e.t1, false, out.visible[i], seen, i);
    if (e.t2 < 1) cutAt(w, e.t2, true, out.visible[i], seen, i);
  }
}

// Walls whose seen part is under a thousandth of their length are hidden; returns the hidden walls,
// 1-based.
std::vector<int> hideSlivers(const Walls& walls, const SourceView& view, const SeenParameters& seen,
                             WallVisibility& out) {
  std::vector<int> invisible;
  for (std::size_t i = 0; i < walls.size(); ++i) {
    const Wall& v = out.visible[i];
    const double part = std::hypot(v.x2 - v.x1, v.y2 - v.y1);
    if (part < 0.001 * view.length[i] || seen.t1[i] >= seen.t2[i]) out.iwv[i] = 0;
    if (out.iwv[i] == 0) {
      out.visible[i] = walls[i];
      invisible.push_back(static_cast<int>(i) + 1);
    }
  }
  return invisible;
}

}  // namespace

WallVisibility checkwallvisibility(const Walls& walls, double xso, double yso, std::span<const int> ang,
                                   bool noprogressbar) {
  const std::size_t n = walls.size();
  WallVisibility out;
  out.iwv.assign(n, 1);
  out.visible = walls;
  if (n == 0) return out;
  SourceView view = classifyBySide(walls, xso, yso, ang, out);
  if (std::find(out.iwv.begin(), out.iwv.end(), 0) == out.iwv.end()) {
    out.console.push_back("All walls are visible");
    return out;
  }
  unwindAngles(view);
  SeenParameters seen{std::vector<double>(n, 0.0), std::vector<double>(n, 1.0)};
  for (const Mask& m : hiddenRuns(walls, out.iwv, view)) applyMask(m, walls, xso, yso, view, out, seen);
  applyExactSeenParts(walls, xso, yso, view, out, seen);
  const std::vector<int> invisible = hideSlivers(walls, view, seen, out);
  if (!invisible.empty() && !noprogressbar)
    out.console.push_back("Invisible wall(s): " + joinNumbers(invisible));
  return out;
}

int deblocvertex(const Walls& walls, Point e1, int wallNumber, Point image1, Point middleImage) {
  const int n = static_cast<int>(walls.size());
  if (wallNumber < 1 || wallNumber > n) return 0;
  int best = 0;
  double bestAngle = -1;
  // Visits vertex v; false when it lies on the negative side of the line image -> E1.
  const auto visit = [&](int v) {
    const Wall& w = walls[static_cast<std::size_t>(v - 1)];
    const double cross =
        (e1.x - middleImage.x) * (w.y1 - middleImage.y) - (e1.y - middleImage.y) * (w.x1 - middleImage.x);
    if (cross < 0) return false;
    const double ux = e1.x - image1.x, uy = e1.y - image1.y, vx = w.x1 - image1.x, vy = w.y1 - image1.y;
    const double norm = std::hypot(ux, uy) * std::hypot(vx, vy);
    const double angle = norm > 0 ? clampedAcos((ux * vx + uy * vy) / norm) : 0.0;
    if (angle >= bestAngle) {  // the later vertex wins on equal angles
      bestAngle = angle;
      best = v;
    }
    return true;
  };
  int v = wallNumber;
  int visits = 0;
  while (visits < n && visit(v)) {
    ++visits;
    v = v <= 1 ? n : v - 1;
  }
  // A walk round the whole outline ends with one more visit of its first vertex.
  if (visits == n) visit(wallNumber);
  return best;
}

namespace {

struct ChainPoint {
  double x, y;
  int wall;
};

struct Chain {
  std::vector<ChainPoint> pts;
  bool wallMode = false;
  bool active = true;
  int lastWall = 0;
  void append(const ChainPoint& p) {
    pts.push_back(p);
    lastWall = p.wall;
  }
  const ChainPoint& back() const { return pts.back(); }
};

bool onReflectionSide(const Line& l, double x, double y) {
  return l.s * snap(l.value(x, y)) >= 0;
}

// Tracer of one reflection zone; see checkimagevisibility.
class ZoneTracer {
 public:
  ZoneTracer(int nor, const Walls& walls, const Wall& seen, const ImageRecord& ima)
      : nor_(nor), n_(static_cast<int>(walls.size())), walls_(walls), seen_(seen), ima_(ima) {
    img1_ = ima.image1();
    img2_ = ima.image2();
    line0_ = ima.line0;
    line1_ = ima.line1;
    line2_ = ima.line2;
  }

  ZoneResult run(std::span<const double> xs, std::span<const double> ys);

 private:
  const Wall& wall(int k) const { return walls_[static_cast<std::size_t>(k - 1)]; }
  int previous(int k) const { return k <= 1 ? n_ : k - 1; }
  int next(int k) const { return k >= n_ ? 1 : k + 1; }

  std::optional<ChainPoint> cast(const Point& img, const ChainPoint& through, int skipped, int isi) const {
    const int skip[2] = {nor_, skipped};
    const WallHit hit = getwallintersection(walls_, skip, img.x, img.y, through.x, through.y, isi);
    if (hit.nmin == 0) return std::nullopt;
    const Wall& w = wall(hit.nmin);
    if (hit.tmin < kSnapTolerance) return ChainPoint{w.x1, w.y1, hit.nmin};
    if (hit.tmin > 1 - kSnapTolerance) return ChainPoint{w.x2, w.y2, hit.nmin};
    return ChainPoint{img.x + hit.umin * (through.x - img.x), img.y + hit.umin * (through.y - img.y),
                      hit.nmin};
  }

  // First step of a chain: follow the neighbouring wall when it bends into the zone, else cast a ray.
  void firstStep(Chain& c, bool first) {
    const Wall& w = wall(nor_);
    const double vx = first ? w.x1 : w.x2, vy = first ? w.y1 : w.y2;
    const ChainPoint start = c.back();
    int skipped = 0;
    c.wallMode = false;
    if (std::abs(start.x - vx) <= kSnapTolerance && std::abs(start.y - vy) <= kSnapTolerance) {
      skipped = first ? previous(nor_) : next(nor_);
      const Wall& nb = wall(skipped);
      const double px = first ? nb.x1 : nb.x2, py = first ? nb.y1 : nb.y2;
      if (onReflectionSide(line0_, px, py) && onReflectionSide(first ? line1_ : line2_, px, py)) {
        c.wallMode = true;
        c.append({px, py, skipped});
        return;
      }
    }
    const auto hit = cast(first ? img1_ : img2_, start, skipped, first ? -1 : 1);
    if (hit)
      c.append(*hit);
    else
      c.lastWall = skipped;
  }

  // One step of a chain in "wall" mode (pass steps 3 and 5).
  void advance(Chain& c, bool first) {
    c.wallMode = false;
    if (c.lastWall < 1) {
      c.active = false;
      return;
    }
    const int nb = first ? previous(c.lastWall) : next(c.lastWall);
    const Wall& w = wall(nb);
    const double px = first ? w.x1 : w.x2, py = first ? w.y1 : w.y2;
    if (onReflectionSide(line0_, px, py) && onReflectionSide(first ? line1_ : line2_, px, py)) {
      c.append({px, py, nb});
      c.wallMode = true;
      return;
    }
    const auto hit = cast(first ? img1_ : img2_, c.back(), nb, first ? -1 : 1);
    if (!hit) {
      c.active = false;
      return;
    }
    const int before = c.lastWall;
    c.append(*hit);
    const ChainPoint& a = c.pts[c.pts.size() - 2];
    const ChainPoint& b = c.pts.back();
    if (checksource2((a.x + b.x) / 2, (a.y + b.y) / 2, walls_) == 0) {
      c.pts.pop_back();
      c.lastWall = before;
      c.active = false;
    }
  }

  static int lastIndexOf(const Chain& c, int wallNumber) {
    for (std::size_t k = c.pts.size(); k-- > 1;)
      if (c.pts[k].wall == wallNumber) return static_cast<int>(k);
    return -1;
  }

  bool meet() const { return lastIndexOf(c2_, c1_.lastWall) >= 1 || lastIndexOf(c1_, c2_.lastWall) >= 1; }

  bool unblock(ZoneResult& out);
  std::vector<unsigned char> polygonZone(ZoneResult& out, std::span<const double> xs,
                                         std::span<const double> ys) const;

  int nor_, n_;
  const Walls& walls_;
  Wall seen_;
  const ImageRecord& ima_;
  Point img1_, img2_;
  Line line0_, line1_, line2_;
  Chain c1_, c2_;
};

std::vector<unsigned char> ZoneTracer::polygonZone(ZoneResult& out, std::span<const double> xs,
                                                   std::span<const double> ys) const {
  out.xp.clear();
  out.yp.clear();
  for (const ChainPoint& p : c2_.pts) {
    out.xp.push_back(p.x);
    out.yp.push_back(p.y);
  }
  for (std::size_t k = c1_.pts.size(); k-- > 0;) {
    out.xp.push_back(c1_.pts[k].x);
    out.yp.push_back(c1_.pts[k].y);
  }
  return removeouttersurface(xs, ys, out.xp, out.yp, 1).in;
}

// Both chains are blocked: restart chain 1 from the vertex that turns farthest at image 1.
bool ZoneTracer::unblock(ZoneResult& out) {
  out.console.push_back("debloc 1");
  const int best =
      deblocvertex(walls_, {c1_.back().x, c1_.back().y}, c1_.lastWall, img1_, {ima_.xi, ima_.yi});
  const auto fail = [&] {
    out.beep = true;
    out.console.push_back("hidden reflection path algorithm failed for wall " + std::to_string(nor_) +
                          " ...");
    out.console.push_back("  results may be wrong !!!");
    return false;
  };
  if (best == 0) return fail();
  const Wall& bw = wall(best);
  const double dx = bw.x1 - img1_.x, dy = bw.y1 - img1_.y;
  for (std::size_t k = c1_.pts.size() - 1; k >= 1; --k) {
    const ChainPoint& p = c1_.pts[k];
    const ChainPoint& q = c1_.pts[k - 1];
    // p + t (q - p) = img1 + u (d)
    const double m11 = q.x - p.x, m12 = -dx, m21 = q.y - p.y, m22 = -dy;
    const double det = m11 * m22 - m12 * m21;
    if (det == 0) continue;
    const double r1 = img1_.x - p.x, r2 = img1_.y - p.y;
    const double t = snap((r1 * m22 - m12 * r2) / det);
    const double u = snap((m11 * r2 - r1 * m21) / det);
    if (t >= 0 && t <= 1 && u > 1) {
      const ChainPoint crossing{p.x + t * m11, p.y + t * m21, p.wall};
      c1_.pts.resize(k);
      c1_.pts.push_back(crossing);
      c1_.append({bw.x1, bw.y1, best});
      c1_.active = true;
      c1_.wallMode = true;
      return true;
    }
  }
  return fail();
}

ZoneResult ZoneTracer::run(std::span<const double> xs, std::span<const double> ys) {
  ZoneResult out;
  const std::size_t points = std::min(xs.size(), ys.size());
  out.E.assign(points, 0);
  if (nor_ < 1 || nor_ > n_) {
    out.failed = true;
    return out;
  }
  c1_.pts = {{seen_.x1, seen_.y1, nor_}};
  c2_.pts = {{seen_.x2, seen_.y2, nor_}};
  firstStep(c1_, true);
  firstStep(c2_, false);
  const bool grew1 = c1_.pts.size() > 1, grew2 = c2_.pts.size() > 1;
  if (!grew1 && !grew2) {
    out.console.push_back("wall " + std::to_string(nor_) + " infinity !!!");
    out.beep = true;
    out.failed = true;
    return out;
  }
  if (grew1 != grew2) {
    out.E = polygonZone(out, xs, ys);
    return out;
  }
  if (c1_.pts[1].wall == c2_.pts[1].wall) {
    if (c1_.wallMode != c2_.wallMode) {
      // One side follows a wall: that wall segment bounds the zone instead of the image ray.
      const Chain& along = c1_.wallMode ? c1_ : c2_;
      const Chain& other = c1_.wallMode ? c2_ : c1_;
      const double dx = along.pts[1].x - along.pts[0].x, dy = along.pts[1].y - along.pts[0].y;
      Line l{-dy, dx, 0, 0};
      l.c = -l.a * along.pts[0].x - l.b * along.pts[0].y;
      l.s = sign(l.value(other.pts[0].x, other.pts[0].y));
      (c1_.wallMode ? line1_ : line2_) = l;
      for (std::size_t k = 0; k < points; ++k)
        out.E[k] = onReflectionSide(line0_, xs[k], ys[k]) && onReflectionSide(line1_, xs[k], ys[k]) &&
                   onReflectionSide(line2_, xs[k], ys[k]);
      return out;
    }
    out.E = polygonZone(out, xs, ys);
    return out;
  }
  int counter = 0;
  bool stop = false;
  while (!stop) {
    ++counter;
    if (c1_.active && c1_.wallMode) {
      const ChainPoint& p = c1_.back();
      line1_ = {p.y - img1_.y, -(p.x - img1_.x), 0, 1};
      line1_.c = -line1_.a * img1_.x - line1_.b * img1_.y;
    }
    if (c2_.active && c2_.wallMode) {
      const ChainPoint& p = c2_.back();
      line2_ = {-(p.y - img2_.y), p.x - img2_.x, 0, 1};
      line2_.c = -line2_.a * img2_.x - line2_.b * img2_.y;
    }
    if (c1_.active && c1_.wallMode) advance(c1_, true);
    stop = meet();
    if (!stop && c2_.active && c2_.wallMode) advance(c2_, false);
    stop = stop || meet();
    if (!stop && c2_.active && !c2_.wallMode && c2_.lastWall >= 1) {
      const Wall& w = wall(c2_.lastWall);
      c2_.append({w.x2, w.y2, c2_.lastWall});
      c2_.wallMode = true;
    }
    stop = stop || meet();
    if (!stop && c1_.active && !c1_.wallMode && c1_.lastWall >= 1) {
      const Wall& w = wall(c1_.lastWall);
      c1_.append({w.x1, w.y1, c1_.lastWall});
      c1_.wallMode = true;
    }
    if (!stop && !c1_.active && !c2_.active && !unblock(out)) {
      out.failed = true;
      return out;
    }
    stop = stop || meet() || (c1_.back().x == c2_.back().x && c1_.back().y == c2_.back().y);
    if (!stop && counter > 2 * n_) {
      stop = true;
      out.console.push_back("wall " + std::to_string(nor_) +
                            ": unable to find correct polygon for reflection hidden part ...");
      out.failed = true;
      c1_.pts.resize(std::min<std::size_t>(c1_.pts.size(), 2));
      c2_.pts.resize(std::min<std::size_t>(c2_.pts.size(), 2));
      c1_.lastWall = c1_.back().wall;
      c2_.lastWall = c2_.back().wall;
    }
  }
  // Close the zone where the chains meet.
  int meetWall = 0;
  if (int j = lastIndexOf(c2_, c1_.lastWall); j >= 1) {
    c2_.pts.resize(static_cast<std::size_t>(j) + 1);
    meetWall = c1_.lastWall;
  } else if (int i = lastIndexOf(c1_, c2_.lastWall); i >= 1) {
    c1_.pts.resize(static_cast<std::size_t>(i) + 1);
    meetWall = c2_.lastWall;
  }
  if (meetWall >= 1) {
    const Wall& w = wall(meetWall);
    const bool alongX = std::abs(w.x2 - w.x1) > kSnapTolerance;
    const auto parameter = [&](const ChainPoint& p) {
      return snap(alongX ? (p.x - w.x1) / (w.x2 - w.x1) : (p.y - w.y1) / (w.y2 - w.y1));
    };
    if (c1_.pts.size() > 1 && parameter(c1_.back()) == 0) c1_.pts.pop_back();
    if (c2_.pts.size() > 1 && parameter(c2_.back()) == 1) c2_.pts.pop_back();
  }
  out.E = polygonZone(out, xs, ys);
  return out;
}

// Orientation of c against the line a -> b: +1 left, -1 right, 0 on it.
int orient(double ax, double ay, double bx, double by, double cx, double cy) {
  return sign((bx - ax) * (cy - ay) - (by - ay) * (cx - ax));
}

// True when the open segment a -> b passes through a wall other than `skip` (0-based): a proper
// crossing, or a pass through a vertex whose two walls lie on opposite sides of the segment.
bool blocked(double ax, double ay, double bx, double by, const Walls& walls, std::size_t skip) {
  const std::size_t n = walls.size();
  const double lx = bx - ax, ly = by - ay, len2 = lx * lx + ly * ly;
  for (std::size_t j = 0; j < n; ++j) {
    const Wall& w = walls[j];
    const int o1 = orient(ax, ay, bx, by, w.x1, w.y1), o2 = orient(ax, ay, bx, by, w.x2, w.y2);
    if (j != skip && o1 * o2 < 0 &&
        orient(w.x1, w.y1, w.x2, w.y2, ax, ay) * orient(w.x1, w.y1, w.x2, w.y2, bx, by) < 0)
      return true;
    if (o1 == 0) {  // vertex j lies on the segment's line
      const double along = (w.x1 - ax) * lx + (w.y1 - ay) * ly;
      if (along > 0 && along < len2) {
        const Wall& prev = walls[(j + n - 1) % n];
        const int op = orient(ax, ay, bx, by, prev.x1, prev.y1);
        if (op * o2 < 0) return true;
      }
    }
  }
  return false;
}

}  // namespace

ZoneResult checkimagevisibility(int nor, const Walls& walls, const Wall& seen, const ImageRecord& ima,
                                std::span<const double> xs, std::span<const double> ys) {
  ZoneTracer tracer(nor, walls, seen, ima);
  return tracer.run(xs, ys);
}

std::vector<unsigned char> exactreflectionzone(int nor, const Walls& walls, const ImageRecord& ima,
                                               double xso, double yso, std::span<const double> xs,
                                               std::span<const double> ys,
                                               std::span<const unsigned char> insideRoom) {
  const std::size_t points = std::min({xs.size(), ys.size(), insideRoom.size()});
  std::vector<unsigned char> e(points, 0);
  if (nor < 1 || static_cast<std::size_t>(nor) > walls.size()) return e;
  const std::size_t wi = static_cast<std::size_t>(nor - 1);
  const Wall& w = walls[wi];
  const double wx = w.x2 - w.x1, wy = w.y2 - w.y1;
  for (std::size_t k = 0; k < points; ++k) {
    if (!insideRoom[k]) continue;
    const double px = xs[k], py = ys[k];
    // Reflection point R = image + u (p - image) = P1 + t (P2 - P1).
    const double dx = px - ima.xi, dy = py - ima.yi;
    const double det = wx * (-dy) - (-dx) * wy;
    if (det == 0) continue;
    const double r1 = ima.xi - w.x1, r2 = ima.yi - w.y1;
    const double t = (r1 * (-dy) - (-dx) * r2) / det;
    const double u = (wx * r2 - r1 * wy) / det;
    if (!(t >= 0 && t <= 1 && u > 0 && u <= 1)) continue;
    const double rx = w.x1 + t * wx, ry = w.y1 + t * wy;
    if (blocked(xso, yso, rx, ry, walls, wi) || blocked(rx, ry, px, py, walls, wi)) continue;
    e[k] = 1;
  }
  return e;
}

}  // namespace velmora::engine
