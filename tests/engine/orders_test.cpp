// Reflections of higher order: the map of every order against brute force (every sequence of walls,
// each path checked segment by segment) in winding, random, orthogonal and parallel-walled rooms;
// the first order untouched; the same bits at any thread count; the work refused past the limit;
// the arrivals at one receptor.

#include <gtest/gtest.h>

#include <oneapi/tbb/global_control.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
#include <thread>

#include "tests/engine/brute_paths.h"
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

// No two walls cross.
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

AudienceGrid gridOver(const Room& room, int n) {
  const auto [x0, x1] = std::minmax_element(room.x.begin(), room.x.end());
  const auto [y0, y1] = std::minmax_element(room.y.begin(), room.y.end());
  return testrooms::boxgrid(*x0, *y0, *x1, *y1, n);
}

CaseInputs caseOf(const Room& room, P s, const AudienceGrid& grid, int order,
                  std::vector<double> alpha = {}) {
  CaseInputs in;
  in.walls = room.walls();
  in.alpha = alpha.empty() ? std::vector<double>(in.walls.size(), 0.0) : std::move(alpha);
  in.xso = s.x;
  in.yso = s.y;
  in.xs = grid.xs;
  in.ys = grid.ys;
  in.order = order;
  return in;
}

bool close(double a, double b) {
  return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b)) + 1e-300;
}

struct Tally {
  long compared = 0, mismatches = 0, paths = 0;
  long reachedHigher = 0;  // paths of order 2 and above reaching the compared points
  std::vector<std::string> messages;
  void fail(const std::string& m) {
    ++mismatches;
    if (messages.size() < 8) messages.push_back(m);
  }
};

// RT, PT and every order's RTorder and PTorder at every grid point inside the room, off the walls
// and away from every path's zone boundary, against the brute-force paths.
void checkRoom(const Room& room, P s, int order, const AudienceGrid& grid, const std::vector<double>& alpha,
               Tally& tally) {
  const Brute brute = bruteOf(room);
  const CaseInputs in = caseOf(room, s, grid, order, alpha);
  const CaseResults r = computecase(in);
  ASSERT_EQ(r.images.xso, s.x) << "the source was moved";
  ASSERT_FALSE(r.orders.refused);
  ASSERT_EQ(r.orders.RTorder.size(), static_cast<std::size_t>(order));
  const PathBrute paths(brute, s, order, alpha);
  const long before = tally.mismatches;
  for (std::size_t k = 0; k < grid.xs.size(); ++k) {
    const P p{grid.xs.data[k], grid.ys.data[k]};
    if (!brute.inside(p) || brute.distanceToWalls(p) < kBoundary) continue;
    std::vector<double> count(static_cast<std::size_t>(order) + 1, 0.0), energy(count.size(), 0.0);
    bool near = false;
    for (const BrutePath& path : paths.paths()) {
      if (paths.farOutside(path, p)) continue;
      if (paths.nearBoundary(path, p)) {
        near = true;
        break;
      }
      if (!paths.reaches(path, p)) continue;
      count[path.walls.size()] += 1;
      energy[path.walls.size()] += paths.energy(path, p);
    }
    if (near) continue;
    ++tally.compared;
    for (std::size_t o = 2; o < count.size(); ++o) tally.reachedHigher += static_cast<long>(count[o]);
    double rt = 0, pt = 0;
    std::ostringstream where;
    where << room.name << " of " << room.x.size() << " walls, source (" << s.x << ", " << s.y << "), order "
          << order << ", at (" << p.x << ", " << p.y << "): ";
    for (int o = 1; o <= order; ++o) {
      const std::size_t u = static_cast<std::size_t>(o);
      rt += count[u];
      pt += energy[u];
      if (r.orders.RTorder[u - 1].data[k] != count[u])
        tally.fail(where.str() + "order " + std::to_string(o) + " paths " +
                   std::to_string(r.orders.RTorder[u - 1].data[k]) + ", brute force " +
                   std::to_string(count[u]));
      if (!close(r.orders.PTorder[u - 1].data[k], energy[u]))
        tally.fail(where.str() + "order " + std::to_string(o) + " energy " +
                   std::to_string(r.orders.PTorder[u - 1].data[k]) + ", brute force " +
                   std::to_string(energy[u]));
    }
    if (r.values.RT.data[k] != rt) tally.fail(where.str() + "RT " + std::to_string(r.values.RT.data[k]));
    if (!close(r.values.PT.data[k], pt))
      tally.fail(where.str() + "PT " + std::to_string(r.values.PT.data[k]));
  }
  tally.paths += static_cast<long>(paths.paths().size());
  if (tally.mismatches > before) {
    std::ostringstream o;
    o.precision(17);
    for (std::size_t k = 0; k < room.x.size(); ++k) o << " (" << room.x[k] << ", " << room.y[k] << ")";
    tally.messages.push_back(room.name + " vertices:" + o.str());
  }
}

void expectAgreement(const Tally& tally, const std::string& what, long atLeast) {
  for (const std::string& m : tally.messages) ADD_FAILURE() << m;
  std::cout << "[ compared ] " << tally.compared << " points of " << what << " (" << tally.paths
            << " wall sequences, " << tally.reachedHigher << " paths of order 2 and above reaching them), "
            << tally.mismatches << " mismatches\n";
  EXPECT_EQ(tally.mismatches, 0);
  EXPECT_GT(tally.compared, atLeast);
  EXPECT_GT(tally.reachedHigher, 2 * tally.compared);
}

TEST(HigherOrders, WindingRoomsAgreeWithBruteForce) {
  const std::vector<std::pair<Room, int>> rooms{
      {testrooms::lroom(), 4},          {testrooms::troom(), 4},       {testrooms::uroom(), 4},
      {testrooms::collinear(), 3},      {testrooms::star12(), 3},      {testrooms::pillar(), 3},
      {testrooms::serpentine(2), 3},    {testrooms::comb(3), 3},       {testrooms::spiral(1, 9), 3},
      {testrooms::spiral(1.25, 10), 2}, {testrooms::serpentine(3), 2}, {testrooms::gear(), 2}};
  std::mt19937 rng(19);
  Tally tally;
  for (const auto& [room, top] : rooms) {
    const Brute b = bruteOf(room);
    for (int order = 2; order <= top; ++order)
      checkRoom(room, randomSource(b, rng), order, gridOver(room, 18), {}, tally);
  }
  expectAgreement(tally, "winding rooms", 3000);
}

TEST(HigherOrders, RandomStarAndOrthogonalRoomsAgreeWithBruteForce) {
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int> walls(4, 8), columns(1, 3);
  std::uniform_real_distribution<double> absorption(0, 60);
  Tally tally;
  for (int k = 0; k < 240; ++k) {
    Room room;
    do {
      room = k % 2 == 0 ? testrooms::starRoom(rng, walls(rng), 1, 8)
                        : testrooms::orthogonalRoom(rng, columns(rng));
    } while (!simple(bruteOf(room)));
    std::vector<double> alpha(room.x.size());
    for (double& a : alpha) a = absorption(rng);
    if (k % 5 == 0) alpha[static_cast<std::size_t>(k) % alpha.size()] = 100;  // ends every path it meets
    const int order = 2 + k % 3;
    checkRoom(room, randomSource(bruteOf(room), rng), order, gridOver(room, order == 4 ? 10 : 14), alpha,
              tally);
  }
  expectAgreement(tally, "random rooms", 20000);
}

TEST(HigherOrders, ParallelWallsAgreeWithBruteForce) {
  // Flutter: two long parallel walls send a path back and forth at every order.
  const std::vector<Room> rooms{
      {"corridor", {0, 12, 12, 0}, {0, 0, 2.5, 2.5}},
      {"square", {0, 10, 10, 0}, {0, 0, 10, 10}},
      {"parallel sides", {0, 9, 7, 2}, {0, 0, 4, 4}},  // floor and ceiling parallel, sides splayed
      {"stepped", {0, 8, 8, 5, 5, 0}, {0, 0, 3, 3, 6, 6}}};
  std::mt19937 rng(3);
  Tally tally;
  for (const Room& room : rooms)
    for (int order = 2; order <= 4; ++order) {
      std::vector<double> alpha(room.x.size());
      for (std::size_t w = 0; w < alpha.size(); ++w) alpha[w] = 10.0 * static_cast<double>(w + order);
      checkRoom(room, randomSource(bruteOf(room), rng), order, gridOver(room, 16), alpha, tally);
    }
  // Order 6 in the corridor: the deepest flutter.
  checkRoom(rooms[0], {3.3, 1.1}, 6, gridOver(rooms[0], 24), {}, tally);
  expectAgreement(tally, "rooms with parallel walls", 2000);
}

TEST(HigherOrders, FirstOrderFieldsStayAsTheyAre) {
  const Room room = testrooms::lroom();
  const auto grid = gridOver(room, 40);
  CaseInputs in = caseOf(room, {2, 3}, grid, 1, {10, 20, 30, 40, 50, 60});
  const CaseResults one = computecase(in);
  EXPECT_TRUE(one.orders.RTorder.empty());
  EXPECT_TRUE(one.orders.beams.empty());
  in.order = 3;
  const CaseResults three = computecase(in);
  ASSERT_EQ(three.orders.RTorder.size(), 3u);
  EXPECT_EQ(three.orders.RTorder[0], one.values.RT);
  EXPECT_EQ(three.orders.PTorder[0], one.values.PT);
  EXPECT_EQ(three.values.Pso, one.values.Pso);
  EXPECT_EQ(three.values.inRW, one.values.inRW);
  EXPECT_EQ(three.values.Pwall, one.values.Pwall);
  EXPECT_EQ(three.values.inDS, one.values.inDS);
  EXPECT_EQ(three.values.xpol, one.values.xpol);
  EXPECT_EQ(three.values.ypol, one.values.ypol);
  EXPECT_EQ(three.images.images, one.images.images);
  double added = 0;
  for (std::size_t k = 0; k < grid.xs.size(); ++k) {
    EXPECT_EQ(three.values.RT.data[k],
              one.values.RT.data[k] + three.orders.RTorder[1].data[k] + three.orders.RTorder[2].data[k]);
    EXPECT_EQ(three.values.PT.data[k],
              one.values.PT.data[k] + three.orders.PTorder[1].data[k] + three.orders.PTorder[2].data[k]);
    added += three.orders.RTorder[2].data[k];
  }
  EXPECT_GT(added, 1000);
  EXPECT_EQ(three.orders.beams.size(), 3u);
  EXPECT_EQ(three.orders.beams[0], 4u);  // walls 4 and 6 are hidden from (2, 3)
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(HigherOrders, OneThreadGivesTheSameBitsAsAll) {
  for (const auto& [room, s] :
       {std::pair{testrooms::gear(), P{2, 1}}, std::pair{testrooms::spiral(1.5, 19), P{3.3, 0.5}},
        std::pair{testrooms::circle(72), P{3, 1}}}) {
    std::vector<double> alpha(room.x.size());
    for (std::size_t w = 0; w < alpha.size(); ++w) alpha[w] = static_cast<double>(w % 7) * 9;
    const CaseInputs in = caseOf(room, s, gridOver(room, 80), 3, alpha);
    CaseResults one;
    {
      const tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
      one = computecase(in);
    }
    const CaseResults all = computecase(in);
    EXPECT_TRUE(sameBits(one.values.RT.data, all.values.RT.data));
    EXPECT_TRUE(sameBits(one.values.PT.data, all.values.PT.data));
    ASSERT_EQ(one.orders.PTorder.size(), all.orders.PTorder.size());
    for (std::size_t k = 0; k < one.orders.PTorder.size(); ++k) {
      EXPECT_TRUE(sameBits(one.orders.PTorder[k].data, all.orders.PTorder[k].data));
      EXPECT_TRUE(sameBits(one.orders.RTorder[k].data, all.orders.RTorder[k].data));
    }
    EXPECT_EQ(one.orders.beams, all.orders.beams);
  }
}

TEST(HigherOrders, ProgressAdvancesOnTheCallingThread) {
  const Room room = testrooms::gear();
  CaseInputs in = caseOf(room, {2, 1}, gridOver(room, 40), 3);
  in.noprogressbar = false;
  std::vector<double> fractions;
  std::vector<std::string> texts;
  bool otherThread = false;
  const auto caller = std::this_thread::get_id();
  const CaseResults r = computecase(in, [&](double f, const std::string& text) {
    otherThread = otherThread || std::this_thread::get_id() != caller;
    fractions.push_back(f);
    texts.push_back(text);
  });
  EXPECT_FALSE(otherThread);
  ASSERT_FALSE(fractions.empty());
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
  EXPECT_EQ(texts.front(), "processing wall 0 on 40");
  const std::string last = "processing order 3: beam " + std::to_string(r.orders.beams[2]) + " on " +
                           std::to_string(r.orders.beams[2]);
  EXPECT_EQ(texts.back(), last);
  EXPECT_NE(std::find(texts.begin(), texts.end(),
                      "processing order 2: beam 0 on " + std::to_string(r.orders.beams[1])),
            texts.end());
  // The first order fills the first third of the bar.
  const auto wallsDone = std::find(texts.begin(), texts.end(), "processing wall 40 on 40");
  ASSERT_NE(wallsDone, texts.end());
  EXPECT_DOUBLE_EQ(fractions[static_cast<std::size_t>(wallsDone - texts.begin())], 1.0 / 3);
}

TEST(HigherOrders, TooMuchWorkIsRefusedBeforeItStarts) {
  const Room room = testrooms::circle(72);
  CaseInputs in = caseOf(room, {3, 1}, gridOver(room, 20), 6);
  const BeamEstimate huge = estimatebeams(in, 5000);
  EXPECT_TRUE(huge.tooMuch);
  EXPECT_GT(huge.total, 5000u);
  EXPECT_EQ(huge.message, "reflection order 6 refused: more than 5000 reflection paths to trace");
  in.order = 2;
  const BeamEstimate fine = estimatebeams(in, 5000);
  EXPECT_FALSE(fine.tooMuch);
  EXPECT_TRUE(fine.message.empty());
  ASSERT_EQ(fine.perOrder.size(), 2u);
  EXPECT_EQ(fine.perOrder[0], 72u);
  EXPECT_EQ(fine.total, fine.perOrder[0] + fine.perOrder[1]);
  // The map refused past the limit leaves the first-order map as it is.
  in.order = 6;
  const CaseResults first = computecase(caseOf(room, {3, 1}, gridOver(room, 20), 1));
  CaseResults r = computecase(caseOf(room, {3, 1}, gridOver(room, 20), 1));
  const HigherOrderValues refused = higherordermap(in, r.images, in.xs, in.ys, r.values, {}, 5000);
  EXPECT_TRUE(refused.refused);
  EXPECT_EQ(refused.message, huge.message);
  EXPECT_TRUE(refused.RTorder.empty());
  EXPECT_EQ(r.values.RT, first.values.RT);
  EXPECT_EQ(r.values.PT, first.values.PT);
  // The real limit lets the benchmark rooms through at the highest order.
  for (const Room& ok : {testrooms::lroom(), testrooms::gear(), testrooms::circle(72)}) {
    CaseInputs c = caseOf(ok, ok.name == "L" ? P{2, 2} : P{2, 1}, gridOver(ok, 10), kMaxOrder);
    EXPECT_FALSE(estimatebeams(c).tooMuch) << ok.name;
  }
}

TEST(HigherOrders, BeamTreeKnowsEachPath) {
  const Room room{"rectangle", {0, 8, 8, 0}, {0, 0, 5, 5}};
  CaseInputs in = caseOf(room, {2, 1}, gridOver(room, 4), 3);
  const ImageSet images = firstorderimages(in);
  const BeamTree tree = tracebeams(in, images, 3);
  ASSERT_EQ(tree.orders.size(), 3u);
  EXPECT_TRUE(tree.complete);
  EXPECT_EQ(tree.orders[0].size(), 4u);
  for (int k = 1; k <= 3; ++k)
    for (std::size_t i = 0; i < tree.orders[static_cast<std::size_t>(k - 1)].size(); ++i) {
      const std::vector<int> walls = tree.walls(k, i);
      ASSERT_EQ(walls.size(), static_cast<std::size_t>(k));
      EXPECT_EQ(walls.back(), tree.orders[static_cast<std::size_t>(k - 1)][i].wall);
      for (std::size_t j = 1; j < walls.size(); ++j) EXPECT_NE(walls[j], walls[j - 1]);
      // The image is the source mirrored in the path's walls in turn.
      P image{2, 1};
      for (int w : walls) image = bruteOf(room).image(static_cast<std::size_t>(w - 1), image);
      EXPECT_NEAR(tree.orders[static_cast<std::size_t>(k - 1)][i].image.x, image.x, 1e-12);
      EXPECT_NEAR(tree.orders[static_cast<std::size_t>(k - 1)][i].image.y, image.y, 1e-12);
    }
  // Floor (wall 1) then ceiling (wall 3): the image of the image, seen through the whole ceiling.
  bool found = false;
  for (std::size_t i = 0; i < tree.orders[1].size(); ++i)
    if (tree.walls(2, i) == std::vector<int>{1, 3}) {
      found = true;
      const Beam& b = tree.orders[1][i];
      EXPECT_DOUBLE_EQ(b.image.y, 11);
      const ZonePolygon zone = beamzone(in.walls, b);
      EXPECT_GE(zone.xp.size(), 3u);
    }
  EXPECT_TRUE(found);
}

TEST(HigherOrders, ArrivalsAtAReceptorAreTheBruteForcePaths) {
  std::mt19937 rng(5);
  int checked = 0;
  for (const Room& room : {testrooms::lroom(), testrooms::uroom(), testrooms::pillar(),
                           Room{"rectangle", {0, 8, 8, 0}, {0, 0, 5, 5}}}) {
    const Brute b = bruteOf(room);
    const P s = randomSource(b, rng);
    std::vector<double> alpha(room.x.size());
    for (std::size_t w = 0; w < alpha.size(); ++w) alpha[w] = 5.0 * static_cast<double>(w);
    const CaseInputs in = caseOf(room, s, gridOver(room, 2), 3, alpha);
    const PathBrute paths(b, s, 3, alpha);
    for (int t = 0; t < 20; ++t) {
      const P re = randomSource(b, rng);
      bool near = false;
      std::map<std::vector<int>, const BrutePath*> expected;
      for (const BrutePath& path : paths.paths()) {
        if (paths.farOutside(path, re)) continue;
        if (paths.nearBoundary(path, re)) near = true;
        if (!paths.reaches(path, re)) continue;
        std::vector<int> walls;
        for (std::size_t w : path.walls) walls.push_back(static_cast<int>(w) + 1);
        expected[walls] = &path;
      }
      if (near) continue;
      ++checked;
      Receptor rec;
      rec.xre = re.x;
      rec.yre = re.y;
      rec.Lw = 90;
      rec.Hr = 1.2;
      const std::vector<PathArrival> got = higherorderarrivals(in, rec);
      ASSERT_EQ(got.size(), expected.size()) << room.name;
      const double power = 1e-12 * std::pow(10.0, 9.0);
      const double rso = std::sqrt(std::pow(re.x - s.x, 2) + std::pow(re.y - s.y, 2) + 1.44);
      for (std::size_t i = 0; i < got.size(); ++i) {
        const PathArrival& a = got[i];
        ASSERT_TRUE(expected.count(a.walls)) << room.name;
        if (i > 0) {
          EXPECT_GE(a.order, got[i - 1].order);
        }
        EXPECT_EQ(a.order, static_cast<int>(a.walls.size()));
        const BrutePath& path = *expected[a.walls];
        const P image = path.images.back();
        const double r =
            std::max(1.0, std::sqrt(std::pow(re.x - image.x, 2) + std::pow(re.y - image.y, 2) + 1.44));
        EXPECT_NEAR(a.distance, r, 1e-9);
        const double energy = path.factor * kRhoCOver4 * power / std::numbers::pi / (r * r);
        EXPECT_NEAR(a.energy / energy, 1, 1e-9);
        EXPECT_NEAR(a.levelDb, 10 * std::log10(energy / kReferencePressure2), 1e-9);
        EXPECT_NEAR(a.delayMs, (r - std::max(1.0, rso)) / 340 * 1000, 1e-9);
        const double cosine = ((s.x - re.x) * (image.x - re.x) + (s.y - re.y) * (image.y - re.y)) /
                              std::hypot(s.x - re.x, s.y - re.y) / std::hypot(image.x - re.x, image.y - re.y);
        EXPECT_NEAR(a.angleDeg, std::acos(std::clamp(cosine, -1.0, 1.0)) * 180 / std::numbers::pi, 1e-7);
      }
      // The first order's energy as the polar diagram computes it, to the bit.
      for (const PathArrival& a : got) {
        if (a.order != 1) continue;
        const double alphaW = alpha[static_cast<std::size_t>(a.walls[0] - 1)];
        EXPECT_EQ(a.energy, 1.0 * (1 - alphaW / 100) * kRhoCOver4 * power / std::numbers::pi /
                                (a.distance * a.distance));
      }
      rec.fromOrder = 2;
      const std::vector<PathArrival> higher = higherorderarrivals(in, rec);
      EXPECT_EQ(higher.size(),
                static_cast<std::size_t>(std::count_if(got.begin(), got.end(),
                                                       [](const PathArrival& a) { return a.order >= 2; })));
    }
  }
  EXPECT_GT(checked, 60);
}

TEST(HigherOrders, CurvedStretchFacetsCarryTheirCoefficient) {
  // The vault of the convex-wall test: its arc facets reflect as plane walls beyond the first order,
  // each carrying the coefficient of its curve for the image that lights it; without the diffusion
  // factor they are plain walls.
  const double cy = 15.25, radius = 7.25;
  const double a0 = std::atan2(10 - cy, 5.0), a1 = std::atan2(10 - cy, -5.0);
  Room room{"vault", {0, 10}, {0, 0}};
  for (int k = 0; k <= 6; ++k) {
    const double a = a0 + (a1 - a0) * k / 6;
    room.x.push_back(k == 0 ? 10 : k == 6 ? 0 : 5 + radius * std::cos(a));
    room.y.push_back(k == 0 || k == 6 ? 10 : cy + radius * std::sin(a));
  }
  CaseInputs in = caseOf(room, {3, 2}, gridOver(room, 30), 2);
  in.curves = {Curve{2, 10, 10, 0, 10, 5, 8, 3, 8}};
  const ImageSet images = firstorderimages(in);
  ASSERT_EQ(images.convexWalls, (std::vector<int>{3, 4, 5, 6, 7, 8}));
  const BeamTree tree = tracebeams(in, images, 2);
  int facets = 0;
  for (std::size_t i = 0; i < tree.orders[1].size(); ++i) {
    const Beam& b = tree.orders[1][i];
    const Beam& parent = tree.orders[0][b.parent];
    const double first = images.diffcoef[static_cast<std::size_t>(parent.wall - 1)];
    EXPECT_DOUBLE_EQ(parent.factor, first);
    if (b.wall < 3 || b.wall > 8) {
      EXPECT_DOUBLE_EQ(b.factor, parent.factor);
      continue;
    }
    ++facets;
    const Wall& w = b.window;
    const double d =
        computeimagec(b.wall, 2, in.curves, w.x1, w.y1, w.x2, w.y2, parent.image.x, parent.image.y).dcoef;
    const double whole =
        computeimagec(b.wall, 1, in.curves, w.x1, w.y1, w.x2, w.y2, parent.image.x, parent.image.y).dcoef;
    EXPECT_TRUE(b.factor == parent.factor * d || b.factor == parent.factor * whole);
    EXPECT_LT(b.factor, parent.factor);  // a convex facet spreads what it reflects
  }
  EXPECT_GT(facets, 3);
  in.diffusion = false;
  const ImageSet plain = firstorderimages(in);
  for (const auto& level : tracebeams(in, plain, 2).orders)
    for (const Beam& b : level) EXPECT_EQ(b.factor, 1.0);
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

// Rooms a user can draw badly (the robustness test's kinds), at order 3: no crash, no NaN, counts
// within the beams traced, and the arrivals agreeing with the map at a grid point.
TEST(HigherOrders, BadlyDrawnRoomsNeverPoisonTheMap) {
  std::mt19937 rng(611);
  std::uniform_real_distribution<double> u(0, 1);
  for (int trial = 0; trial < 140; ++trial) {
    Room room = testrooms::starRoom(rng, 3 + static_cast<int>(u(rng) * 12), 1 + 3 * u(rng), 5 + 6 * u(rng));
    std::uniform_int_distribution<std::size_t> pick(0, room.x.size() - 1);
    switch (trial % 6) {
      case 1: {  // zero-length wall
        const std::size_t k = pick(rng);
        room.x.insert(room.x.begin() + static_cast<std::ptrdiff_t>(k), room.x[k]);
        room.y.insert(room.y.begin() + static_cast<std::ptrdiff_t>(k), room.y[k]);
        break;
      }
      case 2: {  // self-touching
        const std::size_t a = pick(rng), b = pick(rng);
        room.x[a] = room.x[b];
        room.y[a] = room.y[b];
        break;
      }
      case 3:  // clockwise
        std::reverse(room.x.begin(), room.x.end());
        std::reverse(room.y.begin(), room.y.end());
        break;
      case 4:  // self-crossing
        std::shuffle(room.x.begin(), room.x.end(), rng);
        break;
      case 5:  // coarse snapping: collinear and coinciding vertices
        for (double& v : room.x) v = std::round(v / 3) * 3;
        for (double& v : room.y) v = std::round(v / 3) * 3;
        break;
      default:
        break;
    }
    const Walls walls = room.walls();
    CaseInputs in;
    in.walls = walls;
    for (std::size_t w = 0; w < walls.size(); ++w) in.alpha.push_back(std::round(u(rng) * 4) * 25);
    const std::size_t w = pick(rng);
    const P sources[4] = {{2 * u(rng) - 1, 2 * u(rng) - 1},
                          {(walls[w].x1 + walls[w].x2) / 2, (walls[w].y1 + walls[w].y2) / 2},
                          {walls[w].x1, walls[w].y1},
                          {30, -30}};
    in.xso = sources[trial % 4].x;
    in.yso = sources[trial % 4].y;
    const auto grid = testrooms::boxgrid(-12, -12, 12, 12, 10 + trial % 7);
    in.xs = grid.xs;
    in.ys = grid.ys;
    in.order = 3;
    CaseResults r;
    ASSERT_NO_THROW(r = computecase(in));
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_EQ(r.orders.RTorder.size(), 3u);
    std::size_t beams = 0;
    for (std::size_t b : r.orders.beams) beams += b;
    for (std::size_t k = 0; k < grid.xs.size(); ++k) {
      ASSERT_TRUE(std::isfinite(r.values.PT.data[k]) && r.values.PT.data[k] >= 0);
      ASSERT_LE(r.values.RT.data[k], static_cast<double>(beams + walls.size()));
      for (std::size_t o = 0; o < 3; ++o) ASSERT_TRUE(std::isfinite(r.orders.PTorder[o].data[k]));
    }
    Receptor rec;
    rec.xre = grid.xs.data[grid.xs.size() / 2];
    rec.yre = grid.ys.data[grid.xs.size() / 2];
    rec.fromOrder = 2;
    std::vector<PathArrival> arrivals;
    ASSERT_NO_THROW(arrivals = higherorderarrivals(in, rec));
    const double mapped =
        r.orders.RTorder[1].data[grid.xs.size() / 2] + r.orders.RTorder[2].data[grid.xs.size() / 2];
    EXPECT_EQ(static_cast<double>(arrivals.size()), mapped);
    for (const PathArrival& a : arrivals) ASSERT_TRUE(std::isfinite(a.delayMs) && std::isfinite(a.angleDeg));
  }
}

TEST(HigherOrders, DegenerateInputsGiveNothingOrClampedOrders) {
  const Room room = testrooms::lroom();
  const auto grid = gridOver(room, 10);
  CaseInputs in = caseOf(room, {2, 2}, grid, 0);
  EXPECT_TRUE(computecase(in).orders.RTorder.empty());  // below 1: order 1
  in.order = 99;                                        // above the highest: the highest
  EXPECT_EQ(computecase(in).orders.RTorder.size(), static_cast<std::size_t>(kMaxOrder));
  in.order = 3;
  in.alpha = {std::nan(""), 100, 100, 100, 100, 100};  // NaN absorbs everything too
  const CaseResults none = computecase(in);
  for (std::size_t o = 1; o < 3; ++o)
    for (double v : none.orders.RTorder[o].data) EXPECT_EQ(v, 0);
  in.alpha.clear();  // missing absorption: none
  EXPECT_GT(computecase(in).orders.beams[1], 0u);
  in.xs = Matrix(1, 1, 3.0);
  in.ys = Matrix(2, 1, 3.0);  // shapes that disagree: no higher-order grids
  EXPECT_NO_THROW(computecase(in));
  EXPECT_TRUE(computecase(in).orders.RTorder.empty());
  in.walls.clear();
  in.ys = Matrix(1, 1, 3.0);
  EXPECT_NO_THROW(computecase(in));
  in.walls = room.walls();
  in.xso = std::nan("");
  EXPECT_NO_THROW(computecase(in));
  EXPECT_NO_THROW(higherorderarrivals(in, Receptor{}));
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

TEST(HigherOrders, ProgressMayCancelBetweenChunks) {
  // The live map stops a computation by throwing from the progress callback: it leaves the map
  // computation cleanly, whatever order it had reached.
  struct Cancelled {};
  const Room room = testrooms::circle(72);
  CaseInputs in = caseOf(room, {3, 1}, gridOver(room, 60), 4);
  in.noprogressbar = false;
  for (const std::string& at :
       {std::string("processing wall 10 on 72"), std::string("processing order 3: beam 0")}) {
    bool thrown = false;
    try {
      computecase(in, [&](double, const std::string& text) {
        if (text.rfind(at, 0) == 0) throw Cancelled{};
      });
    } catch (const Cancelled&) {
      thrown = true;
    }
    EXPECT_TRUE(thrown) << at;
  }
  EXPECT_EQ(computecase(in).orders.beams.size(), 4u);  // and the next one runs to its end
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

TEST(HigherOrders, EchoRiskOfEveryOrderAgreesWithBruteForce) {
  const EchoRiskThresholds t{12, 14};
  long compared = 0, flaggedHigher = 0;
  std::mt19937 rng(41);
  for (const Room& room :
       {testrooms::lroom(), testrooms::uroom(), Room{"corridor", {0, 16, 16, 0}, {0, 0, 3, 3}}}) {
    const Brute brute = bruteOf(room);
    const P s = randomSource(brute, rng);
    const auto grid = gridOver(room, 30);
    std::vector<double> alpha(room.x.size(), 10.0);
    const CaseInputs in = caseOf(room, s, grid, 3, alpha);
    const CaseResults r = computecase(in);
    EchoRiskInputs risk;
    risk.xs = grid.xs;
    risk.ys = grid.ys;
    risk.xso = s.x;
    risk.yso = s.y;
    risk.Pso = r.values.Pso.data;
    risk.inDS = r.values.inDS;
    risk.ina = r.convexity.ina;
    for (const ImageRecord& im : r.images.images) risk.images.push_back({im.xi, im.yi});
    risk.inRW = r.values.inRW;
    risk.Pwall = r.values.Pwall;
    const std::vector<std::uint8_t> first = echoRiskPoints(risk, t);
    std::vector<std::uint8_t> flags = first;
    ASSERT_TRUE(higherorderechorisk(in, r.images, risk, t, flags));
    const PathBrute paths(brute, s, 3, alpha);
    for (std::size_t k = 0; k < grid.xs.size(); ++k) {
      const P p{grid.xs.data[k], grid.ys.data[k]};
      if (!brute.inside(p) || brute.distanceToWalls(p) < kBoundary || brute.nearShadowLine(s, p)) continue;
      if (!brute.clear(s, p, brute.n())) {
        EXPECT_EQ(flags[k], 0);  // no direct sound: no echo of it
        continue;
      }
      bool near = false, risky = false;
      const double direct = std::max(1.0, std::hypot(p.x - s.x, p.y - s.y));
      for (const BrutePath& path : paths.paths()) {
        if (path.walls.size() < 2 || paths.farOutside(path, p)) continue;
        if (paths.nearBoundary(path, p)) near = true;
        if (near) break;
        if (!paths.reaches(path, p)) continue;
        const P image = path.images.back();
        const double delay = (std::max(1.0, std::hypot(p.x - image.x, p.y - image.y)) - direct) / 340 * 1000;
        const double ratio = paths.energy(path, p) / (r.values.Pso.data[k] * std::pow(10.0, -t.levelDb / 10));
        if (std::abs(delay - t.delayMs) < 1e-6 || std::abs(ratio - 1) < 1e-9) near = true;
        risky = risky || (delay > t.delayMs && ratio >= 1);
      }
      if (near) continue;
      ++compared;
      flaggedHigher += risky && !first[k];
      EXPECT_EQ(flags[k], first[k] || risky ? 1 : 0) << room.name << " (" << p.x << ", " << p.y << ")";
    }
  }
  std::cout << "[ compared ] " << compared << " points, " << flaggedHigher
            << " at risk from higher orders only\n";
  EXPECT_GT(compared, 1500);
  EXPECT_GT(flaggedHigher, 50);
}

}  // namespace
}  // namespace velmora::engine
