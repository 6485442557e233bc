// The traced reflection zones and the direct-sound triangles against exact geometry: for every grid
// point, reflections are found by brute force (the image-to-point segment crosses the wall, and
// neither the source-to-reflection-point nor the reflection-point-to-point path is cut by a wall).

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using testrooms::Room;

constexpr double kBoundary = 1e-6;  // points this close to a zone boundary are not compared

struct P {
  double x, y;
};

double cross(P o, P a, P b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double distanceToLine(P p, P a, P b) {
  const double len = std::hypot(b.x - a.x, b.y - a.y);
  if (len == 0) return std::hypot(p.x - a.x, p.y - a.y);
  return std::abs(cross(a, b, p)) / len;
}

double distanceToSegment(P p, P a, P b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  const double t = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

struct Brute {
  std::vector<P> v;  // vertices, counter-clockwise
  std::size_t n() const { return v.size(); }
  P a(std::size_t w) const { return v[w]; }
  P b(std::size_t w) const { return v[(w + 1) % n()]; }

  bool inside(P p) const {  // crossing number
    bool in = false;
    for (std::size_t i = 0, j = n() - 1; i < n(); j = i++)
      if ((v[i].y > p.y) != (v[j].y > p.y) &&
          p.x < (v[j].x - v[i].x) * (p.y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
        in = !in;
    return in;
  }
  double distanceToWalls(P p) const {
    double d = 1e300;
    for (std::size_t w = 0; w < n(); ++w) d = std::min(d, distanceToSegment(p, a(w), b(w)));
    return d;
  }
  // The open path s -> e touches or crosses no wall other than `skip`.
  bool clear(P s, P e, std::size_t skip) const {
    for (std::size_t w = 0; w < n(); ++w) {
      if (w == skip) continue;
      const P c = a(w), d = b(w);
      const double det = (e.x - s.x) * (c.y - d.y) - (c.x - d.x) * (e.y - s.y);
      if (det == 0) continue;
      const double u = ((c.x - s.x) * (c.y - d.y) - (c.x - d.x) * (c.y - s.y)) / det;
      const double t = ((e.x - s.x) * (c.y - s.y) - (c.x - s.x) * (e.y - s.y)) / det;
      if (t >= 0 && t <= 1 && u > 1e-9 && u < 1 - 1e-9) return false;
    }
    return true;
  }
  P image(std::size_t w, P s) const {
    const P c = a(w), d = b(w);
    const double dx = d.x - c.x, dy = d.y - c.y, l2 = dx * dx + dy * dy;
    const double t = ((s.x - c.x) * dx + (s.y - c.y) * dy) / l2;
    return {2 * (c.x + t * dx) - s.x, 2 * (c.y + t * dy) - s.y};
  }
  // Reflection point of the path image -> p on wall w, if the segment crosses the wall.
  std::optional<P> reflectionPoint(std::size_t w, P img, P p) const {
    const P c = a(w), d = b(w);
    const double det = (p.x - img.x) * (c.y - d.y) - (c.x - d.x) * (p.y - img.y);
    if (det == 0) return std::nullopt;
    const double u = ((c.x - img.x) * (c.y - d.y) - (c.x - d.x) * (c.y - img.y)) / det;
    const double t = ((p.x - img.x) * (c.y - img.y) - (c.x - img.x) * (p.y - img.y)) / det;
    if (t < 0 || t > 1 || u <= 0 || u >= 1) return std::nullopt;
    return P{c.x + t * (d.x - c.x), c.y + t * (d.y - c.y)};
  }
  bool reaches(std::size_t w, P s, P p) const {
    if (cross(a(w), b(w), s) <= 0) return false;  // the wall turns its back to the source
    const P img = image(w, s);
    const auto r = reflectionPoint(w, img, p);
    return r && clear(s, *r, w) && clear(*r, p, w);
  }
  // Lines on which the answer for wall w may change: image through any vertex, and image through
  // the points where the source's shadow edges meet the wall.
  bool nearZoneBoundary(std::size_t w, P s, P p) const {
    const P img = image(w, s);
    for (const P& q : v) {
      if (distanceToLine(p, img, q) < kBoundary) return true;
      const P c = a(w), d = b(w);
      const double det = (q.x - s.x) * (c.y - d.y) - (c.x - d.x) * (q.y - s.y);
      if (det == 0) continue;
      const double t = ((q.x - s.x) * (c.y - s.y) - (c.x - s.x) * (q.y - s.y)) / det;
      const P hit{c.x + t * (d.x - c.x), c.y + t * (d.y - c.y)};
      if (distanceToLine(p, img, hit) < kBoundary) return true;
    }
    return false;
  }
  bool nearShadowLine(P s, P p) const {
    for (const P& q : v)
      if (distanceToLine(p, s, q) < kBoundary) return true;
    return false;
  }
};

struct AgreementCase {
  Room room;
  std::vector<P> sources;
};

std::string caseName(const Room& r, P s) {
  std::ostringstream o;
  o << r.name << " source (" << s.x << ", " << s.y << ")";
  return o.str();
}

class ExactGeometry : public ::testing::TestWithParam<AgreementCase> {};

TEST_P(ExactGeometry, MapAgreesWithBruteForce) {
  const AgreementCase& c = GetParam();
  Brute brute;
  for (std::size_t k = 0; k < c.room.x.size(); ++k) brute.v.push_back({c.room.x[k], c.room.y[k]});
  const double x0 = *std::min_element(c.room.x.begin(), c.room.x.end());
  const double x1 = *std::max_element(c.room.x.begin(), c.room.x.end());
  const double y0 = *std::min_element(c.room.y.begin(), c.room.y.end());
  const double y1 = *std::max_element(c.room.y.begin(), c.room.y.end());
  const auto grid = testrooms::boxgrid(x0, y0, x1, y1, 40);
  for (const P s : c.sources) {
    SCOPED_TRACE(caseName(c.room, s));
    ASSERT_EQ(checksource(s.x, s.y, c.room.walls()), 1);
    CaseInputs in;
    in.walls = c.room.walls();
    in.alpha.assign(in.walls.size(), 0.0);
    in.xso = s.x;
    in.yso = s.y;
    in.xs = grid.xs;
    in.ys = grid.ys;
    const CaseResults r = computecase(in);
    const SurfaceValues& sv = r.values;
    if (!sv.exactWalls.empty()) {
      std::ostringstream o;
      for (int w : sv.exactWalls) o << w << ' ';
      RecordProperty("exact_walls", o.str());
      std::cout << "[ exact    ] " << caseName(c.room, s) << ": walls " << o.str() << "\n";
    }
    const std::set<std::size_t> inDS(sv.inDS.begin(), sv.inDS.end());
    std::vector<std::set<std::size_t>> inRW;
    for (const auto& l : sv.inRW) inRW.emplace_back(l.begin(), l.end());
    int compared = 0, mismatches = 0;
    for (std::size_t k = 0; k < grid.xs.size(); ++k) {
      const P p{grid.xs.data[k], grid.ys.data[k]};
      if (!brute.inside(p) || brute.distanceToWalls(p) < kBoundary) continue;
      if (!brute.nearShadowLine(s, p)) {
        const bool seen = brute.clear(s, p, brute.n());
        EXPECT_EQ(inDS.count(k + 1) == 0, seen) << "direct sound at (" << p.x << ", " << p.y << ")";
      }
      bool anyNear = false;
      int count = 0;
      for (std::size_t w = 0; w < brute.n(); ++w) {
        const bool reached = brute.reaches(w, s, p);
        count += reached;
        if (brute.nearZoneBoundary(w, s, p)) {
          anyNear = true;
          continue;
        }
        ++compared;
        if ((inRW[w].count(k + 1) != 0) != reached) {
          if (++mismatches <= 5) {
            ADD_FAILURE() << "wall " << w + 1 << " at (" << p.x << ", " << p.y << "): brute force "
                          << reached;
          }
        }
      }
      if (!anyNear) {
        EXPECT_EQ(sv.RT.data[k], count) << "RT at (" << p.x << ", " << p.y << ")";
      }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(compared, 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, ExactGeometry,
    ::testing::Values(AgreementCase{testrooms::square(), {{3, 4}, {1, 1}, {9.5, 0.5}}},
                      AgreementCase{testrooms::lroom(), {{2, 2}, {2, 4}, {7, 7}, {8, 2}, {6, 9}, {9.9, 0.1}}},
                      AgreementCase{testrooms::troom(), {{5, 2}, {2, 8}, {8, 7}, {5, 9}}},
                      AgreementCase{testrooms::uroom(), {{1, 1}, {1, 9}, {8.5, 8}, {5, 1.5}}},
                      AgreementCase{testrooms::star12(), {{0, 0}, {1, 0.5}, {-2, 0.3}, {3.5, 0.2}}},
                      AgreementCase{testrooms::collinear(), {{2, 2}, {7, 7}, {8, 2}}}),
    [](const auto& info) {
      std::string n = info.param.room.name;
      std::replace_if(
          n.begin(), n.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
      return n;
    });

}  // namespace
}  // namespace velmora::engine
