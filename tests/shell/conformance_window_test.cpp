// A second reading of the main window's services against their stated behaviour: the order of the
// rebuild, the optional groups it obeys, the history restart after a scanned plan or a shape, the
// engine's window adapters (progress bar, timing line, beeps), the wall menu, control locking,
// printing and the arrow pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/runtime.h"
#include "platform/scripted_ui.h"
#include "shell/case/acoustics.h"
#include "shell/case/drawing_objects.h"
#include "shell/case/window.h"
#include "shell/dispatcher.h"
#include "app/operation_table.h"
#include "support/main_window.h"

namespace velmora::shell {
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
