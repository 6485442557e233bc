// A second reading of the main window's services against their stated behaviour: the order of the
// rebuild, the optional groups it obeys, the history restart after a scanned plan or a shape, the
// engine's window adapters (progress bar, timing line, beeps), the wall menu, control locking,
// printing and the arrow pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "engine/chain.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/hand_rooms.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;

// Keeps, in order, what the user would notice of a computation: the progress bar opening, moving and
// closing, console lines and beeps.
class RecordingUi : public platform::ScriptedUi {
 public:
  void progress(const std::string& text, double fraction) override {
    events.push_back("progress " + text);
    fractions.push_back(fraction);
    ScriptedUi::progress(text, fraction);
  }
  void closeProgress() override {
    events.push_back("close");
    ScriptedUi::closeProgress();
  }
  void console(const std::string& line) override {
    events.push_back("console " + line);
    ScriptedUi::console(line);
  }
  void beep() override {
    events.push_back("beep");
    ScriptedUi::beep();
  }
  void pause(double seconds) override {
    events.push_back("pause " + std::to_string(static_cast<int>(seconds)));
    if (onPause) onPause();
  }
  std::vector<std::string> events;
  std::vector<double> fractions;
  std::function<void()> onPause;
};

class ConformanceTest : public test_support::MainWindowFixture<RecordingUi> {
 protected:
  Handle open() {
    start("20");
    ui.events.clear();
    ui.fractions.clear();
    return currentMainWindow(rt);
  }
  void rebuild(const CaseDescription& d) { velmoracopy(rt, ops, {Value("update"), d.toValue()}); }
  engine::Point at(Handle h) const { return firstPoint(rt, h); }
};

// ---- the engine's window adapters ---------------------------------------------------------------

TEST_F(ConformanceTest, MapComputationShowsItsProgressAndTimesItselfBeforeTheBarCloses) {
  const Handle fig = open();
  ops.call(rt, "refreshsurfacevalues", {});
  EXPECT_EQ(ui.events,
            (std::vector<std::string>{"progress processing wall 0 on 4", "progress processing wall 1 on 4",
                                      "progress processing wall 2 on 4", "progress processing wall 3 on 4",
                                      "progress processing wall 4 on 4",
                                      "console time for reflections computation: 0 sec", "close"}));
  EXPECT_EQ(ui.fractions, (std::vector<double>{0, 0.25, 0.5, 0.75, 1}));
  EXPECT_FALSE(ui.progressOpen());

  // While a path animation runs: neither bar nor timing line.
  CaseRecord r = readCase(rt, fig);
  r.noprogressbar = "no";
  storeCase(rt, fig, r);
  ui.events.clear();
  ops.call(rt, "refreshsurfacevalues", {});
  EXPECT_TRUE(ui.events.empty());
  EXPECT_EQ(readCase(rt, fig).RT->size(), 21u * 21u);
}

// The map of a rebuild may be computed while the window is rebuilt, from what the description says;
// what shows is always the map of what the window then holds, reported as the step reports it.
TEST_F(ConformanceTest, AnUpdateShowsTheMapOfWhatItDrewWhetherItsEarlyStartGuessedRightOrNot) {
  const Handle fig = open();
  const auto mapOfWindow = [&] {
    engine::CaseInputs in;
    in.walls = wallGeometry(rt, fig);
    in.alpha = wallAbsorptions(rt, fig);
    in.xso = sourcePoint(rt, fig)->x;
    in.yso = sourcePoint(rt, fig)->y;
    const MapGrid grid = audienceMapGrid(rt, fig);
    in.xs = grid.xs;
    in.ys = grid.ys;
    return engine::computecase(in).values;
  };
  const auto expectShown = [&](std::size_t walls) {
    const engine::SurfaceValues expected = mapOfWindow();
    const CaseRecord& record = viewCase(rt, fig);
    EXPECT_EQ(record.PT->data, expected.PT.data);
    EXPECT_EQ(record.RT->data, expected.RT.data);
    EXPECT_EQ(*record.inRW, expected.inRW);
    EXPECT_FALSE(record.earlyMap);
    const std::string last =
        "progress processing wall " + std::to_string(walls) + " on " + std::to_string(walls);
    ASSERT_NE(std::find(ui.events.begin(), ui.events.end(), last), ui.events.end());
    EXPECT_EQ(ui.fractions.size(), walls + 1);
    EXPECT_EQ(ui.events.back(), "close");
    ui.events.clear();
    ui.fractions.clear();
  };

  CaseDescription l = test_support::describe({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5},
                                             {10, 20, 30, 40, 50, 60}, 2, 2, 8, 8, 100);
  l.xaud = {0, 10, 10, 0};
  l.yaud = {0, 0, 10, 10};
  l.Nsurface = 30;
  rebuild(l);
  expectShown(6);

  // Walls alone, around a place the source is not in: the rebuild moves the source to the first
  // vertex and the audience area into the room, so the early start was for another case.
  CaseDescription moved;
  moved.xwall = {20, 30, 30, 20};
  moved.ywall = {20, 20, 30, 30};
  rebuild(moved);
  EXPECT_NEAR(sourcePoint(rt, fig)->x, 20, 0.1);
  expectShown(4);
}

TEST_F(ConformanceTest, WallWalkTurnsEachWallGreenForASecondInWallOrder) {
  const Handle fig = open();
  const auto walls = wallsInWallOrder(rt, fig);
  std::vector<std::string> greenDuringPause;
  ui.onPause = [&] {
    std::string green;
    for (std::size_t k = 0; k < walls.size(); ++k) {
      if (rt.graphics().at(walls[k]).color("color") == platform::Rgb{0, 1, 0}) green += std::to_string(k + 1);
    }
    greenDuringPause.push_back(green);
  };
  velmoracopy(rt, ops, {Value("test")});
  EXPECT_EQ(greenDuringPause, (std::vector<std::string>{"1", "2", "3", "4"}));
  for (Handle w : walls) EXPECT_EQ(rt.graphics().at(w).color("color"), (platform::Rgb{0, 0, 0}));
}

// ---- rebuild -------------------------------------------------------------------------------------

TEST_F(ConformanceTest, ScannedPlanAndShapeRestartTheHistoryAndForgetTheAnimation) {
  const Handle fig = open();
  struct Row {
    bool scan;
    const char* label;
  };
  for (const Row& row : {Row{true, "scanned plan"}, Row{false, "geometric shape"}}) {
    CaseRecord r = readCase(rt, fig);
    r.animationparameters = AnimationParameters{};
    r.actionlist = {"initial state", "move wall"};
    r.proplist = {CaseDescription{}, CaseDescription{}};
    storeCase(rt, fig, r);
    CaseDescription d;
    d.xwall = {0, 12, 12, 0};
    d.ywall = {0, 0, 9, 9};
    (row.scan ? d.scan : d.geometricshapes) = "yes";
    rebuild(d);
    r = readCase(rt, fig);
    ASSERT_EQ(r.actionlist, std::vector<std::string>{row.label});
    ASSERT_EQ(r.proplist.size(), 1u);
    EXPECT_EQ(r.proplist[0].xwall, (std::vector<double>{0, 12, 12, 0}));
    EXPECT_FALSE(r.animationparameters.has_value());
  }
}

TEST_F(ConformanceTest, WithoutAudienceChangeAnAreaOutsideTheRoomStays) {
  const Handle fig = open();
  const auto corners = [&] {
    std::vector<double> xs;
    for (Handle h : objectsInCreationOrder(rt, fig, "acouaudiencevertex")) xs.push_back(at(h).x);
    return xs;
  };
  const auto before = corners();
  CaseDescription d;
  d.xwall = {6, 14, 14, 6};
  d.ywall = {-3, -3, 3, 3};
  d.noaudiencechange = true;
  rebuild(d);
  EXPECT_EQ(corners(), before);
  d.noaudiencechange = false;
  rebuild(d);
  EXPECT_EQ(corners(), (std::vector<double>{6, 14, 14, 6}));
}

TEST_F(ConformanceTest, SourceOnAWallStaysAndReceptorOutsideIsNeverMoved) {
  const Handle fig = open();
  // The default source (3.5, 0) lies on the new room's first wall: class 2, kept.
  CaseDescription d;
  d.xwall = {3.5, 10, 10, 3.5};
  d.ywall = {-5, -5, 5, 5};
  d.xre = 30;
  d.yre = 30;
  d.xlim = {{0, 40}};
  d.ylim = {{-20, 20}};
  rebuild(d);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acousource")).x, 3.5);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acoureceptor")).x, 30);
  EXPECT_EQ(at(objectInWindow(rt, fig, "acoureceptor")).y, 30);
}

}  // namespace
}  // namespace velmora::shell
