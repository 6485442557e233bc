// The map computed on many threads is the map computed on one, bit for bit, and the progress bar
// hears of every wall in order, on the calling thread.

#include <gtest/gtest.h>

#include <oneapi/tbb/global_control.h>

#include <cstring>
#include <thread>

#include "tests/engine/rooms.h"

namespace velmora::engine {
namespace {

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

CaseInputs caseOf(const testrooms::Room& room, double xso, double yso, int n) {
  CaseInputs in;
  in.walls = room.walls();
  in.alpha.assign(in.walls.size(), 30.0);
  in.xso = xso;
  in.yso = yso;
  const auto [x0, x1] = std::minmax_element(room.x.begin(), room.x.end());
  const auto [y0, y1] = std::minmax_element(room.y.begin(), room.y.end());
  const auto grid = testrooms::boxgrid(*x0, *y0, *x1, *y1, n);
  in.xs = grid.xs;
  in.ys = grid.ys;
  return in;
}

TEST(Threads, OneThreadGivesTheSameBitsAsAll) {
  for (const CaseInputs& in :
       {caseOf(testrooms::spiral(2, 25), 3.3, 0.5, 120), caseOf(testrooms::gear(), 2, 1, 120),
        caseOf(testrooms::circle(72), 3, 1, 120)}) {
    SurfaceValues one;
    {
      const tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
      one = computecase(in).values;
    }
    const SurfaceValues all = computecase(in).values;
    EXPECT_TRUE(sameBits(one.PT.data, all.PT.data));
    EXPECT_TRUE(sameBits(one.RT.data, all.RT.data));
    EXPECT_TRUE(sameBits(one.Pso.data, all.Pso.data));
    EXPECT_EQ(one.inRW, all.inRW);
    EXPECT_EQ(one.inDS, all.inDS);
    ASSERT_EQ(one.Pwall.size(), all.Pwall.size());
    for (std::size_t w = 0; w < one.Pwall.size(); ++w) EXPECT_TRUE(sameBits(one.Pwall[w], all.Pwall[w]));
    EXPECT_EQ(one.xpol, all.xpol);
    EXPECT_EQ(one.console, all.console);
  }
}

TEST(Threads, ProgressReportsEveryWallInOrderOnTheCallingThread) {
  CaseInputs in = caseOf(testrooms::spiral(1.25, 15), 3.3, 0.5, 60);
  in.noprogressbar = false;
  std::vector<std::string> texts;
  std::vector<double> fractions;
  bool otherThread = false;
  const auto caller = std::this_thread::get_id();
  computecase(in, [&](double f, const std::string& text) {
    otherThread = otherThread || std::this_thread::get_id() != caller;
    fractions.push_back(f);
    texts.push_back(text);
  });
  const std::size_t n = in.walls.size();
  ASSERT_EQ(texts.size(), n + 1);
  for (std::size_t i = 0; i <= n; ++i) {
    EXPECT_EQ(texts[i], "processing wall " + std::to_string(i) + " on " + std::to_string(n));
    EXPECT_DOUBLE_EQ(fractions[i], static_cast<double>(i) / n);
  }
  EXPECT_FALSE(otherThread);
}

}  // namespace
}  // namespace velmora::engine
