// Wall visibility and the audience map in generated rooms that are not convex, against brute force:
// star-shaped rooms and combs with teeth from the ceiling and the floor, several sources in each.
// The runs of walls turned away from the source bulge, nest and overlap here in every way, so the
// classification of every wall and its seen part are checked, then the map point by point.

#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "tests/engine/agreement.h"
#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using testrooms::Room;
using namespace brute;

Room starRoom(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  const int n = 5 + static_cast<int>(u(rng) * 36);
  const double rmin = 1 + 3 * u(rng), rmax = 5 + 6 * u(rng);
  return testrooms::starRoom(rng, n, rmin, rmax);
}

// Rectangle with teeth standing on the floor and hanging from the ceiling, each tooth in its own
// slot of the width so that no two meet; tooth tips are slanted.
Room combRoom(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  const double w = 10 + 10 * u(rng), h = 6 + 6 * u(rng);
  const int slots = 3 + static_cast<int>(u(rng) * 8);
  const double slot = w / slots;
  struct Tooth {
    double xa, xb, xc, xd, y1, y2;
  };
  std::vector<Tooth> floorTeeth, ceilingTeeth;
  for (int k = 0; k < slots; ++k) {
    if (u(rng) < 0.25) continue;  // an empty slot
    const double x0 = k * slot;
    const double xa = x0 + slot * (0.05 + 0.2 * u(rng)), xd = x0 + slot * (0.75 + 0.2 * u(rng));
    const double xb = xa + (xd - xa) * 0.4 * u(rng), xc = xd - (xd - xa) * 0.4 * u(rng);
    const double depth1 = h * (0.2 + 0.65 * u(rng)), depth2 = depth1 * (0.8 + 0.2 * u(rng));
    (u(rng) < 0.5 ? floorTeeth : ceilingTeeth).push_back({xa, xb, xc, xd, depth1, depth2});
  }
  Room r{"comb", {0}, {0}};
  for (const Tooth& t : floorTeeth) {  // left to right along the floor
    r.x.insert(r.x.end(), {t.xa, t.xb, t.xc, t.xd});
    r.y.insert(r.y.end(), {0, t.y1, t.y2, 0});
  }
  r.x.insert(r.x.end(), {w, w});
  r.y.insert(r.y.end(), {0, h});
  for (auto it = ceilingTeeth.rbegin(); it != ceilingTeeth.rend(); ++it) {  // right to left
    r.x.insert(r.x.end(), {it->xd, it->xc, it->xb, it->xa});
    r.y.insert(r.y.end(), {h, h - it->y2, h - it->y1, h});
  }
  r.x.push_back(0);
  r.y.push_back(h);
  return r;
}

std::string describe(const Room& room, P s) {
  std::ostringstream o;
  o.precision(17);
  o << room.name << " room";
  for (std::size_t k = 0; k < room.x.size(); ++k) o << " (" << room.x[k] << ", " << room.y[k] << ")";
  o << ", source (" << s.x << ", " << s.y << ")";
  return o.str();
}

TEST(RandomRooms, WallVisibilityAndMapAgreeWithBruteForce) {
  std::mt19937 rng(7031);
  std::uniform_real_distribution<double> u(0, 1);
  constexpr int kRooms = 160, kSources = 3;
  int cases = 0, partly = 0, hidden = 0, corrected = 0, compared = 0, failedCases = 0;
  for (int room = 0; room < kRooms && failedCases < 3; ++room) {
    const Room r = room % 2 == 0 ? starRoom(rng) : combRoom(rng);
    const Walls walls = r.walls();
    const std::size_t n = walls.size();
    Brute brute;
    for (std::size_t k = 0; k < n; ++k) brute.v.push_back({r.x[k], r.y[k]});
    const auto [x0, x1] = std::minmax_element(r.x.begin(), r.x.end());
    const auto [y0, y1] = std::minmax_element(r.y.begin(), r.y.end());
    const auto grid = testrooms::boxgrid(*x0, *y0, *x1, *y1, 24);
    for (int source = 0; source < kSources; ++source) {
      P s{};
      do {
        s = {*x0 + (*x1 - *x0) * u(rng), *y0 + (*y1 - *y0) * u(rng)};
      } while (checksource(s.x, s.y, walls) != 1 || brute.distanceToWalls(s) < 1e-3);
      SCOPED_TRACE(describe(r, s));
      CaseInputs in;
      in.walls = walls;
      in.alpha.assign(n, 0.0);
      in.xso = s.x;
      in.yso = s.y;
      in.xs = grid.xs;
      in.ys = grid.ys;
      in.noprogressbar = false;
      const CaseResults res = computecase(in);
      ++cases;
      const bool failuresBefore = ::testing::Test::HasFailure();

      // Every wall: its class and seen part against the brute-force pieces.
      std::vector<bool> ignored(n, false);  // seen over less than a thousandth: hidden by rule
      std::vector<int> invisible;
      bool anyFacingAway = false;
      for (std::size_t w = 0; w < n; ++w) {
        anyFacingAway = anyFacingAway || cross(brute.a(w), brute.b(w), s) < 0;
        const auto pieces = brute.seenPieces(w, s);
        ASSERT_LE(pieces.size(), 1u) << "wall " << w + 1 << " seen in several pieces";
        int expected = 0;
        if (!pieces.empty() && pieces[0].second - pieces[0].first >= 0.001)
          expected = pieces[0].first == 0 && pieces[0].second == 1 ? 1 : 2;
        ignored[w] = expected == 0 && !pieces.empty();
        if (expected == 0) invisible.push_back(static_cast<int>(w) + 1);
        EXPECT_EQ(res.images.iwv[w], expected) << "wall " << w + 1;
        partly += expected == 2;
        hidden += expected == 0;
        if (expected != 2 || res.images.iwv[w] != 2) continue;
        const Wall& wall = walls[w];
        const Wall& seen = res.images.visible[w];
        const double t1 = pieces[0].first, t2 = pieces[0].second;
        EXPECT_NEAR(seen.x1, wall.x1 + t1 * (wall.x2 - wall.x1), 1e-9) << "wall " << w + 1;
        EXPECT_NEAR(seen.y1, wall.y1 + t1 * (wall.y2 - wall.y1), 1e-9) << "wall " << w + 1;
        EXPECT_NEAR(seen.x2, wall.x1 + t2 * (wall.x2 - wall.x1), 1e-9) << "wall " << w + 1;
        EXPECT_NEAR(seen.y2, wall.y1 + t2 * (wall.y2 - wall.y1), 1e-9) << "wall " << w + 1;
      }
      if (res.convexity.iscnvx == 0) {
        std::string message = "All walls are visible";
        if (anyFacingAway) {
          message = "Invisible wall(s):";
          for (int w : invisible) message += " " + std::to_string(w);
        }
        EXPECT_EQ(res.images.console, std::vector<std::string>{message});
      }
      // The walls on which the shadow masks alone go wrong (so that these rooms keep exercising them).
      if (res.convexity.iscnvx == 0)
        corrected +=
            static_cast<int>(checkwallvisibility(walls, s.x, s.y, res.convexity.ang, true).corrected.size());

      // The map, point by point.
      const Agreement a = compareMap(brute, s, grid.xs, grid.ys, res.values, ignored);
      for (const std::string& m : a.messages) ADD_FAILURE() << m;
      EXPECT_EQ(a.mismatches, 0);
      compared += a.compared;
      if (!failuresBefore && ::testing::Test::HasFailure()) ++failedCases;
    }
  }
  EXPECT_EQ(cases, kRooms * kSources);
  EXPECT_GT(partly, 300);
  EXPECT_GT(compared, 500000);
  EXPECT_GT(corrected, 20);
  RecordProperty("cases", cases);
  RecordProperty("compared", compared);
  std::cout << "[ random   ] " << cases << " cases, " << partly << " walls seen in part, " << hidden
            << " hidden (" << corrected << " corrected), " << compared << " wall-point pairs compared\n";
}

}  // namespace
}  // namespace velmora::engine
