// The audience map as a table, read back field by field; the "exportmap" verb with and without a file
// name, and from the map's context menu.

#include "shell/map_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using Row = std::vector<std::string>;

// A plain reader for what the writer produces: CRLF lines, no quoted fields in a map.
std::vector<Row> parse(const std::string& text, std::string* comment) {
  std::vector<Row> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.back(), '\r');
    line.pop_back();
    if (line.rfind("# ", 0) == 0) {
      *comment = line;
      continue;
    }
    Row row(1);
    for (char c : line) {
      if (c == ',') {
        row.emplace_back();
      } else {
        row.back() += c;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class MapExportTest : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override { fig = openMainWindow(); }
};

TEST_F(MapExportTest, EveryGridPointWithLevelsThatAddUp) {
  // Wall 1 absorbs everything: its column is empty everywhere.
  const DefaultRoom room = defaultRoom(20);
  CaseDescription d;
  d.xwall = room.xwall;
  d.ywall = room.ywall;
  d.alpha = std::vector<double>{100, 0, 0, 0};
  d.Nsurface = 10;
  rt.dispatch({"update", d.toValue()});

  std::string comment;
  const std::vector<Row> rows = parse(audienceMapCsv(rt, fig), &comment);
  EXPECT_EQ(comment.rfind("# case not saved; x y in m; levels in dB re 20 uPa for a source of 100 dB", 0), 0u)
      << comment;
  ASSERT_EQ(rows.size(), 1u + 11 * 11);
  EXPECT_EQ(rows[0],
            (Row{"x", "y", "inside", "reflections", "direct", "total", "wall1", "wall2", "wall3", "wall4"}));
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const Row& r = rows[i];
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(r[2], "1");  // the default room is convex and holds the audience area
    EXPECT_EQ(r[6], "") << i;
    // The total is the energy sum of the direct sound and every reflection received.
    double energy = std::pow(10.0, std::stod(r[4]) / 10);
    int received = 0;
    for (std::size_t k = 6; k < r.size(); ++k) {
      if (r[k].empty()) continue;
      energy += std::pow(10.0, std::stod(r[k]) / 10);
      ++received;
    }
    EXPECT_EQ(std::stoi(r[3]), received) << i;
    EXPECT_NEAR(10 * std::log10(energy), std::stod(r[5]), 2e-3) << i;
  }
}

TEST_F(MapExportTest, VerbWritesTheFileOrAsksForOne) {
  const std::string named = (std::filesystem::current_path() / "named.csv").string();
  rt.dispatch({"exportmap", named});
  EXPECT_EQ(slurp(named), audienceMapCsv(rt, fig));

  // From the map's context menu: a save chooser; the extension is added when the name has none.
  ui.push(platform::ScriptedAnswer::chosenFile((std::filesystem::current_path() / "chosen").string()));
  rt.click(contextItem(obj("acouaudiencesurface"), "export map..."));
  EXPECT_EQ(shownOf("save"), (std::vector<std::string>{"Export audience map: *.csv"}));
  EXPECT_EQ(slurp("chosen.csv"), slurp(named));

  // Cancelled: nothing written, nothing said.
  ui.push(platform::ScriptedAnswer::chosenFile(std::nullopt));
  rt.dispatch({"exportmap"});
  EXPECT_FALSE(std::filesystem::exists("chosen.csv.csv"));

  // A folder cannot take the table; the message names it and nothing changes.
  std::filesystem::create_directory("folder.csv");
  try {
    rt.dispatch({"exportmap", "folder.csv"});
    ADD_FAILURE() << "a folder was written";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write file folder.csv: it is a folder");
  }
}

}  // namespace
}  // namespace velmora::shell
