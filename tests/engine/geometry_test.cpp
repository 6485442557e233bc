#include <gtest/gtest.h>

#include <limits>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using testrooms::Room;

TEST(Snap, RoundsToMicrometreHalvesAwayFromZero) {
  EXPECT_DOUBLE_EQ(snap(0.4e-6), 0.0);
  EXPECT_DOUBLE_EQ(snap(0.5e-6), 1e-6);
  EXPECT_DOUBLE_EQ(snap(-0.5e-6), -1e-6);
  EXPECT_DOUBLE_EQ(snap(1.2345674), 1.234567);
  EXPECT_EQ(sign(0.0), 0);
  EXPECT_EQ(sign(-3.0), -1);
}

struct ConvexityCase {
  const char* name;
  std::vector<double> x, y;
  double rota;
  int iscnvx;
  std::vector<int> ang;
};

class CheckConvexity : public ::testing::TestWithParam<ConvexityCase> {};

TEST_P(CheckConvexity, FlagsReflexVertices) {
  const ConvexityCase& c = GetParam();
  const Convexity r = checkconvexity(c.x, c.y, c.rota);
  EXPECT_EQ(r.iscnvx, c.iscnvx);
  EXPECT_EQ(r.ang, c.ang);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckConvexity,
    ::testing::Values(
        ConvexityCase{"square_ccw", {0, 10, 10, 0}, {0, 0, 10, 10}, 1, 1, {1, 1, 1, 1}},
        ConvexityCase{"square_cw_rota_plus", {0, 0, 10, 10}, {0, 10, 10, 0}, 1, 0, {0, 0, 0, 0}},
        ConvexityCase{"square_cw_rota_minus", {0, 0, 10, 10}, {0, 10, 10, 0}, -5, 1, {1, 1, 1, 1}},
        ConvexityCase{"L_room", {0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 1, 0, {1, 1, 1, 1, 0, 1}},
        ConvexityCase{
            "straight_vertex_counts_convex", {0, 5, 10, 10, 0}, {0, 0, 0, 10, 10}, 1, 1, {1, 1, 1, 1, 1}},
        ConvexityCase{"reflex_first_vertex", {5, 10, 10, 0, 0}, {5, 0, 10, 10, 0}, 1, 0, {0, 1, 1, 1, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

struct TriangleCase {
  const char* name;
  double x, y;
  std::vector<int> excluded;
  bool inside;
};

class CheckPointInside : public ::testing::TestWithParam<TriangleCase> {};

TEST_P(CheckPointInside, ClosedTriangle) {
  const TriangleCase& c = GetParam();
  const double xtr[3] = {0, 4, 0}, ytr[3] = {0, 0, 4};
  // The probe is point 2; point 1 lies far outside and never counts.
  const double xx[2] = {100, c.x}, yy[2] = {100, c.y};
  EXPECT_EQ(checkpointinside(xx, yy, xtr, ytr, c.excluded), c.inside);
}

INSTANTIATE_TEST_SUITE_P(Table, CheckPointInside,
                         ::testing::Values(TriangleCase{"interior", 1, 1, {}, true},
                                           TriangleCase{"on_edge", 2, 0, {}, true},
                                           TriangleCase{"on_hypotenuse", 2, 2, {}, true},
                                           TriangleCase{"on_corner", 4, 0, {}, true},
                                           TriangleCase{"on_origin_corner", 0, 0, {}, true},
                                           TriangleCase{"just_outside_hypotenuse", 2.01, 2, {}, false},
                                           TriangleCase{"outside", -1, 1, {}, false},
                                           TriangleCase{"corner_excluded", 4, 0, {2}, false},
                                           TriangleCase{"other_point_excluded", 1, 1, {1}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckPointInsideDegenerate, FlatTriangleHoldsNothing) {
  const double xtr[3] = {0, 1, 2}, ytr[3] = {0, 1, 2};
  const double xx[1] = {1}, yy[1] = {1};
  EXPECT_FALSE(checkpointinside(xx, yy, xtr, ytr));
}

struct RayCase {
  const char* name;
  double xa, ya, xb, yb;
  int isi;
  std::vector<int> skip;
  int nmin;
  double umin, tmin;
};

class GetWallIntersection : public ::testing::TestWithParam<RayCase> {};

TEST_P(GetWallIntersection, NearestWallBeyondSecondPoint) {
  const RayCase& c = GetParam();
  const Walls walls = testrooms::square().walls();
  const WallHit hit = getwallintersection(walls, c.skip, c.xa, c.ya, c.xb, c.yb, c.isi);
  EXPECT_EQ(hit.nmin, c.nmin);
  if (c.nmin == 0) {
    EXPECT_TRUE(std::isinf(hit.umin));
  } else {
    EXPECT_NEAR(hit.umin, c.umin, 1e-9);
    EXPECT_NEAR(hit.tmin, c.tmin, 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetWallIntersection,
    ::testing::Values(RayCase{"plain_hit", 5, 5, 6, 5, 1, {}, 2, 5, 0.5},
                      RayCase{"plain_hit_other_side", 5, 5, 6, 5, -1, {}, 2, 5, 0.5},
                      RayCase{"points_coincide", 5, 5, 5, 5, 1, {}, 0, 0, 0},
                      RayCase{"all_skipped", 5, 5, 6, 5, 1, {1, 2, 3, 4}, 0, 0, 0},
                      RayCase{"wall_at_second_point_does_not_count", 5, 5, 10, 5, 1, {}, 0, 0, 0},
                      // Through the corner (10, 10): the side sign decides which wall holds the hit.
                      RayCase{"vertex_left_side", 5, 5, 6, 6, 1, {}, 3, 5, 0},
                      RayCase{"vertex_right_side", 5, 5, 6, 6, -1, {}, 2, 5, 1},
                      RayCase{"skip_hit_wall", 5, 5, 6, 5, 1, {2}, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct InsideCase {
  const char* name;
  double x, y;
  int in;
};

class RemoveOutterSurfaceL : public ::testing::TestWithParam<InsideCase> {};

TEST_P(RemoveOutterSurfaceL, PointsOfTheLRoom) {
  const Room r = testrooms::lroom();
  const InsideCase& c = GetParam();
  const double xs[1] = {c.x}, ys[1] = {c.y};
  const InsideResult res = removeouttersurface(xs, ys, r.x, r.y, 1);
  EXPECT_EQ(res.in[0], c.in);
  EXPECT_EQ(res.convexity.iscnvx, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemoveOutterSurfaceL,
    ::testing::Values(InsideCase{"lower_arm", 2, 2, 1}, InsideCase{"upper_arm", 7, 7, 1},
                      InsideCase{"cut_away_quarter", 2, 7, 0}, InsideCase{"just_inside_cut", 2, 4.999, 1},
                      InsideCase{"just_outside_cut", 2, 5.001, 0}, InsideCase{"on_outer_wall", 10, 5, 1},
                      InsideCase{"on_inner_wall", 5, 7, 1}, InsideCase{"inner_corner", 5, 5, 1},
                      InsideCase{"corner", 0, 0, 1}, InsideCase{"outside_left", -1, 2, 0},
                      InsideCase{"outside_far", 20, 20, 0}),
    [](const auto& info) { return std::string(info.param.name); });

class RemoveOutterSurfaceNotch : public ::testing::TestWithParam<InsideCase> {};

TEST_P(RemoveOutterSurfaceNotch, PointsOfTheURoom) {
  const Room r = testrooms::uroom();
  const InsideCase& c = GetParam();
  const double xs[1] = {c.x}, ys[1] = {c.y};
  EXPECT_EQ(removeouttersurface(xs, ys, r.x, r.y, 1).in[0], c.in);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemoveOutterSurfaceNotch,
    ::testing::Values(InsideCase{"in_notch", 5, 6, 0}, InsideCase{"notch_mouth", 5, 10, 0},
                      InsideCase{"notch_floor", 5, 3, 1}, InsideCase{"below_notch", 5, 2, 1},
                      InsideCase{"right_arm", 8, 6, 1}, InsideCase{"left_arm", 1, 9, 1},
                      InsideCase{"notch_side", 7, 6, 1}, InsideCase{"arm_top", 8, 10, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoveOutterSurface, DropsStraightAndDuplicateVerticesBeforeTesting) {
  // A square with a straight vertex (5, 0) and a repeated corner.
  const double xx[6] = {0, 5, 10, 10, 10, 0}, yy[6] = {0, 0, 0, 0, 10, 10};
  const double xs[3] = {5, 5, 11}, ys[3] = {0, 5, 5};
  const InsideResult r = removeouttersurface(xs, ys, xx, yy, 1);
  EXPECT_EQ(r.in, (std::vector<unsigned char>{1, 1, 0}));
  EXPECT_EQ(r.convexity.ang, (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(r.convexity.iscnvx, 1);
}

TEST(RemoveOutterSurface, DegeneratePolygonEnclosesNothing) {
  const double xx[3] = {0, 5, 10}, yy[3] = {0, 0, 0};
  const double xs[2] = {5, 5}, ys[2] = {0, 1};
  EXPECT_EQ(removeouttersurface(xs, ys, xx, yy, 1).in, (std::vector<unsigned char>{0, 0}));
}

struct SourceCase {
  const char* name;
  double x, y;
  int in;
};

class CheckSourceL : public ::testing::TestWithParam<SourceCase> {};

TEST_P(CheckSourceL, EveryClass) {
  const SourceCase& c = GetParam();
  EXPECT_EQ(checksource(c.x, c.y, testrooms::lroom().walls()), c.in);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckSourceL,
    ::testing::Values(SourceCase{"inside_upper_arm", 7, 7, 1}, SourceCase{"inside_lower_arm", 2, 2, 1},
                      SourceCase{"cut_away_no_wall_left", 2, 7, 0}, SourceCase{"beyond_outline", 12, 2, 0},
                      SourceCase{"level_with_vertex_outside", -1, 5, 0}, SourceCase{"on_inner_wall", 5, 7, 2},
                      SourceCase{"on_outer_wall", 5, 0, 2}, SourceCase{"on_top_wall", 7, 10, 2},
                      SourceCase{"inner_corner", 5, 5, 3}, SourceCase{"room_corner", 0, 0, 3},
                      SourceCase{"far_corner", 10, 10, 3},
                      // Level with vertices: the crossing through a vertex counts once.
                      SourceCase{"level_with_inner_corner", 7, 5, 1},
                      SourceCase{"level_with_corner", 2, 0.0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckAudience, InsideTouchingAndCrossing) {
  const Walls square = testrooms::square().walls();
  const auto inside = testrooms::boxgrid(2, 2, 8, 8, 4);
  EXPECT_EQ(checkaudience(square, inside.xs, inside.ys), 1);
  const auto touching = testrooms::boxgrid(0, 2, 8, 8, 4);
  EXPECT_EQ(checkaudience(square, touching.xs, touching.ys), -1);
  const auto crossing = testrooms::boxgrid(2, 2, 12, 8, 4);
  EXPECT_EQ(checkaudience(square, crossing.xs, crossing.ys), -1);
  const Walls lroom = testrooms::lroom().walls();
  const auto overCut = testrooms::boxgrid(1, 1, 9, 9, 4);
  EXPECT_EQ(checkaudience(lroom, overCut.xs, overCut.ys), -1);
  EXPECT_EQ(checkaudience(square, Matrix{}, Matrix{}), -1);
}

TEST(CheckRoomConvexity, LRoomMarksTheCutAwayQuarter) {
  const auto g = testrooms::boxgrid(0, 0, 10, 10, 10);  // points on whole metres
  const RoomConvexity r = checkroomconvexity(testrooms::lroom().walls(), g.xs, g.ys);
  EXPECT_EQ(r.iscnvx, 0);
  EXPECT_EQ(r.ang, (std::vector<int>{1, 1, 1, 1, 0, 1}));
  IndexList expected;
  for (std::size_t j = 0; j <= 10; ++j)
    for (std::size_t i = 0; i <= 10; ++i)
      if (g.xs(i, j) < 5 && g.ys(i, j) > 5) expected.push_back(i + j * 11 + 1);
  EXPECT_EQ(r.ina, expected);
  EXPECT_EQ(r.ina.size(), 25u);
}

TEST(CheckRoomConvexity, AudienceInsideGivesNoIna) {
  const auto g = testrooms::boxgrid(1, 1, 9, 9, 8);
  const RoomConvexity r = checkroomconvexity(testrooms::square().walls(), g.xs, g.ys);
  EXPECT_EQ(r.iscnvx, 1);
  EXPECT_TRUE(r.ina.empty());
}

TEST(CheckRoomConvexity, CornerOnWallIsComputedAndKept) {
  // The audience touches wall 1 from inside: checkaudience says -1, but every point is inside.
  const auto g = testrooms::boxgrid(2, 0, 8, 8, 4);
  const RoomConvexity r = checkroomconvexity(testrooms::square().walls(), g.xs, g.ys);
  EXPECT_TRUE(r.ina.empty());
}

TEST(Test, WalksWallsInOrder) {
  EXPECT_EQ(test(testrooms::lroom().walls()), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace velmora::engine
