// The decibel calculators through the "Utilities" menu items: sums of known levels, the fading
// window with the defaults and with short, negative and huge distances, and answers that change
// nothing.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "dbtools/dbtools.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "engine/energy.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::dbtools {
namespace {

using platform::Handle;
using platform::InputDialog;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;

// The input dialogs shown are kept, prompts and defaults included.
class DbToolsTest : public test_support::MainWindowFixture<test_support::DialogRecordingUi> {
 protected:
  DbToolsTest() {
    fig = openMainWindow();
    ui.dialogs.clear();
  }
  // Clicks the item of the "Utilities" menu with this label, answering its dialog.
  void run(const std::string& label, std::optional<std::vector<std::string>> answer) {
    ui.push(ScriptedAnswer::inputs(std::move(answer)));
    const auto items = windowItems(label);
    ASSERT_EQ(items.size(), 1u) << label;
    rt.click(items.front());
  }
  std::vector<std::string> messages() const { return shownOf("message"); }
  std::vector<Handle> fadingWindows() const {
    std::vector<Handle> out;
    for (Handle f : rt.graphics().figures()) {
      if (rt.graphics().at(f).text("name") == kFadingWindowName) out.push_back(f);
    }
    return out;
  }
};

TEST_F(DbToolsTest, SumOfKnownLevelsRoundedToATenth) {
  struct Row {
    const char* typed;
    std::string shown;
  };
  const std::vector<Row> rows = {
      {"60 60", "Result: Sum equals to 63 dB"},
      {"90 90", "Result: Sum equals to 93 dB"},
      {"60 60 60", "Result: Sum equals to 64.8 dB"},
      {"90 -80", "Result: Sum equals to 89.5 dB"},
      {"90, 90; 90", "Result: Sum equals to 94.8 dB"},
      {"0 50", "Result: Sum equals to 50 dB"},
      // The running sum passes through nothing and comes back: the level of the whole sum.
      {"90 -90 80", "Result: Sum equals to 80 dB"},
      {"90 -90", std::string("Result: ") + kNoLevelText},
      {"80 -90", std::string("Result: ") + kNoLevelText},
  };
  for (const Row& row : rows) {
    ui.dialogs.clear();
    const std::size_t before = messages().size();
    run("dB sum", std::vector<std::string>{row.typed});
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "dB sum");
    EXPECT_EQ(ui.dialogs[0].prompts, std::vector<std::string>{"Enter dB values separeted by spaces:"});
    EXPECT_EQ(ui.dialogs[0].defaults, std::vector<std::string>{""});
    ASSERT_EQ(messages().size(), before + 1) << row.typed;
    EXPECT_EQ(messages().back(), row.shown) << row.typed;
  }
}

TEST_F(DbToolsTest, CancelAndGarbageChangeNothing) {
  const Value record = document::readCase(rt, fig).toValue();
  const std::size_t windows = rt.graphics().figures().size();
  const std::vector<std::optional<std::vector<std::string>>> sums = {std::nullopt,
                                                                     std::vector<std::string>{""},
                                                                     std::vector<std::string>{"60"},
                                                                     std::vector<std::string>{"60 abc"},
                                                                     std::vector<std::string>{"2+3 4"},
                                                                     std::vector<std::string>{"60 Inf"},
                                                                     std::vector<std::string>{"60 NaN"},
                                                                     std::vector<std::string>{"sqrt(4) 3"}};
  for (const auto& answer : sums) run("dB sum", answer);
  const std::vector<std::optional<std::vector<std::string>>> decreases = {
      std::nullopt,
      std::vector<std::string>{"", "30"},
      std::vector<std::string>{"100", ""},
      std::vector<std::string>{"100 90", "30"},
      std::vector<std::string>{"100", "thirty"},
      std::vector<std::string>{"100", "Inf"},
      std::vector<std::string>{"NaN", "30"},
      std::vector<std::string>{"100", "1/0"}};
  for (const auto& answer : decreases) run("dB decrease", answer);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(rt.graphics().figures().size(), windows);
  EXPECT_EQ(document::readCase(rt, fig).toValue(), record);
  EXPECT_EQ(ui.dialogs.size(), sums.size() + decreases.size());
}

TEST_F(DbToolsTest, FadingWindowWithTheDefaults) {
  const Value record = document::readCase(rt, fig).toValue();
  run("dB decrease", std::vector<std::string>{});  // every field keeps its default
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].title, "dB decrease");
  EXPECT_EQ(ui.dialogs[0].prompts, (std::vector<std::string>{"Source level (dB):", "Distance (m):"}));
  EXPECT_EQ(ui.dialogs[0].defaults, (std::vector<std::string>{"100", "30"}));
  EXPECT_EQ(document::readCase(rt, fig).toValue(), record);

  const auto windows = fadingWindows();
  ASSERT_EQ(windows.size(), 1u);
  const Handle w = windows[0];
  auto& g = rt.graphics();
  EXPECT_EQ(text(w, "menubar"), "none");
  EXPECT_EQ(text(w, "numbertitle"), "off");
  const auto axesList = g.findIf(w, [](const auto& o) { return o.type() == ObjectType::Axes; });
  ASSERT_EQ(axesList.size(), 1u);
  const Handle axes = axesList[0];
  EXPECT_EQ(text(axes, "nextplot"), "add");
  EXPECT_EQ(text(axes, "box"), "on");
  EXPECT_EQ(nums(axes, "xlim"), (std::vector<double>{0, 60}));
  EXPECT_EQ(nums(axes, "ylim"), (std::vector<double>{0, 120}));
  // Square plot box: one data unit per range in both directions.
  EXPECT_EQ(text(axes, "dataaspectratiomode"), "manual");
  EXPECT_EQ(nums(axes, "dataaspectratio"), (std::vector<double>{60, 120, 1}));
  EXPECT_EQ(text(g.get(axes, "xlabel").object(), "string"), "distance (m)");
  EXPECT_EQ(text(g.get(axes, "ylabel").object(), "string"), "Sound level (dB)");

  const double lp = 10 * std::log10(1 / (900 * M_PI) / 4e-10);
  EXPECT_NEAR(lp, 59.47, 0.005);
  const auto lines = g.findIf(axes, [](const auto& o) { return o.type() == ObjectType::Line; });
  ASSERT_EQ(lines.size(), 5u);
  // Newest first: red dot, blue dot, curve, horizontal and vertical dotted lines.
  const Handle red = lines[0], blue = lines[1], curve = lines[2], across = lines[3], up = lines[4];
  EXPECT_EQ(nums(up, "xdata"), (std::vector<double>{30, 30}));
  EXPECT_NEAR(nums(up, "ydata")[1], lp, 1e-9);
  EXPECT_EQ(nums(across, "xdata"), (std::vector<double>{0, 30}));
  for (Handle dotted : {up, across}) {
    EXPECT_EQ(text(dotted, "linestyle"), ":");
    EXPECT_EQ(g.at(dotted).color("color"), (platform::Rgb{0, 0, 0}));
  }
  const auto r = nums(curve, "xdata");
  ASSERT_EQ(r.size(), 60u);
  EXPECT_EQ(r.front(), 1);
  EXPECT_EQ(r.back(), 60);
  EXPECT_NEAR(nums(curve, "ydata")[0], 89.0, 0.05);
  EXPECT_NEAR(nums(curve, "ydata")[29], lp, 1e-9);
  EXPECT_EQ(g.at(curve).color("color"), (platform::Rgb{0, 0, 1}));
  for (Handle dot : {red, blue}) {
    EXPECT_EQ(text(dot, "linestyle"), "none");
    EXPECT_EQ(nums(dot, "markersize"), std::vector<double>{16});
  }
  EXPECT_EQ(g.at(red).color("color"), (platform::Rgb{1, 0, 0}));
  EXPECT_EQ(nums(red, "xdata"), std::vector<double>{0});
  EXPECT_EQ(nums(red, "ydata"), std::vector<double>{100});
  EXPECT_EQ(g.at(blue).color("color"), (platform::Rgb{0, 0, 1}));

  const auto label = g.findIf(axes, [](const auto& o) {
    return o.type() == ObjectType::Text && o.get("string") == Value("59.47 dB");
  });
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(text(label[0], "units"), "data");
  EXPECT_EQ(text(label[0], "horizontalalignment"), "left");
  EXPECT_EQ(text(label[0], "verticalalignment"), "bottom");
  const auto at = nums(label[0], "position");
  EXPECT_EQ(at[0], 30);
  EXPECT_NEAR(at[1], lp + 2, 1e-9);
}

TEST_F(DbToolsTest, ShortNegativeAndHugeDistances) {
  struct Row {
    const char* level;
    const char* distance;
    double lineAt;       // where the vertical dotted line stands
    std::size_t points;  // of the curve
    double lw;           // source level used
  };
  const std::vector<Row> rows = {
      {"100", "0.7", 0.7, 1, 100},  // the level at 1 m; the line at the distance typed
      {"100", "0.2", 0.2, 1, 100},  // the curve keeps its point at 1 m
      {"100", "-5", 0, 1, 100},     // distances are not negative
      {"100", "1e9", kLargestDistance, 2 * static_cast<std::size_t>(kLargestDistance), 100},
      {"500", "30", 30, 60, kHighestLevel},
      {"-40", "30", 30, 60, kLowestLevel},
  };
  for (const Row& row : rows) {
    run("dB decrease", std::vector<std::string>{row.level, row.distance});
    const auto windows = fadingWindows();
    ASSERT_FALSE(windows.empty());
    const Handle w = windows.front();  // the newest window is on top
    auto& g = rt.graphics();
    const Handle axes = g.currentAxes(w);
    const auto lines = g.findIf(axes, [](const auto& o) { return o.type() == ObjectType::Line; });
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(nums(lines[4], "xdata")[0], row.lineAt) << row.distance;
    EXPECT_EQ(nums(lines[2], "xdata").size(), row.points) << row.distance;
    const double lp = engine::clp(row.lw, row.lineAt);
    EXPECT_NEAR(nums(lines[4], "ydata")[1], lp, 1e-9);
    EXPECT_EQ(nums(lines[0], "ydata"), std::vector<double>{row.lw});
    EXPECT_EQ(nums(axes, "xlim")[1], static_cast<double>(row.points));
    EXPECT_EQ(nums(axes, "ylim")[1], row.lw + 20);
  }
  EXPECT_EQ(fadingWindows().size(), rows.size());
}

TEST(DbSumText, LevelsThatCancelHaveNoLevel) {
  EXPECT_EQ(sumResultText(std::vector<double>{93.0103, -90}), "Sum equals to 90 dB");
  EXPECT_EQ(sumResultText(std::vector<double>{0, 0}), kNoLevelText);
  EXPECT_EQ(fadingDistances(2.5), (std::vector<double>{1, 2, 3, 4, 5}));
  EXPECT_EQ(fadingDistances(0), (std::vector<double>{1}));
}

}  // namespace
}  // namespace velmora::dbtools
