// The traced reflection zones and the direct-sound triangles against exact geometry: for every grid
// point, reflections are found by brute force (the image-to-point segment crosses the wall, and
// neither the source-to-reflection-point nor the reflection-point-to-point path is cut by a wall).

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tests/engine/agreement.h"
#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using testrooms::Room;
using namespace brute;

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
    const Agreement a = compareMap(brute, s, grid.xs, grid.ys, sv);
    for (const std::string& m : a.messages) ADD_FAILURE() << m;
    EXPECT_EQ(a.mismatches, 0);
    EXPECT_GT(a.compared, 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, ExactGeometry,
    ::testing::Values(AgreementCase{testrooms::square(), {{3, 4}, {1, 1}, {9.5, 0.5}}},
                      AgreementCase{testrooms::lroom(), {{2, 2}, {2, 4}, {7, 7}, {8, 2}, {6, 9}, {9.9, 0.1}}},
                      AgreementCase{testrooms::troom(), {{5, 2}, {2, 8}, {8, 7}, {5, 9}}},
                      AgreementCase{testrooms::uroom(), {{1, 1}, {1, 9}, {8.5, 8}, {5, 1.5}}},
                      AgreementCase{testrooms::star12(), {{0, 0}, {1, 0.5}, {-2, 0.3}, {3.5, 0.2}}},
                      AgreementCase{testrooms::collinear(), {{2, 2}, {7, 7}, {8, 2}}},
                      AgreementCase{testrooms::gear(), {{2, 1}, {0, 0}, {-5.5, 3}}}),
    [](const auto& info) {
      std::string n = info.param.room.name;
      std::replace_if(
          n.begin(), n.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
      return n;
    });

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

TEST(ExactFallback, SelfTouchingRoomTracingGivesUpMapStaysRight) {
  // The vertex (2, -1) touches the wall from (-2, 1) to (4, -2): a spike of no width. Tracing the
  // zone of wall 3 gets blocked on it and gives up.
  const Room room{"spike", {3, 0, -3, -2, 4, 2}, {9, 7, 8, 1, -2, -1}};
  const P s{-1.5, 2.25};
  const auto grid = testrooms::boxgrid(-4, -3, 5, 10, 60);
  CaseInputs in;
  in.walls = room.walls();
  in.alpha.assign(6, 0.0);
  in.xso = s.x;
  in.yso = s.y;
  in.xs = grid.xs;
  in.ys = grid.ys;
  const CaseResults r = computecase(in);
  EXPECT_EQ(r.values.exactWalls, (std::vector<int>{3}));
  EXPECT_GE(r.values.beeps, 1);
  EXPECT_NE(std::find(r.values.console.begin(), r.values.console.end(),
                      "hidden reflection path algorithm failed for wall 3 ..."),
            r.values.console.end());
  Brute brute;
  for (std::size_t k = 0; k < 6; ++k) brute.v.push_back({room.x[k], room.y[k]});
  const std::set<std::size_t> got(r.values.inRW[2].begin(), r.values.inRW[2].end());
  int compared = 0, reached = 0;
  for (std::size_t k = 0; k < grid.xs.size(); ++k) {
    const P p{grid.xs.data[k], grid.ys.data[k]};
    if (!brute.inside(p) || brute.distanceToWalls(p) < kBoundary || brute.nearZoneBoundary(2, s, p)) continue;
    ++compared;
    const bool expected = brute.reaches(2, s, p);
    reached += expected;
    EXPECT_EQ(got.count(k + 1) != 0, expected) << "(" << p.x << ", " << p.y << ")";
  }
  EXPECT_GT(compared, 500);
  EXPECT_GT(reached, 50);  // the zone is not empty: without the fallback it would be
}

TEST(ExactFallback, ExactZoneMatchesTracedZoneInTheLRoom) {
  // Both roads give the same map where the tracing succeeds.
  const auto room = testrooms::lroom();
  const Walls walls = room.walls();
  const auto grid = testrooms::boxgrid(0, 0, 10, 10, 50);
  const std::vector<unsigned char> inside =
      removeouttersurface(grid.xs.data, grid.ys.data, room.x, room.y, 1).in;
  const WallVisibility v = checkwallvisibility(walls, 6, 9, checkconvexity(room.x, room.y, 1).ang);
  Brute brute;
  for (std::size_t k = 0; k < 6; ++k) brute.v.push_back({room.x[k], room.y[k]});
  for (int w = 1; w <= 6; ++w) {
    const Wall& seen = v.visible[static_cast<std::size_t>(w - 1)];
    ImageRecord ima = computeimage(seen.x1, seen.y1, seen.x2, seen.y2, 6, 9);
    ima.validity *= v.iwv[static_cast<std::size_t>(w - 1)];
    if (ima.validity == 0) continue;
    const auto traced = checkimagevisibility(w, walls, seen, ima, grid.xs.data, grid.ys.data).E;
    const auto exact = exactreflectionzone(w, walls, ima, 6, 9, grid.xs.data, grid.ys.data, inside);
    for (std::size_t k = 0; k < traced.size(); ++k) {
      const P p{grid.xs.data[k], grid.ys.data[k]};
      // Outside the room the map shows nothing, and a traced polygon's own diagonals may pass there.
      if (!inside[k] || brute.distanceToWalls(p) < kBoundary ||
          brute.nearZoneBoundary(static_cast<std::size_t>(w - 1), {6, 9}, p))
        continue;
      EXPECT_EQ(traced[k], exact[k]) << "wall " << w << " at (" << p.x << ", " << p.y << ")";
    }
  }
}

}  // namespace
}  // namespace velmora::engine
