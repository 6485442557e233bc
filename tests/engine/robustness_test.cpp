// No input makes the engine crash, hang or put NaN into the energies: generated rooms of every
// awkward kind, with the source inside, on a wall, on a vertex and outside.

#include <gtest/gtest.h>

#include <random>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using testrooms::Room;

void expectSane(const CaseResults& r, std::size_t walls, std::size_t points, const std::string& what) {
  SCOPED_TRACE(what);
  const SurfaceValues& v = r.values;
  ASSERT_EQ(v.PT.size(), points);
  ASSERT_EQ(v.RT.size(), points);
  ASSERT_EQ(v.Pso.size(), points);
  ASSERT_EQ(v.Pwall.size(), walls);
  ASSERT_EQ(v.inRW.size(), walls);
  for (std::size_t k = 0; k < points; ++k) {
    ASSERT_TRUE(std::isfinite(v.PT.data[k]) && v.PT.data[k] >= 0) << k;
    ASSERT_TRUE(std::isfinite(v.Pso.data[k]) && v.Pso.data[k] >= 0) << k;
    ASSERT_TRUE(v.RT.data[k] >= 0 && v.RT.data[k] <= static_cast<double>(walls)) << k;
  }
  for (std::size_t w = 0; w < walls; ++w) {
    ASSERT_EQ(v.Pwall[w].size(), v.inRW[w].size());
    for (double e : v.Pwall[w]) ASSERT_TRUE(std::isfinite(e) && e >= 0);
    for (std::size_t h = 0; h < v.inRW[w].size(); ++h) {
      ASSERT_GE(v.inRW[w][h], 1u);
      ASSERT_LE(v.inRW[w][h], points);
      if (h > 0) {
        ASSERT_LT(v.inRW[w][h - 1], v.inRW[w][h]);
      }
    }
  }
  for (std::size_t idx : v.inDS) ASSERT_TRUE(idx >= 1 && idx <= points);
  for (std::size_t idx : r.convexity.ina) ASSERT_TRUE(idx >= 1 && idx <= points);
  ASSERT_TRUE(std::isfinite(r.images.xso) && std::isfinite(r.images.yso));
  for (double d : r.images.diffcoef) ASSERT_TRUE(std::isfinite(d));
}

// Rooms a user can draw badly: repeated vertices, straight runs, touching vertices, reversed or
// self-crossing outlines, and snapping to a coarse grid that makes vertices coincide.
Room mangle(std::mt19937& rng, Room r, int kind) {
  std::uniform_int_distribution<std::size_t> pick(0, r.x.size() - 1);
  switch (kind) {
    case 0:
      break;
    case 1: {  // zero-length wall
      const std::size_t k = pick(rng);
      r.x.insert(r.x.begin() + static_cast<std::ptrdiff_t>(k), r.x[k]);
      r.y.insert(r.y.begin() + static_cast<std::ptrdiff_t>(k), r.y[k]);
      break;
    }
    case 2: {  // straight run of three walls
      const std::size_t k = pick(rng), k2 = (k + 1) % r.x.size();
      const double x0 = r.x[k], y0 = r.y[k], dx = r.x[k2] - x0, dy = r.y[k2] - y0;
      r.x.insert(r.x.begin() + static_cast<std::ptrdiff_t>(k) + 1, {x0 + dx / 3, x0 + 2 * dx / 3});
      r.y.insert(r.y.begin() + static_cast<std::ptrdiff_t>(k) + 1, {y0 + dy / 3, y0 + 2 * dy / 3});
      break;
    }
    case 3: {  // self-touching: one vertex moved onto another
      const std::size_t a = pick(rng), b = pick(rng);
      r.x[a] = r.x[b];
      r.y[a] = r.y[b];
      break;
    }
    case 4:  // clockwise
      std::reverse(r.x.begin(), r.x.end());
      std::reverse(r.y.begin(), r.y.end());
      break;
    case 5:  // self-crossing
      std::shuffle(r.x.begin(), r.x.end(), rng);
      break;
    case 6:  // coarse snapping: vertices collapse, walls become collinear
      for (double& v : r.x) v = std::round(v / 3) * 3;
      for (double& v : r.y) v = std::round(v / 3) * 3;
      break;
  }
  return r;
}

TEST(Robustness, GeneratedRoomsNeverPoisonTheMap) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> u(0, 1);
  int failures = 0;
  for (int trial = 0; trial < 700; ++trial) {
    const int n = 3 + static_cast<int>(u(rng) * 30);
    Room room = mangle(rng, testrooms::starRoom(rng, n, 1 + 3 * u(rng), 5 + 6 * u(rng)), trial % 7);
    const Walls walls = room.walls();
    CaseInputs in;
    in.walls = walls;
    in.alpha.assign(walls.size(), 0.0);
    for (double& a : in.alpha) a = std::round(u(rng) * 4) * 25;  // 0, 25, 50, 75 or 100
    // Source inside, on a wall, on a vertex, or outside.
    const std::size_t w = static_cast<std::size_t>(u(rng) * static_cast<double>(walls.size())) % walls.size();
    switch (trial % 4) {
      case 0:
        in.xso = 2 * u(rng) - 1;
        in.yso = 2 * u(rng) - 1;
        break;
      case 1:
        in.xso = (walls[w].x1 + walls[w].x2) / 2;
        in.yso = (walls[w].y1 + walls[w].y2) / 2;
        break;
      case 2:
        in.xso = walls[w].x1;
        in.yso = walls[w].y1;
        break;
      case 3:
        in.xso = 30;
        in.yso = -30;
        break;
    }
    const auto grid = testrooms::boxgrid(-12, -12, 12, 12, 12 + trial % 9);
    in.xs = grid.xs;
    in.ys = grid.ys;
    in.noprogressbar = trial % 2 == 0;
    CaseResults r;
    ASSERT_NO_THROW(r = computecase(in));
    expectSane(r, walls.size(), grid.xs.size(), "trial " + std::to_string(trial));
    failures += static_cast<int>(r.values.exactWalls.size());
  }
  RecordProperty("exact_fallbacks", failures);
  std::cout << "[ exact    ] walls evaluated point by point: " << failures << "\n";
}

TEST(Robustness, ExtremeWallCounts) {
  for (const int n : {3, 360}) {
    const Room room = testrooms::circle(n);
    CaseInputs in;
    in.walls = room.walls();
    in.alpha.assign(in.walls.size(), 10.0);
    in.xso = 1;
    in.yso = 2;
    const auto grid = testrooms::boxgrid(-10, -10, 10, 10, 30);
    in.xs = grid.xs;
    in.ys = grid.ys;
    const CaseResults r = computecase(in);
    expectSane(r, in.walls.size(), grid.xs.size(), "circle " + std::to_string(n));
    EXPECT_EQ(r.convexity.iscnvx, 1);
  }
}

TEST(Robustness, DegenerateGridsAndInputs) {
  CaseInputs in;
  in.walls = testrooms::lroom().walls();
  in.xso = 2;
  in.yso = 2;
  EXPECT_NO_THROW(computecase(in));  // no grid at all
  in.xs = Matrix(1, 1, 3.0);
  in.ys = Matrix(2, 1, 3.0);  // shapes that disagree
  EXPECT_NO_THROW(computecase(in));
  in.walls.clear();  // no walls
  in.ys = Matrix(1, 1, 3.0);
  EXPECT_NO_THROW(computecase(in));
}

}  // namespace
}  // namespace velmora::engine
