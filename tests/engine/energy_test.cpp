#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

struct ClpCase {
  const char* name;
  double lw, d, lp;
};

class Clp : public ::testing::TestWithParam<ClpCase> {};

TEST_P(Clp, LevelOfDirectSound) {
  const ClpCase& c = GetParam();
  EXPECT_NEAR(clp(c.lw, c.d), c.lp, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Table, Clp,
                         ::testing::Values(ClpCase{"one_metre", 100, 1, 89.0079},
                                           ClpCase{"half_metre_counts_as_one", 100, 0.5, 89.0079},
                                           ClpCase{"zero_distance", 100, 0, 89.0079},
                                           ClpCase{"ten_metres", 100, 10, 69.0079},
                                           ClpCase{"low_level_floored", 0, 1000, 0},
                                           ClpCase{"very_far", 10, 1e9, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SumCase {
  const char* name;
  std::vector<double> levels;
  std::optional<double> sum;
};

class SumDb : public ::testing::TestWithParam<SumCase> {};

TEST_P(SumDb, SignedEnergySum) {
  const SumCase& c = GetParam();
  const auto s = sumdb(c.levels);
  ASSERT_EQ(s.has_value(), c.sum.has_value());
  if (s) {
    EXPECT_NEAR(*s, *c.sum, 1e-3);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SumDb,
    ::testing::Values(SumCase{"two_equal", {90, 90}, 93.0103}, SumCase{"removal", {93.0103, -90}, 90.0},
                      SumCase{"zero_adds_nothing", {0, 90}, 90.0}, SumCase{"three", {80, 80, 80}, 84.7712},
                      SumCase{"cancels_to_nothing", {90, -90}, std::nullopt},
                      SumCase{"negative_sum", {80, -90}, std::nullopt},
                      SumCase{"only_zero", {0}, std::nullopt}, SumCase{"empty", {}, std::nullopt},
                      SumCase{"energies_beyond_a_double", {4000, 4000}, 4003.0103},
                      SumCase{"largest_numbers", {1e308, 1e308}, 1e308}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EnergyLevel, RescalesToSourceLevelAndFloorsAtZero) {
  const double p = pointsourceenergy(1);  // 1 / pi
  EXPECT_NEAR(p, 1 / std::numbers::pi, 1e-15);
  EXPECT_NEAR(*energylevel(p, 100), clp(100, 1), 1e-9);
  EXPECT_NEAR(*energylevel(p, 90), clp(90, 1), 1e-9);
  EXPECT_EQ(*energylevel(p, -200), 0);
  EXPECT_FALSE(energylevel(0, 100).has_value());
  EXPECT_FALSE(energylevel(std::nan(""), 100).has_value());
}

TEST(ComputeDirectSound, LRoomShadowOfTheInnerCorner) {
  const auto r = testrooms::lroom();
  const Walls walls = r.walls();
  const WallVisibility v = checkwallvisibility(walls, 8, 8, checkconvexity(r.x, r.y, 1).ang);
  const double xs[5] = {9, 2, 2, 4, 5}, ys[5] = {9, 4, 1, 3, 5};
  // From (8, 8) the shadow of the inner corner (5, 5) lies above the line y = x in the lower arm.
  const auto seen = computedirectsound(v.iwv, v.visible, 8, 8, xs, ys);
  EXPECT_EQ(seen, (std::vector<unsigned char>{1, 0, 1, 1, 1}));
}

TEST(ComputeDirectSound, EverywhereInAConvexRoom) {
  const Walls walls = testrooms::square().walls();
  const auto g = testrooms::boxgrid(0, 0, 10, 10, 10);
  const std::vector<int> iwv(4, 1);
  const auto seen = computedirectsound(iwv, walls, 3, 4, g.xs.data, g.ys.data);
  EXPECT_EQ(seen, std::vector<unsigned char>(g.xs.size(), 1));
}

}  // namespace
}  // namespace velmora::engine
