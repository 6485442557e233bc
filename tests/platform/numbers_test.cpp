#include "platform/model/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velmora::platform {
namespace {

TEST(Numbers, RoundingSignAndSnapping) {
  struct Row {
    double in, rounded, sign;
  };
  for (const Row& r : {Row{2.5, 3, 1}, Row{-2.5, -3, -1}, Row{0.49999999999999994, 0, 1}, Row{0, 0, 0},
                       Row{-0.0, -0.0, 0}, Row{1e300, 1e300, 1}}) {
    EXPECT_EQ(roundHalfAway(r.in), r.rounded) << r.in;
    EXPECT_EQ(sign(r.in), r.sign) << r.in;
  }
  EXPECT_TRUE(std::isnan(sign(std::nan(""))));
  EXPECT_DOUBLE_EQ(snap(0.1 + 0.2), 0.3);
  EXPECT_DOUBLE_EQ(snap(1.0000004), 1.0);
  EXPECT_DOUBLE_EQ(snap(-2.0000006), -2.000001);
  EXPECT_EQ(snap(1e-7), 0.0);
  EXPECT_TRUE(std::isinf(snap(std::numeric_limits<double>::infinity())));
}

TEST(Numbers, NanAwareMinMax) {
  const double nan = std::nan("");
  const std::vector<double> v{nan, 3, -1, nan, 7};
  EXPECT_EQ(nanMin(v), -1);
  EXPECT_EQ(nanMax(v), 7);
  const std::vector<double> allNan{nan, nan};
  EXPECT_TRUE(std::isnan(nanMin(allNan)));
  EXPECT_TRUE(std::isnan(nanMax(std::vector<double>{})));
}

TEST(Numbers, ShortestDecimalForm) {
  struct Row {
    double v;
    const char* text;
  };
  for (const Row& r :
       {Row{5, "5"}, Row{0.1, "0.1"}, Row{-2.25, "-2.25"}, Row{53, "53"}, Row{-0.0, "0"}, Row{1e20, "1e+20"},
        Row{std::nan(""), "NaN"}, Row{std::numeric_limits<double>::infinity(), "Inf"},
        Row{-std::numeric_limits<double>::infinity(), "-Inf"}, Row{100, "100"}}) {
    EXPECT_EQ(formatNumber(r.v), r.text);
  }
}

TEST(Numbers, ReadingTypedTextNeverEvaluates) {
  using V = std::vector<double>;
  EXPECT_EQ(readNumbers("20"), V{20});
  EXPECT_EQ(readNumbers("  10 30 "), (V{10, 30}));
  EXPECT_EQ(readNumbers("1,2;3"), (V{1, 2, 3}));
  EXPECT_EQ(readNumbers("[10 30]"), (V{10, 30}));
  EXPECT_EQ(readNumbers("-1.5e2 .5 +3."), (V{-150, 0.5, 3}));
  EXPECT_EQ(readNumbers(""), V{});
  EXPECT_EQ(readNumbers("   "), V{});
  auto inf = readNumbers("Inf -inf");
  ASSERT_TRUE(inf);
  EXPECT_TRUE(std::isinf((*inf)[0]) && (*inf)[1] < 0);
  auto nan = readNumbers("NaN");
  ASSERT_TRUE(nan);
  EXPECT_TRUE(std::isnan((*nan)[0]));
  auto huge = readNumbers("1e400 1e-400");
  ASSERT_TRUE(huge);
  EXPECT_TRUE(std::isinf((*huge)[0]));
  EXPECT_EQ((*huge)[1], 0);
  for (const char* bad :
       {"abc", "20abc", "1+1", "exit", "system('ls')", "2*3", "1e", "--1", ".", "e5", "0x10", "[1 2", "pi"}) {
    EXPECT_FALSE(readNumbers(bad).has_value()) << bad;
  }
}

TEST(Numbers, CaseInsensitiveCompare) {
  EXPECT_TRUE(equalsIgnoreCase("SplitWall", "splitwall"));
  EXPECT_FALSE(equalsIgnoreCase("split", "splitwall"));
  EXPECT_EQ(lower("UpDaTe"), "update");
}

}  // namespace
}  // namespace velmora::platform
