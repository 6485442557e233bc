// The scale bar and the colour bar caption of the main window, through the dispatcher: a round
// length near a fifth of the view, following zone changes, switched by the "objects" menu, and the
// caption following the displayed value.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/scale_bar.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::Value;

TEST(ScaleBarLengthTest, RoundLengthNearAFifthOfTheWidth) {
  const std::vector<std::pair<double, double>> rows = {{20, 5},     {6.5, 1},   {10, 2}, {40, 10},
                                                       {0.3, 0.05}, {640, 100}, {25, 5}, {1e-9, 2e-10}};
  for (const auto& [width, length] : rows) EXPECT_DOUBLE_EQ(scaleBarLength(width), length) << width;
  EXPECT_EQ(scaleBarLabel(0.5), "0.5 m");
  EXPECT_EQ(scaleBarLabel(200), "200 m");
}

class ScaleBarTest : public test_support::MainWindowFixture<> {
 protected:
  ScaleBarTest() { fig = openMainWindow(); }
  Handle control(const std::string& tag) { return obj(tag.c_str()); }
  // The one object of the window with this tag.
  Handle any(const char* tag) {
    const auto found = rt.graphics().findobj(fig, tag);
    EXPECT_EQ(found.size(), 1u) << tag;
    return found.front();
  }
  std::vector<double> xlim() { return nums(drawingAxes(rt, fig), "xlim"); }
};

TEST_F(ScaleBarTest, BarSitsInTheLowerRightCornerAndFollowsTheZone) {
  struct Row {
    const char* button;  // pressed before the check; empty: the new window
    std::string label;
  };
  for (const Row& row : std::vector<Row>{{"", "5 m"}, {"acouexpand++", "5 m"}, {"acouexpand--", "5 m"}}) {
    SCOPED_TRACE(row.button);
    if (*row.button) rt.click(control(row.button));
    const auto xl = xlim(), yl = nums(drawingAxes(rt, fig), "ylim");
    const double w = xl[1] - xl[0], h = yl[1] - yl[0];
    const auto x = nums(any("acouscalebar"), "xdata"), y = nums(any("acouscalebar"), "ydata");
    ASSERT_EQ(x.size(), 4u);
    EXPECT_NEAR(x[3], xl[1] - 0.04 * w, 1e-9);
    EXPECT_NEAR(x[3] - x[0], scaleBarLength(w), 1e-9);
    EXPECT_NEAR(y[1], yl[0] + 0.05 * h, 1e-9);
    EXPECT_EQ(text(any("acouscalebartext"), "string"), scaleBarLabel(scaleBarLength(w)));
    EXPECT_EQ(text(any("acouscalebar"), "visible"), "on");
  }
  // In a see-through axes of its own over the drawing area: the drawing's objects stay as they were,
  // and a click there still reaches the drawing area.
  const auto& g = rt.graphics();
  const Handle overlay = g.at(any("acouscalebar")).parent();
  EXPECT_EQ(g.at(overlay).tag(), "acouscalebaraxes");
  EXPECT_EQ(text(overlay, "hittest"), "off");
  EXPECT_EQ(nums(overlay, "xlim"), xlim());
  EXPECT_EQ(g.currentAxes(fig), drawingAxes(rt, fig));
  EXPECT_TRUE(objectsByTag(rt, fig, "acouscalebar").empty());
}

TEST_F(ScaleBarTest, ObjectsMenuSwitchesItAndTheSettingSurvivesViewChanges) {
  const auto items = windowItems("scale bar");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(text(items.front(), "checked"), "on");
  rt.click(items.front());
  EXPECT_EQ(text(items.front(), "checked"), "off");
  rt.click(control("acouexpand+"));
  for (const char* tag : {"acouscalebar", "acouscalebarback", "acouscalebartext"})
    EXPECT_EQ(text(any(tag), "visible"), "off") << tag;
  rt.click(items.front());
  EXPECT_EQ(text(any("acouscalebar"), "visible"), "on");
}

TEST_F(ScaleBarTest, CaptionNamesTheUnitOfTheColourBar) {
  EXPECT_EQ(text(any("acoucbunit"), "string"), "refl.");
  rt.click(control("acouselectdecibel"), Value(1.0));
  EXPECT_EQ(text(any("acoucbunit"), "string"), "dB");
  rt.click(control("acouselectreflection"), Value(1.0));
  EXPECT_EQ(text(any("acoucbunit"), "string"), "refl.");
}

}  // namespace
}  // namespace velmora::shell
