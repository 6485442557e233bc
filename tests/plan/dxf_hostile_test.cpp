// Hostile DXF files through the real import: numbers that are not numbers, sizes and counts past
// anything a floor plan holds, blocks that insert themselves, and every input that once broke the
// import under the fuzzer. Each gets its message and leaves the window as it was, or makes a sane
// room; none crashes, hangs or runs away with memory.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "plan/dxf_import.h"
#include "shell/case_files.h"
#include "support/main_window.h"

namespace velmora::plan {
namespace {

namespace fs = std::filesystem;
using platform::Value;

// Answers the import dialog with what it offers (the likely layer, millimetres, 1 mm), so that any
// file can go through without knowing its layers.
class OfferedAnswersUi : public platform::ScriptedUi {
 public:
  std::optional<std::vector<std::string>> input(const platform::InputDialog& d) override {
    if (pending() == 0) push(platform::ScriptedAnswer::inputs(d.defaults));
    return ScriptedUi::input(d);
  }
};

std::string entities(const std::string& body) {
  return "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n";
}
std::string line(double x1, double y1, double x2, double y2) {
  return "0\nLINE\n8\n0\n10\n" + std::to_string(x1) + "\n20\n" + std::to_string(y1) + "\n11\n" +
         std::to_string(x2) + "\n21\n" + std::to_string(y2) + "\n";
}
// A 4 x 3 rectangle of lines.
const std::string kRectangle =
    line(0, 0, 4000, 0) + line(4000, 0, 4000, 3000) + line(4000, 3000, 0, 3000) + line(0, 3000, 0, 0);

class DxfHostileTest : public test_support::MainWindowFixture<OfferedAnswersUi> {
 protected:
  DxfHostileTest() { fig = openMainWindow(); }
  // Imports the file; the error box it showed, or "" when it made a room.
  std::string import(const fs::path& path) {
    const std::size_t errors = shownOf("error").size();
    shell::velmoracopy(rt, ops, {Value("importdxf"), Value(path.string())});
    const auto shown = shownOf("error");
    EXPECT_LE(shown.size(), errors + 1);
    return shown.size() > errors ? shown.back() : "";
  }
  document::CaseDescription room() const { return shell::describeCase(rt, fig, "x"); }
  // The imported room is a room: three to 1000 finite walls within reach of the origin.
  void expectSaneRoom() const {
    const auto d = room();
    ASSERT_TRUE(d.xwall && d.ywall);
    EXPECT_GE(d.xwall->size(), 3u);
    EXPECT_LE(d.xwall->size(), kMaxDxfWalls);
    for (std::size_t k = 0; k < d.xwall->size(); ++k) {
      EXPECT_LE(std::abs((*d.xwall)[k]), document::kFarthestCoordinate);
      EXPECT_LE(std::abs((*d.ywall)[k]), document::kFarthestCoordinate);
    }
  }
};

TEST_F(DxfHostileTest, HandMadeFilesGetTheirMessage) {
  std::string points = "0\nLWPOLYLINE\n8\n0\n90\n1000001\n";
  for (std::size_t k = 0; k <= kMaxDxfPoints; ++k) points += "10\n0\n";
  std::string bulges = "0\nLWPOLYLINE\n8\n0\n90\n999\n70\n1\n";
  for (int k = 0; k < 999; ++k)  // every piece half a circle: 36 walls each
    bulges += "10\n" + std::to_string(k * 1000) + "\n20\n" + std::to_string(k % 2 * 1000) + "\n42\n1\n";
  const std::string inMetres = "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n6\n0\nENDSEC\n";
  const struct {
    const char* file;
    std::string text;
    std::string message;
  } rows[] = {
      {"far.dxf", entities(line(0, 0, 1e300, 0)),
       "far.dxf is damaged: it holds coordinates that are not usable numbers."},
      {"nan.dxf", entities("0\nLINE\n8\n0\n10\nnan\n"),
       "nan.dxf is damaged at line 10: a number there is missing or unreadable."},
      {"inf.dxf", entities("0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\ninf\n"),
       "inf.dxf is damaged at line 14: a number"},
      {"overflow.dxf", entities("0\nARC\n8\n0\n10\n1e999\n"), "overflow.dxf is damaged at line 10: a number"},
      // dxflib reads an empty number as whatever its stack held.
      {"blank.dxf", entities("0\nLINE\n8\n0\n10\n0\n20\n \n"), "blank.dxf is damaged at line 12: a number"},
      {"points.dxf", entities(points),
       "points.dxf holds more than 1000000 points: too many for a floor plan."},
      {"bulges.dxf", entities(bulges),
       "The outline on layer \"0\" makes 35964 walls: a room may have at most 1000."},
      {"remote.dxf",
       inMetres + entities(line(2e6, 0, 2e6 + 4, 0) + line(2e6 + 4, 0, 2e6, 3) + line(2e6, 3, 2e6, 0)),
       "The outline on layer \"0\" lies too far from the origin: the room and the working zone around it "
       "must lie within 1000000 m of it."},
      // A circle of radius 1e9 mm reaches 1e6 m, but the working zone around it would not fit.
      {"vast.dxf", entities("0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n1e9\n"), "lies too far from the origin"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    std::ofstream(row.file, std::ios::binary) << row.text;
    const auto before = room();
    EXPECT_THAT(import(row.file), ::testing::HasSubstr(row.message));
    EXPECT_EQ(room(), before);
  }
}

// The import reads the drawing, not the blocks: a block that inserts itself, or a chain of blocks
// inserting the next, neither recurses nor adds to the room. A text longer than the parser's line
// (which once made it loop for ever) and a hatch are skipped; an arc of absurd radius is cut into no
// more walls than any other.
TEST_F(DxfHostileTest, RoomsSurviveBlocksTextsHatchesAndVastArcs) {
  std::string chain =
      "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nSELF\n70\n0\n10\n0\n20\n0\n0\nINSERT\n8\n0\n2\nSELF\n"
      "10\n1\n20\n1\n0\nENDBLK\n8\n0\n";
  for (int k = 0; k < 2000; ++k) {
    chain += "0\nBLOCK\n8\n0\n2\nB" + std::to_string(k) + "\n70\n0\n10\n0\n20\n0\n0\nINSERT\n8\n0\n2\nB" +
             std::to_string(k + 1) + "\n10\n0\n20\n0\n0\nENDBLK\n8\n0\n";
  }
  chain += "0\nENDSEC\n";
  const std::string inserts =
      "0\nINSERT\n8\n0\n2\nSELF\n10\n0\n20\n0\n0\nINSERT\n8\n0\n2\nB0\n10\n0\n20\n0\n";
  std::ofstream("blocks.dxf") << chain + entities(kRectangle + inserts);
  EXPECT_EQ(import("blocks.dxf"), "");
  EXPECT_EQ(room().xwall, (std::vector<double>{0, 4, 4, 0}));

  // dxflib tests a hatch edge's type before anything sets it; hatches never reach it.
  const std::string skipped = "0\nTEXT\n8\nNOTES\n1\n" + std::string(5000, 'x') +
                              "\n0\nHATCH\n8\n0\n91\n1\n92\n2\n72\n1\n73\n1\n93\n2\n42\n1\n10\n0\n20\n0\n";
  // Nor do objects, whose numbers are not read.
  const std::string objects = "0\nSECTION\n2\nOBJECTS\n0\nDICTIONARY\n40\n?\n0\nENDSEC\n";
  std::ofstream("skipped.dxf") << objects + entities(kRectangle + skipped);
  EXPECT_EQ(import("skipped.dxf"), "");
  EXPECT_EQ(room().xwall, (std::vector<double>{0, 4, 4, 0}));

  // A circle of radius 4e8 mm: 72 walls as any circle.
  std::ofstream("vast.dxf") << entities("0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n4e8\n");
  EXPECT_EQ(import("vast.dxf"), "");
  expectSaneRoom();
  EXPECT_EQ(room().xwall->size(), 72u);
}

// What the fuzzer found, replayed through the real import; and its seeds, which are rooms.
TEST_F(DxfHostileTest, FuzzRegressionsGetAMessageOrASaneRoom) {
  const fs::path fuzz = fs::path(VELMORA_FIXTURES) / ".." / ".." / "fuzz";
  std::size_t replayed = 0;
  for (const auto& entry : fs::directory_iterator(fuzz / "regressions" / "dxf")) {
    SCOPED_TRACE(entry.path().filename().string());
    const auto before = room();
    const std::string message = import(entry.path());
    if (message.empty()) {
      expectSaneRoom();
    } else {
      EXPECT_THAT(message, ::testing::StartsWith("Import DXF plan: "));
      EXPECT_EQ(room(), before);
    }
    EXPECT_EQ(ui.pending(), 0u);
    ++replayed;
  }
  EXPECT_GE(replayed, 1u);
  for (const auto& entry : fs::directory_iterator(fuzz / "corpus" / "dxf")) {
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(import(entry.path()), "");
    expectSaneRoom();
  }
}

}  // namespace
}  // namespace velmora::plan
