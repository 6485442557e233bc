#include <gtest/gtest.h>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

CaseInputs defaultRoom(int n = 20) {
  CaseInputs in;
  const double x[4] = {3, 17, 17, 3}, y[4] = {-7, -7, 7, 7};
  in.walls = wallsFromOutline(x, y);
  in.alpha.assign(4, 0.0);
  in.xso = 3.5;
  in.yso = 0;
  const auto g = testrooms::boxgrid(5, -5, 15, 5, n);
  in.xs = g.xs;
  in.ys = g.ys;
  return in;
}

TEST(RefreshSurfaceValues, DefaultRoomEveryPointHearsEveryWall) {
  const CaseResults r = computecase(defaultRoom());
  EXPECT_EQ(r.convexity.iscnvx, 1);
  EXPECT_TRUE(r.values.inDS.empty());
  for (double v : r.values.RT.data) EXPECT_EQ(v, 4);
  ASSERT_EQ(r.values.inRW.size(), 4u);
  for (std::size_t w = 0; w < 4; ++w) {
    EXPECT_EQ(r.values.inRW[w].size(), 441u);
    EXPECT_EQ(r.values.Pwall[w].size(), 441u);
    EXPECT_TRUE(r.values.xpol[w].empty());
  }
  // PT is the sum of the per-wall energies; the energy of wall 4 (x = 3) at point 1 (5, -5) comes from
  // its image (2.5, 0).
  const double e = 1 / (std::numbers::pi * (2.5 * 2.5 + 25));
  EXPECT_NEAR(r.values.Pwall[3][0], e, 1e-15);
  double sum = 0;
  for (std::size_t w = 0; w < 4; ++w) sum += r.values.Pwall[w][0];
  EXPECT_NEAR(r.values.PT.data[0], sum, 1e-15);
  EXPECT_NEAR(r.values.Pso.data[0], 1 / (std::numbers::pi * (1.5 * 1.5 + 25)), 1e-15);
}

TEST(RefreshSurfaceValues, FullAbsorptionContributesNothing) {
  CaseInputs in = defaultRoom();
  in.alpha = {100, 100, 100, 100};
  const CaseResults all = computecase(in);
  for (double v : all.values.RT.data) EXPECT_EQ(v, 0);
  for (double v : all.values.PT.data) EXPECT_EQ(v, 0);
  for (const auto& w : all.values.inRW) EXPECT_TRUE(w.empty());
  in.alpha = {0, 100, 50, 0};
  const CaseResults some = computecase(in);
  EXPECT_TRUE(some.values.inRW[1].empty());
  EXPECT_TRUE(some.values.Pwall[1].empty());
  for (double v : some.values.RT.data) EXPECT_EQ(v, 3);
  // Half absorption halves the energy.
  const CaseResults none = computecase(defaultRoom());
  EXPECT_NEAR(some.values.Pwall[2][7], none.values.Pwall[2][7] / 2, 1e-15);
}

TEST(RefreshSurfaceValues, LineOneInclusiveLineTwoStrict) {
  SurfaceInputs in;
  in.walls = testrooms::square().walls();
  in.alpha.assign(4, 0.0);
  in.xso = 4;
  in.yso = 3;
  // (-4, 3) lies exactly on line 1 of wall 1 (image (4, -3) through (0, 0)); (16, 3) exactly on its
  // line 2 (through (10, 0)); (5, 5) inside the wedge.
  in.xs = Matrix(1, 3);
  in.ys = Matrix(1, 3);
  in.xs.data = {-4, 16, 5};
  in.ys.data = {3, 3, 5};
  ImageSetInputs ii;
  ii.walls = in.walls;
  ii.ang = {1, 1, 1, 1};
  ii.xso = 4;
  ii.yso = 3;
  const ImageSet images = computeimages(ii);
  in.iwv = images.iwv;
  in.visible = images.visible;
  in.images = images.images;
  in.diffcoef = images.diffcoef;
  in.noprogressbar = true;
  const SurfaceValues v = refreshsurfacevalues(in);
  EXPECT_EQ(v.inRW[0], (IndexList{1, 3}));
}

TEST(RefreshSurfaceValues, ProgressAndTimingUnlessNoProgressBar) {
  CaseInputs in = defaultRoom(4);
  in.noprogressbar = false;
  std::vector<std::string> texts;
  std::vector<double> fractions;
  const CaseResults r = computecase(in, [&](double f, const std::string& t) {
    fractions.push_back(f);
    texts.push_back(t);
  });
  EXPECT_EQ(texts, (std::vector<std::string>{"processing wall 0 on 4", "processing wall 1 on 4",
                                             "processing wall 2 on 4", "processing wall 3 on 4",
                                             "processing wall 4 on 4"}));
  EXPECT_EQ(fractions.back(), 1.0);
  ASSERT_FALSE(r.values.console.empty());
  EXPECT_EQ(r.values.console.back(), "time for reflections computation: 0 sec");
  in.noprogressbar = true;
  texts.clear();
  const CaseResults quiet = computecase(in, [&](double, const std::string& t) { texts.push_back(t); });
  EXPECT_TRUE(texts.empty());
  EXPECT_TRUE(quiet.values.console.empty());
}

TEST(RefreshSurfaceValues, DiffusionCoefficientScalesAndNeverPoisons) {
  SurfaceInputs in;
  CaseInputs c = defaultRoom(4);
  const CaseResults base = computecase(c);
  in.walls = c.walls;
  in.alpha = c.alpha;
  in.xso = c.xso;
  in.yso = c.yso;
  in.xs = c.xs;
  in.ys = c.ys;
  in.iwv = base.images.iwv;
  in.visible = base.images.visible;
  in.images = base.images.images;
  in.noprogressbar = true;
  in.diffcoef = {0.5, std::nan(""), std::numeric_limits<double>::infinity(), 1};
  const SurfaceValues v = refreshsurfacevalues(in);
  EXPECT_NEAR(v.Pwall[0][3], base.values.Pwall[0][3] / 2, 1e-15);
  EXPECT_EQ(v.Pwall[1][3], base.values.Pwall[1][3]);
  EXPECT_EQ(v.Pwall[2][3], base.values.Pwall[2][3]);
  for (double p : v.PT.data) EXPECT_TRUE(std::isfinite(p));
}

TEST(RefreshSurfaceValues, LRoomShadowsDirectSound) {
  CaseInputs in;
  const auto r = testrooms::lroom();
  in.walls = r.walls();
  in.alpha.assign(6, 0.0);
  in.xso = 8;
  in.yso = 8;
  const auto g = testrooms::boxgrid(0, 0, 10, 10, 10);
  in.xs = g.xs;
  in.ys = g.ys;
  const CaseResults res = computecase(in);
  EXPECT_EQ(res.convexity.iscnvx, 0);
  ASSERT_FALSE(res.values.inDS.empty());
  // Point (2, 4): i = 2, j = 4 -> index 2 + 4 * 11 + 1; behind the corner, no direct sound.
  const std::size_t k = 2 + 4 * 11 + 1;
  EXPECT_NE(std::find(res.values.inDS.begin(), res.values.inDS.end(), k), res.values.inDS.end());
  EXPECT_EQ(res.values.Pso.data[k - 1], 0);
  // Non-convex rooms keep a zone polygon per reflecting wall.
  EXPECT_FALSE(res.values.xpol[1].empty());
}

TEST(CalculateColormap, ResamplesToRequestedRows) {
  ColorTable cm0(194);
  for (std::size_t k = 0; k < 194; ++k) cm0[k] = {static_cast<double>(k), 2.0 * k, 193.0 - k};
  const ColorTable cm = calculate_colormap(cm0, 5);
  ASSERT_EQ(cm.size(), 5u);
  EXPECT_EQ(cm.front(), cm0.front());
  EXPECT_EQ(cm.back(), cm0.back());
  // Row 2 sits at position 1 + 193/4 of the 1-based table: 48.25 rows after the first.
  EXPECT_NEAR(cm[1][0], 48.25, 1e-12);
  EXPECT_NEAR(cm[1][1], 96.5, 1e-12);
  EXPECT_NEAR(cm[2][2], 193 - 96.5, 1e-12);
  EXPECT_EQ(calculate_colormap(cm0, 1), (ColorTable{cm0[0], cm0[0]}));
  EXPECT_EQ(calculate_colormap({{1, 2, 3}}, 9), (ColorTable{{1, 2, 3}, {1, 2, 3}}));
  EXPECT_TRUE(calculate_colormap({}, 5).empty());
}

TEST(AudienceGrid, BilinearOverTheCorners) {
  const double xa[4] = {0, 4, 6, 0}, ya[4] = {0, 0, 2, 2};
  const AudienceGrid g = audiencegrid(xa, ya, 2);
  EXPECT_EQ(g.xs(2, 0), 4);
  EXPECT_EQ(g.xs(2, 2), 6);
  EXPECT_EQ(g.ys(0, 2), 2);
  EXPECT_DOUBLE_EQ(g.xs(1, 1), 2.5);
}

}  // namespace
}  // namespace velmora::engine
