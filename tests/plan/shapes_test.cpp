// The shape generator through the "geometric shapes" submenu: each shape's outline, source and
// receptor for given answers, clamping, the restarted history, the hidden view helpers, the
// remembered spiral texts, and answers that change nothing.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/window.h"
#include "plan/shapes.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/case_files.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::plan {
namespace {

using platform::Handle;
using platform::InputDialog;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;
using Answer = std::optional<std::vector<std::string>>;

double signedArea(const std::vector<double>& x, const std::vector<double>& y) {
  double a = 0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    const std::size_t n = (k + 1) % x.size();
    a += x[k] * y[n] - x[n] * y[k];
  }
  return a / 2;
}

class ShapesTest : public test_support::MainWindowFixture<test_support::DialogRecordingUi> {
 protected:
  ShapesTest() {
    fig = openMainWindow();
    ui.dialogs.clear();
  }
  Handle item(const std::string& label) const {
    const auto items = windowItems(label);
    EXPECT_EQ(items.size(), 1u) << label;
    return items.empty() ? platform::kNoHandle : items.front();
  }
  void make(const std::string& label, Answer answer) {
    ui.push(ScriptedAnswer::inputs(std::move(answer)));
    rt.click(item(label));
  }
  document::CaseDescription shown() const { return shell::describeCase(rt, fig, "x"); }
  std::vector<std::string> errors() const { return shownOf("error"); }
  std::optional<Value> spiralTexts() const {
    const Value* v = rt.graphics().at(fig).appData(kSpiralAppData);
    return v ? std::optional<Value>(*v) : std::nullopt;
  }
  static Value texts(std::vector<std::string> t) {
    platform::List l;
    for (auto& s : t) l.items.emplace_back(std::move(s));
    return Value(std::move(l));
  }
};

TEST_F(ShapesTest, EachShapeWithItsDefaults) {
  struct Row {
    const char* label;
    ShapeDialog dialog;
    std::size_t vertices;
    double xmin, xmax, ymin, ymax;
    double xso, yso, xre, yre;
    std::optional<int> nsurface;  // nothing: the window's own
  };
  const double c = 0.5 * std::sqrt(91.0);
  const std::vector<Row> rows = {
      {"circle",
       {"Create a circle", {"Diameter (m):", "Wall number:"}, {"10", "72"}},
       72,
       -5,
       5,
       -5,
       5,
       5,
       0,
       -2.15,
       0,
       50},
      {"ellipse",
       {"Create an ellipse",
        {"Great diameter (m):", "Small diameter (m):", "Wall number:"},
        {"10", "3", "72"}},
       72,
       -5,
       5,
       -1.5,
       1.5,
       c,
       0,
       -c,
       0,
       50},
      {"parabola",
       {"Create an parabola (y=ax\u00b2)",
        {"Curvature coefficient (a):", "Wide (m):", "Wall number:"},
        {"1", "6", "72"}},
       73,
       -3,
       3,
       0,
       9,
       0,
       0.25,
       0,
       1.25,
       50},
      {"logarithmic spiral",
       {"Create a logarithmic spiral",
        {"Initial radius (m):", "Inclination (\u00b0):", "Initial angle (\u00b0):", "Aperture (\u00b0)",
         "Wall number:"},
        {"10", "75", "45", "120", "30"}},
       33,
       -1e9,
       1e9,
       -10,
       1e9,
       0,
       0,
       -1,
       0,
       std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ui.dialogs.clear();
    const auto mapBefore = shown().Nsurface;
    make(row.label, std::vector<std::string>{});  // every field keeps its default
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, row.dialog.title);
    EXPECT_EQ(ui.dialogs[0].prompts, row.dialog.prompts);
    EXPECT_EQ(ui.dialogs[0].defaults, row.dialog.defaults);

    const document::CaseDescription d = shown();
    const auto& x = *d.xwall;
    const auto& y = *d.ywall;
    ASSERT_EQ(x.size(), row.vertices);
    EXPECT_GT(signedArea(x, y), 0);  // counter-clockwise
    EXPECT_FALSE(outlineProblem(x, y));
    if (row.xmin > -1e9) {
      EXPECT_NEAR(*std::min_element(x.begin(), x.end()), row.xmin, 1e-9);
      EXPECT_NEAR(*std::max_element(x.begin(), x.end()), row.xmax, 1e-9);
      EXPECT_NEAR(*std::max_element(y.begin(), y.end()), row.ymax, 1e-3);
    }
    EXPECT_NEAR(*std::min_element(y.begin(), y.end()), row.ymin, 1e-3);
    // A source on a vertex is moved just off it by the image computation.
    EXPECT_NEAR(*d.xso, row.xso, 1e-4);
    EXPECT_NEAR(*d.yso, row.yso, 1e-9);
    EXPECT_NEAR(*d.xre, row.xre, 1e-9);
    EXPECT_NEAR(*d.yre, row.yre, 1e-9);
    if (row.nsurface) {
      EXPECT_EQ(d.Nsurface, row.nsurface);
    } else {
      EXPECT_EQ(d.Nsurface, mapBefore);  // the window keeps its own
    }
    const document::CaseRecord record = document::readCase(rt, fig);
    EXPECT_EQ(record.actionlist, std::vector<std::string>{"geometric shape"});
    EXPECT_EQ(record.proplist.size(), 1u);
  }
}

TEST_F(ShapesTest, VertexPositions) {
  make("circle", std::vector<std::string>{"-8", "4"});  // the diameter as its absolute value
  auto d = shown();
  EXPECT_EQ(*d.alpha, std::vector<double>(4, 0.0));
  const std::vector<std::pair<double, double>> square = {{4, 0}, {0, 4}, {-4, 0}, {0, -4}};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_NEAR((*d.xwall)[k], square[k].first, 1e-12);
    EXPECT_NEAR((*d.ywall)[k], square[k].second, 1e-12);
  }

  make("ellipse", std::vector<std::string>{"3", "10", "72"});  // swapped: the same ellipse
  d = shown();
  EXPECT_NEAR((*d.xwall)[0], 5, 1e-12);
  EXPECT_NEAR((*d.ywall)[18], 1.5, 1e-12);  // a quarter turn
  EXPECT_NEAR(*d.xso, 0.5 * std::sqrt(91.0), 1e-12);

  make("parabola", std::vector<std::string>{"-2", "4", "4"});
  d = shown();
  EXPECT_EQ(*d.xwall, (std::vector<double>{-2, -1, 0, 1, 2}));
  EXPECT_EQ(*d.ywall, (std::vector<double>{8, 2, 0, 2, 8}));
  EXPECT_EQ(d.alpha->size(), 5u);  // N+1 walls: the opening closes the outline

  // So flat that the focus lies above the opening: both at the opening's height.
  make("parabola", std::vector<std::string>{"0.01", "6", "72"});
  d = shown();
  EXPECT_NEAR(*d.yso, 0.09, 1e-12);
  EXPECT_NEAR(*d.yre, 0.09, 1e-12);

  make("logarithmic spiral", std::vector<std::string>{"10", "75", "45", "120", "30"});
  d = shown();
  std::vector<double> alpha(30, 0.0);
  alpha.insert(alpha.end(), {100, 100, 100});
  EXPECT_EQ(*d.alpha, alpha);
  const double fac = std::sin(M_PI - 75 * M_PI / 180) / std::sin((75 - 4) * M_PI / 180);
  for (std::size_t k = 0; k <= 30; ++k) {
    const double r = 10 * std::pow(fac, static_cast<double>(k)), phi = (45 + 4.0 * k) * M_PI / 180;
    EXPECT_NEAR((*d.xwall)[k], r * std::cos(phi), 1e-9);
    EXPECT_NEAR((*d.ywall)[k], r * std::sin(phi), 1e-9);
  }
  EXPECT_EQ((*d.xwall)[31], (*d.xwall)[30]);
  EXPECT_EQ((*d.ywall)[31], -10);
  EXPECT_EQ((*d.xwall)[32], (*d.xwall)[0]);
  EXPECT_EQ((*d.ywall)[32], -10);
  EXPECT_TRUE(errors().empty());
}

TEST_F(ShapesTest, WallNumberRoundedAndClamped) {
  const std::vector<std::pair<const char*, std::size_t>> rows = {{"2.6", 4}, {"1", 4},      {"-7", 4},
                                                                 {"4.5", 5}, {"1000", 360}, {"359.4", 359}};
  for (const auto& [typed, walls] : rows) {
    make("circle", std::vector<std::string>{"10", typed});
    EXPECT_EQ(shown().xwall->size(), walls) << typed;
  }
  EXPECT_EQ(clampWallNumber(360.5), 360);
}

TEST_F(ShapesTest, HistoryRestartsAndViewHelpersHide) {
  document::CaseRecord before = document::readCase(rt, fig);
  before.animationparameters = document::AnimationParameters{};
  before.actionlist.push_back("move wall");
  before.proplist.push_back(before.proplist.front());
  document::storeCase(rt, fig, before);

  make("ellipse", std::vector<std::string>{});
  const document::CaseRecord after = document::readCase(rt, fig);
  EXPECT_EQ(after.actionlist, std::vector<std::string>{"geometric shape"});
  ASSERT_EQ(after.proplist.size(), 1u);
  EXPECT_EQ(after.proplist[0].xwall->size(), 72u);
  EXPECT_FALSE(after.animationparameters);

  auto& g = rt.graphics();
  const Handle objects = document::objectInWindow(rt, fig, "acouobjects");
  for (Handle i : g.at(g.get(objects, "uicontextmenu").object()).children()) {
    const std::string label = g.at(i).text("label");
    const bool unchecked = label == "radius" || label == "axes" || label == "audience limits";
    if (unchecked) {
      EXPECT_EQ(g.at(i).text("checked"), "off") << label;
    }
  }
  for (const char* tag : {"acouradius", "acouXaxis", "acouYaxis", "acouaudienceedge", "acouaudiencevertex"}) {
    for (Handle h : g.findobj(fig, tag)) {
      EXPECT_EQ(g.at(h).text("visible"), "off") << tag;
    }
  }
  EXPECT_EQ(g.findobj(fig, "acouaudienceedge").size(), 4u);
}

TEST_F(ShapesTest, CancelAndGarbageChangeNothing) {
  make("logarithmic spiral", std::vector<std::string>{"8", "80", "30", "100", "20"});
  const Value remembered = *spiralTexts();
  EXPECT_EQ(remembered, texts({"8", "80", "30", "100", "20"}));
  const Value record = document::readCase(rt, fig).toValue();
  const auto walls = shown().xwall;

  const std::vector<std::string> garbage = {"", "abc", "10 20", "Inf", "NaN", "1+1", "-"};
  for (const char* label : {"circle", "ellipse", "parabola", "logarithmic spiral"}) {
    make(label, std::nullopt);
    const std::size_t fields = shapeDialog(*shapeFromLabel(label)).prompts.size();
    for (const std::string& bad : garbage) {
      for (std::size_t field = 0; field < fields; ++field) {
        std::vector<std::string> answer = shapeDialog(*shapeFromLabel(label)).defaults;
        answer[field] = bad;
        make(label, answer);
      }
    }
  }
  EXPECT_EQ(document::readCase(rt, fig).toValue(), record);
  EXPECT_EQ(shown().xwall, walls);
  EXPECT_EQ(*spiralTexts(), remembered);
  EXPECT_TRUE(errors().empty());

  // Called without a shape's menu item: no dialog at all.
  ui.dialogs.clear();
  shell::velmoracopy(rt, ops, {Value("geometricshapes")});
  EXPECT_TRUE(ui.dialogs.empty());
  EXPECT_EQ(document::readCase(rt, fig).toValue(), record);
}

TEST_F(ShapesTest, RememberedSpiralTextsAreTheNextDefaults) {
  EXPECT_FALSE(spiralTexts());
  // Values as they are used: absolute radius and inclination, aperture raised to 20.
  make("logarithmic spiral", std::vector<std::string>{"-10", "-75", "45", "10", "30.4"});
  EXPECT_EQ(*spiralTexts(), texts({"10", "75", "45", "20", "30"}));
  ui.dialogs.clear();
  make("logarithmic spiral", std::nullopt);
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].defaults, (std::vector<std::string>{"10", "75", "45", "20", "30"}));
  // Remembered texts of another kind are not used.
  rt.graphics().setAppData(fig, kSpiralAppData, Value("garbage"));
  make("logarithmic spiral", std::nullopt);
  EXPECT_EQ(ui.dialogs.back().defaults, shapeDialog(Shape::Spiral).defaults);

  const SpiralParameters p = SpiralParameters::accepted(3, 60, -120, 400, 2.6);
  EXPECT_EQ(p.angle, -90);
  EXPECT_EQ(p.aperture, 360);
  EXPECT_EQ(p.walls, 4);
  EXPECT_EQ(SpiralParameters::accepted(3, 60, 120, -10, 1000).angle, 90);
  EXPECT_EQ(SpiralParameters::accepted(3, 60, 120, -10, 1000).aperture, 20);
  EXPECT_EQ(SpiralParameters::accepted(3, 60, 120, -10, 1000).walls, 360);
}

TEST_F(ShapesTest, DegenerateAnswersAreRefusedWithAMessage) {
  make("logarithmic spiral", std::vector<std::string>{"8", "80", "30", "100", "20"});
  const Value remembered = *spiralTexts();
  const Value record = document::readCase(rt, fig).toValue();
  const std::vector<std::pair<const char*, std::vector<std::string>>> rows = {
      {"circle", {"0", "72"}},                                   // zero radius
      {"circle", {"1e-6", "72"}},                                // walls within the tolerance
      {"circle", {"1e300", "72"}},                               // beyond what can be computed
      {"ellipse", {"10", "0", "72"}},                            // flat
      {"parabola", {"0", "6", "72"}},                            // a straight line
      {"parabola", {"1", "0", "72"}},                            // no width
      {"parabola", {"1e6", "1e6", "72"}},                        // beyond the case's 1000000 m
      {"logarithmic spiral", {"10", "3", "45", "120", "30"}},    // inclination below the step of 4
      {"logarithmic spiral", {"10", "75", "45", "360", "30"}},   // a whole turn crosses the closing walls
      {"logarithmic spiral", {"10", "75", "-120", "20", "30"}},  // starts on the closing line
      {"logarithmic spiral", {"0", "75", "45", "120", "30"}},    // zero radius
  };
  for (const auto& [label, answer] : rows) {
    const std::size_t before = errors().size();
    make(label, answer);
    ASSERT_EQ(errors().size(), before + 1) << label << " " << answer[0];
    EXPECT_EQ(
        errors().back().rfind(shapeDialog(*shapeFromLabel(label)).title + ": These values give no room: ", 0),
        0u)
        << errors().back();
  }
  EXPECT_EQ(document::readCase(rt, fig).toValue(), record);
  EXPECT_EQ(*spiralTexts(), remembered);
}

TEST(ShapeOutline, ProblemsOfPlainOutlines) {
  EXPECT_FALSE(outlineProblem({0, 1, 1, 0}, {0, 0, 1, 1}));
  EXPECT_TRUE(outlineProblem({0, 0, 1, 1}, {0, 1, 1, 0}));             // clockwise
  EXPECT_TRUE(outlineProblem({0, 1, 0, 1}, {0, 0, 1, 1}));             // a bow tie
  EXPECT_TRUE(outlineProblem({0, 1, 2}, {0, 0, 0}));                   // no area
  EXPECT_TRUE(outlineProblem({0, 1, 1, 1}, {0, 0, 1, 1}));             // a wall of no length
  EXPECT_TRUE(outlineProblem({0, 2, 2, 1, 1.5}, {0, 0, 1, 1, -0.5}));  // crossing walls
  EXPECT_EQ(shapeFromLabel("logarithmic spiral"), Shape::Spiral);
  EXPECT_FALSE(shapeFromLabel("Circle"));
}

}  // namespace
}  // namespace velmora::plan
