// The path animation driven end to end: the parameters dialog and its corrections, pointer and typed
// path entry, frame positions, frames written, early ends that change nothing, and the parameters
// kept with the case.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "animation/animation.h"
#include "app/operation_table.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::animation {
namespace {

using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

class AnimationTest : public test_support::MainWindowFixture<> {
 protected:
  AnimationTest() {
    rt.setPrintService(&printer);
    ui.setPump([this] {
      if (steps.empty()) return false;
      auto step = std::move(steps.front());
      steps.pop_front();
      step();
      return true;
    });
    fig = openMainWindow();
  }

  void then(std::function<void()> step) { steps.push_back(std::move(step)); }

  Handle dialog() const {
    for (Handle f : rt.graphics().figures()) {
      if (rt.graphics().at(f).tag() == "animparam") return f;
    }
    return platform::kNoHandle;
  }
  Handle field(const std::string& tag) const {
    const auto found = rt.graphics().findobj(dialog(), tag);
    return found.empty() ? platform::kNoHandle : found.front();
  }
  std::string text(Handle h, const char* prop = "string") const { return rt.graphics().at(h).text(prop); }
  // Types into an edit field and leaves it, as a user does.
  void type(const std::string& tag, const std::string& typed) {
    rt.graphics().setText(field(tag), "string", typed);
    rt.click(field(tag));
  }
  // One dialog step: texts typed, pop-ups chosen, then "proceed".
  void proceedWith(std::map<std::string, std::string> texts, std::map<std::string, double> values = {}) {
    then([this, texts, values] {
      ASSERT_NE(dialog(), platform::kNoHandle);
      for (const auto& [tag, typed] : texts) type(tag, typed);
      for (const auto& [tag, v] : values) rt.graphics().set(field(tag), "value", Value(v));
      rt.click(field("proceed"));
    });
  }
  void press(double x, double y, int button = 1) {
    then([this, x, y, button] { rt.pressFigure(fig, x, y, button); });
  }
  void key(const std::string& k) {
    then([this, k] { rt.key(fig, k); });
  }
  void anim() { velmoracopy(rt, ops, {Value("anim")}); }

  std::optional<AnimationParameters> stored() const { return readCase(rt, fig).animationparameters; }
  std::size_t count(const char* tag) const { return objectsByTag(rt, fig, tag).size(); }
  Handle summary() const {
    for (Handle f : rt.graphics().figures()) {
      if (rt.graphics().at(f).text("name") == "Animation summary") return f;
    }
    return platform::kNoHandle;
  }
  std::vector<std::string> summaryText() const {
    const Handle s = summary();
    std::vector<std::string> out;
    if (s == platform::kNoHandle) return out;
    for (Handle t : rt.graphics().findIf(s, [](const platform::GraphicsObject& o) {
           return o.type() == ObjectType::Text && o.get("string").isList();
         })) {
      const Value lines = rt.graphics().get(t, "string");
      for (const Value& line : lines.list().items) out.push_back(line.text());
    }
    return out;
  }
  engine::Point source() const { return firstPoint(rt, objectInWindow(rt, fig, "acousource")); }
  bool controlsEnabled() const { return text(objectInWindow(rt, fig, "acousnapbutton"), "enable") == "on"; }

  test_support::RecordingPrinter printer;
  std::deque<std::function<void()>> steps;
};

// ---- the parameters dialog -----------------------------------------------------------------------

TEST_F(AnimationTest, DialogShowsItsControlsAndCorrectsTypedFields) {
  struct Row {
    std::string tag, typed, shown;
  };
  const std::vector<Row> rows = {
      {"level", "40 100", "40 100"},
      {"level", "100 40", ""},
      {"level", "-50 300", "50 200"},
      {"level", "60 59.5", "60 59.5"},
      {"level", "60.04 70.06", "60 70.1"},
      {"level", "1 2 3", ""},
      {"level", "abc", ""},
      {"axis", "0 20 -10 10", "0 20 -10 10"},
      {"axis", "20 0 0 1", ""},
      {"axis", "0 5 3 1.9", ""},
      {"axis", "0.04 5 0 5", "0 5 0 5"},
      {"axis", "1 2 3", ""},
      {"axis", "0 Inf 0 1", ""},
      {"step", "1", "5"},
      {"step", "5000", "2000"},
      {"step", "abc", "30"},
      {"step", "", "30"},
      {"step", "-12.6", "13"},
      {"pause", "3.14", "2"},
      {"pause", "-0.26", "0.3"},
      {"pause", "x", "0"},
  };
  then([&] {
    const Handle d = dialog();
    ASSERT_NE(d, platform::kNoHandle);
    auto& g = rt.graphics();
    EXPECT_EQ(text(d, "name"), "Animation parameters");
    EXPECT_EQ(g.at(d).numbers("position")[2], 400);
    EXPECT_EQ(g.at(d).numbers("position")[3], 235);
    EXPECT_EQ(text(d, "resize"), "off");
    EXPECT_EQ(text(d, "menubar"), "none");
    EXPECT_EQ(text(field("animationtype")), "surface only|surface & images|images only|polar");
    EXPECT_EQ(text(field("pathtype")), "previous path (if available)|linear|spline|manual");
    EXPECT_EQ(text(field("movingobject"), "tooltipstring"),
              "Select moving object (only for polar animation)");
    EXPECT_EQ(text(field("grabaxis"), "tooltipstring"), "Grab axis limits from \"Animation summary\" window");
    EXPECT_EQ(text(field("output")), "no output");
    EXPECT_EQ(text(field("step")), "30");
    EXPECT_EQ(g.at(field("pathtype")).numbers("value")[0], 2);  // no previous record: defaults
    EXPECT_FALSE(g.at(field("hiddenbutton")).visible());
    for (const Row& row : rows) {
      type(row.tag, row.typed);
      EXPECT_EQ(text(field(row.tag)), row.shown) << row.tag << " '" << row.typed << "'";
    }
    // The grab buttons do nothing while no summary window is open.
    type("level", "10 20");
    rt.click(field("grablevel"));
    EXPECT_EQ(text(field("level")), "10 20");
    // The window manager cannot close the dialog.
    rt.runCallback(d, text(d, "closerequestfcn"));
    EXPECT_TRUE(g.exists(d));
    rt.click(field("cancel"));
  });
  anim();
  EXPECT_EQ(dialog(), platform::kNoHandle);
  EXPECT_FALSE(stored());
  EXPECT_TRUE(controlsEnabled());
}

TEST_F(AnimationTest, OutputButtonChoosesFolderAndBaseName) {
  then([&] {
    ui.push(ScriptedAnswer::chosenFile("/data/films/run.anim"));
    rt.click(field("output"));
    EXPECT_EQ(text(field("output")), "/data/films/run");
    EXPECT_EQ(ui.shown().back().title, "Select animation name");
    ui.push(ScriptedAnswer::chosenFile(std::nullopt));
    rt.click(field("output"));
    EXPECT_EQ(text(field("output")), "no output");
    rt.click(field("cancel"));
  });
  anim();
}

// ---- frame positions -----------------------------------------------------------------------------

TEST(PathSegments, LinearStepsPerSegment) {
  struct Row {
    std::vector<double> x, y;
    int ns;
    std::size_t frames;
  };
  const std::vector<Row> rows = {
      {{0, 10}, {0, 0}, 30, 31},        // 1/3 m apart
      {{0, 1, 10}, {0, 0, 0}, 10, 12},  // max(2, 1) + 9 steps
      {{0, 0}, {0, 0}, 6, 3},           // a path of no length still moves nowhere safely
      {{0, 1, 2}, {0, 0, 0}, 5, 7},
  };
  for (const Row& row : rows) {
    const Path p = setpathsegments(row.x, row.y, "linear", row.ns);
    ASSERT_EQ(p.x.size(), row.frames);
    EXPECT_EQ(p.x.front(), row.x.front());
    EXPECT_EQ(p.x.back(), row.x.back());
    for (double v : p.x) EXPECT_TRUE(std::isfinite(v));
  }
  const Path p = setpathsegments({0, 10}, {0, 0}, "manual", 30);
  for (std::size_t i = 0; i < p.x.size(); ++i) EXPECT_NEAR(p.x[i], i / 3.0, 1e-12);
}

TEST_F(AnimationTest, FixturePathGivesItsStoredFrames) {
  velmoracopy(rt, ops, {Value("load"), Value(std::string(VELMORA_FIXTURES) + "/curved-room.ac")});
  fig = currentMainWindow(rt);
  const auto saved = stored();
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->animationtype, AnimationType::SurfaceAndImages);
  EXPECT_EQ(saved->level, (std::vector<double>{40, 100}));
  EXPECT_TRUE(saved->axis.empty());
  EXPECT_EQ(saved->ptype, "linear");
  const Path p = setpathsegments(*saved->xp, *saved->yp, *saved->ptype, saved->step);
  ASSERT_EQ(p.x.size(), saved->xpath->size());
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    EXPECT_NEAR(p.x[i], (*saved->xpath)[i], 1e-12);
    EXPECT_NEAR(p.y[i], (*saved->ypath)[i], 1e-12);
  }
}

TEST(PathSegments, SplineThroughItsPointsAndEvenFrames) {
  struct Row {
    std::vector<double> x, y;
  };
  const std::vector<Row> rows = {
      {{4, 8, 12}, {0, 3, 0}},
      {{4, 8, 12, 8, 4}, {0, 3, 0, -3, 0}},   // closed: periodic ends
      {{4, 8, 8, 12, 10}, {0, 3, 3, 0, -2}},  // a repeated point splits the curve
      {{0, 1}, {0, 1}},
  };
  for (const Row& row : rows) {
    const Path curve = splineCurve(row.x, row.y);
    for (double v : curve.x) ASSERT_TRUE(std::isfinite(v));
    for (std::size_t i = 0; i < row.x.size(); ++i) {
      bool found = false;
      for (std::size_t j = 0; j < curve.x.size(); ++j) {
        found = found || (curve.x[j] == row.x[i] && curve.y[j] == row.y[i]);
      }
      EXPECT_TRUE(found) << "point " << i;
    }
    EXPECT_EQ(curve.x.front(), row.x.front());
    EXPECT_EQ(curve.x.back(), row.x.back());
    for (int ns : {5, 12, 30}) {
      const Path frames = setpathsegments(curve.x, curve.y, "spline", ns);
      ASSERT_EQ(frames.x.size(), static_cast<std::size_t>(ns) + 1);
      EXPECT_EQ(frames.x.front(), row.x.front());
      EXPECT_EQ(frames.y.back(), row.y.back());
      // Equal steps along the sampled curve: no frame further than one step's length from the next.
      double total = 0;
      for (std::size_t j = 0; j + 1 < curve.x.size(); ++j) {
        total += std::hypot(curve.x[j + 1] - curve.x[j], curve.y[j + 1] - curve.y[j]);
      }
      for (std::size_t j = 0; j + 1 < frames.x.size(); ++j) {
        EXPECT_LE(std::hypot(frames.x[j + 1] - frames.x[j], frames.y[j + 1] - frames.y[j]),
                  total / ns + 1e-9);
      }
    }
  }
  // The periodic curve leaves and comes back with the same tangent.
  const Path closed = splineCurve({4, 8, 12, 8, 4}, {0, 3, 0, -3, 0}, 64);
  const std::size_t n = closed.x.size();
  const double a1 = std::atan2(closed.y[1] - closed.y[0], closed.x[1] - closed.x[0]);
  const double a2 = std::atan2(closed.y[n - 1] - closed.y[n - 2], closed.x[n - 1] - closed.x[n - 2]);
  EXPECT_NEAR(std::remainder(a1 - a2, 2 * M_PI), 0, 0.05);
}

// ---- pointer path entry and the frame loop --------------------------------------------------------

TEST_F(AnimationTest, PointerPathRunsTheAnimationAndKeepsItsParameters) {
  proceedWith({{"step", "6"}}, {{"animationtype", 2}});
  then([&] { EXPECT_EQ(count("acouwallvertex") > 0, true); });
  press(4.1, 0.2);  // snapped to the grid: (4, 0)
  then([&] {
    EXPECT_EQ(count("startpoint"), 1u);
    EXPECT_FALSE(controlsEnabled());
    EXPECT_EQ(rt.graphics().at(objectInWindow(rt, fig, "startpoint")).color("color"),
              (platform::Rgb{0, 0, 0}));
  });
  press(8, 3);
  press(10, 5);
  then([&] { EXPECT_EQ(count("lines"), 2u); });
  press(0, 0, 3);  // right button: the last point goes
  then([&] { EXPECT_EQ(count("lines"), 1u); });
  key("x");  // other keys do nothing
  press(12, 0);
  key("e");
  anim();

  const auto saved = stored();
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->ptype, "linear");
  EXPECT_EQ(*saved->xp, (std::vector<double>{4, 8, 12}));
  EXPECT_EQ(*saved->yp, (std::vector<double>{0, 3, 0}));
  ASSERT_EQ(saved->xpath->size(), 7u);
  EXPECT_NEAR((*saved->xpath)[1], 4 + 4.0 / 3, 1e-12);
  EXPECT_EQ(saved->step, 6);
  EXPECT_EQ(saved->animationtype, AnimationType::SurfaceAndImages);
  for (const char* tag : {"startpoint", "lines", "spline", "path"}) EXPECT_EQ(count(tag), 0u) << tag;
  EXPECT_NEAR(source().x, 12, 1e-9);
  EXPECT_TRUE(controlsEnabled());
  EXPECT_FALSE(readCase(rt, fig).noprogressbar);
  for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
  EXPECT_TRUE(rt.graphics().at(objectInWindow(rt, fig, "acoureceptor")).visible());
  EXPECT_TRUE(printer.jobs.empty());

  const auto lines = summaryText();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], std::string(30, '.'));
  EXPECT_EQ(lines[1], "Frame number: 7");
  EXPECT_EQ(lines[2], "Output directory: ");
  EXPECT_EQ(lines[3].rfind("dB level: ", 0), 0u);
  EXPECT_EQ(lines[5], "Process time: 1 sec");

  // The next dialog offers the previous path; unchanged steps reuse the frames without entry.
  proceedWith({});
  anim();
  EXPECT_EQ(*stored()->xpath, *saved->xpath);
  // A new step number recomputes the frames from the stored points.
  proceedWith({{"step", "12"}});
  anim();
  EXPECT_EQ(stored()->xpath->size(), 13u);
  EXPECT_EQ(*stored()->xp, *saved->xp);
}

TEST_F(AnimationTest, SplineEntryWaitsForThreePointsAndDrawsAPreview) {
  proceedWith({{"step", "10"}}, {{"pathtype", 3}, {"animationtype", 3}});
  press(5, 0);
  press(8, 3);
  key("e");  // too few points for a spline: a beep, the entry goes on
  then([&] {
    EXPECT_EQ(ui.beeps(), 1);
    EXPECT_EQ(count("spline"), 0u);
  });
  press(12, 0);
  then([&] {
    ASSERT_EQ(count("spline"), 1u);
    // The segments stay on top of the preview.
    const auto& kids = rt.graphics().at(drawingAxes(rt, fig)).children();
    EXPECT_EQ(rt.graphics().at(kids[0]).tag(), "lines");
  });
  key("e");
  anim();
  const auto saved = stored();
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->ptype, "spline");
  EXPECT_GT(saved->xp->size(), 3u);  // the sampled curve
  ASSERT_EQ(saved->xpath->size(), 11u);
  EXPECT_EQ(saved->xpath->front(), 5);
  EXPECT_EQ(saved->xpath->back(), 12);
  EXPECT_EQ(summaryText().at(1), "Frame number: 11");
  // The map and colour bar come back after the images-only run.
  EXPECT_TRUE(rt.graphics().at(objectInWindow(rt, fig, "acouaudiencesurface")).visible());
}

TEST_F(AnimationTest, ManualPathAsksAgainUntilTwoPoints) {
  proceedWith({{"step", "5"}}, {{"pathtype", 4}});
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"4 0", "junk", "", "", ""}));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"4 0", "10 4", "1 2 3", "", ""}));
  ui.push(ScriptedAnswer::button("No"));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"4 0", "10 0", "", "", ""}));
  ui.push(ScriptedAnswer::button("Yes"));
  anim();
  const auto saved = stored();
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->ptype, "manual");
  EXPECT_EQ(*saved->xp, (std::vector<double>{4, 10}));
  EXPECT_EQ(saved->xpath->size(), 6u);
  std::vector<std::string> titles;
  for (const auto& s : ui.shown()) titles.push_back(s.title);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "Set path manually (fill at least 2 points)"), 3);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "Current path"), 2);
}

// The polar animation moves the receptor along a typed path, redraws the diagram at every frame and
// leaves the main window's objects as they were (no map preparation); frames too near the source
// are refused before anything moves.
TEST_F(AnimationTest, PolarAnimationMovesTheReceptorAndRedrawsTheDiagram) {
  const engine::Point s = source();
  const auto receptorAt = [&] { return firstPoint(rt, objectInWindow(rt, fig, "acoureceptor")); };
  const engine::Point r0 = receptorAt();
  const auto typed = [](double x, double y) {
    return platform::formatNumber(x) + " " + platform::formatNumber(y);
  };

  proceedWith({{"step", "5"}}, {{"pathtype", 4}, {"animationtype", 4}, {"movingobject", 2}});
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{typed(s.x, s.y), typed(s.x + 3, s.y), "", "", ""}));
  ui.push(ScriptedAnswer::button("Yes"));
  anim();
  EXPECT_FALSE(stored().has_value());
  EXPECT_EQ(shownOf("error").back(),
            "Error: Receptor is closer than one meter from source for some points (in red) ...");
  EXPECT_EQ(receptorAt().x, r0.x);

  proceedWith({{"step", "5"}}, {{"pathtype", 4}, {"animationtype", 4}, {"movingobject", 2}});
  ui.push(
      ScriptedAnswer::inputs(std::vector<std::string>{typed(s.x + 2, s.y), typed(s.x + 4, s.y), "", "", ""}));
  ui.push(ScriptedAnswer::button("Yes"));
  anim();
  const auto saved = stored();
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->animationtype, AnimationType::Polar);
  EXPECT_EQ(saved->pathtype, PathType::Manual);
  ASSERT_EQ(saved->xpath->size(), 6u);
  EXPECT_NEAR(receptorAt().x, s.x + 4, 1e-9);
  EXPECT_NEAR(source().x, s.x, 1e-12);
  int polarWindows = 0;
  for (Handle f : rt.graphics().figures()) polarWindows += rt.graphics().at(f).tag() == "acoupolar" ? 1 : 0;
  EXPECT_EQ(polarWindows, 1);
  const auto lines = summaryText();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "Frame number: 6");
  EXPECT_EQ(lines[4], "Axis limits: ");  // no map extent for the polar diagram
  for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
  EXPECT_TRUE(controlsEnabled());
}

TEST_F(AnimationTest, FramesAreWrittenAsNumberedBitmaps) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::current_path() / "films";
  fs::create_directories(folder / "run");
  std::ofstream(folder / "run" / "old0001.bmp") << "x";
  std::ofstream(folder / "run" / "notes.txt") << "x";
  then([&] {
    ui.push(ScriptedAnswer::chosenFile((folder / "run.anim").string()));
    rt.click(field("output"));
    type("step", "6");
    rt.click(field("proceed"));
  });
  press(4, 0);
  press(12, 0);
  key("e");
  anim();
  ASSERT_EQ(printer.jobs.size(), 7u);
  for (std::size_t i = 0; i < printer.jobs.size(); ++i) {
    EXPECT_EQ(printer.jobs[i].device, "-dbmp");
    EXPECT_EQ(printer.jobs[i].figure, fig);
    char name[32];
    std::snprintf(name, sizeof name, "run%04zu.bmp", i + 1);
    EXPECT_EQ(printer.jobs[i].path, (folder / "run" / name).string());
  }
  EXPECT_FALSE(fs::exists(folder / "run" / "old0001.bmp"));
  EXPECT_TRUE(fs::exists(folder / "run" / "notes.txt"));
  EXPECT_EQ(summaryText().at(2), "Output directory: " + (folder / "run").string());
  EXPECT_EQ(text(fig, "paperunits"), "points");
  EXPECT_EQ(stored()->output, (folder / "run").string());
}

TEST_F(AnimationTest, UnwritableOutputWarnsAndRunsWithoutFiles) {
  namespace fs = std::filesystem;
  std::ofstream("blocker") << "a file where the folder should be";
  then([&] {
    rt.graphics().setText(field("output"), "string", (fs::current_path() / "blocker" / "run").string());
    type("step", "5");
    rt.click(field("proceed"));
  });
  press(4, 0);
  press(12, 0);
  key("e");
  anim();
  EXPECT_TRUE(printer.jobs.empty());
  bool warned = false;
  for (const auto& s : ui.shown()) {
    warned = warned || (s.kind == "warning" && s.title == "Error" &&
                        s.text.rfind("Unable to create output directory ", 0) == 0);
  }
  EXPECT_TRUE(warned);
  EXPECT_TRUE(stored());
  // A printer that fails half way: a warning, the run ends normally.
  printer.fail = true;
  then([&] {
    rt.graphics().setText(field("output"), "string", (fs::current_path() / "films2" / "run").string());
    rt.click(field("proceed"));
  });
  anim();
  EXPECT_FALSE(readCase(rt, fig).noprogressbar);
  EXPECT_EQ(summaryText().at(2), "Output directory: " + (fs::current_path() / "films2" / "run").string());
}

// ---- early ends ----------------------------------------------------------------------------------

TEST_F(AnimationTest, EveryEarlyEndChangesNothing) {
  // A completed run first, so there is something to keep.
  proceedWith({{"step", "5"}});
  press(4, 0);
  press(12, 0);
  key("e");
  anim();
  const auto before = stored();
  ASSERT_TRUE(before);
  const engine::Point where = source();

  struct Row {
    const char* name;
    std::function<void()> script;
  };
  const std::vector<Row> rows = {
      {"dialog cancel", [&] { then([&] { rt.click(field("cancel")); }); }},
      {"no more input in the dialog", [] {}},
      {"middle button",
       [&] {
         proceedWith({}, {{"pathtype", 2}});
         press(5, 0);
         press(9, 2);
         press(0, 0, 2);
       }},
      {"no more input while drawing",
       [&] {
         proceedWith({}, {{"pathtype", 3}});
         press(5, 0);
       }},
      {"manual cancel",
       [&] {
         proceedWith({}, {{"pathtype", 4}});
         ui.push(ScriptedAnswer::inputs(std::nullopt));
       }},
      {"manual quit",
       [&] {
         proceedWith({}, {{"pathtype", 4}});
         ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"4 0", "9 0", "", "", ""}));
         ui.push(ScriptedAnswer::button("Quit"));
       }},
      {"path outside the room",
       [&] {
         proceedWith({}, {{"pathtype", 2}});
         press(5, 0);
         press(19, 0);
         key("e");
         ui.push(ScriptedAnswer::messageClosed());
       }},
  };
  for (const Row& row : rows) {
    steps.clear();
    row.script();
    const std::size_t figures = rt.graphics().figures().size();
    anim();
    EXPECT_EQ(stored(), before) << row.name;
    EXPECT_EQ(source().x, where.x) << row.name;
    EXPECT_TRUE(controlsEnabled()) << row.name;
    EXPECT_EQ(rt.graphics().figures().size(), figures) << row.name;
    for (const char* tag : {"startpoint", "lines", "spline", "path"}) EXPECT_EQ(count(tag), 0u) << row.name;
    EXPECT_EQ(rt.graphics().at(drawingAxes(rt, fig)).children().size(),
              rt.graphics().at(drawingAxes(rt, fig)).children().size());
  }
  bool outside = false;
  for (const auto& s : ui.shown()) {
    outside = outside || (s.kind == "error" && s.text == "Some path points (in red) are outside room ...");
  }
  EXPECT_TRUE(outside);
}

// ---- grabbing limits and keeping parameters -------------------------------------------------------

TEST_F(AnimationTest, GrabButtonsCopyTheSummaryLimits) {
  proceedWith({{"step", "5"}});
  press(4, 0);
  press(12, 0);
  key("e");
  anim();
  const auto lines = summaryText();
  ASSERT_EQ(lines.size(), 6u);
  then([&] {
    rt.click(field("grablevel"));
    rt.click(field("grabaxis"));
    EXPECT_EQ(text(field("level")), lines[3].substr(10));
    EXPECT_EQ(text(field("axis")), lines[4].substr(13));
    EXPECT_FALSE(text(field("axis")).empty());
    rt.click(field("cancel"));
  });
  anim();
}

TEST_F(AnimationTest, ParametersAreSavedAndLoadedWithTheCase) {
  proceedWith({{"step", "8"}, {"level", "30 90"}, {"pause", "0.5"}}, {{"animationtype", 1}});
  press(4, 0);
  press(10, 4);
  key("e");
  anim();
  const auto saved = stored();
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->level, (std::vector<double>{30, 90}));
  EXPECT_EQ(saved->pause, 0.5);
  EXPECT_EQ(summaryText().at(3), "dB level: 30 89");  // reflection numbers: the upper count
  const std::string path = (std::filesystem::current_path() / "kept.ac").string();
  ui.push(ScriptedAnswer::chosenFile(path));
  velmoracopy(rt, ops, {Value("save")});
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
  velmoracopy(rt, ops, {});
  fig = currentMainWindow(rt);
  EXPECT_FALSE(stored());
  velmoracopy(rt, ops, {Value("load"), Value(path)});
  fig = currentMainWindow(rt);
  EXPECT_EQ(stored(), saved);
  // The dialog shows them again, with "previous path" chosen.
  then([&] {
    EXPECT_EQ(text(field("level")), "30 90");
    EXPECT_EQ(text(field("step")), "8");
    EXPECT_EQ(text(field("pause")), "0.5");
    EXPECT_EQ(rt.graphics().at(field("pathtype")).numbers("value")[0], 1);
    rt.click(field("cancel"));
  });
  anim();
}

}  // namespace
}  // namespace velmora::animation

namespace velmora::animation {
namespace {

TEST_F(AnimationTest, StoredFramesWithoutTheirPointsStillRun) {
  CaseRecord r = readCase(rt, fig);
  AnimationParameters p;
  p.xpath = std::vector<double>{5, 7, 9};
  p.ypath = std::vector<double>{0, 1, 0};
  r.animationparameters = p;
  storeCase(rt, fig, r);
  proceedWith({});  // "previous path" and the same step number
  anim();
  ASSERT_TRUE(stored());
  EXPECT_EQ(*stored()->xpath, (std::vector<double>{5, 7, 9}));
  EXPECT_EQ(summaryText().at(1), "Frame number: 3");
  EXPECT_NEAR(source().x, 9, 1e-9);
}

}  // namespace
}  // namespace velmora::animation
