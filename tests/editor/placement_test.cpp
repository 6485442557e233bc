// Typing the source and receptor positions: the dialogs through the dispatcher, as the "position"
// items of the markers' context menus run them, answered, cancelled and given garbage.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "editor/placement.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::editor {
namespace {

using engine::Point;
using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

class PlacementTest : public test_support::MainWindowFixture<> {
 protected:
  PlacementTest() {
    for (const char* name : {"refreshimages", "refreshsurfacevalues", "selectvalue"}) {
      Operation o = *ops.find(name);
      auto inner = o.run;
      o.run = [this, name, inner](platform::Runtime& r, const std::vector<Value>& args) {
        log.push_back(name);
        const Handle f = r.graphics().currentFigure();
        pointers.push_back(r.graphics().exists(f) ? r.graphics().at(f).text("pointer") : "");
        return inner(r, args);
      };
      ops.add(std::move(o));
    }
    snapshotsFromStandIn();
    fig = openMainWindow();
    log.clear();
    pointers.clear();
    ui.takeConsole();
  }
  std::size_t inputDialogs() {
    return static_cast<std::size_t>(
        std::count_if(ui.shown().begin(), ui.shown().end(), [](const auto& s) { return s.kind == "input"; }));
  }

  // Runs the "position" item of a marker's context menu with this answer (nothing: cancel).
  void answer(const char* markerTag, std::optional<std::vector<std::string>> typed) {
    ui.push(ScriptedAnswer::inputs(std::move(typed)));
    const Value menu = rt.graphics().get(objectInWindow(rt, fig, markerTag), "uicontextmenu");
    rt.click(menuItemsInOrder(rt.graphics(), menu.object()).front());
  }
  void source(std::optional<std::vector<std::string>> typed) { answer("acousource", std::move(typed)); }
  void receptor(std::optional<std::vector<std::string>> typed) { answer("acoureceptor", std::move(typed)); }
  Point at(const char* tag) { return firstPoint(rt, objectInWindow(rt, fig, tag)); }
  CaseRecord record() { return readCase(rt, fig); }

  std::vector<std::string> log, pointers;
};

void expectPoint(Point p, double x, double y) {
  EXPECT_DOUBLE_EQ(p.x, x);
  EXPECT_DOUBLE_EQ(p.y, y);
}

TEST_F(PlacementTest, SourceDialogMovesTheSourceClampsTheLevelAndRecomputes) {
  source(std::vector<std::string>{"8 2", "250"});
  const auto input =
      std::find_if(ui.shown().rbegin(), ui.shown().rend(), [](const auto& s) { return s.kind == "input"; });
  ASSERT_NE(input, ui.shown().rend());
  EXPECT_EQ(input->title, "Set source position and/or level");
  EXPECT_EQ(input->text, "Enter source position:");
  expectPoint(at("acousource"), 8, 2);
  const CaseRecord r = record();
  EXPECT_EQ(r.Lw, 200);
  EXPECT_DOUBLE_EQ(r.images->at(0).xi, 8);
  EXPECT_DOUBLE_EQ(r.images->at(0).yi, -16);
  EXPECT_EQ(log, (std::vector<std::string>{"refreshimages", "refreshsurfacevalues", "selectvalue"}));
  EXPECT_EQ(pointers, (std::vector<std::string>{"watch", "watch", "watch"}));
  EXPECT_EQ(rt.graphics().at(fig).text("pointer"), "arrow");
  EXPECT_EQ(r.actionlist.back(), "move source");
}

TEST_F(PlacementTest, DialogPromptsAndDefaultsAreTheCurrentValues) {
  // The scripted answers record the dialog; read its fields through a custom UI.
  struct Spy : platform::ScriptedUi {
    std::optional<std::vector<std::string>> input(const platform::InputDialog& d) override {
      dialogs.push_back(d);
      return std::nullopt;
    }
    std::vector<platform::InputDialog> dialogs;
  } spy;
  rt.setUi(spy);
  CaseRecord r = record();
  r.Lw = 87.5;
  r.Hr = -1.25;
  storeCase(rt, fig, r);
  velmoracopy(rt, ops, {Value("setsourceposition")});
  velmoracopy(rt, ops, {Value("setreceptorposition")});
  rt.setUi(ui);
  ASSERT_EQ(spy.dialogs.size(), 2u);
  EXPECT_EQ(spy.dialogs[0].title, "Set source position and/or level");
  EXPECT_EQ(spy.dialogs[0].prompts,
            (std::vector<std::string>{"Enter source position:", "Enter source level (dB):"}));
  EXPECT_EQ(spy.dialogs[0].defaults, (std::vector<std::string>{"3.5 0", "87.5"}));
  EXPECT_EQ(spy.dialogs[0].lines, 1);
  EXPECT_EQ(spy.dialogs[1].title, "Set receptor position and/or height");
  EXPECT_EQ(spy.dialogs[1].prompts,
            (std::vector<std::string>{"Enter receptor position:", "Enter receptor shift :"}));
  EXPECT_EQ(spy.dialogs[1].defaults, (std::vector<std::string>{"16.5 0", "-1.25"}));
  // Cancelled, yet each verb recorded its step.
  const auto labels = record().actionlist;
  ASSERT_GE(labels.size(), 2u);
  EXPECT_EQ(labels[labels.size() - 2], "move source");
  EXPECT_EQ(labels.back(), "move receptor");
}

TEST_F(PlacementTest, LevelAloneRefreshesOnlyTheMap) {
  source(std::vector<std::string>{"3.5 0", "5"});
  EXPECT_EQ(record().Lw, 10);
  EXPECT_EQ(log, std::vector<std::string>{"selectvalue"});
  // Same position, same level: nothing is recomputed.
  log.clear();
  source(std::vector<std::string>{"3.5, 0", "10"});
  EXPECT_TRUE(log.empty());
  source(std::vector<std::string>{"3.5 0", "Inf"});
  EXPECT_EQ(record().Lw, 200);
}

TEST_F(PlacementTest, PositionOutsideTheRoomKeepsTheMarkerButStoresTheLevel) {
  source(std::vector<std::string>{"1 0", "90"});
  expectPoint(at("acousource"), 3.5, 0);
  EXPECT_EQ(record().Lw, 90);
  // The position was tried, so everything was recomputed.
  EXPECT_EQ(log, (std::vector<std::string>{"refreshimages", "refreshsurfacevalues", "selectvalue"}));
  // On a wall is inside enough.
  source(std::vector<std::string>{"3 2", "90"});
  expectPoint(at("acousource"), 3, 2);
}

TEST_F(PlacementTest, BadAnswersChangeNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {"8", "90"},     {"8 2 1", "90"}, {"abc", "90"},   {"8 2", "x"},    {"8 2", ""},
      {"", ""},        {"", "90"},      {"8 2", "1 2"},  {"NaN 2", "90"}, {"8 2", "NaN"},
      {"8 Inf", "90"}, {"8;2", "9e"},   {"1+1 2", "90"},
  };
  for (const auto& typed : bad) {
    source(typed);
    expectPoint(at("acousource"), 3.5, 0);
    EXPECT_EQ(record().Lw, 100) << typed[0];
    EXPECT_TRUE(log.empty()) << typed[0];
  }
  source(std::nullopt);
  expectPoint(at("acousource"), 3.5, 0);
  EXPECT_TRUE(ui.takeConsole().empty());
  EXPECT_EQ(record().actionlist.back(), "move source");
}

TEST_F(PlacementTest, ReceptorDialogMovesClampsAndRecomputesNothing) {
  receptor(std::vector<std::string>{"10 1", "-1000"});
  expectPoint(at("acoureceptor"), 10, 1);
  EXPECT_EQ(record().Hr, -640);
  receptor(std::vector<std::string>{"10 1", "700"});
  EXPECT_EQ(record().Hr, 640);
  receptor(std::vector<std::string>{"30 1", "2.5"});  // outside the room
  expectPoint(at("acoureceptor"), 10, 1);
  EXPECT_EQ(record().Hr, 2.5);
  receptor(std::vector<std::string>{"10", "3"});
  EXPECT_EQ(record().Hr, 2.5);
  receptor(std::nullopt);
  EXPECT_EQ(record().Hr, 2.5);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(record().actionlist.back(), "move receptor");
}

TEST_F(PlacementTest, ReceptorResetGoesToTheFirstWallVertexListed) {
  // The search lists the newest marker first: vertex 4, (3, 7).
  receptor(std::vector<std::string>{"reset", "0"});
  expectPoint(at("acoureceptor"), 3, 7);
  receptor(std::vector<std::string>{"10 1", "0"});
  receptor(std::vector<std::string>{" please RESET it", "1"});
  expectPoint(at("acoureceptor"), 3, 7);
  EXPECT_EQ(record().Hr, 1);
  // "reset" is the receptor's word only.
  source(std::vector<std::string>{"reset", "90"});
  expectPoint(at("acousource"), 3.5, 0);
  EXPECT_EQ(record().Lw, 100);
}

TEST_F(PlacementTest, DirectFormSkipsTheDialog) {
  const std::size_t dialogs = inputDialogs();
  ops.call(rt, "setsourceposition", {Value::row({9, 1}), Value(120.0)});
  expectPoint(at("acousource"), 9, 1);
  EXPECT_EQ(record().Lw, 120);
  ops.call(rt, "setreceptorposition", {Value::row({12, -2}), Value(-3.0)});
  expectPoint(at("acoureceptor"), 12, -2);
  EXPECT_EQ(record().Hr, -3);
  ops.call(rt, "setreceptorposition", {Value::row({12, -2, 1}), Value(-4.0)});
  EXPECT_EQ(record().Hr, -3);
  ops.call(rt, "setsourceposition", {Value::row({9, 1})});
  EXPECT_EQ(record().Lw, 120);
  EXPECT_EQ(inputDialogs(), dialogs);
  EXPECT_THROW(ops.call(rt, "setsourceposition", {Value(1.0), Value(2.0), Value(3.0)}), velmora::Error);
}

}  // namespace
}  // namespace velmora::editor
