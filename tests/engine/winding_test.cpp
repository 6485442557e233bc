// Rooms that wind round themselves (spirals, folded corridors, combs, a pillar) and hundreds of
// random star-shaped and orthogonal rooms: the audience map against brute force, point by point.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>

#include "tests/engine/agreement.h"
#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using namespace brute;
using testrooms::Room;

Brute bruteOf(const Room& room) {
  Brute b;
  for (std::size_t k = 0; k < room.x.size(); ++k) b.v.push_back({room.x[k], room.y[k]});
  return b;
}

// No two walls cross (a random star whose angles leave a gap wider than half a turn may cross).
bool simple(const Brute& b) {
  const std::size_t n = b.n();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      if (cross(b.a(i), b.b(i), b.a(j)) * cross(b.a(i), b.b(i), b.b(j)) < 0 &&
          cross(b.a(j), b.b(j), b.a(i)) * cross(b.a(j), b.b(j), b.b(i)) < 0)
        return false;
    }
  return true;
}

// A point well inside the room, drawn at random.
P randomSource(const Brute& b, std::mt19937& rng) {
  double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
  for (const P& q : b.v) {
    x0 = std::min(x0, q.x), x1 = std::max(x1, q.x), y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
  }
  std::uniform_real_distribution<double> ux(x0, x1), uy(y0, y1);
  for (;;) {
    const P p{ux(rng), uy(rng)};
    if (b.inside(p) && b.distanceToWalls(p) > 0.05) return p;
  }
}

// The audience grid over the room's bounding box, turned by `turn` radians about its centre and
// grown to still cover the room.
AudienceGrid gridOver(const Room& room, int n, double turn) {
  const auto [x0, x1] = std::minmax_element(room.x.begin(), room.x.end());
  const auto [y0, y1] = std::minmax_element(room.y.begin(), room.y.end());
  const double cx = (*x0 + *x1) / 2, cy = (*y0 + *y1) / 2;
  const double h = std::hypot(*x1 - *x0, *y1 - *y0) / 2 + 0.1;
  double xa[4], ya[4];
  for (int k = 0; k < 4; ++k) {
    const double a = turn + std::numbers::pi / 4 + k * std::numbers::pi / 2;
    xa[k] = cx + h * std::sqrt(2.0) * std::cos(a);
    ya[k] = cy + h * std::sqrt(2.0) * std::sin(a);
  }
  if (turn == 0) return testrooms::boxgrid(*x0, *y0, *x1, *y1, n);
  return audiencegrid(xa, ya, n);
}

struct Tally {
  long compared = 0, mismatches = 0;
};

// One room and source: inRW, RT, inDS and ina against brute force.
void checkRoom(const Room& room, P s, const AudienceGrid& grid, Tally& tally) {
  const Brute brute = bruteOf(room);
  CaseInputs in;
  in.walls = room.walls();
  in.alpha.assign(in.walls.size(), 0.0);
  in.xso = s.x;
  in.yso = s.y;
  in.xs = grid.xs;
  in.ys = grid.ys;
  const CaseResults r = computecase(in);
  ASSERT_EQ(r.images.xso, s.x) << "the source was moved";
  const Agreement map = compareMap(brute, s, grid.xs, grid.ys, r.values);
  const Agreement outside = compareOutside(brute, grid.xs, grid.ys, r.convexity.ina);
  for (const Agreement* a : {&map, &outside})
    for (const std::string& m : a->messages)
      ADD_FAILURE() << room.name << " of " << room.x.size() << " walls, source (" << s.x << ", " << s.y
                    << "): " << m;
  if (map.mismatches + outside.mismatches > 0) {
    std::ostringstream o;
    o.precision(17);
    for (std::size_t k = 0; k < room.x.size(); ++k) o << " (" << room.x[k] << ", " << room.y[k] << ")";
    ADD_FAILURE() << room.name << " vertices:" << o.str() << " source " << s.x << " " << s.y;
  }
  tally.compared += map.compared + outside.compared;
  tally.mismatches += map.mismatches + outside.mismatches;
}

TEST(WindingRooms, MapAgreesWithBruteForce) {
  const std::vector<Room> rooms{testrooms::spiral(1, 13),   testrooms::spiral(1.25, 15),  // the snail shell
                                testrooms::spiral(1.5, 19), testrooms::spiral(2, 25),
                                testrooms::spiral(2.5, 26), testrooms::spiral(3, 25, 0.6),
                                testrooms::serpentine(2),   testrooms::serpentine(3),
                                testrooms::serpentine(5),   testrooms::comb(3),
                                testrooms::comb(6),         testrooms::pillar()};
  std::mt19937 rng(20261207);
  Tally tally;
  for (const Room& room : rooms) {
    const Brute b = bruteOf(room);
    for (int k = 0; k < 4; ++k) {
      AudienceGrid grid = gridOver(room, 50, k * 0.3);
      if (k == 3) {  // grid columns that are no straight lines are tested point by point
        std::uniform_real_distribution<double> jitter(-0.01, 0.01);
        for (double& v : grid.xs.data) v += jitter(rng);
      }
      checkRoom(room, randomSource(b, rng), grid, tally);
    }
  }
  std::cout << "[ compared ] " << tally.compared << " points of winding rooms\n";
  EXPECT_EQ(tally.mismatches, 0);
  EXPECT_GT(tally.compared, 500000);
}

TEST(WindingRooms, RandomStarAndOrthogonalRoomsAgreeWithBruteForce) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> walls(5, 22), columns(2, 8);
  Tally tally;
  for (int k = 0; k < 300; ++k) {
    Room room;
    do {
      room = k % 2 == 0 ? testrooms::starRoom(rng, walls(rng), 1, 8)
                        : testrooms::orthogonalRoom(rng, columns(rng));
    } while (!simple(bruteOf(room)));
    checkRoom(room, randomSource(bruteOf(room), rng), gridOver(room, 24, k % 3 == 0 ? 0.0 : 0.1 * k), tally);
  }
  std::cout << "[ compared ] " << tally.compared << " points of random rooms\n";
  EXPECT_EQ(tally.mismatches, 0);
  EXPECT_GT(tally.compared, 500000);
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

TEST(OutsidePoints, NotchDiagonalIsSnapped) {
  // The L room's cut-away quarter is a notch cut along the diagonal (0, 5)-(5, 10); the grid points
  // on that diagonal lie outside the room, whatever the rounding of the line value.
  const auto room = testrooms::lroom();
  const auto grid = testrooms::boxgrid(0, 0, 10, 10, 30);
  const IndexList ina = checkroomconvexity(room.walls(), grid.xs, grid.ys).ina;
  int onDiagonal = 0;
  for (std::size_t j = 0; j <= 30; ++j)
    for (std::size_t i = 0; i <= 30; ++i) {
      const double x = grid.xs(i, j), y = grid.ys(i, j);
      const bool outside = x < 5 - 1e-9 && y > 5 + 1e-9;
      if (std::abs(y - x - 5) < 1e-9) ++onDiagonal;
      EXPECT_EQ(std::binary_search(ina.begin(), ina.end(), i + 31 * j + 1), outside)
          << "(" << x << ", " << y << ")";
    }
  EXPECT_EQ(onDiagonal, 16);  // (8/3, 23/3) among them
  // In the pillar, (5, 5) lies where the neck meets the head: on the diagonals of two notches, on
  // no wall.
  const auto pillarGrid = testrooms::boxgrid(0, 0, 10, 10, 20);
  const IndexList pillarOut =
      checkroomconvexity(testrooms::pillar().walls(), pillarGrid.xs, pillarGrid.ys).ina;
  EXPECT_TRUE(std::binary_search(pillarOut.begin(), pillarOut.end(), 10 + 21 * 10 + 1));
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

TEST(ConvexWalls, ZoneSpansTheWedgeOfTheEndImages) {
  // A square hall whose ceiling is an arc bulging into the room, 6 walls through (5, 8): nothing
  // stands in the way of a convex wall's reflection, so its zone is the wedge between its two
  // boundary lines (through the end images) beyond the wall, as in a convex room. (Where those lines
  // meet in front of the wall, as at the arc's first wall here, the zone is the middle image's.)
  const double cy = 15.25, radius = 7.25;
  const double a0 = std::atan2(10 - cy, 5.0), a1 = std::atan2(10 - cy, -5.0);
  Room room{"vault", {0, 10}, {0, 0}};
  for (int k = 0; k <= 6; ++k) {
    const double a = a0 + (a1 - a0) * k / 6;
    room.x.push_back(k == 0 ? 10 : k == 6 ? 0 : 5 + radius * std::cos(a));
    room.y.push_back(k == 0 || k == 6 ? 10 : cy + radius * std::sin(a));
  }
  CaseInputs in;
  in.walls = room.walls();
  in.alpha.assign(in.walls.size(), 0.0);
  in.curves = {Curve{2, 10, 10, 0, 10, 5, 8, 3, 8}};
  in.xso = 3;
  in.yso = 2;
  const auto grid = testrooms::boxgrid(0, 0, 10, 10, 60);
  in.xs = grid.xs;
  in.ys = grid.ys;
  const CaseResults r = computecase(in);
  ASSERT_EQ(r.images.convexWalls, (std::vector<int>{3, 4, 5, 6, 7, 8}));
  const Brute brute = bruteOf(room);
  int compared = 0, reached = 0, walls = 0;
  for (int w = 3; w <= 8; ++w) {
    const ImageRecord& ima = r.images.images[static_cast<std::size_t>(w - 1)];
    const std::optional<Point> apex = reflectionapex(ima);
    ASSERT_TRUE(apex);
    if (apex->x == ima.xi && apex->y == ima.yi) continue;
    ++walls;
    const IndexList& got = r.values.inRW[static_cast<std::size_t>(w - 1)];
    const auto distance = [](const Line& l, P p) {
      return std::abs(l.value(p.x, p.y)) / std::hypot(l.a, l.b);
    };
    for (std::size_t k = 0; k < grid.xs.size(); ++k) {
      const P p{grid.xs.data[k], grid.ys.data[k]};
      // The boundary lines pass through the curve's points, a hair off the wall's ends.
      if (!brute.inside(p) || brute.distanceToWalls(p) < 0.05 || distance(ima.line1, p) < 0.05 ||
          distance(ima.line2, p) < 0.05)
        continue;
      const bool wedge = ima.line0.s * ima.line0.value(p.x, p.y) > 0 &&
                         ima.line1.s * ima.line1.value(p.x, p.y) > 0 &&
                         ima.line2.s * ima.line2.value(p.x, p.y) > 0;
      ++compared;
      reached += wedge;
      EXPECT_EQ(std::binary_search(got.begin(), got.end(), k + 1), wedge)
          << "wall " << w << " (" << p.x << ", " << p.y << ")";
    }
  }
  EXPECT_GE(walls, 4);
  EXPECT_GT(compared, 5000);
  EXPECT_GT(reached, 1000);
}

}  // namespace
}  // namespace velmora::engine
