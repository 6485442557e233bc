// Colour scale, colour limits, the objects menu, the diffusion switch and the measuring mode, on a
// real main window through the registered operations.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "platform/model/numbers.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::editor {
namespace {

using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

class ValueToolsTest : public test_support::MainWindowFixture<test_support::DialogRecordingUi> {
 protected:
  ValueToolsTest() {
    fig = openMainWindow();
    axes = drawingAxes(rt, fig);
  }
  bool checked(Handle h) { return rt.graphics().at(h).isOn("checked"); }
  Handle item(Handle owner, const std::string& label) { return contextItem(owner, label); }
  Handle objectsItem(const std::string& label) { return item(obj("acouobjects"), label); }
  // Runs a menu item's callback even while the item is disabled (as another operation may).
  void invoke(Handle i) { rt.runCallback(i, text(i, "callback")); }
  int visibleCount(const char* tag) {
    int n = 0;
    for (Handle h : objectsByTag(rt, fig, tag)) n += rt.graphics().at(h).visible() ? 1 : 0;
    return n;
  }
  Handle measureToggle() {
    const auto found = rt.graphics().findIf(fig, [](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::UiControl && o.get("string") == Value("measure");
    });
    return found.front();
  }
  double brightness(const platform::Matrix& map, std::size_t row) {
    return map(row, 0) + map(row, 1) + map(row, 2);
  }

  Handle axes = platform::kNoHandle;
};

TEST_F(ValueToolsTest, ColourScaleMenu) {
  auto& g = rt.graphics();
  const Handle color = obj("acouuimencolor"), gray = obj("acouuimengray");
  ASSERT_EQ(g.at(fig).matrix("colormap").rows, 5u);
  const double firstColour = brightness(g.at(fig).matrix("colormap"), 0);

  rt.click(gray);
  EXPECT_TRUE(checked(gray));
  EXPECT_FALSE(checked(color));
  EXPECT_EQ(readCase(rt, fig).colormap, "gray");
  const platform::Matrix grey = g.at(fig).matrix("colormap");
  ASSERT_EQ(grey.rows, 5u);  // the number of colours stays
  for (std::size_t r = 0; r < grey.rows; ++r) {
    EXPECT_EQ(grey(r, 0), grey(r, 1));
    EXPECT_EQ(grey(r, 1), grey(r, 2));
  }
  // Light for few reflections, dark for many: levels 239 and 99 of the 256-level ramp.
  EXPECT_NEAR(grey(0, 0), 239.0 / 255, 1e-9);
  EXPECT_NEAR(grey(4, 0), 99.0 / 255, 1e-9);

  // The scale stays gray through a change of what the map shows.
  rt.click(obj("acouselectdecibel"), Value(1.0));
  const platform::Matrix levels = g.at(fig).matrix("colormap");
  ASSERT_EQ(levels.rows, 9u);
  EXPECT_EQ(levels(3, 0), levels(3, 2));

  rt.click(color);
  EXPECT_TRUE(checked(color));
  EXPECT_FALSE(checked(gray));
  EXPECT_EQ(readCase(rt, fig).colormap, "color");
  EXPECT_EQ(g.at(fig).matrix("colormap").rows, 9u);
  rt.click(obj("acouselectreflection"), Value(1.0));
  EXPECT_DOUBLE_EQ(brightness(g.at(fig).matrix("colormap"), 0), firstColour);

  // The verb with no menu item behind it chooses nothing.
  velmoracopy(rt, ops, {Value("changecolormap")});
  EXPECT_EQ(readCase(rt, fig).colormap, "color");
}

TEST_F(ValueToolsTest, ColourLimitsDialog) {
  const Handle autoItem = obj("acouuimenclimauto"), manualItem = obj("acouuimenclimman");
  rt.click(obj("acouselectdecibel"), Value(1.0));
  const auto autoLimits = readCase(rt, fig).clim;
  ASSERT_LT(autoLimits[0], autoLimits[1]);

  // Refused answers change nothing, not even the check marks.
  for (const std::optional<std::string>& typed : std::vector<std::optional<std::string>>{
           std::nullopt, "abc", "60", "1 2 3", "", "60 Inf", "max(1,2) 3"}) {
    answer(typed);
    rt.click(manualItem);
    EXPECT_EQ(ui.dialogs.back().title, "Set color limits");
    EXPECT_EQ(ui.dialogs.back().prompts, std::vector<std::string>{"Enter color limits:"});
    EXPECT_EQ(ui.dialogs.back().defaults,
              std::vector<std::string>{platform::formatNumber(autoLimits[0]) + " " +
                                       platform::formatNumber(autoLimits[1])});
    EXPECT_TRUE(checked(autoItem)) << typed.value_or("cancel");
    EXPECT_FALSE(checked(manualItem));
    EXPECT_EQ(readCase(rt, fig).climmode, "auto");
    EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{autoLimits[0], autoLimits[1]}));
  }

  answer("60, 90");
  rt.click(manualItem);
  EXPECT_TRUE(checked(manualItem));
  EXPECT_FALSE(checked(autoItem));
  EXPECT_EQ(readCase(rt, fig).climmode, "manual");
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{60, 90}));
  const Handle bar = obj("acoucbaxes");
  EXPECT_EQ(nums(bar, "ylim"), (std::vector<double>{60, 90}));
  const auto ticks = nums(bar, "ytick");
  ASSERT_EQ(ticks.size(), 10u);
  EXPECT_DOUBLE_EQ(ticks[1], 60 + 30.0 / 9);
  const auto labels = nums(bar, "yticklabel");
  EXPECT_DOUBLE_EQ(labels[1], 63.3);
  EXPECT_DOUBLE_EQ(labels[2], 66.7);
  EXPECT_EQ(nums(obj("acoucbpatch"), "ydata"), (std::vector<double>{60, 60, 90, 90}));
  EXPECT_EQ(nums(obj("acoucbpatch"), "cdata"), (std::vector<double>{60, 60, 90, 90}));

  // Limits the wrong way round keep the present ones.
  answer("95 70");
  rt.click(manualItem);
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{60, 90}));
  EXPECT_EQ(ui.dialogs.back().defaults, std::vector<std::string>{"60 90"});

  // Manual limits hold through a change of wall and a look at the reflection numbers.
  rt.click(obj("acouselectbutton"), Value(3.0));
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{60, 90}));
  rt.click(obj("acouselectreflection"), Value(1.0));
  rt.click(obj("acouselectdecibel"), Value(1.0));
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{60, 90}));
  EXPECT_EQ(nums(bar, "ylim"), (std::vector<double>{60, 90}));

  // Back to automatic limits: the computed ones.
  rt.click(autoItem);
  EXPECT_TRUE(checked(autoItem));
  EXPECT_FALSE(checked(manualItem));
  const auto computed = readCase(rt, fig).clim;
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{computed[0], computed[1]}));
  EXPECT_EQ(nums(bar, "ylim"), (std::vector<double>{computed[0], computed[1]}));
}

TEST_F(ValueToolsTest, ColourLimitsArgumentsAndReflectionMode) {
  const Handle autoItem = obj("acouuimenclimauto"), manualItem = obj("acouuimenclimman");
  // Reflection numbers: the choice only moves the check mark (and is kept for the level map).
  EXPECT_EQ(text(manualItem, "enable"), "off");
  const std::size_t shown = ui.dialogs.size();
  invoke(manualItem);
  EXPECT_EQ(ui.dialogs.size(), shown);
  EXPECT_TRUE(checked(manualItem));
  EXPECT_FALSE(checked(autoItem));
  EXPECT_EQ(nums(obj("acoucbaxes"), "ylim"), (std::vector<double>{-0.5, 4.5}));
  // Four reflections everywhere: counts 0..4 shown as 1..5 take rows 1..5 of five colours.
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{0.5, 5.5}));
  invoke(autoItem);
  EXPECT_TRUE(checked(autoItem));

  rt.click(obj("acouselectdecibel"), Value(1.0));
  ops.call(rt, "changecolorlimits", {Value::row({40, 80})});
  EXPECT_EQ(readCase(rt, fig).climmode, "manual");
  EXPECT_TRUE(checked(manualItem));
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{40, 80}));
  // A pair that cannot be limits keeps the present ones.
  ops.call(rt, "changecolorlimits", {Value::row({80, 40})});
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{40, 80}));
  ops.call(rt, "changecolorlimits", {Value("auto")});
  EXPECT_EQ(readCase(rt, fig).climmode, "auto");
  EXPECT_TRUE(checked(autoItem));
  const auto computed = readCase(rt, fig).clim;
  EXPECT_EQ(nums(axes, "clim"), (std::vector<double>{computed[0], computed[1]}));
}

TEST_F(ValueToolsTest, ObjectsMenu) {
  auto& g = rt.graphics();
  const Handle grid = objectsItem("grid");
  EXPECT_FALSE(checked(grid));
  EXPECT_EQ(visibleCount("acougrid"), 0);
  rt.click(grid);
  EXPECT_TRUE(checked(grid));
  EXPECT_EQ(visibleCount("acougrid"), 1);
  rt.click(grid);
  EXPECT_EQ(visibleCount("acougrid"), 0);

  EXPECT_EQ(visibleCount("acouimage"), 4);
  EXPECT_EQ(visibleCount("acouradius"), 8);
  rt.click(objectsItem("images"));
  EXPECT_FALSE(checked(objectsItem("images")));
  EXPECT_EQ(visibleCount("acouimage"), 0);
  EXPECT_EQ(visibleCount("acouradius"), 8);
  rt.click(objectsItem("radius"));
  EXPECT_EQ(visibleCount("acouradius"), 0);
  ops.call(rt, "hideviewobjects", {Value("images-on")});
  EXPECT_TRUE(checked(objectsItem("images")));
  EXPECT_EQ(visibleCount("acouimage"), 4);
  ops.call(rt, "hideviewobjects", {Value("radius-on")});
  EXPECT_EQ(visibleCount("acouradius"), 8);
  ops.call(rt, "hideviewobjects", {Value("radius-off")});
  EXPECT_FALSE(checked(objectsItem("radius")));
  EXPECT_EQ(visibleCount("acouradius"), 0);
  ops.call(rt, "hideviewobjects", {Value("images-off")});
  EXPECT_EQ(visibleCount("acouimage"), 0);
  // Any other text changes nothing.
  ops.call(rt, "hideviewobjects", {Value("grid-on")});
  EXPECT_FALSE(checked(grid));

  rt.click(objectsItem("axes"));
  EXPECT_EQ(visibleCount("acouXaxis") + visibleCount("acouYaxis"), 0);
  rt.click(objectsItem("axes"));
  EXPECT_EQ(visibleCount("acouXaxis") + visibleCount("acouYaxis"), 2);

  rt.click(objectsItem("receptor"));
  EXPECT_FALSE(checked(objectsItem("receptor")));
  EXPECT_EQ(visibleCount("acoureceptor"), 0);
  EXPECT_EQ(text(obj("acoucreatepolar"), "enable"), "off");
  rt.click(objectsItem("receptor"));
  EXPECT_EQ(visibleCount("acoureceptor"), 1);
  EXPECT_EQ(text(obj("acoucreatepolar"), "enable"), "on");

  rt.click(objectsItem("audience limits"));
  EXPECT_EQ(visibleCount("acouaudienceedge") + visibleCount("acouaudiencevertex"), 0);
  EXPECT_TRUE(g.at(obj("acouaudiencesurface")).visible());
  rt.click(objectsItem("audience limits"));
  EXPECT_EQ(visibleCount("acouaudienceedge") + visibleCount("acouaudiencevertex"), 8);
}

TEST_F(ValueToolsTest, DiffusionFactorRecomputesOnlyWithCurvedStretches) {
  const Handle diffusion = item(obj("hiddensettings"), "diffusion factor for convex walls");
  const auto before = objectsByTag(rt, fig, "acouimage");
  rt.click(diffusion);
  EXPECT_FALSE(checked(diffusion));
  EXPECT_EQ(objectsByTag(rt, fig, "acouimage"), before);  // no curved stretch: nothing recomputed

  CaseRecord r = readCase(rt, fig);
  r.curves = platform::Matrix{1, 9, {2, 3, -7, 17, -7, 10, -7, 1, 1}, 1};
  storeCase(rt, fig, std::move(r));
  rt.click(diffusion);
  EXPECT_TRUE(checked(diffusion));
  const auto after = objectsByTag(rt, fig, "acouimage");
  EXPECT_EQ(after.size(), 4u);
  EXPECT_NE(after, before);
  // The fresh images sit below the markers and walls, as after any recomputation.
  EXPECT_EQ(rt.graphics().at(rt.graphics().at(axes).children().front()).tag(), "acousource");
}

TEST(MeasureTextTest, RoundedToATenth) {
  EXPECT_EQ(measureText(3.14, -2.06), " 3.1,-2.1");
  EXPECT_EQ(measureText(-0.04, 0.05), " 0,0.1");
  EXPECT_EQ(measureText(12, -7.25), " 12,-7.3");
}

TEST_F(ValueToolsTest, MeasuringMode) {
  auto& g = rt.graphics();
  const Handle toggle = measureToggle();
  rt.click(toggle, Value(1.0));
  const auto texts = objectsByTag(rt, fig, "acoumeasuretext");
  ASSERT_EQ(texts.size(), 1u);
  const Handle t = texts.front();
  EXPECT_EQ(g.at(t).parent(), axes);
  EXPECT_EQ(g.at(t).number("fontsize"), 14);
  EXPECT_EQ(text(t, "fontname"), "default");
  EXPECT_EQ(text(t, "fontweight"), "normal");
  EXPECT_EQ(text(t, "units"), "data");
  EXPECT_EQ(text(t, "horizontalalignment"), "left");
  EXPECT_EQ(text(t, "verticalalignment"), "bottom");
  EXPECT_EQ(g.get(t, "string"), Value(""));
  EXPECT_EQ(text(fig, "windowbuttonmotionfcn"), "velmoracopy('measure')");
  EXPECT_EQ(text(fig, "pointer"), "crosshair");
  // Every control is locked but the toggle itself; the drawing ignores the pointer.
  EXPECT_EQ(text(toggle, "enable"), "on");
  EXPECT_EQ(text(obj("acougridbutton"), "enable"), "off");
  EXPECT_EQ(text(obj("acouselectbutton"), "enable"), "off");
  EXPECT_EQ(text(obj("acousource"), "hittest"), "off");

  rt.motion(fig, 3.14, -2.06);
  EXPECT_EQ(g.get(t, "string"), Value(" 3.1,-2.1"));
  EXPECT_EQ(nums(t, "position"), (std::vector<double>{3.1, -2.1}));
  rt.motion(fig, 10, 0.04);
  EXPECT_EQ(g.get(t, "string"), Value(" 10,0"));

  rt.click(toggle, Value(0.0));
  EXPECT_TRUE(objectsByTag(rt, fig, "acoumeasuretext").empty());
  EXPECT_EQ(text(fig, "windowbuttonmotionfcn"), "");
  EXPECT_EQ(text(fig, "pointer"), "arrow");
  EXPECT_EQ(text(obj("acougridbutton"), "enable"), "on");
  EXPECT_EQ(text(obj("acouobjects"), "enable"), "inactive");
  EXPECT_EQ(text(obj("acousource"), "hittest"), "on");
  // A motion after measuring ends does nothing.
  rt.motion(fig, 1, 1);
  EXPECT_TRUE(objectsByTag(rt, fig, "acoumeasuretext").empty());
}

}  // namespace
}  // namespace velmora::editor
