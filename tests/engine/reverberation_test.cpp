#include "engine/reverberation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora::engine {
namespace {

Walls shoebox(double w, double d) {
  return {{0, 0, w, 0}, {w, 0, w, d}, {w, d, 0, d}, {0, d, 0, 0}};
}

BandValues flat(double a) {
  BandValues b;
  b.fill(a);
  return b;
}

TEST(Reverberation, ShoeboxBySabineAndEyring) {
  // 10 x 8 x 3 m, every surface 0.2: S = 2*80 + 2*(10+8)*3 = 268 m², A = 53.6 m², V = 240 m³.
  const auto room = roomSurfaces(shoebox(10, 8), std::vector(4, flat(0.2)), 3, flat(0.2), flat(0.2));
  const auto r = reverberation(room);
  EXPECT_DOUBLE_EQ(r.volume, 240);
  EXPECT_DOUBLE_EQ(r.surfaceArea, 268);
  for (std::size_t b = 0; b < kBandCount; ++b) {
    EXPECT_NEAR(r.absorption[b], 53.6, 1e-9);
    EXPECT_NEAR(r.sabine[b], 0.161 * 240 / 53.6, 1e-12);
    EXPECT_NEAR(r.eyring[b], 0.161 * 240 / (-268 * std::log(0.8)), 1e-12);
    EXPECT_LT(r.eyring[b], r.sabine[b]);
  }
}

TEST(Reverberation, NothingOrEverythingAbsorbs) {
  const auto hard = reverberation(roomSurfaces(shoebox(5, 4), std::vector(4, flat(0)), 3, flat(0), flat(0)));
  EXPECT_TRUE(std::isinf(hard.sabine[0]));
  EXPECT_TRUE(std::isinf(hard.eyring[0]));
  const auto open = reverberation(roomSurfaces(shoebox(5, 4), std::vector(4, flat(1)), 3, flat(1), flat(1)));
  EXPECT_EQ(open.eyring[3], 0);
  EXPECT_GT(open.sabine[3], 0);  // Sabine's formula never reaches zero
}

TEST(Reverberation, PlanAreaIgnoresWindingAndRefusesMismatchedBands) {
  Walls clockwise;
  for (auto w : shoebox(6, 2)) clockwise.insert(clockwise.begin(), Wall{w.x2, w.y2, w.x1, w.y1});
  EXPECT_DOUBLE_EQ(planArea(clockwise), 12);
  EXPECT_DOUBLE_EQ(planArea({{0, 0, 6, 0}, {6, 0, 6, 2}, {6, 2, 3, 1}, {3, 1, 0, 2}, {0, 2, 0, 0}}), 9);
  EXPECT_THROW(roomSurfaces(shoebox(1, 1), {flat(0)}, 3, flat(0), flat(0)), std::invalid_argument);
}

}  // namespace
}  // namespace velmora::engine
