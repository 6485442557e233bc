// The map's column-by-column paths against the point-by-point definitions they replace, bit for
// bit: distances and energies, the half-plane spans of a grid column, the in-room mask, the direct
// sound, a convex room's reflection zones, and recomputation into a kept result.

#include <gtest/gtest.h>

#include <oneapi/tbb/global_control.h>

#include <bit>
#include <cstring>
#include <limits>
#include <random>

#include "engine/energy_kernels.h"
#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

using testrooms::Room;

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// A grid over the room's box widened by `margin`, its four corners moved by up to `skew`: columns
// that are straight but neither vertical nor evenly placed.
AudienceGrid gridOver(const Room& room, std::mt19937& rng, int n, double margin, double skew) {
  const auto [x0, x1] = std::minmax_element(room.x.begin(), room.x.end());
  const auto [y0, y1] = std::minmax_element(room.y.begin(), room.y.end());
  std::uniform_real_distribution<double> u(-skew, skew);
  const double xa[4] = {*x0 - margin + u(rng), *x1 + margin + u(rng), *x1 + margin + u(rng),
                        *x0 - margin + u(rng)};
  const double ya[4] = {*y0 - margin + u(rng), *y0 - margin + u(rng), *y1 + margin + u(rng),
                        *y1 + margin + u(rng)};
  return audiencegrid(xa, ya, n);
}

std::vector<Room> roomsToTry(std::mt19937& rng) {
  std::vector<Room> rooms = {testrooms::square(),   testrooms::lroom(),         testrooms::uroom(),
                             testrooms::star12(),   testrooms::gear(),          testrooms::circle(72),
                             testrooms::pillar(),   testrooms::spiral(1.5, 20), testrooms::comb(4),
                             testrooms::collinear()};
  for (int k = 0; k < 4; ++k) rooms.push_back(testrooms::starRoom(rng, 5 + 6 * k, 6, 6));  // convex
  for (int k = 0; k < 4; ++k) rooms.push_back(testrooms::starRoom(rng, 6 + 5 * k, 3, 8));
  rooms.push_back(testrooms::orthogonalRoom(rng, 5));
  return rooms;
}

TEST(Columns, DistanceIsTheLibraryHypotToTheLastBit) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const double specials[] = {0.0,       -0.0,      1.0,         -1.0,    3.0,     4.0,   0x1p-1074,
                             0x1p-1022, 0x1p-511,  0x1p-512,    0x1p511, 0x1p512, 1e300, 1e-300,
                             0.1,       1e-7,      2.5e-8,      inf,     -inf,    nan,   0x1p-54,
                             0x1p-53,   0x1.8p-54, 7.123456789, 1e154,   1e-154};
  for (double a : specials)
    for (double b : specials) {
      const double want = std::hypot(a, b), got = distance(a, b);
      EXPECT_TRUE(sameBits(want, got) || (std::isnan(want) && std::isnan(got))) << a << ", " << b;
    }
  std::mt19937_64 rng(20);
  std::uniform_real_distribution<double> grid(-40, 40), exponent(-60, 60), unit(-1, 1);
  int mismatches = 0;
  for (int k = 0; k < 2'000'000; ++k) {
    // Half of them like map distances, half spread over many magnitudes (and far apart in size).
    const double a = k % 2 ? grid(rng) : unit(rng) * std::exp2(exponent(rng));
    const double b = k % 2 ? grid(rng) : unit(rng) * std::exp2(exponent(rng));
    mismatches += !sameBits(std::hypot(a, b), distance(a, b));
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Columns, EnergiesOfARunAreThoseOfEachPoint) {
  std::mt19937_64 rng(21);
  std::uniform_real_distribution<double> coordinate(-30, 30);
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  for (int round = 0; round < 200; ++round) {
    const std::size_t n = 1 + static_cast<std::size_t>(rng() % 67);
    std::vector<double> x(n), y(n), got(n);
    for (std::size_t k = 0; k < n; ++k) {
      x[k] = coordinate(rng);
      y[k] = coordinate(rng);
    }
    const double x0 = coordinate(rng), y0 = coordinate(rng);
    // Points the library's own hypot must take: at the source, on its axes, huge, not finite.
    if (round % 3 == 0) {
      x[rng() % n] = x0;
      y[rng() % n] = y0;
      const std::size_t k = rng() % n;
      x[k] = x0;
      y[k] = y0 + 1e-200;
    }
    if (round % 5 == 0) x[rng() % n] = (round % 2 ? nan : inf);
    if (round % 7 == 0) y[rng() % n] = 1e300;
    const double factor = round % 4 == 0 ? 1.0 : 0.2 + 0.01 * round;
    pointsourceenergies(x.data(), y.data(), n, x0, y0, factor, got.data());
    for (std::size_t k = 0; k < n; ++k) {
      const double want = factor * pointsourceenergy(std::hypot(x[k] - x0, y[k] - y0));
      EXPECT_TRUE(sameBits(want, got[k]) || (std::isnan(want) && std::isnan(got[k])))
          << "round " << round << " point " << k;
    }
  }
}

// The snapped tests of the map, as they are asked of one point.
bool passes(double a, double b, double c, double x, double y, double t) {
  const double q = (a * x + b * y + c) / kSnapTolerance;
  return t < 0 ? q > -0.5 : q >= 0.5;
}

TEST(Columns, HalfPlaneSpansNeverClaimWhatAPointDenies) {
  std::mt19937 rng(22);
  std::uniform_real_distribution<double> u(-1, 1);
  const std::vector<Room> rooms = roomsToTry(rng);
  int sure = 0, asked = 0, tests = 0;
  for (int round = 0; round < 300; ++round) {
    const Room& room = rooms[static_cast<std::size_t>(round) % rooms.size()];
    const AudienceGrid g = gridOver(room, rng, 3 + round % 70, 0.5, round % 2 ? 2.0 : 0.0);
    const GridColumns grid(g.xs, g.ys);
    ASSERT_GT(grid.rows(), 0u);
    // Lines through grid points (their value within rounding of the thresholds) and at random.
    const std::size_t p = rng() % g.xs.size(), q = rng() % g.xs.size();
    double a = g.ys.data[p] - g.ys.data[q], b = g.xs.data[q] - g.xs.data[p];
    double c = -a * g.xs.data[p] - b * g.ys.data[p];
    if (round % 3 == 0) {
      a = u(rng);
      b = u(rng);
      c = 10 * u(rng);
    }
    for (const double t : {-0.5 * kSnapTolerance, 0.5 * kSnapTolerance}) {
      for (const double s : {1.0, -1.0}) {
        for (std::size_t j = 0; j < grid.cols(); ++j) {
          const HalfPlaneSpans h = halfPlaneSpans(grid.column(j), grid.rows(), s * a, s * b, s * c, t);
          ++tests;
          EXPECT_TRUE(h.sure.empty() || (h.sure.lo >= h.maybe.lo && h.sure.hi <= h.maybe.hi));
          for (std::size_t i = 0; i < grid.rows(); ++i) {
            const std::size_t k = j * grid.rows() + i;
            const bool pass = passes(s * a, s * b, s * c, g.xs.data[k], g.ys.data[k], t);
            const auto at = static_cast<std::ptrdiff_t>(i);
            if (h.sure.holds(at)) {
              ++sure;
              EXPECT_TRUE(pass) << "round " << round << " column " << j << " point " << i;
            }
            if (!h.maybe.holds(at)) {
              EXPECT_FALSE(pass) << "round " << round << " column " << j << " point " << i;
            }
            asked += h.maybe.holds(at) && !h.sure.holds(at);
          }
        }
      }
    }
  }
  // The spans decide nearly everything: at most the two points round a test's edge are left to ask.
  EXPECT_LE(asked, 2 * tests);
  EXPECT_GT(sure, 20 * asked);
}

TEST(Columns, HalfPlaneSpansOfColumnsThatAreNotLinesDecideNothing) {
  Matrix xs(3, 2), ys(3, 2);
  xs.data = {0, 1, 3, 0, 1, 2};  // the first column is not evenly spaced
  ys.data = {0, 0, 0, 1, 1, std::numeric_limits<double>::quiet_NaN()};
  const GridColumns grid(xs, ys);
  for (std::size_t j = 0; j < 2; ++j) {
    EXPECT_FALSE(grid.column(j).line);
    const HalfPlaneSpans h = halfPlaneSpans(grid.column(j), 3, 1, 0, 0, -0.5);
    EXPECT_TRUE(h.sure.empty());
    EXPECT_EQ(h.maybe.lo, 0);
    EXPECT_EQ(h.maybe.hi, 2);
  }
  // Matrices of different shapes give no columns at all.
  EXPECT_EQ(GridColumns(xs, Matrix(2, 3)).rows(), 0u);
}

TEST(Columns, InRoomMaskAndDirectSoundAreThoseOfEachPoint) {
  std::mt19937 rng(23);
  const std::vector<Room> rooms = roomsToTry(rng);
  for (std::size_t r = 0; r < rooms.size(); ++r) {
    const Room& room = rooms[r];
    const InsidePolygon polygon(room.x, room.y, 1);
    for (const auto& [n, margin, skew] : {std::tuple{40, 0.0, 0.0}, {97, 1.0, 0.0}, {61, 0.7, 1.5}}) {
      const AudienceGrid g = gridOver(room, rng, n, margin, skew);
      const GridColumns grid(g.xs, g.ys);
      const std::vector<unsigned char> mask = polygon.contains(grid);
      ASSERT_EQ(mask.size(), g.xs.size());
      for (std::size_t k = 0; k < mask.size(); ++k)
        ASSERT_EQ(mask[k], polygon.contains(g.xs.data[k], g.ys.data[k]) ? 1 : 0)
            << room.name << " n=" << n << " point " << k;
      // A source at a grid point inside the room (often on a grid line), and one at random.
      std::vector<std::size_t> inside;
      for (std::size_t k = 0; k < mask.size(); ++k)
        if (mask[k]) inside.push_back(k);
      ASSERT_FALSE(inside.empty());
      const std::size_t at = inside[rng() % inside.size()];
      const Walls walls = room.walls();
      const std::vector<int> ang = checkconvexity(room.x, room.y, 1).ang;
      for (const auto& [xso, yso] : {std::pair{g.xs.data[at], g.ys.data[at]},
                                     std::pair{g.xs.data[at] + 0.013, g.ys.data[at] - 0.029}}) {
        const WallVisibility v = checkwallvisibility(walls, xso, yso, ang, true);
        EXPECT_EQ(computedirectsound(v.iwv, v.visible, xso, yso, grid),
                  computedirectsound(v.iwv, v.visible, xso, yso, g.xs.data, g.ys.data))
            << room.name << " n=" << n;
      }
    }
  }
}

// The zone of a convex room's reflection as it was defined point by point: on the reflection side of
// the record's first boundary line (inclusive) and strictly on that of the second.
bool inWedge(const ImageRecord& ima, double x, double y) {
  const auto side = [](double s, double v, bool strict) {
    const double q = v / kSnapTolerance;
    if (strict) return s > 0 ? q >= 0.5 : s < 0 ? q <= -0.5 : false;
    return s > 0 ? q > -0.5 : s < 0 ? q < 0.5 : true;
  };
  return side(ima.line1.s, ima.line1.value(x, y), false) && side(ima.line2.s, ima.line2.value(x, y), true);
}

TEST(Columns, ConvexRoomMapIsThePointByPointMap) {
  std::mt19937 rng(24);
  std::vector<Room> rooms = {testrooms::square(), testrooms::circle(72), testrooms::circle(9, 4)};
  for (int k = 0; k < 5; ++k) rooms.push_back(testrooms::starRoom(rng, 4 + 7 * k, 7, 7));
  std::uniform_real_distribution<double> u(-1, 1);
  int walls = 0;
  for (const Room& room : rooms) {
    for (const auto& [n, margin, skew] : {std::tuple{50, 0.0, 0.0}, {83, 0.5, 2.0}}) {
      CaseInputs in;
      in.walls = room.walls();
      for (std::size_t w = 0; w < in.walls.size(); ++w) in.alpha.push_back(w % 5 == 4 ? 100.0 : 10.0 + w);
      const AudienceGrid g = gridOver(room, rng, n, margin, skew);
      in.xs = g.xs;
      in.ys = g.ys;
      // The source on a grid point: grid points then lie on the boundary lines through it.
      const std::size_t centre = g.xs.size() / 2 + static_cast<std::size_t>(n / 5);
      in.xso = g.xs.data[centre];
      in.yso = g.ys.data[centre];
      const CaseResults r = computecase(in);
      ASSERT_EQ(r.convexity.iscnvx, 1) << room.name;
      std::vector<double> pt(g.xs.size(), 0.0), rt(g.xs.size(), 0.0);
      for (std::size_t w = 0; w < in.walls.size(); ++w) {
        const ImageRecord& ima = r.images.images[w];
        IndexList want;
        std::vector<double> energy;
        if (ima.validity != 0 && in.alpha[w] != 100) {
          const double factor = r.images.diffcoef[w] * (1 - in.alpha[w] / 100);
          for (std::size_t k = 0; k < g.xs.size(); ++k)
            if (inWedge(ima, g.xs.data[k], g.ys.data[k])) {
              want.push_back(k + 1);
              energy.push_back(factor *
                               pointsourceenergy(std::hypot(g.xs.data[k] - ima.xi, g.ys.data[k] - ima.yi)));
              pt[k] += energy.back();
              rt[k] += 1;
            }
          walls += !want.empty();
        }
        EXPECT_EQ(r.values.inRW[w], want) << room.name << " wall " << w + 1;
        EXPECT_TRUE(sameBits(r.values.Pwall[w], energy)) << room.name << " wall " << w + 1;
      }
      EXPECT_TRUE(sameBits(r.values.PT.data, pt)) << room.name;
      EXPECT_TRUE(sameBits(r.values.RT.data, rt)) << room.name;
      for (std::size_t k = 0; k < g.xs.size(); ++k)
        ASSERT_TRUE(sameBits(
            r.values.Pso.data[k],
            pointsourceenergy(std::hypot(g.xs.data[k] - r.images.xso, g.ys.data[k] - r.images.yso))));
    }
  }
  EXPECT_GT(walls, 100);
}

TEST(Columns, RecomputingIntoAKeptResultGivesTheFreshResult) {
  // A sequence that grows and shrinks every buffer: rooms convex and not, more and fewer walls,
  // finer and coarser grids, a wall fully absorbing, a grid of mismatched shapes.
  std::mt19937 rng(25);
  std::vector<CaseInputs> cases;
  const auto add = [&](const Room& room, int n, double xso, double yso) {
    CaseInputs in;
    in.walls = room.walls();
    in.alpha.assign(in.walls.size(), 25.0);
    if (in.walls.size() > 3) in.alpha[2] = 100;
    const AudienceGrid g = gridOver(room, rng, n, 0.3, 0.5);
    in.xs = g.xs;
    in.ys = g.ys;
    in.xso = xso;
    in.yso = yso;
    cases.push_back(in);
  };
  add(testrooms::circle(72), 120, 1, 2);
  add(testrooms::lroom(), 60, 2, 2);
  add(testrooms::circle(72), 150, -3, 1);
  add(testrooms::square(), 20, 3, 4);
  add(testrooms::gear(), 90, 2, 1);
  add(testrooms::spiral(1.5, 20), 70, 3.3, 0.5);
  add(testrooms::square(), 30, 5, 5);
  cases.back().ys = Matrix(3, 3);  // shapes that do not match: an empty map
  add(testrooms::lroom(), 60, 2, 2);
  for (const int threads : {1, 2}) {
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    static_cast<std::size_t>(threads));
    CaseResults kept;
    for (std::size_t c = 0; c < cases.size(); ++c) {
      const CaseResults fresh = computecase(cases[c]);
      computecase(cases[c], kept);
      EXPECT_EQ(kept.convexity.iscnvx, fresh.convexity.iscnvx);
      EXPECT_EQ(kept.convexity.ang, fresh.convexity.ang);
      EXPECT_EQ(kept.convexity.ina, fresh.convexity.ina);
      EXPECT_EQ(kept.images.images, fresh.images.images);
      const SurfaceValues& a = kept.values;
      const SurfaceValues& b = fresh.values;
      EXPECT_EQ(a.PT.rows, b.PT.rows);
      EXPECT_EQ(a.PT.cols, b.PT.cols);
      EXPECT_TRUE(sameBits(a.PT.data, b.PT.data)) << "case " << c;
      EXPECT_TRUE(sameBits(a.RT.data, b.RT.data)) << "case " << c;
      EXPECT_TRUE(sameBits(a.Pso.data, b.Pso.data)) << "case " << c;
      EXPECT_EQ(a.inRW, b.inRW) << "case " << c;
      EXPECT_EQ(a.inDS, b.inDS) << "case " << c;
      ASSERT_EQ(a.Pwall.size(), b.Pwall.size());
      for (std::size_t w = 0; w < a.Pwall.size(); ++w) EXPECT_TRUE(sameBits(a.Pwall[w], b.Pwall[w]));
      EXPECT_EQ(a.xpol, b.xpol);
      EXPECT_EQ(a.ypol, b.ypol);
      EXPECT_EQ(a.console, b.console);
      EXPECT_EQ(a.beeps, b.beeps);
      EXPECT_EQ(a.exactWalls, b.exactWalls);
    }
  }
}

}  // namespace
}  // namespace velmora::engine
