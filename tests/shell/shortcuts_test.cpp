// Keyboard shortcuts of the main window: each key is the same dispatcher call as its click, the
// history steps restore snapshots without recording, Escape ends a measuring and a pointer wait.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/model/accelerators.h"
#include "platform/files/matfile.h"
#include "shell/shortcuts.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ScriptedAnswer;
using platform::Value;

class ShortcutsTest : public test_support::MainWindowFixture<> {
 protected:
  ShortcutsTest() { fig = openMainWindow(); }
  Handle button(const std::string& label) {
    const auto found = rt.graphics().findIf(fig, [&](const platform::GraphicsObject& o) {
      return o.type() == platform::ObjectType::UiControl && o.get("string") == Value(label);
    });
    EXPECT_EQ(found.size(), 1u) << label;
    return found.front();
  }
  double sourceX() { return nums(obj("acousource"), "xdata").at(0); }
  void moveSource(const std::string& to) {
    ui.push(ScriptedAnswer::inputs(std::vector<std::string>{to, "100"}));
    velmoracopy(rt, ops, {Value("setsourceposition")});
  }
};

TEST_F(ShortcutsTest, TooltipsShowTheKeysAndKeepTheirText) {
  const auto& g = rt.graphics();
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"save", " (Ctrl+S)"},
      {"load", "Load an existing case (Ctrl+O)"},
      {"history", "Go back to a previous state (Ctrl+Z, Ctrl+Shift+Z)"},
      {"print", "Print current figure (Ctrl+P)"},
      {"measure", "Display cursor point coordinates and value (Escape)"},
      {"grid", "Set grid spacing"},
  };
  for (const auto& [label, shown] : rows) {
    const Handle b = button(label);
    const std::string tip = platform::tooltipWithKeys(g, b);
    EXPECT_NE(tip.find(shown), std::string::npos) << tip;
    // The model's own tooltip text stays as it is.
    EXPECT_EQ(tip.rfind(text(b, "tooltipstring"), 0), 0u);
    EXPECT_EQ(text(b, "tooltipstring").find("Ctrl"), std::string::npos);
  }
}

TEST_F(ShortcutsTest, CtrlSSavesAndCtrlOAsksForACaseAsTheirButtonsDo) {
  const std::string file = (std::filesystem::current_path() / "keyed.ac").string();
  ui.push(ScriptedAnswer::chosenFile(file));
  rt.key(fig, "Ctrl+S");
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(document::CaseDescription::fromValue(platform::readMatVariable(file, "prop")).name, "keyed");

  ui.push(ScriptedAnswer::chosenFile(std::nullopt));
  rt.key(fig, "ctrl+o");
  EXPECT_EQ(ui.shown().back().kind, "open");
  EXPECT_EQ(ui.shown().back().text, "*.ac");
}

TEST_F(ShortcutsTest, HistoryStepsBackAndForwardWithoutRecording) {
  const double start = sourceX();
  moveSource("3 0");
  moveSource("5 0");
  const auto labels = readCase(rt, fig).actionlist;
  ASSERT_EQ(labels.size(), 3u);

  struct Row {
    const char* key;
    double source;
    int beeps;
  };
  const std::vector<Row> rows = {
      {"ctrl+z", 3, 0},       {"ctrl+z", start, 0},   {"ctrl+z", start, 1},  // nothing older: a beep
      {"ctrl+shift+z", 3, 1}, {"ctrl+shift+z", 5, 1}, {"ctrl+shift+z", 5, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key);
    rt.key(fig, row.key);
    EXPECT_DOUBLE_EQ(sourceX(), row.source);
    EXPECT_EQ(ui.beeps(), row.beeps);
    EXPECT_EQ(readCase(rt, fig).actionlist, labels);
  }
  // A new action starts stepping again from the newest entry: 7, then back to 5, not to 3.
  rt.key(fig, "ctrl+z");
  rt.key(fig, "ctrl+z");
  moveSource("7 0");
  rt.key(fig, "ctrl+z");
  EXPECT_DOUBLE_EQ(sourceX(), 5);
}

TEST_F(ShortcutsTest, EscapeEndsMeasuringAndPointerWaits) {
  const Handle measure = button("measure");
  rt.click(measure, Value(1.0));
  EXPECT_EQ(text(fig, "windowbuttonmotionfcn"), "velmoracopy('measure')");
  rt.key(fig, "escape");
  EXPECT_EQ(nums(measure, "value"), std::vector<double>{0});
  EXPECT_EQ(text(fig, "windowbuttonmotionfcn"), "");
  EXPECT_EQ(text(fig, "pointer"), "arrow");

  // During a pointer wait Escape ends it with nothing; another key is the awaited input.
  for (const std::string key : {"escape", "e"}) {
    bool sent = false;
    ui.setPump([&] {
      if (sent) return false;
      sent = true;
      rt.key(fig, key);
      return true;
    });
    const auto in = rt.pointerInput();
    EXPECT_EQ(in.has_value(), key != "escape") << key;
    if (in) {
      EXPECT_EQ(in->key, "e");
    }
  }
  ui.setPump(nullptr);
}

}  // namespace
}  // namespace velmora::shell
