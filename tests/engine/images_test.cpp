#include <gtest/gtest.h>

#include <numbers>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

// Lines are stored unnormalised: compare values at points instead of coefficients.
double at(const Line& l, double x, double y) {
  return l.value(x, y);
}

TEST(ComputeImage, WallAlongXAxisSourceInFront) {
  const ImageRecord r = computeimage(0, 0, 10, 0, 4, 3);
  EXPECT_EQ(r.validity, 1);
  EXPECT_DOUBLE_EQ(r.xi, 4);
  EXPECT_DOUBLE_EQ(r.yi, -3);
  // Line 0 is y = 0, room side (above) positive.
  EXPECT_DOUBLE_EQ(at(r.line0, 3, 0), 0);
  EXPECT_DOUBLE_EQ(at(r.line0, 7, 0), 0);
  EXPECT_EQ(r.line0.s, 1);
  EXPECT_GT(r.line0.s * at(r.line0, 5, 1), 0);
  // Line 1 through the image and (0, 0), line 2 through the image and (10, 0).
  EXPECT_NEAR(at(r.line1, 4, -3), 0, 1e-12);
  EXPECT_NEAR(at(r.line1, 0, 0), 0, 1e-12);
  EXPECT_GT(r.line1.s * at(r.line1, 10, 0), 0);
  EXPECT_NEAR(at(r.line2, 4, -3), 0, 1e-12);
  EXPECT_NEAR(at(r.line2, 10, 0), 0, 1e-12);
  EXPECT_GT(r.line2.s * at(r.line2, 0, 0), 0);
  EXPECT_EQ(r.toRow().size(), 15u);
}

TEST(ComputeImage, SourceBehindTheWall) {
  const ImageRecord r = computeimage(0, 0, 10, 0, 4, -3);
  EXPECT_EQ(r.validity, 0);
  EXPECT_DOUBLE_EQ(r.yi, 3);
}

TEST(ComputeImage, SourceOnTheWallLine) {
  for (const double x : {5.0, 15.0}) {
    const ImageRecord r = computeimage(0, 0, 10, 0, x, 0);
    EXPECT_EQ(r.validity, 1);
    EXPECT_EQ(r.xi, x);
    EXPECT_EQ(r.yi, 0);
    for (const Line& l : {r.line1, r.line2}) {
      EXPECT_EQ(l.a, 0);
      EXPECT_EQ(l.b, 0);
      EXPECT_EQ(l.c, 1);
      EXPECT_EQ(l.s, 1);
    }
  }
}

TEST(ComputeImage, ZeroLengthWallTakesTheOnLinePath) {
  const ImageRecord r = computeimage(2, 2, 2, 2, 4, 3);
  EXPECT_EQ(r.line0.s, 0);
  EXPECT_EQ(r.xi, 4);
  EXPECT_EQ(r.line1.c, 1);
}

TEST(ImageRecord, RowRoundTrip) {
  ImageRecord r = computeimage(0, 0, 10, 0, 4, 3);
  r.convex = true;
  r.xi1 = 1;
  r.yi2 = 2;
  const auto row = r.toRow();
  ASSERT_EQ(row.size(), 19u);
  const auto back = ImageRecord::fromRow(row);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->toRow(), row);
  EXPECT_FALSE(ImageRecord::fromRow(std::vector<double>(14, 0.0)).has_value());
}

struct ShiftCase {
  const char* name;
  double x, y;
  double ex, ey;
};

class ShiftSource : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftSource, MovesOffVerticesIntoTheRoom) {
  const auto room = testrooms::lroom();
  const Walls walls = room.walls();
  const std::vector<int> ang = checkconvexity(room.x, room.y, 1).ang;
  const ShiftCase& c = GetParam();
  const Point p = shiftsource(c.x, c.y, walls, ang);
  EXPECT_NEAR(p.x, c.ex, 1e-12);
  EXPECT_NEAR(p.y, c.ey, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShiftSource,
    ::testing::Values(ShiftCase{"convex_corner", 0, 0, 0.005, 0.005},           // shorter wall 5 m
                      ShiftCase{"far_corner", 10, 10, 10 - 0.005, 10 - 0.005},  // shorter wall 5 m
                      ShiftCase{"reflex_corner", 5, 5, 5.005, 4.995},           // away from the walls' side
                      ShiftCase{"near_corner_within_tolerance", 1e-7, 0, 1e-7 + 0.005, 0.005},
                      ShiftCase{"not_a_vertex", 3, 3, 3, 3}, ShiftCase{"on_a_wall", 5, 0, 5, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComputeImages, SourceOnCornerOrOutsideIsMovedInside) {
  const auto room = testrooms::lroom();
  ImageSetInputs in;
  in.walls = room.walls();
  const Convexity c = checkconvexity(room.x, room.y, 1);
  in.ang = c.ang;
  in.iscnvx = c.iscnvx;
  for (const Point s : {Point{5, 5}, Point{20, 20}, Point{0, 0}}) {
    in.xso = s.x;
    in.yso = s.y;
    const ImageSet out = computeimages(in);
    EXPECT_TRUE(out.sourceMoved);
    EXPECT_EQ(checksource(out.xso, out.yso, in.walls), 1) << s.x << "," << s.y;
    EXPECT_EQ(out.images.size(), 6u);
  }
  in.xso = 5;
  in.yso = 0;  // on a wall: left where it is
  EXPECT_FALSE(computeimages(in).sourceMoved);
}

TEST(ComputeImages, ZeroLengthWallReflectsNothing) {
  const double x[5] = {0, 10, 10, 10, 0}, y[5] = {0, 0, 10, 10, 10};
  ImageSetInputs in;
  in.walls = wallsFromOutline(x, y);
  in.ang = checkconvexity(x, y, 1).ang;
  in.xso = 3;
  in.yso = 3;
  const ImageSet out = computeimages(in);
  EXPECT_EQ(out.images[2].validity, 0);
  EXPECT_EQ(out.images[0].validity, 1);
}

// Mirror of s across the line through p with direction d.
Point mirror(Point s, Point p, Point d) {
  const double n = d.x * d.x + d.y * d.y;
  const double t = ((s.x - p.x) * d.x + (s.y - p.y) * d.y) / n;
  const Point foot{p.x + t * d.x, p.y + t * d.y};
  return {2 * foot.x - s.x, 2 * foot.y - s.y};
}

TEST(ComputeImageC, ArcImagesAreMirrorsAcrossTangents) {
  // Quarter circle of radius 5 about (0, 0) from (5, 0) to (0, 5), two walls; the room lies outside it.
  const double h = 5 / std::numbers::sqrt2;
  const Curve arc{2, 5, 0, 0, 5, h, h, 3, 4};
  const Point s{8, 8};
  const ConvexImage first = computeimagec(3, 1, std::span(&arc, 1), 5, 0, h, h, s.x, s.y);
  ASSERT_TRUE(first.image.convex);
  const Point e1 = mirror(s, {5, 0}, {0, 1});
  const Point e2 = mirror(s, {h, h}, {-1, 1});
  const double am = std::numbers::pi / 8;
  const Point em = mirror(s, {5 * std::cos(am), 5 * std::sin(am)}, {-std::sin(am), std::cos(am)});
  EXPECT_NEAR(first.image.xi1, e1.x, 1e-9);
  EXPECT_NEAR(first.image.yi1, e1.y, 1e-9);
  EXPECT_NEAR(first.image.xi2, e2.x, 1e-9);
  EXPECT_NEAR(first.image.yi2, e2.y, 1e-9);
  EXPECT_NEAR(first.image.xi, em.x, 1e-9);
  EXPECT_NEAR(first.image.yi, em.y, 1e-9);
  // The reflected rays of a convex wall spread more than those of the middle image alone.
  EXPECT_GT(first.dcoef, 0);
  EXPECT_LT(first.dcoef, 1);
  EXPECT_EQ(first.image.toRow().size(), 19u);
  // Line 1 passes through the first end image and the first end point.
  EXPECT_NEAR(first.image.line1.value(e1.x, e1.y), 0, 1e-9);
  EXPECT_NEAR(first.image.line1.value(5, 0), 0, 1e-9);
  // Second wall: from 45 to 90 degrees.
  const ConvexImage second = computeimagec(4, 1, std::span(&arc, 1), h, h, 0, 5, s.x, s.y);
  const Point f2 = mirror(s, {0, 5}, {1, 0});
  EXPECT_NEAR(second.image.xi2, f2.x, 1e-9);
  EXPECT_NEAR(second.image.yi2, f2.y, 1e-9);
}

TEST(ComputeImageC, ParabolaImagesAreMirrorsAcrossTangents) {
  // y = x^2 / 4 for x in [-2, 2]: start (-2, 1), end (2, 1), middle (0, 0); four walls.
  const Curve parabola{1, -2, 1, 2, 1, 0, 0, 1, 4};
  const Point s{0.5, 3};
  // Wall 2 runs from parameter 0.25 to 0.5, that is from x = -1 to x = 0.
  const ConvexImage c = computeimagec(2, 1, std::span(&parabola, 1), -1, 0.25, 0, 0, s.x, s.y);
  const Point e1 = mirror(s, {-1, 0.25}, {1, -0.5});
  const Point e2 = mirror(s, {0, 0}, {1, 0});
  const Point em = mirror(s, {-0.5, 0.0625}, {1, -0.25});
  EXPECT_NEAR(c.image.xi1, e1.x, 1e-9);
  EXPECT_NEAR(c.image.yi1, e1.y, 1e-9);
  EXPECT_NEAR(c.image.xi2, e2.x, 1e-9);
  EXPECT_NEAR(c.image.yi2, e2.y, 1e-9);
  EXPECT_NEAR(c.image.xi, em.x, 1e-9);
  EXPECT_NEAR(c.image.yi, em.y, 1e-9);
  EXPECT_TRUE(std::isfinite(c.dcoef));
}

TEST(ComputeImageC, UndefinedSpreadGivesFiniteCoefficient) {
  // Source on the tangent lines at both ends of a nearly flat arc.
  const Curve flat{1, 0, 0, 10, 0, 5, 0, 1, 1};  // a straight "parabola"
  const ConvexImage c = computeimagec(1, 1, std::span(&flat, 1), 0, 0, 10, 0, 20, 0);
  EXPECT_TRUE(std::isfinite(c.dcoef));
  EXPECT_EQ(c.dcoef, 1);
  const Curve collinearArc{2, 0, 0, 10, 0, 5, 0, 1, 1};  // three points on a line: no arc
  const ConvexImage d = computeimagec(1, 1, std::span(&collinearArc, 1), 0, 0, 10, 0, 4, 3);
  EXPECT_FALSE(d.image.convex);
  EXPECT_EQ(d.dcoef, 1);
  // A wall that belongs to no stretch gets a plane image.
  EXPECT_FALSE(computeimagec(7, 1, std::span(&flat, 1), 0, 0, 10, 0, 4, 3).image.convex);
}

TEST(ComputeImages, ConvexStretchGetsTangentImagesAndDiffusionSwitch) {
  // Square room whose right side is replaced by a 4-wall arc bulging into the room.
  std::vector<double> x = {0, 10}, y = {0, 0};
  const double cx = 14, cy = 5, r = std::hypot(4.0, 5.0);
  const double a0 = std::atan2(-5.0, -4.0), a1 = std::atan2(5.0, -4.0);
  for (int k = 1; k < 4; ++k) {
    const double a = a0 - (a0 + 2 * std::numbers::pi - a1) * k / 4;
    x.push_back(cx + r * std::cos(a));
    y.push_back(cy + r * std::sin(a));
  }
  x.insert(x.end(), {10, 0});
  y.insert(y.end(), {10, 10});
  const Convexity conv = checkconvexity(x, y, 1);
  ASSERT_EQ(conv.ang[3], 0);  // the middle vertex of the stretch is reflex
  ImageSetInputs in;
  in.walls = wallsFromOutline(x, y);
  in.ang = conv.ang;
  in.iscnvx = conv.iscnvx;
  in.curves = {Curve{2, 10, 0, 10, 10, x[3], y[3], 2, 5}};
  in.xso = 3;
  in.yso = 5;
  const ImageSet on = computeimages(in);
  EXPECT_EQ(on.convexWalls, (std::vector<int>{2, 3, 4, 5}));
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(on.images[static_cast<std::size_t>(k)].toRow().size(), 19u);
    EXPECT_LT(on.diffcoef[static_cast<std::size_t>(k)], 1);
  }
  EXPECT_EQ(on.diffcoef[0], 1);
  in.diffusion = false;
  const ImageSet off = computeimages(in);
  EXPECT_EQ(off.diffcoef, std::vector<double>(on.diffcoef.size(), 1.0));
  for (std::size_t k = 0; k < on.images.size(); ++k) EXPECT_EQ(off.images[k].toRow(), on.images[k].toRow());
}

TEST(ComputeCorrectImage, PicksTheImageWhoseRayPassesTheReceptor) {
  const double h = 5 / std::numbers::sqrt2;
  const Curve arc{2, 5, 0, 0, 5, h, h, 1, 2};
  const ConvexImage c = computeimagec(1, 1, std::span(&arc, 1), 5, 0, h, h, 8, 8);
  const CorrectImage ci = computecorrectimage(c.image, 5, 0, h, h, 8, 8);
  ASSERT_EQ(ci.xim.size(), 21u);
  EXPECT_NEAR(ci.xim.front(), c.image.xi1, 1e-12);
  EXPECT_NEAR(ci.xim[10], c.image.xi, 1e-12);
  EXPECT_NEAR(ci.yim.back(), c.image.yi2, 1e-12);
  // The chosen image's ray through its wall point passes near the receptor or between two rays.
  bool found = false;
  for (std::size_t k = 0; k < 21; ++k) found = found || (ci.xi == ci.xim[k] && ci.yi == ci.yim[k]);
  for (std::size_t k = 1; k < 21; ++k)
    found = found || (std::abs(ci.xi - (ci.xim[k] + ci.xim[k - 1]) / 2) < 1e-12 &&
                      std::abs(ci.yi - (ci.yim[k] + ci.yim[k - 1]) / 2) < 1e-12);
  EXPECT_TRUE(found);
  // A plane record gives its own image.
  const ImageRecord plane = computeimage(0, 0, 10, 0, 4, 3);
  const CorrectImage pi = computecorrectimage(plane, 0, 0, 10, 0, 5, 5);
  EXPECT_EQ(pi.xi, 4);
  EXPECT_EQ(pi.yi, -3);
}

}  // namespace
}  // namespace velmora::engine
