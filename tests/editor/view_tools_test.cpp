// Image zoom, the free zoom tool, the audience map's precision and the audience area's reshapes, on a
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

using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

void expectDialog(const platform::InputDialog& d, const std::string& prompt, const std::string& title,
                  const std::string& typed) {
  EXPECT_EQ(d.prompts, std::vector<std::string>{prompt});
  EXPECT_EQ(d.title, title);
  EXPECT_EQ(d.lines, 1);
  EXPECT_EQ(d.defaults, std::vector<std::string>{typed});
}

class ViewToolsTest : public test_support::MainWindowFixture<test_support::DialogRecordingUi> {
 protected:
  ViewToolsTest() {
    fig = openMainWindow();
    axes = drawingAxes(rt, fig);
  }
  Handle menuItem(Handle owner, const std::string& label) {
    auto& g = rt.graphics();
    const auto found =
        g.findIf(g.get(owner, "uicontextmenu").object(), [&](const platform::GraphicsObject& o) {
          return o.type() == platform::ObjectType::UiMenu && o.text("label") == label;
        });
    EXPECT_EQ(found.size(), 1u) << label;
    return found.front();
  }
  void expectView(double x0, double x1, double y0, double y1) {
    const auto xl = nums(axes, "xlim"), yl = nums(axes, "ylim");
    ASSERT_EQ(xl.size(), 2u);
    ASSERT_EQ(yl.size(), 2u);
    EXPECT_NEAR(xl[0], x0, 1e-9);
    EXPECT_NEAR(xl[1], x1, 1e-9);
    EXPECT_NEAR(yl[0], y0, 1e-9);
    EXPECT_NEAR(yl[1], y1, 1e-9);
  }
  std::size_t mapRows() { return rt.graphics().at(obj("acouaudiencesurface")).matrix("xdata").rows; }
  std::string areaLabel() {
    auto& g = rt.graphics();
    const auto items = menuItemsInOrder(g, g.get(obj("acouaudiencesurface"), "uicontextmenu").object());
    return g.at(items.back()).text("label");
  }
  std::array<double, 4> audienceBox() {
    std::array<double, 4> box{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (Handle h : objectsByTag(rt, fig, "acouaudiencevertex")) {
      const engine::Point p = firstPoint(rt, h);
      box = {std::min(box[0], p.x), std::max(box[1], p.x), std::min(box[2], p.y), std::max(box[3], p.y)};
    }
    return box;
  }

  Handle axes = platform::kNoHandle;
};

TEST_F(ViewToolsTest, ImageZoomShowsEveryVisibleImageInASquareView) {
  // Default room (3..17 by -7..7), source (3.5, 0): images at (3.5, -14), (30.5, 0), (3.5, 14), (2.5, 0).
  rt.click(obj("acouzoombutton"), Value(1.0));
  // Box 2.5..30.5 by -14..14, margin 1.4, united with the zone: 0..31.9 wide, 30.8 high.
  expectView(0, 31.9, -15.95, 15.95);
  EXPECT_NEAR(rt.graphics().at(obj("acouaudiencesurface")).number("faceoffsetbias"), 0.3 / 31.9, 1e-12);
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{0, 20}));

  rt.click(obj("acouzoombutton"), Value(0.0));
  expectView(0, 20, -10, 10);

  // The text argument presses ("images") or releases (anything else) the toggle.
  ops.call(rt, "acouzoom", {Value("images")});
  EXPECT_EQ(nums(obj("acouzoombutton"), "value"), std::vector<double>{1});
  expectView(0, 31.9, -15.95, 15.95);
  ops.call(rt, "acouzoom", {Value("zone")});
  EXPECT_EQ(nums(obj("acouzoombutton"), "value"), std::vector<double>{0});
  expectView(0, 20, -10, 10);
}

TEST_F(ViewToolsTest, ImageZoomWithHiddenImagesSpringsBack) {
  ops.call(rt, "hideviewobjects", {Value("images-off")});
  rt.click(obj("acouzoombutton"), Value(1.0));
  EXPECT_EQ(nums(obj("acouzoombutton"), "value"), std::vector<double>{0});
  expectView(0, 20, -10, 10);

  // A single wall shown: only its image counts (wall 2's image at (30.5, 0)).
  ops.call(rt, "hideviewobjects", {Value("images-on")});
  rt.click(obj("acouselectbutton"), Value(4.0));
  rt.click(obj("acouzoombutton"), Value(1.0));
  // Box of one point, no margin: x 0..30.5, y -10..10, so y becomes 30.5 high around 0.
  expectView(0, 30.5, -15.25, 15.25);
}

TEST_F(ViewToolsTest, ZoomToolClicks) {
  auto& g = rt.graphics();
  const Handle item = menuItem(obj("hiddensettings"), "zoom");
  // Off: clicks change nothing.
  rt.press(axes, 10, 0, "normal");
  expectView(0, 20, -10, 10);

  rt.click(item);
  EXPECT_TRUE(g.at(item).isOn("checked"));
  EXPECT_EQ(g.at(fig).appData("zoomaxesstatus")->scalar(), 1);

  // Normal click with factor 1.2 on a 20-wide view: 16.67 wide, square, centred on the click.
  rt.press(axes, 10, 0, "normal");
  const double side = 20 / 1.2;
  expectView(10 - side / 2, 10 + side / 2, -side / 2, side / 2);
  EXPECT_NEAR(g.at(obj("acouaudiencesurface")).number("faceoffsetbias"), 0.3 / side, 1e-12);
  // "extend" zooms out by the factor, here about a new centre; a click on the map zooms too.
  rt.press(axes, 4, 2, "extend");
  expectView(-6, 14, -8, 12);
  rt.press(obj("acouaudiencesurface"), 5, 5, "normal");
  expectView(5 - side / 2, 5 + side / 2, 5 - side / 2, 5 + side / 2);
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{0, 20}));

  // Switched off again: clicks are ignored.
  rt.click(item);
  EXPECT_FALSE(g.at(item).isOn("checked"));
  EXPECT_EQ(g.at(fig).appData("zoomaxesstatus")->scalar(), 0);
  rt.press(axes, 0, 0, "normal");
  expectView(5 - side / 2, 5 + side / 2, 5 - side / 2, 5 + side / 2);

  // The view panel and the image zoom show the zone again.
  rt.click(obj("acouzoombutton"), Value(0.0));
  expectView(0, 20, -10, 10);
}

TEST_F(ViewToolsTest, ZoomFactorDialog) {
  auto& g = rt.graphics();
  rt.click(menuItem(obj("hiddensettings"), "zoom"));
  struct Row {
    std::optional<std::string> typed;
    double factor;
  };
  const std::vector<Row> rows = {{"2", 2},   {"7", 5},   {"0.5", 1.1}, {"abc", 1.1}, {std::nullopt, 1.1},
                                 {"3 4", 3}, {"NaN", 3}, {"", 3},      {"1+1", 3}};
  for (const Row& row : rows) {
    answer(row.typed);
    const double before = g.at(fig).appData("zoomaxesfactor")->scalar();
    const std::size_t shown = ui.dialogs.size();
    rt.press(axes, 10, 0, "alt");
    ASSERT_EQ(ui.dialogs.size(), shown + 1) << row.typed.value_or("cancel");
    expectDialog(ui.dialogs.back(), "Zoom factor:", "Set zoom factor", platform::formatNumber(before));
    EXPECT_DOUBLE_EQ(g.at(fig).appData("zoomaxesfactor")->scalar(), row.factor)
        << row.typed.value_or("cancel");
    expectView(0, 20, -10, 10);  // an "alt" click never zooms
  }
  // A right click on the audience map opens its own menu: no dialog, no zoom.
  const std::size_t shown = ui.dialogs.size();
  rt.press(obj("acouaudiencesurface"), 10, 0, "alt");
  EXPECT_EQ(ui.dialogs.size(), shown);
  expectView(0, 20, -10, 10);
  // The new factor drives the next click.
  rt.press(axes, 10, 0, "normal");
  expectView(10 - 10.0 / 3, 10 + 10.0 / 3, -10.0 / 3, 10.0 / 3);
}

TEST_F(ViewToolsTest, SurfacePrecisionDialogAndMenu) {
  auto& g = rt.graphics();
  const Handle map = obj("acouaudiencesurface");
  ASSERT_EQ(mapRows(), 21u);

  struct Row {
    std::optional<std::string> typed;
    std::size_t rows;
  };
  const std::vector<Row> rows = {{"5", 11}, {"abc", 11},   {std::nullopt, 11}, {"12.6", 14},
                                 {"", 14},  {"30 40", 31}, {"-3", 11}};
  for (const Row& row : rows) {
    const std::string current = std::to_string(mapRows() - 1);
    answer(row.typed);
    velmoracopy(rt, ops, {Value("surfaceprecision")});
    EXPECT_EQ(mapRows(), row.rows) << row.typed.value_or("cancel");
    expectDialog(ui.dialogs.back(), "Enter surface precision:", "Set surface precision", current);
  }

  // The numbered items of the submenu set their own precision.
  rt.click(menuItem(map, "50"));
  ASSERT_EQ(mapRows(), 51u);
  const platform::Matrix& z = g.at(map).matrix("zdata");
  EXPECT_EQ(z.rows, 51u);
  EXPECT_EQ(z.data.front(), -0.5);
  // The fresh grid lies on the audience area, corners on corners, values recomputed.
  const platform::Matrix& x = g.at(map).matrix("xdata");
  const platform::Matrix& y = g.at(map).matrix("ydata");
  EXPECT_DOUBLE_EQ(x.data.front(), 5);
  EXPECT_DOUBLE_EQ(y.data.front(), -5);
  EXPECT_DOUBLE_EQ(x.data.back(), 15);
  EXPECT_DOUBLE_EQ(y.data.back(), 5);
  ASSERT_TRUE(readCase(rt, fig).RT.has_value());
  EXPECT_EQ(readCase(rt, fig).RT->data.size(), 51u * 51u);
  EXPECT_EQ(g.at(map).matrix("cdata").data.size(), 51u * 51u);
  EXPECT_EQ(areaLabel(), "audience area=100 m²");

  // Choosing the current precision recomputes nothing.
  g.set(map, "cdata", Value(platform::Matrix{51, 51, std::vector<double>(51 * 51, 7.0), 1}));
  rt.click(menuItem(map, "50"));
  EXPECT_EQ(g.at(map).matrix("cdata").data.front(), 7);

  // The top of the range.
  answer("1000");
  velmoracopy(rt, ops, {Value("surfaceprecision")});
  EXPECT_EQ(mapRows(), 401u);
}

TEST_F(ViewToolsTest, ReduceSize) {
  // 10 x 10 area in a 20-wide zone (step 0.5): each side moves in by 0.5.
  velmoracopy(rt, ops, {Value("reducesurfacesize")});
  const auto box = audienceBox();
  EXPECT_EQ(box, (std::array<double, 4>{5.5, 14.5, -4.5, 4.5}));
  EXPECT_EQ(areaLabel(), "audience area=81 m²");
  EXPECT_EQ(rt.graphics().at(fig).text("pointer"), "arrow");
  const platform::Matrix& x = rt.graphics().at(obj("acouaudiencesurface")).matrix("xdata");
  EXPECT_DOUBLE_EQ(x.data.front(), 5.5);

  struct Row {
    std::array<double, 4> before, after;
  };
  const std::vector<Row> rows = {
      {{9.4, 10.6, -0.6, 0.6}, {9.4, 10.6, -0.6, 0.6}},  // 0.2 left is not wider than one step
      {{9, 11, -1, 1}, {9.5, 10.5, -0.5, 0.5}},          // 2 x 2 becomes 1 x 1 on the same centre
      {{9.25, 10.75, -3, 3}, {9.25, 10.75, -3, 3}},      // 0.5 wide left: not wider than the step
  };
  for (const Row& row : rows) {
    setAudienceBox(rt, fig, row.before[0], row.before[1], row.before[2], row.before[3]);
    velmoracopy(rt, ops, {Value("reducesurfacesize")});
    EXPECT_EQ(audienceBox(), row.after);
  }

  // A slanted area becomes the axis-parallel box inside its bounding box.
  const auto corners = objectsInCreationOrder(rt, fig, "acouaudiencevertex");
  auto& g = rt.graphics();
  const std::array<std::array<double, 2>, 4> slanted = {{{4, -4}, {14, -5}, {16, 6}, {5, 3}}};
  for (std::size_t k = 0; k < 4; ++k) {
    g.set(corners[k], "xdata", Value(slanted[k][0]));
    g.set(corners[k], "ydata", Value(slanted[k][1]));
  }
  velmoracopy(rt, ops, {Value("reducesurfacesize")});
  EXPECT_EQ(audienceBox(), (std::array<double, 4>{4.5, 15.5, -4.5, 5.5}));
  const auto edges = objectsInCreationOrder(rt, fig, "acouaudienceedge");
  EXPECT_EQ(nums(edges[1], "xdata"), (std::vector<double>{15.5, 15.5}));
  EXPECT_EQ(nums(edges[1], "ydata"), (std::vector<double>{-4.5, 5.5}));
}

TEST_F(ViewToolsTest, IncludeRoomInAnLShapedRoom) {
  velmoracopy(rt, ops, {Value("matchroom")});
  EXPECT_EQ(areaLabel(), "audience area=196 m²");
  EXPECT_EQ(audienceBox(), (std::array<double, 4>{3, 17, -7, 7}));

  CaseDescription l;
  l.xwall = std::vector<double>{3, 17, 17, 10, 10, 3};
  l.ywall = std::vector<double>{-7, -7, 0, 0, 7, 7};
  velmoracopy(rt, ops, {Value("update"), l.toValue()});
  velmoracopy(rt, ops, {Value("matchroom")});
  EXPECT_EQ(areaLabel().rfind("audience area (inside)=", 0), 0u) << areaLabel();
}

}  // namespace
}  // namespace velmora::editor
