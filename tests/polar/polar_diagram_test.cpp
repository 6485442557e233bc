// The polar diagram window and its tools, driven through the dispatcher from a real main window:
// levels, angles and delays against hand-computed values, the dB limits dialog, value labels and
// their drag, wall flashing and printing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/case_record.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "polar/polar.h"
#include "shell/dispatcher.h"
#include "support/hand_rooms.h"
#include "support/main_window.h"

namespace velmora::polar {
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;
using shell::velmoracopy;

using test_support::levelAt;

double degrees(double ax, double ay, double bx, double by) {
  return std::acos((ax * bx + ay * by) / std::hypot(ax, ay) / std::hypot(bx, by)) / std::numbers::pi * 180;
}

// A scripted UI that looks at the miniature wall while the flash waits.
class WatchingUi : public platform::ScriptedUi {
 public:
  std::function<void()> onPause;
  void pause(double seconds) override {
    pauses.push_back(seconds);
    if (onPause) onPause();
  }
  std::vector<double> pauses;
};

class PolarTest : public test_support::MainWindowFixture<WatchingUi> {
 protected:
  PolarTest() { main = openMainWindow(); }

  platform::Graphics& g() { return rt.graphics(); }
  std::vector<Handle> polarWindows() {
    return g().findIf(platform::kRoot, [](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::Figure && o.tag() == "acoupolar";
    });
  }
  // Clicks the "polar" button of the main window; the new polar window, if one opened.
  std::optional<Handle> clickPolar() {
    const auto before = polarWindows().size();
    rt.click(document::objectInWindow(rt, main, "acoucreatepolar"));
    const auto after = polarWindows();
    if (after.size() == before) return std::nullopt;
    return after.front();
  }
  Handle one(Handle parent, const char* tag) {
    const auto found = g().findobj(parent, tag);
    EXPECT_EQ(found.size(), 1u) << tag;
    return found.empty() ? platform::kNoHandle : found.front();
  }
  Handle limitsItem(Handle fig) {
    const Handle menu = g().get(fig, "uicontextmenu").object();
    return document::menuItemsInOrder(g(), menu).front();
  }
  const LimitsRecord& limits(Handle fig) { return *g().at(limitsItem(fig)).userdataAs<LimitsRecord>(); }
  std::vector<Handle> menuItems(Handle arrow) {
    return document::menuItemsInOrder(g(), g().get(arrow, "uicontextmenu").object());
  }
  std::vector<std::string> menuLabels(Handle arrow) {
    std::vector<std::string> out;
    for (Handle h : menuItems(arrow)) out.push_back(text(h, "label"));
    return out;
  }
  Handle textWith(Handle axes, const std::string& prefix) {
    const auto found = g().findIf(axes, [&](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::Text && o.get("string").isText() &&
             o.text("string").rfind(prefix, 0) == 0;
    });
    EXPECT_EQ(found.size(), 1u) << prefix;
    return found.empty() ? platform::kNoHandle : found.front();
  }
  void setRoom(const std::vector<double>& xw, const std::vector<double>& yw, const std::vector<double>& alpha,
               double xso, double yso, double xre, double yre, double lw) {
    velmoracopy(rt, ops,
                {Value("update"), test_support::describe(xw, yw, alpha, xso, yso, xre, yre, lw).toValue()});
  }
  void expectTip(Handle line, double x, double y) {
    const auto xs = nums(line, "xdata"), ys = nums(line, "ydata");
    ASSERT_EQ(xs.size(), 2u);
    EXPECT_NEAR(xs[0], 0, 1e-12);
    EXPECT_NEAR(ys[0], 0, 1e-12);
    EXPECT_NEAR(xs[1], x, 1e-3);
    EXPECT_NEAR(ys[1], y, 1e-3);
  }

  Handle main = platform::kNoHandle;
};

// Default room of zone 20: room (3,-7)-(17,7), source (3.5, 0), receptor (16.5, 0), Lw 100.
// Images: wall 1 (3.5,-14), wall 2 (30.5,0), wall 3 (3.5,14), wall 4 (2.5,0).
TEST_F(PolarTest, DefaultRoomShowsDirectSoundAndFourReflections) {
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  EXPECT_EQ(g().currentFigure(), *fig);
  EXPECT_EQ(text(*fig, "name"), "VELMORA - Polar diagram");
  EXPECT_EQ(nums(*fig, "position"), (std::vector<double>{430, 302, 420, 420}));
  EXPECT_EQ(text(*fig, "resize"), "off");
  EXPECT_EQ(nums(*fig, "paperposition"), (std::vector<double>{0, 0, 302.4, 302.4}));

  const double lso = levelAt(100, 13);  // 66.73
  const double side = levelAt(100, std::sqrt(13 * 13 + 14 * 14));
  const double back = levelAt(100, 14);
  const double lmin = 58;  // weakest 63.4 -> 10 * 6 - 2
  const double range = lso - lmin;
  EXPECT_NEAR(lso, 66.729, 1e-3);
  const auto ud = g().get(*fig, "userdata").numbers();
  ASSERT_EQ(ud.size(), 2u);
  EXPECT_DOUBLE_EQ(ud[0], lmin);
  EXPECT_NEAR(ud[1], lso, 1e-9);

  const Handle ax = one(*fig, "acoupolaraxes1");
  EXPECT_NEAR(nums(ax, "xlim")[1], range * 1.02, 1e-9);
  EXPECT_NEAR(nums(ax, "ylim")[0], -range * 1.02, 1e-9);
  EXPECT_EQ(text(ax, "visible"), "off");
  const auto grid = g().findobj(ax, "polaraxes");
  EXPECT_EQ(grid.size(), 12u + 5u + 8u);
  const std::vector<std::string> circleLabels = {" 59.7", " 61.5", " 63.2", " 65"};
  for (const auto& label : circleLabels) {
    const auto found = g().findIf(ax, [&](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::Text && o.tag() == "polaraxes" && o.text("string") == label;
    });
    EXPECT_EQ(found.size(), 2u) << label;
  }

  const Handle direct = one(ax, "acoupolardirectradius");
  expectTip(direct, -range, 0);
  EXPECT_EQ(text(direct, "linestyle"), "-");
  EXPECT_EQ(nums(one(ax, "acoupolardirect"), "xdata"), (std::vector<double>{-range}));

  // One arrow per wall, linked to its wall of the miniature, with its values in its menu.
  const LimitsRecord& rec = limits(*fig);
  ASSERT_EQ(rec.hra.size(), 4u);
  const Handle mini = one(*fig, "acoupolaraxes2");
  struct Row {
    double level, tipx, tipy, angle;
    std::vector<std::string> labels;
  };
  const double r1 = std::sqrt(365.0);
  const std::vector<Row> rows = {
      {side,
       (side - lmin) * -13 / r1,
       (side - lmin) * -14 / r1,
       degrees(-13, 0, -13, -14),
       {"Lp=63.4dB", "angle=47.1°", "delay=18ms", "wall 1", "absorption=0%", "print Lp", "print angle",
        "print delay"}},
      {back,
       back - lmin,
       0,
       180,
       {"Lp=66.1dB", "angle=180°", "delay=3ms", "wall 2", "absorption=0%", "print Lp", "print angle",
        "print delay"}},
      {side,
       (side - lmin) * -13 / r1,
       (side - lmin) * 14 / r1,
       47.1,
       {"Lp=63.4dB", "angle=47.1°", "delay=18ms", "wall 3", "absorption=0%", "print Lp", "print angle",
        "print delay"}},
      {back,
       -(back - lmin),
       0,
       0,
       {"Lp=66.1dB", "angle=0°", "delay=3ms", "wall 4", "absorption=0%", "print Lp", "print angle",
        "print delay"}},
  };
  const auto miniWalls = g().findIf(mini, [](const platform::GraphicsObject& o) {
    return o.type() == ObjectType::Line && o.tag().empty() && o.numbers("xdata").size() == 2;
  });
  ASSERT_EQ(miniWalls.size(), 4u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i + 1);
    const Handle arrow = rec.hra[i];
    EXPECT_NEAR(rec.Lwall[i], rows[i].level, 1e-9);
    expectTip(arrow, rows[i].tipx, rows[i].tipy);
    EXPECT_EQ(g().at(arrow).number("linewidth"), 2);
    EXPECT_EQ(menuLabels(arrow), rows[i].labels);
    EXPECT_EQ(text(arrow, "buttondownfcn"), "velmoracopy('polardiagshowwall')");
    // The miniature lists its walls newest first.
    EXPECT_EQ(g().get(arrow, "userdata").object(), miniWalls[3 - i]);
  }
  const auto items = menuItems(rec.hra[0]);
  EXPECT_EQ(text(items[3], "separator"), "on");
  EXPECT_EQ(text(items[5], "separator"), "on");
  EXPECT_EQ(text(items[6], "callback"), "velmoracopy('polardiagprint')");

  const double pt = 2 * std::pow(10.0, side / 10) + 2 * std::pow(10.0, back / 10);
  const double lt = 10 * std::log10(pt), lta = 10 * std::log10(pt + std::pow(10.0, lso / 10));
  EXPECT_NEAR(lt, 70.96, 0.01);
  EXPECT_NEAR(lta, 72.35, 0.01);
  EXPECT_EQ(text(textWith(ax, "L_p"), "string"), "L_p = 72.4 dB    L_p^d = 66.7 dB    L_p^r = 71 dB");
  EXPECT_EQ(text(textWith(ax, "4 refl."), "string"),
            "4 refl.  S (3.5,0)  R (16.5,0) \\Delta_{R}=0   [66.7 58]");

  // Room miniature: bounding box 14 x 14 around (10, 0), widened by 3 %.
  EXPECT_NEAR(nums(mini, "xlim")[0], 10 - 7.21, 1e-9);
  EXPECT_NEAR(nums(mini, "ylim")[1], 7.21, 1e-9);
  EXPECT_EQ(nums(one(mini, "acoupolarsource"), "xdata"), (std::vector<double>{3.5}));
  EXPECT_EQ(text(limitsItem(*fig), "label"), "change dB limits");
  EXPECT_EQ(text(limitsItem(*fig), "callback"), "velmoracopy('changedblimits')");

  const auto buttons =
      g().findIf(*fig, [](const platform::GraphicsObject& o) { return o.type() == ObjectType::UiControl; });
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(text(buttons[0], "string"), "print");
  EXPECT_EQ(text(buttons[0], "callback"), "velmoracopy('printpolar')");
  EXPECT_EQ(nums(buttons[0], "position"), (std::vector<double>{1, 210, 40, 20}));

  // Each click opens a window of its own, and the verb works as the button does.
  velmoracopy(rt, ops, {Value("PolarDiagram")});
  EXPECT_EQ(polarWindows().size(), 2u);
}

// Rooms whose reflections arrive in part: the receptor and the set of walls heard, by hand.
TEST_F(PolarTest, ReflectionsHeardInOtherRooms) {
  const std::vector<double> lx = {0, 10, 10, 5, 5, 0}, ly = {0, 0, 10, 10, 5, 5};
  const std::vector<double> lalpha = {0, 10, 20, 30, 40, 100};
  using Image = test_support::HeardImage;
  using Row = test_support::HandRoom;
  const std::vector<Row> rows = {
      // Walls 3 (hidden from the source), 4 (facing away), 5 (receptor outside its zone) and 6
      // (absorbing) are silent.
      {"L room, open view", lx, ly, lalpha, 2, 2, 8, 3, 95, false, {{1, 2, -2, 1}, {2, 18, 2, 0.9}}},
      // The inner corner blocks the direct sound; both reflections still pass beside it.
      {"L room, behind the corner", lx, ly, lalpha, 2, 2, 7, 9, 95, true, {{1, 2, -2, 1}, {2, 18, 2, 0.9}}},
      // The way from the floor reflection point to the receptor crosses the inner walls.
      {"L room, reflection blocked", lx, ly, lalpha, 2, 2, 6, 9, 95, true, {{2, 18, 2, 0.9}}},
      {"absorbing walls",
       {3, 17, 17, 3},
       {-7, -7, 7, 7},
       {100, 100, 100, 100},
       3.5,
       0,
       16.5,
       0,
       100,
       false,
       {}},
      {"half absorbing",
       {3, 17, 17, 3},
       {-7, -7, 7, 7},
       {50, 100, 100, 100},
       3.5,
       0,
       16.5,
       0,
       100,
       false,
       {{1, 3.5, -14, 0.5}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    setRoom(row.xw, row.yw, row.alpha, row.xso, row.yso, row.xre, row.yre, row.lw);
    const auto fig = clickPolar();
    ASSERT_TRUE(fig);
    const Handle ax = one(*fig, "acoupolaraxes1");
    const LimitsRecord& rec = limits(*fig);
    const double rso = std::hypot(row.xre - row.xso, row.yre - row.yso);
    const double lso = levelAt(row.lw, rso);
    EXPECT_NEAR(rec.Lso, lso, 1e-9);

    std::vector<double> expected(row.xw.size(), NAN);
    double pt = 0, weakest = INFINITY;
    for (const Image& im : row.heard) {
      const double l = levelAt(row.lw, std::hypot(row.xre - im.xi, row.yre - im.yi), im.factor);
      expected[im.wall - 1] = l;
      pt += std::pow(10.0, l / 10);
      weakest = std::min(weakest, l);
    }
    const double lmin = row.heard.empty() ? 0 : std::max(0.0, 10 * std::floor(weakest / 10) - 2);
    EXPECT_DOUBLE_EQ(rec.Lmin, lmin);
    EXPECT_NEAR(rec.Lmax, lso, 1e-9);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i + 1);
      if (std::isnan(expected[i])) {
        EXPECT_TRUE(std::isnan(rec.Lwall[i]));
        EXPECT_EQ(rec.hra[i], platform::kNoHandle);
      } else {
        EXPECT_NEAR(rec.Lwall[i], expected[i], 1e-9);
        ASSERT_NE(rec.hra[i], platform::kNoHandle);
        const auto& im = *std::find_if(row.heard.begin(), row.heard.end(),
                                       [&](const Image& h) { return h.wall == int(i) + 1; });
        const double d = std::hypot(im.xi - row.xre, im.yi - row.yre);
        expectTip(rec.hra[i], (expected[i] - lmin) * (im.xi - row.xre) / d,
                  (expected[i] - lmin) * (im.yi - row.yre) / d);
      }
    }
    const Handle direct = one(ax, "acoupolardirectradius");
    EXPECT_EQ(text(direct, "linestyle"), row.blocked ? "--" : "-");
    expectTip(direct, (lso - lmin) * (row.xso - row.xre) / rso, (lso - lmin) * (row.yso - row.yre) / rso);

    const double lt = row.heard.empty() ? 0 : 10 * std::log10(pt);
    const double lta =
        10 * std::log10((row.heard.empty() ? 1 : pt) + (row.blocked ? 0 : std::pow(10.0, lso / 10)));
    const std::string title = text(textWith(ax, "L_p"), "string");
    EXPECT_EQ(title, "L_p = " + shown(lta, 0.1) + " dB    L_p^d = " + shown(lso, 0.1) +
                         " dB    L_p^r = " + shown(lt, 0.1) + " dB");
    const std::string info = std::to_string(row.heard.size()) + " refl.";
    EXPECT_EQ(text(textWith(ax, info), "string").substr(text(textWith(ax, info), "string").find('[')),
              "[" + shown(lso, 0.1) + " " + shown(lmin, 0.1) + "]");
  }
}

TEST_F(PolarTest, ReceptorHeightLengthensEveryPath) {
  document::CaseRecord record = document::readCase(rt, main);
  record.Hr = 5;
  document::storeCase(rt, main, record);
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const LimitsRecord& rec = limits(*fig);
  EXPECT_NEAR(rec.Lso, levelAt(100, std::sqrt(169.0 + 25)), 1e-9);
  EXPECT_NEAR(rec.Lwall[1], levelAt(100, std::sqrt(196.0 + 25)), 1e-9);
  const Handle ax = one(*fig, "acoupolaraxes1");
  EXPECT_NE(text(textWith(ax, "4 refl."), "string").find("\\Delta_{R}=5   ["), std::string::npos);
  // The delay of the side reflection: (sqrt(365 + 25) - sqrt(169 + 25)) / 340 s = 17 ms.
  EXPECT_EQ(menuLabels(rec.hra[0])[2], "delay=17ms");
}

// A source so weak that every level is negative still gets a diagram of 1 dB: no arrow, a direct
// radius pointing away, and limits that give the axes an extent.
TEST_F(PolarTest, VeryWeakSourceKeepsARangeOfOneDecibel) {
  document::CaseRecord record = document::readCase(rt, main);
  record.Lw = 10;
  document::storeCase(rt, main, record);
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const LimitsRecord& rec = limits(*fig);
  EXPECT_LT(rec.Lso, 0);
  EXPECT_EQ(rec.Lmin, 0);
  EXPECT_EQ(rec.Lmax, 1);
  EXPECT_TRUE(std::all_of(rec.hra.begin(), rec.hra.end(), [](Handle h) { return h == platform::kNoHandle; }));
  EXPECT_NEAR(nums(one(*fig, "acoupolaraxes1"), "xlim")[1], 1.02, 1e-12);
}

TEST_F(PolarTest, ReceptorTooCloseOutsideOrHiddenOpensNoWindow) {
  const Handle receptor = document::objectInWindow(rt, main, "acoureceptor");
  struct Row {
    double x, y;
    const char* message;
  };
  const std::vector<Row> rows = {
      {4.2, 0.5, "receptor must be at least one meter far from source ..."},
      {18, 0, "receptor is outside room ..."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    g().setRow(receptor, "xdata", {row.x});
    g().setRow(receptor, "ydata", {row.y});
    ui.takeConsole();
    const int beeps = ui.beeps();
    EXPECT_FALSE(clickPolar());
    EXPECT_EQ(ui.takeConsole(), std::vector<std::string>{row.message});
    EXPECT_EQ(ui.beeps(), beeps + 1);
  }
  // A receptor on a wall is in the room.
  g().setRow(receptor, "xdata", {17});
  g().setRow(receptor, "ydata", {0});
  EXPECT_TRUE(clickPolar());

  // Hiding the receptor disables the button; a click on it then does nothing.
  g().setRow(receptor, "xdata", {16.5});
  const auto objectsMenu =
      g().get(document::objectInWindow(rt, main, "acouobjects"), "uicontextmenu").object();
  for (Handle item : document::menuItemsInOrder(g(), objectsMenu)) {
    if (text(item, "label") == "receptor") rt.click(item);
  }
  EXPECT_FALSE(g().at(receptor).visible());
  EXPECT_EQ(text(document::objectInWindow(rt, main, "acoucreatepolar"), "enable"), "off");
  EXPECT_FALSE(clickPolar());
}

TEST_F(PolarTest, DbLimitsDialog) {
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const Handle ax = one(*fig, "acoupolaraxes1");
  const Handle item = limitsItem(*fig);
  const double lso = limits(*fig).Lso;
  const double side = limits(*fig).Lwall[0], back = limits(*fig).Lwall[1];
  const std::string before = text(textWith(ax, "4 refl."), "string");

  struct Row {
    const char* name;
    std::optional<std::vector<std::string>> answer;
    bool changes;
    double lower, upper;  // the limits afterwards
    bool sidesShown, directShown;
  };
  const std::vector<Row> rows = {
      {"cancel", std::nullopt, false, 58, lso, true, true},
      {"not a number", std::vector<std::string>{"abc", "80"}, false, 58, lso, true, true},
      {"two numbers in a field", std::vector<std::string>{"40 50", "80"}, false, 58, lso, true, true},
      {"NaN", std::vector<std::string>{"NaN", "80"}, false, 58, lso, true, true},
      {"range under 1 dB", std::vector<std::string>{"40", "30"}, false, 58, lso, true, true},
      {"range of 1 dB, maximum raised to the direct level", std::vector<std::string>{"40", "41"}, true, 40,
       lso, true, true},
      {"maximum cut to Lw, minimum to 0", std::vector<std::string>{"-5", "200"}, true, 0, 100, true, true},
      {"weak reflections hidden", std::vector<std::string>{"64", "90"}, true, 64, 90, false, true},
      {"shown again", std::vector<std::string>{"50", "90"}, true, 50, 90, true, true},
      // Below the lower limit the direct radius turns round but stays shown, with its end marker.
      {"direct sound below the limit", std::vector<std::string>{"67", "90"}, true, 67, 90, false, true},
      {"80 and 100", std::vector<std::string>{"80", "100"}, true, 80, 100, false, true},
      {"back to 67", std::vector<std::string>{"67", "90"}, true, 67, 90, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ui.push(ScriptedAnswer::inputs(row.answer));
    const auto shownBefore = ui.shown().size();
    rt.click(item);
    ASSERT_EQ(ui.shown().size(), shownBefore + 1);
    EXPECT_EQ(ui.shown().back().title, "Set dB limits");
    const LimitsRecord& rec = limits(*fig);
    EXPECT_NEAR(rec.Lmin, row.lower, 1e-9);
    EXPECT_NEAR(rec.Lmax, row.upper, 1e-9);
    const double range = row.upper - row.lower;
    EXPECT_NEAR(nums(ax, "xlim")[1], range * 1.02, 1e-9);
    EXPECT_EQ(g().findobj(ax, "polaraxes").size(), 25u);
    const std::string info = text(textWith(ax, "4 refl."), "string");
    if (!row.changes) {
      EXPECT_EQ(info, before);
    } else {
      EXPECT_EQ(info.substr(info.find('[')), "[" + shown(row.upper, 0.1) + " " + shown(row.lower, 0.1) + "]");
    }
    const Handle direct = one(ax, "acoupolardirectradius");
    expectTip(direct, -(lso - row.lower), 0);
    EXPECT_EQ(g().at(direct).visible(), row.directShown);
    EXPECT_EQ(g().at(one(ax, "acoupolardirect")).visible(), row.directShown);
    EXPECT_EQ(g().at(rec.hra[0]).visible(), row.sidesShown);
    EXPECT_EQ(g().at(rec.hra[1]).visible(), back > row.lower);
    expectTip(rec.hra[1], back - row.lower, 0);
    EXPECT_GT(side, 0);
  }
  // The dialog offers the current limits.
  ui.push(ScriptedAnswer::inputs(std::nullopt));
  rt.click(item);
  // Out of its menu (no record) the verb does nothing.
  velmoracopy(rt, ops, {Value("changedblimits")});
  EXPECT_NEAR(limits(*fig).Lmin, 67, 1e-9);
}

TEST_F(PolarTest, PrintedValuesAndTheirDrag) {
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const Handle ax = one(*fig, "acoupolaraxes1");
  const LimitsRecord rec = limits(*fig);
  const double back = rec.Lwall[1] - 58;
  const double side = rec.Lwall[0] - 58, r1 = std::sqrt(365.0);
  struct Row {
    int wall;
    const char* item;
    std::string text;
    double x, y;
    const char* hal;
    const char* val;
  };
  const std::vector<Row> rows = {
      {2, "print Lp", "66.1 dB", back, 0, "left", "bottom"},
      {1, "print angle", "47.1°", side * -13 / r1 / 2, side * -14 / r1 / 2, "right", "top"},
      {1, "print delay", "18ms", side * -13 / r1 / 2, side * -14 / r1 / 2, "right", "top"},
      {3, "print Lp", "63.4 dB", side * -13 / r1, side * 14 / r1, "right", "bottom"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    for (Handle item : menuItems(rec.hra[row.wall - 1])) {
      if (text(item, "label") == row.item) rt.click(item);
    }
    const Handle label = g().findobj(ax, "polarlabel").front();
    EXPECT_EQ(text(label, "string"), row.text);
    EXPECT_NEAR(nums(label, "position")[0], row.x, 1e-9);
    EXPECT_NEAR(nums(label, "position")[1], row.y, 1e-9);
    EXPECT_EQ(text(label, "horizontalalignment"), row.hal);
    EXPECT_EQ(text(label, "verticalalignment"), row.val);
    EXPECT_EQ(text(label, "fontname"), "Times New Roman");
  }
  EXPECT_EQ(g().findobj(ax, "polarlabel").size(), rows.size());

  // Drag the newest label: press, two motions, release.
  const Handle label = g().findobj(ax, "polarlabel").front();
  rt.press(label, 1, 1);
  EXPECT_EQ(text(*fig, "windowbuttonmotionfcn"), "velmoracopy('movepolarlabelmove')");
  rt.motion(*fig, 2, -3);
  EXPECT_EQ(text(*fig, "windowbuttonupfcn"), "velmoracopy('movepolarlabelend')");
  rt.motion(*fig, 2.5, -3.5);
  EXPECT_EQ(nums(label, "position")[0], 2.5);
  EXPECT_EQ(nums(label, "position")[1], -3.5);
  rt.release(*fig, 2.5, -3.5);
  EXPECT_EQ(text(*fig, "windowbuttonmotionfcn"), "");
  EXPECT_EQ(text(*fig, "windowbuttonupfcn"), "");
  rt.motion(*fig, 5, 5);
  EXPECT_EQ(nums(label, "position")[0], 2.5);

  // A click without motion ends the drag at once.
  rt.press(label, 2.5, -3.5);
  rt.release(*fig, 2.5, -3.5);
  EXPECT_EQ(text(*fig, "windowbuttonmotionfcn"), "");
  rt.motion(*fig, 4, 4);
  EXPECT_EQ(nums(label, "position")[0], 2.5);

  // The motion verb moves nothing when the current object is not a label.
  rt.press(rec.hra[1], 1, 0, "alt");
  velmoracopy(rt, ops, {Value("movepolarlabelmove")});
  EXPECT_EQ(nums(label, "position")[0], 2.5);
  EXPECT_EQ(text(*fig, "windowbuttonupfcn"), "");

  // After new limits a printed level still sits at its arrow tip.
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"40", "90"}));
  rt.click(limitsItem(*fig));
  for (Handle item : menuItems(rec.hra[1])) {
    if (text(item, "label") == "print Lp") rt.click(item);
  }
  EXPECT_NEAR(nums(g().findobj(ax, "polarlabel").front(), "position")[0], rec.Lwall[1] - 40, 1e-9);

  // Out of a menu the verb prints nothing.
  velmoracopy(rt, ops, {Value("polardiagprint")});
  EXPECT_EQ(g().findobj(ax, "polarlabel").size(), rows.size() + 1);
}

TEST_F(PolarTest, LeftClickOnArrowFlashesItsWall) {
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const LimitsRecord rec = limits(*fig);
  const Handle wall = g().get(rec.hra[2], "userdata").object();
  std::optional<platform::Rgb> during;
  double widthDuring = 0;
  ui.onPause = [&] {
    during = g().at(wall).color("color");
    widthDuring = g().at(wall).number("linewidth");
  };
  rt.press(rec.hra[2], 1, 1, "normal");
  ASSERT_EQ(ui.pauses, std::vector<double>{1});
  EXPECT_EQ(during, (platform::Rgb{1, 0, 0}));
  EXPECT_EQ(widthDuring, 1.5);
  EXPECT_EQ(g().at(wall).color("color"), (platform::Rgb{0, 0, 0}));
  EXPECT_EQ(g().at(wall).number("linewidth"), 0.5);

  // The right click that opens the menu flashes nothing.
  rt.press(rec.hra[2], 1, 1, "alt");
  EXPECT_EQ(ui.pauses.size(), 1u);

  // The window closed during the flash: nothing is left to restore, and nothing fails.
  ui.onPause = [&] { g().remove(*fig); };
  ui.takeConsole();
  rt.press(rec.hra[0], 1, 1, "normal");
  EXPECT_FALSE(g().exists(*fig));
  EXPECT_TRUE(ui.takeConsole().empty());
}

// Above order 1: one thinner, lighter radius per path of two walls after the first order's, in the
// limits record (the dB limits move them too); a click flashes each wall of the path in turn, first
// wall first; the menu names the path and its order.
TEST_F(PolarTest, HigherOrderRadiiNameTheirPathAndFlashItsWallsInTurn) {
  velmoracopy(rt, ops, {Value("reflectionorder"), Value("2")});
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const LimitsRecord rec = limits(*fig);
  const std::size_t walls = 4;
  ASSERT_GT(rec.hra.size(), walls);
  ASSERT_EQ(rec.Lwall.size(), rec.hra.size());
  ASSERT_EQ(rec.imag1.size(), rec.hra.size());
  const Handle radius = rec.hra[walls];
  EXPECT_EQ(nums(radius, "linewidth"), std::vector<double>{1});
  EXPECT_EQ(nums(rec.hra[0], "linewidth"), std::vector<double>{2});
  const auto labels = menuLabels(radius);
  ASSERT_EQ(labels.size(), 8u);
  EXPECT_EQ(labels[4], "order 2");
  EXPECT_EQ(labels[3].rfind("walls ", 0), 0u) << labels[3];

  const Value path = g().get(radius, "userdata");
  ASSERT_TRUE(path.isList());
  ASSERT_EQ(path.list().items.size(), 2u);
  std::vector<Handle> flashed;
  ui.onPause = [&] {
    for (const Value& w : path.list().items)
      if (g().at(w.object()).color("color") == platform::Rgb{1, 0, 0}) flashed.push_back(w.object());
  };
  rt.press(radius, 1, 1, "normal");
  EXPECT_EQ(ui.pauses, (std::vector<double>{0.5, 0.5}));
  EXPECT_EQ(flashed, (std::vector<Handle>{path.list().items[0].object(), path.list().items[1].object()}));
}

class FakePrinter : public platform::PrintService {
 public:
  explicit FakePrinter(platform::Runtime& rt) : rt_(rt) {}
  void print(Handle figure, const std::string& device, const std::string& path) override {
    auto& g = rt_.graphics();
    const Handle ax = g.findobj(figure, "acoupolaraxes1").front();
    const Handle mini = g.findobj(figure, "acoupolaraxes2").front();
    jobs.push_back({device, path, g.at(g.findobj(ax, "acoupolardirectradius").front()).color("color").value(),
                    g.at(g.findobj(ax, "acoupolardirect").front()).text("marker"),
                    g.at(g.findobj(mini, "acoupolarsource").front()).text("marker")});
  }
  struct Job {
    std::string device, path;
    platform::Rgb direct;
    std::string directMarker, sourceMarker;
  };
  std::vector<Job> jobs;

 private:
  platform::Runtime& rt_;
};

TEST_F(PolarTest, PrintButtonWritesTheWindow) {
  FakePrinter printer(rt);
  rt.setPrintService(&printer);
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const auto button =
      g().findIf(*fig, [](const platform::GraphicsObject& o) { return o.type() == ObjectType::UiControl; });
  struct Row {
    std::optional<std::string> file;
    std::string device, path, directMarker, sourceMarker;
  };
  const std::vector<Row> rows = {
      {"/out/polar", "-djpeg90", "/out/polar.jpg", "o", "."},
      {"/out/polar.HPG", "-dhpgl", "/out/polar.HPG", "square", "square"},
      {"/out/polar.bmp", "-dbitmap", "/out/polar.bmp", "o", "."},
      {std::nullopt, "", "", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    printer.jobs.clear();
    ui.push(ScriptedAnswer::chosenFile(row.file));
    rt.click(button.front());
    EXPECT_EQ(ui.shown().back().title, "Print current polar diagram");
    if (!row.file) {
      EXPECT_TRUE(printer.jobs.empty());
      continue;
    }
    ASSERT_EQ(printer.jobs.size(), 1u);
    EXPECT_EQ(printer.jobs[0].device, row.device);
    EXPECT_EQ(printer.jobs[0].path, row.path);
    EXPECT_EQ(printer.jobs[0].direct, (platform::Rgb{0, 0, 0}));
    EXPECT_EQ(printer.jobs[0].directMarker, row.directMarker);
    EXPECT_EQ(printer.jobs[0].sourceMarker, row.sourceMarker);
    const Handle ax = one(*fig, "acoupolaraxes1");
    EXPECT_EQ(g().at(one(ax, "acoupolardirectradius")).color("color"), (platform::Rgb{1, 0, 0}));
    EXPECT_EQ(text(one(ax, "acoupolardirect"), "marker"), "o");
  }
}

TEST_F(PolarTest, RefreshRedrawsAnExistingWindow) {
  const auto fig = clickPolar();
  ASSERT_TRUE(fig);
  const Handle receptor = document::objectInWindow(rt, main, "acoureceptor");
  g().setRow(receptor, "xdata", {12});
  ops.call(rt, "polardiagram",
           {Value::handle(*fig), Value::handle(main), Value::row({40, 80}), Value::row({10, 12}),
            Value::row({0, 0})});
  EXPECT_EQ(
      g().findIf(*fig, [](const platform::GraphicsObject& o) { return o.type() == ObjectType::UiControl; })
          .size(),
      0u);
  const Handle ax = one(*fig, "acoupolaraxes1");
  EXPECT_NEAR(nums(ax, "xlim")[1], 40 * 1.02, 1e-9);
  const double lso = levelAt(100, 8.5);
  expectTip(one(ax, "acoupolardirectradius"), -(lso - 40), 0);
  EXPECT_TRUE(g().findobj(ax, "acoupolardirect").empty());
  EXPECT_NE(text(textWith(ax, "4 refl."), "string").find("R (12,0) \\Delta_{R}=0   [80 40]"),
            std::string::npos);
  // Automatic limits stay in the window for the animation.
  const auto ud = g().get(*fig, "userdata").numbers();
  EXPECT_DOUBLE_EQ(ud[0], 58);
  EXPECT_NEAR(ud[1], lso, 1e-9);
  const Handle mini = one(*fig, "acoupolaraxes2");
  const auto path = g().findIf(mini, [](const platform::GraphicsObject& o) {
    return o.type() == ObjectType::Line && o.text("linestyle") == ":";
  });
  ASSERT_EQ(path.size(), 1u);
  EXPECT_EQ(nums(path[0], "xdata"), (std::vector<double>{10, 12}));
  // No menus in this mode.
  EXPECT_TRUE(g().get(*fig, "uicontextmenu").isEmptyMatrix());

  // Not a polar window, or a window gone: nothing happens.
  const auto children = g().at(main).children().size();
  ops.call(rt, "polardiagram", {Value::handle(main), Value::handle(main), Value(platform::Matrix{})});
  ops.call(rt, "polardiagram", {Value::handle(99999), Value::handle(main)});
  EXPECT_EQ(g().at(main).children().size(), children);
}

}  // namespace
}  // namespace velmora::polar
