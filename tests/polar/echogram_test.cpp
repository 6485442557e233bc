// The echogram window driven from a real main window: arrivals, ITDG, D50 and C80 against image
// positions worked out by hand, the guards, the bar click, following the receptor, printing, CSV
// export, and the echo risk overlay of the audience map.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>

#include "polar/echogram.h"
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

class PausingUi : public platform::ScriptedUi {
 public:
  std::function<void()> onPause;
  void pause(double) override {
    ++pauses;
    if (onPause) onPause();
  }
  int pauses = 0;
};

class EchogramTest : public test_support::MainWindowFixture<PausingUi> {
 protected:
  EchogramTest() { fig = openMainWindow(); }

  platform::Graphics& g() { return rt.graphics(); }
  // Clicks the "echogram" item of the utils menu; the echogram window if one is open.
  std::optional<Handle> clickEchogram() {
    const auto is = [](ObjectType type, const char* prop, const char* value) {
      return [=](const platform::GraphicsObject& o) { return o.type() == type && o.text(prop) == value; };
    };
    rt.click(contextItem(g().findIf(fig, is(ObjectType::UiControl, "string", "utils")).front(), "echogram"));
    const auto windows = g().findIf(platform::kRoot, is(ObjectType::Figure, "tag", kEchogramTag));
    return windows.empty() ? std::nullopt : std::optional(windows.front());
  }
  const EchogramRecord& record(Handle w) { return *g().at(w).userdataAs<EchogramRecord>(); }
  Handle one(Handle parent, const char* tag) { return g().findobj(parent, tag).at(0); }
  void setRoom(const std::vector<double>& xw, const std::vector<double>& yw, const std::vector<double>& alpha,
               double xso, double yso, double xre, double yre, double lw) {
    document::CaseDescription d = test_support::describe(xw, yw, alpha, xso, yso, xre, yre, lw);
    const auto [x0, x1] = std::minmax_element(xw.begin(), xw.end());
    const auto [y0, y1] = std::minmax_element(yw.begin(), yw.end());
    d.xaud = {*x0 + 0.5, *x1 - 0.5, *x1 - 0.5, *x0 + 0.5};
    d.yaud = {*y0 + 0.5, *y0 + 0.5, *y1 - 0.5, *y1 - 0.5};
    velmoracopy(rt, ops, {Value("update"), d.toValue()});
  }
};

TEST_F(EchogramTest, ArrivalsAndFiguresMatchTheImageSources) {
  const std::vector<double> lx = {0, 10, 10, 5, 5, 0}, ly = {0, 0, 10, 10, 5, 5};
  const std::vector<double> lalpha = {0, 10, 20, 30, 40, 100};
  const std::vector<double> box = {3, 17, 17, 3}, boy = {-7, -7, 7, 7};
  using Image = test_support::HeardImage;
  using Row = test_support::HandRoom;
  const std::vector<Row> rows = {
      {"default room",
       box,
       boy,
       {0, 0, 0, 0},
       3.5,
       0,
       16.5,
       0,
       100,
       false,
       {{1, 3.5, -14, 1}, {2, 30.5, 0, 1}, {3, 3.5, 14, 1}, {4, 2.5, 0, 1}}},
      {"L room", lx, ly, lalpha, 2, 2, 8, 3, 95, false, {{1, 2, -2, 1}, {2, 18, 2, 0.9}}},
      {"L room, direct sound blocked",
       lx,
       ly,
       lalpha,
       2,
       2,
       7,
       9,
       95,
       true,
       {{1, 2, -2, 1}, {2, 18, 2, 0.9}}},
      {"walls at 50 % and 100 %",
       box,
       boy,
       {50, 100, 100, 100},
       3.5,
       0,
       16.5,
       0,
       100,
       false,
       {{1, 3.5, -14, 0.5}}},
      {"no reflection arrives", box, boy, {100, 100, 100, 100}, 3.5, 0, 16.5, 0, 100, false, {}},
      {"long hall, late far wall",
       {0, 40, 40, 0},
       {0, 0, 6, 6},
       {0, 0, 0, 0},
       1,
       3,
       25,
       3,
       100,
       false,
       {{1, 1, -3, 1}, {2, 79, 3, 1}, {3, 1, 9, 1}, {4, -1, 3, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    setRoom(row.xw, row.yw, row.alpha, row.xso, row.yso, row.xre, row.yre, row.lw);
    const auto w = clickEchogram();
    ASSERT_TRUE(w);
    const EchogramFigures& f = record(*w).figures;

    // By hand: delays from the path lengths at 340 m/s, levels from spherical spreading, and the
    // figures from the energies; a blocked direct sound counts in neither ratio.
    const double rso = std::hypot(row.xre - row.xso, row.yre - row.yso);
    const double lso = levelAt(row.lw, rso);
    double all = row.blocked ? 0 : std::pow(10.0, lso / 10), early50 = all, early80 = all, late = 0;
    double itdg = INFINITY;
    ASSERT_EQ(f.arrivals.size(), row.heard.size() + 1);
    EXPECT_TRUE(f.arrivals[0].direct);
    EXPECT_EQ(f.arrivals[0].blocked, row.blocked);
    EXPECT_NEAR(f.arrivals[0].levelDb, lso, 1e-9);
    for (const Image& im : row.heard) {
      const double ri = std::hypot(row.xre - im.xi, row.yre - im.yi);
      const double delay = (ri - rso) / 340 * 1000, level = levelAt(row.lw, ri, im.factor);
      const double sx = row.xso - row.xre, sy = row.yso - row.yre, ix = im.xi - row.xre, iy = im.yi - row.yre;
      const auto a = std::find_if(f.arrivals.begin(), f.arrivals.end(),
                                  [&](const Arrival& x) { return x.wall == im.wall; });
      ASSERT_NE(a, f.arrivals.end()) << im.wall;
      EXPECT_NEAR(a->delayMs, delay, 1e-9);
      EXPECT_NEAR(a->levelDb, level, 1e-9);
      EXPECT_NEAR(a->angleDeg, std::acos((sx * ix + sy * iy) / rso / ri) / std::numbers::pi * 180, 1e-9);
      const double p = std::pow(10.0, level / 10);
      all += p;
      early50 += delay <= 50 ? p : 0;
      (delay <= 80 ? early80 : late) += p;
      itdg = std::min(itdg, delay);
    }
    EXPECT_TRUE(std::is_sorted(f.arrivals.begin(), f.arrivals.end(),
                               [](const Arrival& a, const Arrival& b) { return a.delayMs < b.delayMs; }));
    EXPECT_EQ(f.itdgMs.value_or(INFINITY), itdg);
    EXPECT_NEAR(f.d50.value(), 100 * early50 / all, 1e-9);
    if (late == 0) {
      EXPECT_EQ(f.c80.value(), INFINITY);
    } else {
      EXPECT_NEAR(f.c80.value(), 10 * std::log10(early80 / late), 1e-9);
    }
    const std::string summary =
        "ITDG = " + (row.heard.empty() ? "none" : shown(itdg, 0.1) + " ms") +
        "    D50 = " + shown(100 * early50 / all, 0.1) +
        " %    C80 = " + (late == 0 ? "no late energy" : shown(10 * std::log10(early80 / late), 0.1) + " dB");
    EXPECT_EQ(text(one(*w, "acouechogramsummary"), "string"), "first-order arrivals only:  " + summary);
    EXPECT_EQ(g().get(*w, "userdata").record().at("summary").text(), summary);  // what scripts read

    // One bar per arrival at its delay, up to its level; the direct sound red, dashed when blocked.
    const auto bars = g().findobj(*w, "acouechogrambar");
    ASSERT_EQ(bars.size(), f.arrivals.size());
    for (Handle bar : bars) {
      const auto& a = f.arrivals.at(static_cast<std::size_t>(g().get(bar, "userdata").scalar()) - 1);
      EXPECT_EQ(nums(bar, "xdata"), (std::vector<double>{a.delayMs, a.delayMs}));
      EXPECT_EQ(nums(bar, "ydata").back(), a.levelDb);
      EXPECT_EQ(g().at(bar).color("color"), a.direct ? (platform::Rgb{1, 0, 0}) : (platform::Rgb{0, 0, 1}));
      EXPECT_EQ(text(bar, "linestyle"), a.blocked ? "--" : "-");
    }
    g().remove(*w);
  }
}

TEST_F(EchogramTest, NothingReachingTheReceptorGivesNoFigureAndSaysWhy) {
  // The direct sound blocked by the L's corner, every wall absorbing everything.
  setRoom({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, {100, 100, 100, 100, 100, 100}, 2, 2, 7, 9, 95);
  const auto w = clickEchogram();
  ASSERT_TRUE(w);
  const EchogramFigures& f = record(*w).figures;
  ASSERT_EQ(f.arrivals.size(), 1u);
  EXPECT_TRUE(f.arrivals[0].blocked);
  EXPECT_FALSE(f.itdgMs || f.d50 || f.c80);
  const std::string summary = "nothing reaches the receptor: ITDG, D50 and C80 = none";
  EXPECT_EQ(text(one(*w, "acouechogramsummary"), "string"), "first-order arrivals only:  " + summary);
  const auto userdata = g().get(*w, "userdata").record();
  EXPECT_EQ(userdata.at("summary").text(), summary);
  for (const char* figure : {"itdg", "d50", "c80"}) EXPECT_TRUE(std::isnan(userdata.at(figure).scalar())) << figure;
}

TEST_F(EchogramTest, RefusedLikeThePolarDiagram) {
  const Handle receptor = obj("acoureceptor");
  for (const auto& [x, message] : {std::pair{4.2, "receptor must be at least one meter far from source ..."},
                                   std::pair{18.0, "receptor is outside room ..."}}) {
    g().setRow(receptor, "xdata", {x});
    ui.takeConsole();
    const int beeps = ui.beeps();
    EXPECT_FALSE(clickEchogram());
    EXPECT_EQ(ui.takeConsole(), std::vector<std::string>{message});
    EXPECT_EQ(ui.beeps(), beeps + 1);
  }
}

TEST_F(EchogramTest, BarClickFlashesTheWallAndTheWindowFollowsTheReceptor) {
  const auto w = clickEchogram();
  ASSERT_TRUE(w);
  const Handle info = one(*w, "acouechograminfo");
  EXPECT_EQ(text(info, "string"), "S (3.5,0)  R (16.5,0)    click a bar to name its arrival");
  const auto barOf = [&](int wall) {
    for (Handle bar : g().findobj(*w, "acouechogrambar"))
      if (record(*w).figures.arrivals[static_cast<std::size_t>(g().get(bar, "userdata").scalar()) - 1].wall ==
          wall)
        return bar;
    return platform::kNoHandle;
  };
  const Handle wall2 = document::wallsInWallOrder(rt, fig)[1];
  const double widthBefore = g().at(wall2).number("linewidth");
  ui.onPause = [&] {
    EXPECT_EQ(g().at(wall2).color("color"), (platform::Rgb{1, 0, 0}));
    EXPECT_EQ(g().at(wall2).number("linewidth"), 1.5);
  };
  rt.press(barOf(2), 2.9, 60, "normal");
  EXPECT_EQ(ui.pauses, 1);
  EXPECT_EQ(g().at(wall2).color("color"), (platform::Rgb{0, 0, 0}));
  EXPECT_EQ(g().at(wall2).number("linewidth"), widthBefore);
  EXPECT_EQ(text(info, "string"),
            "wall 2: " + shown(levelAt(100, 14), 0.1) + " dB, delay 2.9 ms, angle 180\u00b0");
  // The direct sound has no wall to flash; a right click does nothing; nor does an action that
  // changes nothing the window shows.
  rt.press(barOf(0), 0, 60, "normal");
  rt.press(barOf(2), 2.9, 60, "alt");
  velmoracopy(rt, ops, {Value("select")});
  EXPECT_EQ(ui.pauses, 1);
  EXPECT_EQ(text(info, "string"),
            "direct sound: " + shown(levelAt(100, 13), 0.1) + " dB, delay 0 ms, angle 0\u00b0");

  // Dragging the receptor redraws nothing until its release.
  const Handle receptor = obj("acoureceptor");
  rt.press(receptor, 16.5, 0);
  rt.motion(fig, 12, 3);
  EXPECT_EQ(record(*w).xre, 16.5);
  rt.release(fig, 12, 3);
  EXPECT_EQ(record(*w).xre, 12);
  EXPECT_NEAR(record(*w).figures.arrivals[0].levelDb, levelAt(100, std::hypot(8.5, 3)), 1e-9);
  // Moved outside the room: the window stays, with the reason and no bars.
  g().setRow(receptor, "xdata", {18});
  velmoracopy(rt, ops, {Value("select")});
  EXPECT_TRUE(g().findobj(*w, "acouechogrambar").empty());
  EXPECT_EQ(text(one(*w, "acouechogramsummary"), "string"), "receptor is outside room ...");
  // One echogram per main window: the item brings it up to date and to the front.
  g().setRow(receptor, "xdata", {16.5});
  EXPECT_EQ(clickEchogram(), w);
  EXPECT_EQ(g().currentFigure(), *w);
  EXPECT_EQ(record(*w).figures.arrivals.size(), 5u);
}

TEST_F(EchogramTest, PrintAndCsvExport) {
  test_support::RecordingPrinter printer;
  rt.setPrintService(&printer);
  const auto w = clickEchogram();
  ASSERT_TRUE(w);
  ui.push(ScriptedAnswer::chosenFile("/out/echogram.ps"));
  rt.click(one(*w, "acouechogramprint"));
  EXPECT_EQ(ui.shown().back().title, "Print echogram");
  ASSERT_EQ(printer.jobs.size(), 1u);
  EXPECT_EQ(printer.jobs[0].figure, *w);
  EXPECT_EQ(printer.jobs[0].device, "-dpsc2");
  EXPECT_EQ(printer.jobs[0].path, "/out/echogram.ps");

  const std::string path = (std::filesystem::current_path() / "arrivals.csv").string();
  ui.push(ScriptedAnswer::chosenFile(path));
  rt.click(one(*w, "acouechogramexport"));
  std::stringstream csv;
  csv << std::ifstream(path, std::ios::binary).rdbuf();
  // The arrivals table of batch runs: a comment line, the header, the direct sound, then the
  // reflections by wall number, three decimals.
  std::string line;
  std::getline(csv, line, '\n');
  EXPECT_EQ(line.rfind("# case not saved; source (", 0), 0u) << line;
  std::getline(csv, line, '\n');
  EXPECT_EQ(line, "kind,wall,level,delay,angle\r");
  std::vector<Arrival> byWall = record(*w).figures.arrivals;
  std::stable_sort(byWall.begin(), byWall.end(), [](const Arrival& a, const Arrival& b) { return a.wall < b.wall; });
  for (const Arrival& a : byWall) {
    ASSERT_TRUE(std::getline(csv, line, '\n'));
    ASSERT_EQ(line.back(), '\r');  // CRLF line ends
    std::vector<std::string> f;
    std::stringstream fields(line.substr(0, line.size() - 1));
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    ASSERT_EQ(f.size(), 5u) << line;
    EXPECT_EQ(f[0] + "," + f[1], a.direct ? "direct," : "reflection," + std::to_string(a.wall));
    EXPECT_NEAR(std::stod(f[2]), a.levelDb, 5e-4);
    EXPECT_NEAR(std::stod(f[3]), a.delayMs, 5e-4);
    EXPECT_NEAR(std::stod(f[4]), a.angleDeg, 5e-4);
  }
  EXPECT_FALSE(std::getline(csv, line));

  // Cancelled: nothing written. A folder that does not exist: the file's error, no file.
  std::filesystem::remove(path);
  ui.push(ScriptedAnswer::chosenFile(std::nullopt));
  rt.click(one(*w, "acouechogramexport"));
  EXPECT_FALSE(std::filesystem::exists(path));
  ui.push(ScriptedAnswer::chosenFile("/no-such-folder/arrivals.csv"));
  ui.takeConsole();
  rt.click(one(*w, "acouechogramexport"));
  const auto console = ui.takeConsole();
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0].rfind("cannot write file /no-such-folder/arrivals.csv", 0), 0u) << console[0];
}

// An echogram whose receptor left the room exports nothing: the diagram's reason, no file chooser.
TEST_F(EchogramTest, RefusedEchogramExportsNothing) {
  const auto w = clickEchogram();
  ASSERT_TRUE(w);
  g().setRow(obj("acoureceptor"), "xdata", {18});
  velmoracopy(rt, ops, {Value("select")});
  ASSERT_EQ(record(*w).refusal, "receptor is outside room ...");
  // No bar to click, so no invitation to click one.
  EXPECT_EQ(text(one(*w, "acouechograminfo"), "string"), "S (3.5,0)  R (18,0)    ");
  const std::size_t shown = ui.shown().size();
  ui.takeConsole();
  rt.click(one(*w, "acouechogramexport"));
  EXPECT_EQ(ui.shown().size(), shown);
  EXPECT_EQ(ui.takeConsole(), std::vector<std::string>{"receptor is outside room ..."});
}

// The map's energies and the polar diagram's levels, asked the same question point by point, agree
// (no map point of this hall lies on the edge of the zone).
TEST_F(EchogramTest, EchoRiskOverlayOfALongHall) {
  setRoom({0, 40, 40, 0}, {0, 0, 6, 6}, {0, 0, 0, 0}, 1, 3, 25, 3, 100);
  const auto risk = [&] { return contextItem(obj("acouaudiencesurface"), "echo risk"); };
  const auto points = [&] {
    return g().get(obj("acouechorisk"), "userdata").record().at("points").numbers();
  };
  const auto byPolarLevels = [&](double delayMs, double levelDb) {
    const auto xs = nums(obj("acouaudiencesurface"), "xdata"), ys = nums(obj("acouaudiencesurface"), "ydata");
    PolarInputs in = readPolarInputs(rt, fig);
    std::vector<double> out;
    for (std::size_t k = 0; k < xs.size(); ++k) {
      in.xre = xs[k];
      in.yre = ys[k];
      const PolarComputation c = computePolarLevels(in);
      for (std::size_t w = 0; !c.refusal && w < c.levels.Lwall.size(); ++w) {
        if (c.levels.dela[w] > delayMs && c.levels.Lwall[w] >= c.levels.Lso - levelDb) {
          out.push_back(static_cast<double>(k + 1));
          break;
        }
      }
    }
    return out;
  };
  EXPECT_TRUE(g().findobj(fig, "acouechorisk").empty());  // off by default
  rt.click(risk());
  EXPECT_EQ(text(risk(), "checked"), "on");
  EXPECT_EQ(text(obj("acouechorisk"), "linestyle"), "--");
  const std::string legend =
      "- - echo risk: a reflection more than 50 ms after the direct sound, at most 10 dB below it";
  EXPECT_EQ(text(obj("acouechorisklegend"), "string"), legend);
  const auto atRisk = points();
  EXPECT_FALSE(atRisk.empty());
  EXPECT_EQ(atRisk, byPolarLevels(50, 10));

  // Thresholds out of range or unreadable: a clear message, and nothing changes.
  for (const auto& [typed, message] :
       {std::pair{std::vector<std::string>{"abc", "10"}, "The delay must be a number from 1 to 500 ms."},
        std::pair{std::vector<std::string>{"0.5", "10"}, "The delay must be a number from 1 to 500 ms."},
        std::pair{std::vector<std::string>{"50", "61"}, "The level must be a number from 0 to 60 dB."},
        std::pair{std::vector<std::string>{"50", "1 2"}, "The level must be a number from 0 to 60 dB."}}) {
    ui.push(ScriptedAnswer::inputs(typed));
    rt.click(contextItem(obj("acouaudiencesurface"), "echo risk settings..."));
    EXPECT_EQ(shownOf("error").back(), std::string("Echo risk settings: ") + message);
    EXPECT_EQ(text(obj("acouechorisklegend"), "string"), legend);
    EXPECT_EQ(points(), atRisk);
  }
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"30", "6"}));
  rt.click(contextItem(obj("acouaudiencesurface"), "echo risk settings..."));
  EXPECT_EQ(text(obj("acouechorisklegend"), "string"),
            "- - echo risk: a reflection more than 30 ms after the direct sound, at most 6 dB below it");
  EXPECT_NE(points(), atRisk);
  EXPECT_EQ(points(), byPolarLevels(30, 6));

  // A new map (another precision) keeps the switch; the source's release moves the zone.
  rt.click(g().findIf(fig,
                      [](const platform::GraphicsObject& o) {
                        return o.type() == ObjectType::UiMenu && o.text("label") == "10";
                      })
               .at(0));
  EXPECT_EQ(nums(obj("acouaudiencesurface"), "xdata").size(), 121u);
  EXPECT_EQ(text(risk(), "checked"), "on");
  rt.press(obj("acousource"), 1, 3);
  rt.motion(fig, 39, 3);
  rt.release(fig, 39, 3);
  EXPECT_EQ(points(), byPolarLevels(30, 6));
  rt.click(risk());
  EXPECT_EQ(text(risk(), "checked"), "off");
  EXPECT_TRUE(g().findobj(fig, "acouechorisk").empty());
  EXPECT_TRUE(g().findobj(fig, "acouechorisklegend").empty());
}

}  // namespace
}  // namespace velmora::polar
