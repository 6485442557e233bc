// DXF floor plans through the "import DXF plan..." menu item and the "importdxf" verb: the plans
// written by an independent writer (tests/fixtures/dxf/make_dxf.py) become their known rooms, and
// every bad file or answer gets its message and leaves the window as it was.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plan/dxf_import.h"
#include "platform/model/error.h"
#include "platform/files/matfile.h"
#include "shell/case_files.h"
#include "support/main_window.h"

namespace velmora::plan {
namespace {

using platform::ScriptedAnswer;
using platform::Value;
using ::testing::HasSubstr;
using Vertices = std::vector<engine::Point>;

std::string fixture(const std::string& name) {
  return std::string(VELMORA_FIXTURES) + "/dxf/" + name;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// True when `got` is `want` taken from some starting vertex, every coordinate within 1 mm.
bool sameOutline(const Vertices& got, const Vertices& want) {
  if (got.size() != want.size()) return false;
  for (std::size_t shift = 0; shift < got.size(); ++shift) {
    bool all = true;
    for (std::size_t k = 0; k < got.size() && all; ++k) {
      const engine::Point a = got[(k + shift) % got.size()], b = want[k];
      all = std::abs(a.x - b.x) < 1e-3 && std::abs(a.y - b.y) < 1e-3;
    }
    if (all) return true;
  }
  return false;
}

class DxfImportTest : public test_support::MainWindowFixture<test_support::DialogRecordingUi> {
 protected:
  DxfImportTest() {
    fig = openMainWindow();
    ui.dialogs.clear();
  }
  // The menu item with the file chooser answered, then the import dialog.
  void importThroughMenu(const std::string& path, std::vector<std::string> answers) {
    ui.push(ScriptedAnswer::chosenFile(path));
    ui.push(ScriptedAnswer::inputs(std::move(answers)));
    const auto items = windowItems("import DXF plan...");
    ASSERT_EQ(items.size(), 1u);
    rt.click(items.front());
  }
  void importFile(const std::string& path, std::vector<std::string> answers) {
    if (!answers.empty()) ui.push(ScriptedAnswer::inputs(std::move(answers)));
    shell::velmoracopy(rt, ops, {Value("importdxf"), Value(path)});
  }
  document::CaseDescription shown() const { return shell::describeCase(rt, fig, "x"); }
  Vertices walls() const {
    const auto d = shown();
    Vertices v;
    for (std::size_t k = 0; k < d.xwall->size(); ++k) v.push_back({(*d.xwall)[k], (*d.ywall)[k]});
    return v;
  }
};

struct RoomRow {
  const char* file;
  std::vector<std::string> answers;
  Vertices corners;        // the straight walls' vertices, counter-clockwise
  int arcWalls = 0;        // walls cut from the one arc
  engine::Point centre{};  // of that arc
  double radius = 0;
};

TEST_F(DxfImportTest, PlansBecomeTheirRoomsCounterClockwiseInMetres) {
  const std::vector<RoomRow> rows = {
      {"rectangle-mm.dxf", {"WALLS", "1"}, {{0, 0}, {6, 0}, {6, 4}, {0, 4}}},
      {"l-room-m.dxf", {"0", "1"}, {{0, 0}, {5, 0}, {5, 2}, {2, 2}, {2, 4}, {0, 4}}},
      {"two-layers-m.dxf", {"walls", "1"}, {{0, 0}, {10, 0}, {10, 8}, {0, 8}}},
      // A half circle of radius 1.5 m: 36 walls of 5 degrees.
      {"bulge-room-cm.dxf", {"0", "cm", "1"}, {{0, 0}, {4, 0}, {4, 3}, {0, 3}}, 36, {4, 1.5}, 1.5},
      // A quarter circle of radius 2 m: 18 walls.
      {"arc-room-m.dxf", {"0", "1"}, {{0, 0}, {6, 0}, {6, 2}, {4, 4}, {0, 4}}, 18, {4, 2}, 2},
  };
  for (const RoomRow& row : rows) {
    SCOPED_TRACE(row.file);
    importThroughMenu(fixture(row.file), row.answers);
    const Vertices v = walls();
    if (row.arcWalls == 0) {
      EXPECT_TRUE(sameOutline(v, row.corners)) << v.size() << " walls";
      EXPECT_FALSE(shown().curves);
    } else {
      ASSERT_EQ(v.size(), row.corners.size() + row.arcWalls - 1);
      // One curve row naming the arc's walls; its walls lie on the circle and the rest are the corners.
      const platform::Matrix c = *shown().curves;
      ASSERT_EQ(c.rows, 1u);
      EXPECT_EQ(c(0, 8) - c(0, 7) + 1, row.arcWalls);
      Vertices corners;
      for (std::size_t k = 0; k < v.size(); ++k) {
        const double wall = static_cast<double>(k) + 1;
        const bool inside = wall > c(0, 7) && wall <= c(0, 8);  // the arc's inner vertices
        if (inside) {
          EXPECT_NEAR(std::hypot(v[k].x - row.centre.x, v[k].y - row.centre.y), row.radius, 1e-3);
        } else {
          corners.push_back(v[k]);
        }
      }
      EXPECT_TRUE(sameOutline(corners, row.corners));
      EXPECT_NEAR(std::hypot(c(0, 5) - row.centre.x, c(0, 6) - row.centre.y), row.radius, 1e-3);
    }
    // The room opened as a traced plan does: history restarted, source and receptor inside.
    const auto udf = document::readCase(rt, fig);
    EXPECT_EQ(udf.actionlist, std::vector<std::string>{"DXF plan"});
    EXPECT_EQ(shell::historyEntries(udf),
              (std::vector<std::string>{"cancel", "DXF plan (" + std::to_string(v.size()) + " walls)"}));
    EXPECT_EQ(shownOf("error"), std::vector<std::string>{});
  }
}

TEST_F(DxfImportTest, DialogListsLayersAndAsksTheUnitOnlyWhenTheFileHasNone) {
  importThroughMenu(fixture("two-layers-m.dxf"), {"WALLS", "1"});
  ASSERT_EQ(ui.dialogs.size(), 1u);
  const platform::InputDialog& d = ui.dialogs.front();
  EXPECT_EQ(d.title, "Import DXF plan");
  EXPECT_EQ(d.prompts,
            (std::vector<std::string>{
                "Layers in the file:\n  WALLS (1 entity)\n  FURNITURE (2 entities)\nLayer to import:",
                "Joining tolerance (mm):"}));
  EXPECT_EQ(d.defaults, (std::vector<std::string>{"WALLS", "1"}));
  EXPECT_EQ(shownOf("open"), std::vector<std::string>{"Select DXF plan file: *.dxf"});

  importThroughMenu(fixture("bulge-room-cm.dxf"), {"0", "cm", "1"});
  EXPECT_EQ(ui.dialogs.back().prompts.at(1), "Drawing unit (mm, cm, m, inch, foot):");
}

TEST_F(DxfImportTest, SeveralOutlinesTakeTheLargestAndSaySo) {
  importFile(fixture("two-layers-m.dxf"), {"FURNITURE", "1"});
  EXPECT_EQ(
      shownOf("message"),
      std::vector<std::string>{"Import DXF plan: Layer \"FURNITURE\" holds 2 closed outlines: the largest "
                               "(2 m²) is imported."});
  EXPECT_TRUE(sameOutline(walls(), {{3, 3}, {5, 3}, {5, 4}, {3, 4}}));
}

TEST_F(DxfImportTest, JoiningToleranceClosesSmallGapsOnly) {
  // One end of the L's west wall moved 3 mm off: closed with 5 mm, broken with 1 mm.
  const std::string text = [] {
    std::string t = fileText(fixture("l-room-m.dxf"));
    const std::string from = " 10\n0.0\n 20\n4.0\n 30\n0.0\n 11\n0.0\n 21\n0.0\n";
    const auto at = t.find(from);
    EXPECT_NE(at, std::string::npos);
    return t.replace(at, from.size(), " 10\n0.003\n 20\n4.0\n 30\n0.0\n 11\n0.0\n 21\n0.0\n");
  }();
  writeFile("gap.dxf", text);
  importFile("gap.dxf", {"0", "1"});
  const std::string broken = shownOf("error").at(0);
  EXPECT_THAT(broken, HasSubstr("is not closed: it breaks at ("));
  EXPECT_THAT(broken, HasSubstr("(0.003, 4) m"));
  EXPECT_THAT(broken, HasSubstr("(0, 4) m"));
  // Coordinates in their shortest form: 25.423, never 25.423000000000002.
  writeFile("odd.dxf",
            "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n5.375\n20\n25.423\n11\n5.675\n21\n25.623\n"
            "0\nENDSEC\n0\nEOF\n");
  importFile("odd.dxf", {"0", "m", "1"});
  EXPECT_THAT(shownOf("error").back(), HasSubstr("breaks at (5.375, 25.423) m and (5.675, 25.623) m."));
  importFile("gap.dxf", {"0", "5"});
  EXPECT_EQ(walls().size(), 6u);
}

std::string repeated(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t k = 0; k < times; ++k) out += text;
  return out;
}

struct BadRow {
  std::string file;                  // a fixture name or a file the row writes
  std::string text;                  // written to `file` when not empty
  std::vector<std::string> answers;  // for the import dialog
  std::string message;               // the error box, exactly
};

TEST_F(DxfImportTest, BadFilesAndAnswersSayWhyAndChangeNothing) {
  const std::string rectangle = fileText(fixture("rectangle-mm.dxf"));
  std::string liar = rectangle;  // a light polyline announcing far more vertices than it holds
  liar.replace(liar.find(" 90\n4\n"), 6, " 90\n999999999\n");
  std::string shy = rectangle;  // and one announcing fewer than it holds
  shy.replace(shy.find(" 90\n4\n"), 6, " 90\n2\n");
  std::string header = rectangle.substr(0, rectangle.find("ENTITIES"));
  header += "ENTITIES\n  0\nENDSEC\n  0\nEOF\n";
  std::string many = "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n1001\n70\n1\n";
  for (int k = 0; k < 1001; ++k) {
    const double t = 2 * 3.141592653589793 * k / 1001;
    many += "10\n" + std::to_string(100 * std::cos(t)) + "\n20\n" + std::to_string(100 * std::sin(t)) + "\n";
  }
  many += "0\nENDSEC\n0\nEOF\n";
  std::string crowd = "0\nSECTION\n2\nENTITIES\n";
  for (std::size_t k = 0; k <= kMaxDxfEntities; ++k) crowd += "0\nPOINT\n";

  const std::vector<BadRow> rows = {
      {fixture("open-outline-m.dxf"),
       "",
       {"0", "1"},
       "The outline on layer \"0\" is not closed: it breaks at (0, 4) m and (5, 4) m. A larger joining "
       "tolerance closes small gaps."},
      {fixture("bow-tie-m.dxf"), "", {"0", "1"}, "The outline on layer \"0\" crosses itself at (2, 1.5) m."},
      {fixture("binary.dxf"),
       "",
       {},
       "binary.dxf is a binary DXF file: save the plan as ASCII DXF and import it again."},
      {"empty.dxf", " \n", {}, "empty.dxf is empty: it holds no drawing."},
      {"notes.dxf", "Kitchen: 4 x 3 m\nliving room\n", {}, "notes.dxf is not a DXF file."},
      {"photo.dxf", std::string("\x89PNG\r\n\x1a\n\0\0", 10), {}, "photo.dxf is not a DXF file."},
      {"liar.dxf", liar, {}, "liar.dxf is damaged: the LWPOLYLINE at line"},
      {"shy.dxf", shy, {}, "does not hold the points it announces."},
      {"crowd.dxf",
       crowd,
       {},
       "crowd.dxf holds more than 200000 drawing entities: too many for a floor plan."},
      {"header-only.dxf", header, {}, "header-only.dxf holds no lines, polylines, arcs or circles."},
      {"many.dxf",
       many,
       {"0", "m", "1"},
       "The outline on layer \"0\" makes 1001 walls: a room may have at most 1000."},
      {"missing.dxf", "", {}, "file missing.dxf not found ..."},
      {fixture("rectangle-mm.dxf"),
       "",
       {"KITCHEN", "1"},
       "There is no layer \"KITCHEN\" with lines, arcs or circles in this file."},
      {fixture("bulge-room-cm.dxf"),
       "",
       {"0", "parsec", "1"},
       "Unknown drawing unit \"parsec\": give mm, cm, m, inch or foot."},
      {fixture("rectangle-mm.dxf"), "", {"WALLS", "1+1"}, "The joining tolerance must be one number of millimetres."},
      // Answers quoted in a box are cut to a line's worth, never inside a character.
      {fixture("rectangle-mm.dxf"), "", {std::string(100000, 'x'), "1"},
       "There is no layer \"" + std::string(80, 'x') + "...\" with lines, arcs or circles in this file."},
      {fixture("bulge-room-cm.dxf"), "", {"0", "a" + repeated("\u00e9", 50000), "1"},
       "Unknown drawing unit \"a" + repeated("\u00e9", 39) + "...\": give mm, cm, m, inch or foot."},
  };
  const auto before = shown();
  for (const BadRow& row : rows) {
    SCOPED_TRACE(row.file);
    if (!row.text.empty()) writeFile(row.file, row.text);
    const std::size_t errors = shownOf("error").size();
    importFile(row.file, row.answers);
    const auto shownErrors = shownOf("error");
    ASSERT_EQ(shownErrors.size(), errors + 1);
    EXPECT_THAT(shownErrors.back(), HasSubstr(row.message));
    EXPECT_LT(shownErrors.back().size(), 400u);
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(ui.pending(), 0u);
  }
}

TEST_F(DxfImportTest, OversizedFileIsRefusedBeforeReading) {
  { std::ofstream("huge.dxf") << "0\nSECTION\n"; }
  std::filesystem::resize_file("huge.dxf", kMaxDxfBytes + 1);  // sparse: nothing is written
  importFile("huge.dxf", {});
  EXPECT_EQ(shownOf("error"),
            std::vector<std::string>{
                "Import DXF plan: huge.dxf is larger than 32 MB: too large for a floor plan."});
}

TEST_F(DxfImportTest, CancelledChooserOrDialogChangesNothing) {
  const auto before = shown();
  ui.push(ScriptedAnswer::chosenFile(std::nullopt));
  rt.click(windowItems("import DXF plan...").front());
  ui.push(ScriptedAnswer::inputs(std::nullopt));
  shell::velmoracopy(rt, ops, {Value("importdxf"), Value(fixture("rectangle-mm.dxf"))});
  EXPECT_EQ(shown(), before);
  EXPECT_TRUE(shownOf("error").empty());
}

TEST_F(DxfImportTest, ImportedRoomSavesAndLoadsBack) {
  importFile(fixture("arc-room-m.dxf"), {"0", "1"});
  const auto imported = shown();
  ui.push(ScriptedAnswer::chosenFile((std::filesystem::current_path() / "arc.ac").string()));
  shell::velmoracopy(rt, ops, {Value("save")});
  const auto saved = document::CaseDescription::fromValue(platform::readMatVariable("arc.ac", "prop"));
  EXPECT_EQ(saved.xwall, imported.xwall);
  EXPECT_EQ(saved.ywall, imported.ywall);
  EXPECT_EQ(saved.curves, imported.curves);
}

// Started as `velmora importdxf plan.dxf`: no window yet, the room opens in a new one.
class DxfCommandLineTest : public test_support::MainWindowFixture<> {};

TEST_F(DxfCommandLineTest, TwoWordsOpenANewMainWindow) {
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"0", "1"}));
  shell::velmoracopy(rt, ops, {Value("importdxf"), Value(fixture("l-room-m.dxf"))});
  const auto main = document::findMainWindow(rt);
  ASSERT_TRUE(main);
  EXPECT_EQ(shell::describeCase(rt, *main, "x").xwall->size(), 6u);

  EXPECT_THROW(shell::velmoracopy(rt, ops, {Value("importdxf"), Value(3.0)}), Error);
}

// Truncated and shuffled files are refused with a message or read; never a crash or a hang.
TEST(DxfReaderTest, MangledFilesNeverCrash) {
  const std::string text = fileText(fixture("arc-room-m.dxf"));
  std::mt19937 random(7);
  for (int k = 0; k < 200; ++k) {
    std::string t = text;
    if (k % 2 == 0) {
      t.resize(random() % t.size());
    } else {
      for (int j = 0; j < 5; ++j) t[random() % t.size()] = "0123456789\n-.eE "[random() % 16];
    }
    try {
      const DxfPlan plan = readDxfText(t, "mangled.dxf");
      for (const DxfLayer& l : plan.layers) chainSegments(l.pieces, 0.001);
    } catch (const Error&) {
    }
  }
}

}  // namespace
}  // namespace velmora::plan
