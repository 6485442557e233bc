// Display operations of the editor on a real main window: colour-bar ticks, the value display in both
// modes, grid spacing and positions, the working zone buttons, the map's area label, stacking order.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/operation_table.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "engine/kinds.h"
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

TEST(ReflectionTicksTest, Table) {
  const auto range = [](double from, double step, double to) {
    std::vector<double> v;
    for (double t = from; t <= to; t += step) v.push_back(t);
    return v;
  };
  std::vector<double> t43 = range(0, 3, 39);
  t43.push_back(43);
  std::vector<double> t44 = range(0, 3, 42);
  t44.push_back(44);
  EXPECT_EQ(reflectionTicks(45), range(0, 3, 45));
  EXPECT_EQ(reflectionTicks(43), t43);
  EXPECT_EQ(reflectionTicks(44), t44);
  EXPECT_EQ(reflectionTicks(7), range(0, 1, 7));
  EXPECT_EQ(reflectionTicks(0), std::vector<double>{0});
}

TEST(GridPositionsTest, AlignedOnTheOriginOrOnTheZone) {
  EXPECT_EQ(gridPositions(-4, 6, 1), (std::vector<double>{-4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6}));
  const auto shifted = gridPositions(0.3, 10.3, 1);
  ASSERT_EQ(shifted.size(), 11u);
  EXPECT_DOUBLE_EQ(shifted.front(), 0.3);
  EXPECT_DOUBLE_EQ(shifted.back(), 10.3);
  // Sides that hold no position (once endless loops): not numbers, infinite, no spacing.
  for (const auto& [lo, hi, g] : std::vector<std::tuple<double, double, double>>{{0.0, NAN, 1.0},
                                                                                 {NAN, 1.0, 1.0},
                                                                                 {0.0, INFINITY, 1.0},
                                                                                 {-INFINITY, 0.0, 1.0},
                                                                                 {0.0, 1.0, 0.0},
                                                                                 {0.0, 1.0, NAN}}) {
    EXPECT_TRUE(gridPositions(lo, hi, g).empty()) << lo << " " << hi << " " << g;
  }
}

class DisplayTest : public test_support::MainWindowFixture<> {
 protected:
  DisplayTest() { fig = openMainWindow(); }
};

TEST_F(DisplayTest, ReflectionAndDecibelModes) {
  auto& g = rt.graphics();
  // Reflection mode: four reflections everywhere in a rectangle, scale 0..4.
  EXPECT_EQ(nums(obj("acoucbaxes"), "ylim"), (std::vector<double>{-0.5, 4.5}));
  EXPECT_EQ(nums(obj("acoucbaxes"), "ytick"), (std::vector<double>{0, 1, 2, 3, 4}));
  EXPECT_EQ(readCase(rt, fig).clim, (std::array<double, 2>{0, 5}));
  EXPECT_EQ(g.at(fig).matrix("colormap").rows, 5u);
  EXPECT_EQ(text(obj("acouuimenclimauto"), "enable"), "off");

  rt.click(obj("acouselectdecibel"), Value(1.0));
  const CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.displayvalue, "decibel");
  EXPECT_EQ(nums(obj("acouselectreflection"), "value"), std::vector<double>{0});
  EXPECT_EQ(text(obj("acouuimenclimauto"), "enable"), "on");
  EXPECT_EQ(text(obj("acouselectdirect"), "enable"), "on");
  EXPECT_EQ(text(obj("acoutext"), "string"), "case: ... - sound level (dB)");
  EXPECT_LT(r.clim[0], r.clim[1]);
  EXPECT_EQ(nums(drawingAxes(rt, fig), "clim"), (std::vector<double>{r.clim[0], r.clim[1]}));
  EXPECT_EQ(nums(obj("acoucbaxes"), "ytick").size(), 10u);
  EXPECT_EQ(g.at(fig).matrix("colormap").rows, 9u);

  // One wall: its colour by visibility, only its image shown; the direct toggle is off.
  rt.click(obj("acouselectbutton"), Value(3.0));
  const auto walls = wallsInWallOrder(rt, fig);
  EXPECT_EQ(g.at(walls[0]).color("color"), (platform::Rgb{0, 1, 0}));
  EXPECT_EQ(g.at(walls[1]).color("color"), (platform::Rgb{0, 0, 0}));
  int shown = 0;
  for (Handle h : objectsByTag(rt, fig, "acouimage")) shown += g.at(h).visible() ? 1 : 0;
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(text(obj("acouselectdirect"), "enable"), "off");
}

// Values that name no entry of the wall list (once an integer overflow on NaN) show "all".
TEST_F(DisplayTest, WallListValuesThatNameNoEntryShowAll) {
  auto& g = rt.graphics();
  for (double value : std::vector<double>{NAN, INFINITY, -1e300, 1e300, 0.0, 2.5, 7.0}) {
    SCOPED_TRACE(value);
    rt.click(obj("acouselectbutton"), Value(3.0));  // one wall first: one image shown
    rt.click(obj("acouselectbutton"), Value(value));
    int shown = 0;
    for (Handle h : objectsByTag(rt, fig, "acouimage")) shown += g.at(h).visible() ? 1 : 0;
    EXPECT_EQ(shown, 4);
    EXPECT_EQ(readCase(rt, fig).clim, (std::array<double, 2>{0, 5}));
  }
}

// The wall chosen in the list takes the colour of how the source sees it; a code no class has (or no
// list at all: a convex room) reads as seen whole.
TEST_F(DisplayTest, ChosenWallColourByVisibilityCode) {
  auto& g = rt.graphics();
  struct Row {
    std::optional<int> code;
    platform::Rgb colour;
  };
  const std::vector<Row> rows = {{0, {1, 0, 0}}, {1, {0, 1, 0}},  {2, {0, 1, 1}},           {3, {0, 1, 0}},
                                 {7, {0, 1, 0}}, {-1, {0, 1, 0}}, {std::nullopt, {0, 1, 0}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code ? std::to_string(*row.code) : "no list");
    changeCase(rt, fig, [&](CaseRecord& r) {
      if (row.code) {
        r.iwv = std::vector<int>{1, *row.code, 1, 1};
      } else {
        r.iwv.reset();
      }
    });
    rt.click(obj("acouselectbutton"), Value(4.0));  // wall 2
    const auto walls = wallsInWallOrder(rt, fig);
    EXPECT_EQ(g.at(walls[1]).color("color"), row.colour);
    EXPECT_EQ(g.at(walls[0]).color("color"), (platform::Rgb{0, 0, 0}));
  }
  static_assert(engine::wallVisibility(2) == engine::WallVisibility::SeenInPart);
  static_assert(engine::convexityClass(0) == engine::ConvexityClass::NotConvex);
  static_assert(engine::convexityClass(-3) == engine::ConvexityClass::Convex);
}

TEST_F(DisplayTest, GridSpacingIsRoundedAndClamped) {
  struct Row {
    std::string typed;
    double gsize;
  };
  for (const Row& row : std::vector<Row>{{"0.033", 0.1}, {"12", 10}, {"-2", 2}, {"1.237", 1.24}}) {
    ui.push(ScriptedAnswer::inputs(std::vector<std::string>{row.typed}));
    velmoracopy(rt, ops, {Value("changegrid")});
    EXPECT_DOUBLE_EQ(readCase(rt, fig).gsize, row.gsize) << row.typed;
  }
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"abc"}));
  velmoracopy(rt, ops, {Value("changegrid")});
  EXPECT_DOUBLE_EQ(readCase(rt, fig).gsize, 1.24);
  EXPECT_EQ(ui.shown().back().title, "Set grid size");
}

TEST_F(DisplayTest, ZoneButtonsAndView) {
  // The view panel shows while "view" is pressed.
  EXPECT_FALSE(rt.graphics().at(obj("acouexpand+")).visible());
  rt.click(obj("acouviewbutton"), Value(1.0));
  EXPECT_TRUE(rt.graphics().at(obj("acouexpand+")).visible());
  rt.click(obj("acouexpand+"));
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{-0.5, 20.5}));
  EXPECT_EQ(nums(drawingAxes(rt, fig), "xlim"), (std::vector<double>{-0.5, 20.5}));
  EXPECT_EQ(readCase(rt, fig).height, 21);
  rt.click(obj("acouexpandm"));
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{2.5, 17.5}));
  // "<<" on a zone that hugs the drawing does nothing.
  rt.click(obj("acouexpand--"));
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{2.5, 17.5}));
  EXPECT_NEAR(rt.graphics().at(obj("acouaudiencesurface")).number("faceoffsetbias"), 0.3 / 15, 1e-12);
}

TEST_F(DisplayTest, AreaLabelAndStackingOrder) {
  auto& g = rt.graphics();
  const auto items = menuItemsInOrder(g, g.get(obj("acouaudiencesurface"), "uicontextmenu").object());
  EXPECT_EQ(text(items.back(), "label"), "audience area=100 m²");

  const auto& children = g.at(drawingAxes(rt, fig)).children();
  ASSERT_GE(children.size(), 3u);
  EXPECT_EQ(g.at(children[0]).tag(), "acousource");
  EXPECT_EQ(g.at(children[1]).tag(), "acoureceptor");
  // Walls listed in the reverse of wall order.
  std::vector<Handle> listedWalls;
  for (Handle h : children) {
    if (g.at(h).tag() == "acouwall") listedWalls.push_back(h);
  }
  auto order = wallsInWallOrder(rt, fig);
  std::reverse(order.begin(), order.end());
  EXPECT_EQ(listedWalls, order);
  EXPECT_EQ(g.at(children.back()).tag(), "acoutext");
}

}  // namespace
}  // namespace velmora::editor
