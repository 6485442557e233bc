// The arrivals at the receptor as a table, read back: the summed levels of the comment line are the
// energy sums of the rows, and a refused diagram writes no table.

#include "polar/arrivals_csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/main_window.h"

namespace velmora::polar {
namespace {

class ArrivalsTest : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override { fig = openMainWindow(); }
};

// The number after `label` in the comment line, e.g. "total 71.2 dB".
double commentValue(const std::string& comment, const std::string& label) {
  const auto at = comment.find("; " + label + " ");
  EXPECT_NE(at, std::string::npos) << label;
  return std::stod(comment.substr(at + label.size() + 3));
}

TEST_F(ArrivalsTest, RowsAddUpToTheLevelsOfTheDiagram) {
  std::istringstream in(arrivalsCsv(rt, fig));
  std::string comment, line;
  std::getline(in, comment);
  EXPECT_EQ(comment.rfind("# case not saved; source (", 0), 0u) << comment;
  std::getline(in, line);
  EXPECT_EQ(line, "kind,wall,level,delay,angle\r");
  double direct = 0, reflected = 0;
  int reflections = 0;
  while (std::getline(in, line)) {
    std::vector<std::string> f(1);
    for (char c : line.substr(0, line.size() - 1)) {
      if (c == ',')
        f.emplace_back();
      else
        f.back() += c;
    }
    ASSERT_EQ(f.size(), 5u) << line;
    const double energy = std::pow(10.0, std::stod(f[2]) / 10);
    if (f[0] == "direct") {
      direct = energy;
      EXPECT_EQ(f[1], "");
    } else {
      EXPECT_EQ(f[0], "reflection");
      EXPECT_GE(std::stoi(f[1]), 1);
      EXPECT_GT(std::stod(f[3]), 0);
      reflected += energy;
      ++reflections;
    }
  }
  EXPECT_GT(reflections, 0);  // the default room sends the receptor its reflections
  EXPECT_NEAR(10 * std::log10(direct), commentValue(comment, "direct"), 2e-3);
  EXPECT_NEAR(10 * std::log10(reflected), commentValue(comment, "reflected"), 2e-3);
  EXPECT_NEAR(10 * std::log10(direct + reflected), commentValue(comment, "total"), 2e-3);
}

TEST_F(ArrivalsTest, RefusedDiagramGivesItsMessage) {
  const document::DefaultRoom room = document::defaultRoom(20);
  document::CaseDescription d;
  d.xre = room.xso + 0.5;
  d.yre = room.yso;
  rt.dispatch({"update", d.toValue()});
  try {
    arrivalsCsv(rt, fig);
    ADD_FAILURE() << "no refusal";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "receptor must be at least one meter far from source ...");
  }
}

}  // namespace
}  // namespace velmora::polar
