// The echogram window driven from a real main window: arrivals, ITDG, D50 and C80 against the image
// positions worked out by hand, the guards, the bar click, following the receptor, printing, CSV
// export, and the echo risk overlay of the audience map.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>

#include "polar/echogram.h"
#include "support/main_window.h"

namespace velmora::polar {
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;
using shell::velmoracopy;

double levelAt(double lw, double r, double factor = 1) {
  const double w = 1e-12 * std::pow(10.0, lw / 10);
  return 10 * std::log10(factor * 100 * w / std::numbers::pi / (r * r) / 4e-10);
}

class PausingUi : public platform::ScriptedUi {
 public:
  std::function<void()> onPause;
  void pause(double seconds) override {
    pauses.push_back(seconds);
    if (onPause) onPause();
  }
  std::vector<double> pauses;
};

class EchogramTest : public test_support::MainWindowFixture<PausingUi> {
 protected:
  EchogramTest() { fig = openMainWindow(); }

  platform::Graphics& g() { return rt.graphics(); }
  std::vector<Handle> echogramWindows() {
    return g().findIf(platform::kRoot, [](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::Figure && o.tag() == kEchogramTag;
    });
  }
  // The "echogram" item of the utils menu, clicked; the echogram window if one is open.
  std::optional<Handle> clickEchogram() {
    const auto utils = g().findIf(fig, [](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::UiControl && o.text("string") == "utils";
    });
    rt.click(contextItem(utils.front(), "echogram"));
    const auto windows = echogramWindows();
    if (windows.empty()) return std::nullopt;
    return windows.front();
  }
  const EchogramRecord& record(Handle w) { return *g().at(w).userdataAs<EchogramRecord>(); }
  Handle one(Handle parent, const char* tag) {
    const auto found = g().findobj(parent, tag);
    EXPECT_EQ(found.size(), 1u) << tag;
    return found.empty() ? platform::kNoHandle : found.front();
  }
  void setRoom(const std::vector<double>& xw, const std::vector<double>& yw, const std::vector<double>& alpha,
               double xso, double yso, double xre, double yre, double lw) {
    shell::CaseDescription d;
    d.xwall = xw;
    d.ywall = yw;
    d.alpha = alpha;
    d.xso = xso;
    d.yso = yso;
    d.xre = xre;
    d.yre = yre;
    d.Lw = lw;
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
  struct Image {
    int wall;
    double xi, yi, factor;
  };
  struct Row {
    const char* name;
    std::vector<double> xw, yw, alpha;
    double xso, yso, xre, yre, lw;
    bool blocked;
    std::vector<Image> heard;
  };
  const std::vector<Row> rows = {
      {"default room", box, boy, {0, 0, 0, 0}, 3.5, 0, 16.5, 0, 100, false,
       {{1, 3.5, -14, 1}, {2, 30.5, 0, 1}, {3, 3.5, 14, 1}, {4, 2.5, 0, 1}}},
      {"L room", lx, ly, lalpha, 2, 2, 8, 3, 95, false, {{1, 2, -2, 1}, {2, 18, 2, 0.9}}},
      {"L room, direct sound blocked", lx, ly, lalpha, 2, 2, 7, 9, 95, true, {{1, 2, -2, 1}, {2, 18, 2, 0.9}}},
      {"one wall at 50 %, three at 100 %", box, boy, {50, 100, 100, 100}, 3.5, 0, 16.5, 0, 100, false,
       {{1, 3.5, -14, 0.5}}},
      {"no reflection arrives", box, boy, {100, 100, 100, 100}, 3.5, 0, 16.5, 0, 100, false, {}},
      {"long hall, late far wall", {0, 40, 40, 0}, {0, 0, 6, 6}, {0, 0, 0, 0}, 1, 3, 25, 3, 100, false,
       {{1, 1, -3, 1}, {2, 79, 3, 1}, {3, 1, 9, 1}, {4, -1, 3, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    setRoom(row.xw, row.yw, row.alpha, row.xso, row.yso, row.xre, row.yre, row.lw);
    const auto w = clickEchogram();
    ASSERT_TRUE(w);
    const EchogramFigures& f = record(*w).figures;

    // By hand: delays from the path lengths at 340 m/s, levels from spherical spreading.
    const double rso = std::hypot(row.xre - row.xso, row.yre - row.yso);
    const double lso = levelAt(row.lw, rso);
    struct Expected {
      int wall;
      double delay, level, angle;
    };
    std::vector<Expected> expected;
    for (const Image& im : row.heard) {
      const double ri = std::hypot(row.xre - im.xi, row.yre - im.yi);
      const double sx = row.xso - row.xre, sy = row.yso - row.yre, ix = im.xi - row.xre, iy = im.yi - row.yre;
      const double angle = std::acos((sx * ix + sy * iy) / rso / ri) / std::numbers::pi * 180;
      expected.push_back({im.wall, (ri - rso) / 340 * 1000, levelAt(row.lw, ri, im.factor), angle});
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Expected& a, const Expected& b) { return a.delay < b.delay; });
    ASSERT_EQ(f.arrivals.size(), expected.size() + 1);
    EXPECT_TRUE(f.arrivals[0].direct);
    EXPECT_EQ(f.arrivals[0].blocked, row.blocked);
    EXPECT_NEAR(f.arrivals[0].levelDb, lso, 1e-9);
    EXPECT_EQ(f.arrivals[0].delayMs, 0);
    for (std::size_t k = 0; k < expected.size(); ++k) {
      const Arrival& a = f.arrivals[k + 1];
      // Coinciding delays may come in either wall order: compare with the wall's own expectation.
      const auto e = *std::find_if(expected.begin(), expected.end(),
                                   [&](const Expected& x) { return x.wall == a.wall; });
      EXPECT_NEAR(a.delayMs, e.delay, 1e-9) << "wall " << a.wall;
      EXPECT_NEAR(a.levelDb, e.level, 1e-9) << "wall " << a.wall;
      EXPECT_NEAR(a.angleDeg, e.angle, 1e-9) << "wall " << a.wall;
      EXPECT_NEAR(a.delayMs, expected[k].delay, 1e-9);
    }

    // The figures, from energies; a blocked direct sound counts in neither.
    double all = row.blocked ? 0 : std::pow(10.0, lso / 10), early50 = all, early80 = all, late = 0;
    for (const Expected& e : expected) {
      const double p = std::pow(10.0, e.level / 10);
      all += p;
      early50 += e.delay <= 50 ? p : 0;
      (e.delay <= 80 ? early80 : late) += p;
    }
    ASSERT_EQ(f.itdgMs.has_value(), !expected.empty());
    if (f.itdgMs) {
      EXPECT_NEAR(*f.itdgMs, expected.front().delay, 1e-9);
    }
    ASSERT_TRUE(f.d50);
    EXPECT_NEAR(*f.d50, 100 * early50 / all, 1e-9);
    ASSERT_TRUE(f.c80);
    if (late == 0) {
      EXPECT_EQ(*f.c80, INFINITY);
    } else {
      EXPECT_NEAR(*f.c80, 10 * std::log10(early80 / late), 1e-9);
    }
    const std::string itdg = expected.empty() ? "none" : shown(expected.front().delay, 0.1) + " ms";
    const std::string c80 = late == 0 ? "no late energy" : shown(10 * std::log10(early80 / late), 0.1) + " dB";
    const std::string summary =
        "ITDG = " + itdg + "    D50 = " + shown(100 * early50 / all, 0.1) + " %    C80 = " + c80;
    EXPECT_EQ(text(one(*w, "acouechogramsummary"), "string"), "first-order arrivals only:  " + summary);
    EXPECT_EQ(g().get(*w, "userdata").record().at("summary").text(), summary);

    // One bar per arrival, at its delay, up to its level; the direct sound red, dashed when blocked.
    const auto bars = g().findobj(*w, "acouechogrambar");
    ASSERT_EQ(bars.size(), f.arrivals.size());
    for (Handle bar : bars) {
      const auto& a = f.arrivals[static_cast<std::size_t>(g().get(bar, "userdata").scalar()) - 1];
      EXPECT_EQ(nums(bar, "xdata"), (std::vector<double>{a.delayMs, a.delayMs}));
      EXPECT_EQ(nums(bar, "ydata").back(), a.levelDb);
      EXPECT_EQ(g().at(bar).color("color"), a.direct ? (platform::Rgb{1, 0, 0}) : (platform::Rgb{0, 0, 1}));
      EXPECT_EQ(text(bar, "linestyle"), a.blocked ? "--" : "-");
    }
    std::string labels;
    for (Handle t : g().findobj(*w, "acouechogramlabel")) labels += text(t, "string") + " ";
    for (const Expected& e : expected) EXPECT_NE(labels.find(std::to_string(e.wall)), std::string::npos);
    g().remove(*w);
  }
}

TEST_F(EchogramTest, RefusedLikeThePolarDiagram) {
  const Handle receptor = obj("acoureceptor");
  struct Row {
    double x, y;
    const char* message;
  };
  for (const Row& row : {Row{4.2, 0.5, "receptor must be at least one meter far from source ..."},
                         Row{18, 0, "receptor is outside room ..."}}) {
    SCOPED_TRACE(row.message);
    g().setRow(receptor, "xdata", {row.x});
    g().setRow(receptor, "ydata", {row.y});
    ui.takeConsole();
    const int beeps = ui.beeps();
    EXPECT_FALSE(clickEchogram());
    EXPECT_EQ(ui.takeConsole(), std::vector<std::string>{row.message});
    EXPECT_EQ(ui.beeps(), beeps + 1);
  }
}

TEST_F(EchogramTest, BarClickNamesTheArrivalAndFlashesItsWall) {
  const auto w = clickEchogram();
  ASSERT_TRUE(w);
  const Handle info = one(*w, "acouechograminfo");
  EXPECT_EQ(text(info, "string"), "S (3.5,0)  R (16.5,0)    click a bar to name its arrival");
  const auto barOf = [&](int wall) {
    for (Handle bar : g().findobj(*w, "acouechogrambar")) {
      const auto k = static_cast<std::size_t>(g().get(bar, "userdata").scalar());
      if (record(*w).figures.arrivals[k - 1].wall == wall) return bar;
    }
    return platform::kNoHandle;
  };
  const Handle wall2 = shell::wallsInWallOrder(rt, fig)[1];
  const double widthBefore = g().at(wall2).number("linewidth");
  std::optional<platform::Rgb> colourDuring;
  double widthDuring = 0;
  ui.onPause = [&] {
    colourDuring = g().at(wall2).color("color");
    widthDuring = g().at(wall2).number("linewidth");
  };
  rt.press(barOf(2), 2.9, 60, "normal");
  EXPECT_EQ(ui.pauses, std::vector<double>{1});
  EXPECT_EQ(colourDuring, (platform::Rgb{1, 0, 0}));
  EXPECT_EQ(widthDuring, 1.5);
  EXPECT_EQ(g().at(wall2).color("color"), (platform::Rgb{0, 0, 0}));
  EXPECT_EQ(g().at(wall2).number("linewidth"), widthBefore);
  EXPECT_EQ(text(info, "string"), "wall 2: " + shown(levelAt(100, 14), 0.1) + " dB, delay 2.9 ms, angle 180\u00b0");

  // The direct sound has no wall to flash; a right click does nothing.
  rt.press(barOf(0), 0, 60, "normal");
  EXPECT_EQ(text(info, "string"), "direct sound: " + shown(levelAt(100, 13), 0.1) + " dB, delay 0 ms, angle 0\u00b0");
  rt.press(barOf(2), 2.9, 60, "alt");
  EXPECT_EQ(ui.pauses.size(), 1u);
  EXPECT_EQ(text(info, "string").rfind("direct sound", 0), 0u);
  // Actions that change nothing it shows leave the window as it is.
  velmoracopy(rt, ops, {Value("select")});
  EXPECT_EQ(text(info, "string").rfind("direct sound", 0), 0u);
}

TEST_F(EchogramTest, FollowsTheReceptorAndOpensOncePerMainWindow) {
  const auto w = clickEchogram();
  ASSERT_TRUE(w);
  const Handle receptor = obj("acoureceptor");
  rt.press(receptor, 16.5, 0);
  rt.motion(fig, 12, 3);
  // Nothing is redrawn while the receptor is being dragged; its release brings the echogram up to date.
  EXPECT_EQ(record(*w).xre, 16.5);
  rt.release(fig, 12, 3);
  EXPECT_EQ(record(*w).xre, 12);
  EXPECT_EQ(record(*w).yre, 3);
  EXPECT_NEAR(record(*w).figures.arrivals[0].levelDb, levelAt(100, std::hypot(8.5, 3)), 1e-9);

  // A receptor moved outside the room leaves the window open, with the reason and no bars.
  g().setRow(receptor, "xdata", {18});
  velmoracopy(rt, ops, {Value("select")});
  EXPECT_EQ(record(*w).refusal, "receptor is outside room ...");
  EXPECT_TRUE(g().findobj(*w, "acouechogrambar").empty());
  EXPECT_EQ(text(one(*w, "acouechogramsummary"), "string"), "receptor is outside room ...");

  g().setRow(receptor, "xdata", {16.5});
  g().setRow(receptor, "ydata", {0});
  EXPECT_EQ(clickEchogram(), w);
  EXPECT_EQ(echogramWindows().size(), 1u);
  EXPECT_EQ(g().currentFigure(), *w);
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
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string csv = content.str();
  // RFC 4180 lines; numbers read back exactly.
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(csv.substr(at, end - at));
  EXPECT_EQ(csv.size(), [&] {
    std::size_t n = 0;
    for (const auto& l : lines) n += l.size() + 2;
    return n;
  }());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "kind,wall,delay_ms,level_dB,angle_deg");
  const auto& arrivals = record(*w).figures.arrivals;
  for (std::size_t k = 0; k < arrivals.size(); ++k) {
    std::vector<std::string> fields;
    std::stringstream s(lines[k + 1]);
    for (std::string field; std::getline(s, field, ',');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 5u) << lines[k + 1];
    EXPECT_EQ(fields[0], arrivals[k].direct ? "direct" : "reflection");
    EXPECT_EQ(fields[1], arrivals[k].direct ? "" : std::to_string(arrivals[k].wall));
    EXPECT_EQ(std::stod(fields[2]), arrivals[k].delayMs);
    EXPECT_EQ(std::stod(fields[3]), arrivals[k].levelDb);
    EXPECT_EQ(std::stod(fields[4]), arrivals[k].angleDeg);
  }
  // Cancelled, nothing is written; a folder that does not exist gives the file's error and no file.
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

}  // namespace
}  // namespace velmora::polar

namespace velmora::polar {
namespace {

class EchoRiskTest : public EchogramTest {
 protected:
  EchoRiskTest() {
    setRoom({0, 40, 40, 0}, {0, 0, 6, 6}, {0, 0, 0, 0}, 1, 3, 25, 3, 100);
    risk = [this] { return contextItem(obj("acouaudiencesurface"), "echo risk"); };
  }
  std::vector<double> points() {
    return g().get(obj("acouechorisk"), "userdata").record().at("points").numbers();
  }
  // The same question asked of the polar diagram's own computation, one map point at a time.
  std::vector<double> pointsByPolarLevels(double delayMs, double levelDb) {
    const Handle map = obj("acouaudiencesurface");
    const auto xs = nums(map, "xdata"), ys = nums(map, "ydata");
    PolarInputs in = readPolarInputs(rt, fig);
    std::vector<double> out;
    for (std::size_t k = 0; k < xs.size(); ++k) {
      in.xre = xs[k];
      in.yre = ys[k];
      const PolarComputation c = computePolarLevels(in);
      if (c.refusal) continue;  // within 1 m of the source: every reflection is early there
      for (std::size_t w = 0; w < c.levels.Lwall.size(); ++w) {
        if (c.levels.dela[w] > delayMs && c.levels.Lwall[w] >= c.levels.Lso - levelDb) {
          out.push_back(static_cast<double>(k + 1));
          break;
        }
      }
    }
    return out;
  }
  std::function<Handle()> risk;
};

TEST_F(EchoRiskTest, OverlaySwitchSettingsAndRebuilds) {
  EXPECT_TRUE(g().findobj(fig, "acouechorisk").empty());  // off by default
  rt.click(risk());
  EXPECT_EQ(text(risk(), "checked"), "on");
  const Handle outline = obj("acouechorisk");
  EXPECT_EQ(text(outline, "linestyle"), "--");
  EXPECT_EQ(g().at(outline).number("linewidth"), 2.5);
  EXPECT_GT(nums(outline, "xdata").size(), 4u);
  const std::string legend = "- - echo risk: a reflection more than 50 ms after the direct sound, at most 10 dB below it";
  EXPECT_EQ(text(obj("acouechorisklegend"), "string"), legend);
  // The map's energies and the polar diagram's levels agree point for point (no map point lies on
  // the edge of the zone in this hall).
  const auto atRisk = points();
  EXPECT_FALSE(atRisk.empty());
  EXPECT_EQ(atRisk, pointsByPolarLevels(50, 10));

  // Thresholds out of range or unreadable: a clear message, and nothing changes.
  struct Bad {
    std::vector<std::string> typed;
    const char* message;
  };
  for (const Bad& bad : {Bad{{"abc", "10"}, "The delay must be a number from 1 to 500 ms."},
                         Bad{{"0.5", "10"}, "The delay must be a number from 1 to 500 ms."},
                         Bad{{"50", "61"}, "The level must be a number from 0 to 60 dB."},
                         Bad{{"50", "-1"}, "The level must be a number from 0 to 60 dB."},
                         Bad{{"50", "1 2"}, "The level must be a number from 0 to 60 dB."}}) {
    SCOPED_TRACE(bad.message);
    const auto before = shownOf("error").size();
    ui.push(ScriptedAnswer::inputs(bad.typed));
    rt.click(contextItem(obj("acouaudiencesurface"), "echo risk settings..."));
    ASSERT_EQ(shownOf("error").size(), before + 1);
    EXPECT_EQ(shownOf("error").back(), std::string("Echo risk settings: ") + bad.message);
    EXPECT_EQ(text(obj("acouechorisklegend"), "string"), legend);
    EXPECT_EQ(points(), atRisk);
  }
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"30", "6"}));
  rt.click(contextItem(obj("acouaudiencesurface"), "echo risk settings..."));
  EXPECT_EQ(text(obj("acouechorisklegend"), "string"),
            "- - echo risk: a reflection more than 30 ms after the direct sound, at most 6 dB below it");
  EXPECT_NE(points(), atRisk);
  EXPECT_EQ(points(), pointsByPolarLevels(30, 6));

  // A new map (other precision) keeps the switch and the overlay; the source's release moves it.
  const auto precision10 = g().findIf(fig, [](const platform::GraphicsObject& o) {
    return o.type() == ObjectType::UiMenu && o.text("label") == "10";
  });
  ASSERT_EQ(precision10.size(), 1u);
  rt.click(precision10.front());
  EXPECT_EQ(nums(obj("acouaudiencesurface"), "xdata").size(), 121u);
  EXPECT_EQ(text(risk(), "checked"), "on");
  const Handle source = obj("acousource");
  rt.press(source, 1, 3);
  rt.motion(fig, 39, 3);
  rt.release(fig, 39, 3);
  EXPECT_EQ(points(), pointsByPolarLevels(30, 6));

  rt.click(risk());
  EXPECT_EQ(text(risk(), "checked"), "off");
  EXPECT_TRUE(g().findobj(fig, "acouechorisk").empty());
  EXPECT_TRUE(g().findobj(fig, "acouechorisklegend").empty());
}

}  // namespace
}  // namespace velmora::polar
