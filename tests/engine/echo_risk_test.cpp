// Echo risk over the audience map against a per-point computation from the room itself, and the
// outline traced around flagged points.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/echo_risk.h"
#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

EchoRiskInputs fromMap(const CaseInputs& in, const CaseResults& r) {
  EchoRiskInputs e;
  e.xs = in.xs;
  e.ys = in.ys;
  e.xso = in.xso;
  e.yso = in.yso;
  e.Pso = r.values.Pso.data;
  e.inDS = r.values.inDS;
  e.ina = r.convexity.ina;
  for (const ImageRecord& im : r.images.images) e.images.push_back({im.xi, im.yi});
  e.inRW = r.values.inRW;
  e.Pwall = r.values.Pwall;
  return e;
}

// A hall 40 m long and 6 m wide with the source near one end: the reflection from the far wall
// arrives late in the middle of the hall and loud enough there to be heard as an echo.
TEST(EchoRisk, LongHallAgreesWithMirrorImagesPointByPoint) {
  const double x[4] = {0, 40, 40, 0}, y[4] = {0, 0, 6, 6};
  const std::vector<double> alpha = {0, 20, 0, 50};
  CaseInputs in;
  in.walls = wallsFromOutline(x, y);
  in.alpha = alpha;
  in.xso = 1;
  in.yso = 3;
  const AudienceGrid grid = testrooms::boxgrid(0.5, 0.5, 39.5, 5.5, 200);
  in.xs = grid.xs;
  in.ys = grid.ys;
  const CaseResults r = computecase(in);

  for (const EchoRiskThresholds t : {EchoRiskThresholds{50, 10}, EchoRiskThresholds{30, 6}}) {
    SCOPED_TRACE(t.delayMs);
    const auto flags = echoRiskPoints(fromMap(in, r), t);
    // Brute force: every point of a rectangle hears all four mirror images.
    const std::vector<Point> images = {{1, -3}, {79, 3}, {1, 9}, {-1, 3}};
    std::size_t atRisk = 0, compared = 0;
    for (std::size_t k = 0; k < flags.size(); ++k) {
      const double px = in.xs.data[k], py = in.ys.data[k];
      const double rs = std::max(1.0, std::hypot(px - 1, py - 3));
      bool risk = false, nearBoundary = false;
      for (std::size_t w = 0; w < 4; ++w) {
        const double ri = std::max(1.0, std::hypot(px - images[w].x, py - images[w].y));
        const double pathDifference = ri - rs;  // m; the delay threshold is t.delayMs * 0.34 m
        const double ratio = (1 - alpha[w] / 100) * rs * rs / (ri * ri);
        const double limit = std::pow(10.0, -t.levelDb / 10);
        if (std::abs(pathDifference - t.delayMs * 0.34) < 1e-6 || std::abs(ratio - limit) < 1e-9)
          nearBoundary = true;
        if (pathDifference > t.delayMs * 0.34 && ratio >= limit) risk = true;
      }
      if (nearBoundary) continue;
      ++compared;
      atRisk += risk;
      EXPECT_EQ(flags[k], risk ? 1 : 0) << "point " << px << ", " << py;
    }
    EXPECT_GT(compared, flags.size() - 50);
    EXPECT_GT(atRisk, 1000u);
    EXPECT_LT(atRisk, compared / 2);
  }
}

TEST(EchoRisk, NoDirectSoundOrOutsideTheRoomIsNeverAtRisk) {
  EchoRiskInputs e;
  e.xs = Matrix(1, 3);
  e.ys = Matrix(1, 3);
  e.xs.data = {30, 30, 30};
  e.Pso = {1, 1, 1};
  e.images = {{100, 0}};
  e.inRW = {{1, 2, 3}};
  e.Pwall = {{1, 1, 1}};
  e.inDS = {2};
  e.ina = {3};
  EXPECT_EQ(echoRiskPoints(e, {}), (std::vector<std::uint8_t>{1, 0, 0}));
  // 10 dB below is still at risk, a little more is not; exactly 50 ms late is not late enough.
  e.Pwall = {{0.1, 1, 1}};
  EXPECT_EQ(echoRiskPoints(e, {})[0], 1);
  e.Pwall = {{0.0999, 1, 1}};
  EXPECT_EQ(echoRiskPoints(e, {})[0], 0);
  e.Pwall = {{1, 1, 1}};
  e.images = {{30 + 30 + 17, 0}};
  EXPECT_EQ(echoRiskPoints(e, {})[0], 0);
}

// Outline points on a 4 by 4 unit grid (x = i, y = j), the polylines split at NaN.
std::vector<std::vector<Point>> outlineOf(const std::vector<std::uint8_t>& flags) {
  Matrix xs(4, 4), ys(4, 4);
  for (std::size_t j = 0; j < 4; ++j) {
    for (std::size_t i = 0; i < 4; ++i) {
      xs(i, j) = static_cast<double>(i);
      ys(i, j) = static_cast<double>(j);
    }
  }
  const Outline o = echoRiskOutline(xs, ys, flags);
  std::vector<std::vector<Point>> lines(1);
  for (std::size_t k = 0; k < o.x.size(); ++k) {
    if (std::isnan(o.x[k])) {
      lines.emplace_back();
    } else {
      lines.back().push_back({o.x[k], o.y[k]});
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

TEST(EchoRisk, OutlineClosesAroundFlaggedPoints) {
  std::vector<std::uint8_t> f(16, 0);
  EXPECT_TRUE(outlineOf(f).empty());

  // One inner point: a closed diamond through the four half-way points.
  f[1 + 4 * 1] = 1;
  auto lines = outlineOf(f);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].size(), 5u);
  EXPECT_EQ(lines[0].front().x, lines[0].back().x);
  EXPECT_EQ(lines[0].front().y, lines[0].back().y);
  for (const Point& p : lines[0]) EXPECT_DOUBLE_EQ(std::abs(p.x - 1) + std::abs(p.y - 1), 0.5);

  // Two diagonal neighbours stay two separate loops.
  f[2 + 4 * 2] = 1;
  EXPECT_EQ(outlineOf(f).size(), 2u);

  // Everything flagged: one loop along the border of the map, never outside it.
  std::fill(f.begin(), f.end(), 1);
  lines = outlineOf(f);
  ASSERT_EQ(lines.size(), 1u);
  for (const Point& p : lines[0]) {
    EXPECT_TRUE(p.x == 0 || p.x == 3 || p.y == 0 || p.y == 3) << p.x << ", " << p.y;
    EXPECT_TRUE(p.x >= 0 && p.x <= 3 && p.y >= 0 && p.y <= 3);
  }
}

}  // namespace
}  // namespace velmora::engine
