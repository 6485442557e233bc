#include <gtest/gtest.h>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

WallVisibility lroomFrom(double x, double y, bool noprogressbar = false) {
  const auto r = testrooms::lroom();
  return checkwallvisibility(r.walls(), x, y, checkconvexity(r.x, r.y, 1).ang, noprogressbar);
}

TEST(CheckWallVisibility, LRoomFromTwoTwo) {
  const WallVisibility v = lroomFrom(2, 2);
  EXPECT_EQ(v.iwv, (std::vector<int>{1, 1, 0, 0, 1, 1}));
  ASSERT_EQ(v.console.size(), 1u);
  EXPECT_EQ(v.console[0], "Invisible wall(s): 3 4");
  // Hidden and whole walls keep their full extent.
  const Walls walls = testrooms::lroom().walls();
  for (std::size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(v.visible[k].x1, walls[k].x1);
    EXPECT_EQ(v.visible[k].y2, walls[k].y2);
  }
}

TEST(CheckWallVisibility, NoMessageDuringAnimation) {
  EXPECT_TRUE(lroomFrom(2, 2, true).console.empty());
  EXPECT_EQ(lroomFrom(2, 2, true).iwv, (std::vector<int>{1, 1, 0, 0, 1, 1}));
}

TEST(CheckWallVisibility, WallTwoPartlySeenFromTwoFour) {
  const WallVisibility v = lroomFrom(2, 4);
  EXPECT_EQ(v.iwv[1], 2);
  // The seen part ends where the line from the source through (5, 5) meets x = 10.
  EXPECT_NEAR(v.visible[1].x1, 10, 1e-12);
  EXPECT_NEAR(v.visible[1].y1, 0, 1e-12);
  EXPECT_NEAR(v.visible[1].x2, 10, 1e-9);
  EXPECT_NEAR(v.visible[1].y2, 4 + 8.0 / 3, 1e-5);  // the wall parameter is snapped
  EXPECT_EQ(v.iwv[2], 0);
  EXPECT_EQ(v.iwv[3], 0);
}

TEST(CheckWallVisibility, AllWallsFacingTheSource) {
  const WallVisibility v = lroomFrom(7, 3);
  EXPECT_EQ(v.iwv, std::vector<int>(6, 1));
  EXPECT_EQ(v.console, (std::vector<std::string>{"All walls are visible"}));
}

TEST(CheckWallVisibility, SourceOnWallLineBeyondItsEnds) {
  // (7, 5) lies on the line of wall 5 ((5, 5) to (0, 5)) but not on the wall.
  const WallVisibility v = lroomFrom(7, 5);
  EXPECT_EQ(v.iwv[4], 0);
}

TEST(CheckWallVisibility, SourceOnConvexEndVertex) {
  const auto sq = testrooms::square();
  const WallVisibility v = checkwallvisibility(sq.walls(), 0, 0, checkconvexity(sq.x, sq.y, 1).ang);
  EXPECT_EQ(v.iwv, (std::vector<int>{3, 1, 1, 3}));
}

TEST(CheckWallVisibility, SlimSeenPartMakesWallHidden) {
  // Room whose wall 2 is seen from the source only over far less than a thousandth of its length.
  const double x[6] = {0, 10, 10, 5, 5.0049, 0}, y[6] = {0, 0, 10, 10, 5, 5};
  const Walls walls = wallsFromOutline(x, y);
  const auto ang = checkconvexity(x, y, 1).ang;
  // From (0.01, 4.99) the ray through the inner corner (5.0049, 5) reaches x = 10 barely above y = 5.
  const WallVisibility v = checkwallvisibility(walls, 0.01, 4.99, ang);
  EXPECT_EQ(v.iwv[2], 0);
}

TEST(CheckImageVisibility, LRoomZoneStopsAtTheInnerCorner) {
  const auto r = testrooms::lroom();
  const Walls walls = r.walls();
  const double xs[4] = {1, 1, 8, 7}, ys[4] = {4.8, 3, 8, 2};
  const ImageRecord ima = computeimage(10, 0, 10, 10, 7, 7);  // wall 2, image (13, 7)
  const ZoneResult z = checkimagevisibility(2, walls, walls[1], ima, xs, ys);
  EXPECT_FALSE(z.failed);
  EXPECT_EQ(z.E, (std::vector<unsigned char>{0, 1, 1, 1}));
  EXPECT_FALSE(z.xp.empty());
}

TEST(CheckImageVisibility, HiddenPartOfWallOneFromUpperArm) {
  const auto r = testrooms::lroom();
  const Walls walls = r.walls();
  // From (6, 9) the inner corner hides wall 1 left of x = 3.75.
  const WallVisibility v = checkwallvisibility(walls, 6, 9, checkconvexity(r.x, r.y, 1).ang);
  ASSERT_EQ(v.iwv[0], 2);
  EXPECT_NEAR(v.visible[0].x1, 3.75, 1e-5);
  const ImageRecord ima =
      computeimage(v.visible[0].x1, v.visible[0].y1, v.visible[0].x2, v.visible[0].y2, 6, 9);
  const double xs[3] = {9, 1, 9}, ys[3] = {1, 1, 9};
  const ZoneResult z = checkimagevisibility(1, walls, v.visible[0], ima, xs, ys);
  EXPECT_EQ(z.E[0], 1);
  EXPECT_EQ(z.E[1], 0);  // its reflection point would lie in the hidden part
  EXPECT_EQ(z.E[2], 1);
}

TEST(CheckImageVisibility, BadWallNumberFailsQuietly) {
  const Walls walls = testrooms::lroom().walls();
  const double xs[1] = {1}, ys[1] = {1};
  const ZoneResult z = checkimagevisibility(9, walls, walls[0], computeimage(0, 0, 10, 0, 2, 2), xs, ys);
  EXPECT_TRUE(z.failed);
  EXPECT_EQ(z.E, (std::vector<unsigned char>{0}));
}

}  // namespace
}  // namespace velmora::engine
