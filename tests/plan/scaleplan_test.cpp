// True-scale plan printing: the scale and sheet for rooms of several sizes, the absorption labels, and
// the sheet written as PostScript and measured by Ghostscript.

#include "plan/scaleplan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"

namespace velmora::plan {
namespace {

namespace fs = std::filesystem;
using platform::Handle;
using platform::ScriptedAnswer;
using platform::Value;

std::vector<engine::Point> box(double w, double h) {
  return {{0, 0}, {w, 0}, {w, h}, {0, h}};
}

TEST(ScalePlan, StandardScales) {
  const auto& s = standardScales();
  EXPECT_EQ(s.front(), 5);
  EXPECT_EQ(s.back(), 4000);
  EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
  EXPECT_EQ(std::adjacent_find(s.begin(), s.end()), s.end());  // 500, 1000, ... once
  EXPECT_EQ(s.size(), 20u + 32u + 40u - 1u - 8u);              // 100 and the multiples of 500 once
  EXPECT_EQ(*standardScale(5), 10);                            // strictly greater
  EXPECT_EQ(*standardScale(101), 125);
  EXPECT_EQ(*standardScale(1895.3), 1900);
  EXPECT_FALSE(standardScale(4000));
}

TEST(ScalePlan, LayoutForRoomSizes) {
  struct Row {
    double w, h;
    bool landscape;
    double denominator;
  };
  const std::vector<Row> rows = {
      {14, 10, true, 65},      // 14.7 x 11.55 m: fac 60.8
      {10, 10, false, 60},     // 10.5 x 11.55 m: fac 55.3
      {1, 1, false, 10},       // fac 5.5
      {0.5, 3, false, 15},     // fac 12.5
      {500, 300, true, 1900},  // fac 1895.3
      {20, 80, false, 375},    // fac 333.6
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.w);
    const PlanLayout l = planLayout(box(r.w, r.h));
    EXPECT_EQ(l.landscape, r.landscape);
    EXPECT_EQ(l.denominator, r.denominator);
    // The drawing fits the printable area, centred in it.
    EXPECT_LE(l.paperposition[2], l.psize[0]);
    EXPECT_LE(l.paperposition[3], l.psize[1]);
    EXPECT_NEAR(l.paperposition[0] + l.paperposition[2] / 2, 1 + l.psize[0] / 2, 1e-12);
    EXPECT_NEAR(l.paperposition[2], 100 * l.dx / l.denominator, 1e-12);
  }
  const PlanLayout l = planLayout(box(14, 10));
  EXPECT_NEAR(l.dx, 14.7, 1e-12);
  EXPECT_NEAR(l.dy, 11.55, 1e-12);
  EXPECT_NEAR(l.ymean, 4.5, 1e-12);
  try {
    planLayout(box(1200, 100));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "the plan is too large for an A4 sheet at 1:4000 (it would need 1:4549)");
  }
}

TEST(ScalePlan, AbsorptionLabelChoice) {
  struct Row {
    std::vector<double> alpha;
    AbsorptionLabels labels;
    double common;
    bool ask;
  };
  const std::vector<Row> rows = {
      {{30, 30, 30, 30}, AbsorptionLabels::Note, 30, false},
      {{100, 30, 30, 30}, AbsorptionLabels::Note, 30, false},
      {{0, 0, 0}, AbsorptionLabels::None, 0, false},
      {{100, 0, 0}, AbsorptionLabels::None, 0, false},
      {{100, 100, 100}, AbsorptionLabels::Note, 100, false},
      {{0, 20, 40}, AbsorptionLabels::None, 0, true},
  };
  for (const Row& r : rows) {
    const LabelChoice c = absorptionLabelling(r.alpha);
    EXPECT_EQ(c.ask, r.ask);
    if (!r.ask) {
      EXPECT_EQ(c.labels, r.labels);
      EXPECT_EQ(c.common, r.common);
    }
  }
}

class ScalePlanPrint : public ::testing::Test {
 protected:
  ScalePlanPrint() {
    app::registerAllOperations(ops);
    shell::installDispatcher(rt, ops);
    ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
    rt.dispatch({});
    main = document::currentMainWindow(rt);
  }
  void setAlpha(const std::vector<double>& alpha) {
    document::CaseDescription d;
    d.xwall = std::vector<double>{3, 17, 17, 3};
    d.ywall = std::vector<double>{-7, -7, 7, 7};
    d.alpha = alpha;
    rt.dispatch({Value("update"), d.toValue()});
  }
  std::vector<std::string> texts(Handle sheet, const std::string& tag) {
    std::vector<std::string> out;
    for (Handle t : rt.graphics().findobj(sheet, tag)) out.push_back(rt.graphics().at(t).text("string"));
    return out;
  }
  platform::ScriptedUi ui;
  platform::Runtime rt{ui};
  document::Operations ops;
  Handle main = platform::kNoHandle;
};

// Ghostscript's bounding box of a PostScript file, in points.
std::vector<double> boundingBox(const std::string& ps) {
  const std::string out = ps + ".bbox";
  const std::string cmd = "gs -q -dNOPAUSE -dBATCH -sDEVICE=bbox '" + ps + "' 2> '" + out + "' > /dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("%%HiResBoundingBox:", 0) == 0) {
      std::istringstream s(line.substr(19));
      std::vector<double> v(4);
      s >> v[0] >> v[1] >> v[2] >> v[3];
      return v;
    }
  }
  return {};
}

TEST_F(ScalePlanPrint, DefaultRoomPrintsTrueToScale) {
  const std::string path = (fs::current_path() / "plan").string();
  ui.push(ScriptedAnswer::chosenFile(path));
  const auto before = document::readCase(rt, main).actionlist;
  rt.runCallback(platform::kNoHandle, "velmoracopy('plan')");
  ASSERT_TRUE(fs::exists(path + ".ps")) << ::testing::PrintToString(ui.consoleLines());
  std::ifstream in(path + ".ps");
  std::string head;
  std::getline(in, head);
  EXPECT_EQ(head.rfind("%!PS", 0), 0u);
  // Default room 14 x 14 m: extent 14.7 x 16.17 m, portrait, 1:80. The frame of the drawing measures
  // 18.375 x 20.2125 cm on paper, centred on the sheet.
  const auto bb = boundingBox(path + ".ps");
  ASSERT_EQ(bb.size(), 4u);
  const double cm = 72 / 2.54;
  EXPECT_NEAR(bb[2] - bb[0], 18.375 * cm, 1.5);
  EXPECT_NEAR(bb[3] - bb[1], 20.2125 * cm, 1.5);
  EXPECT_NEAR((bb[0] + bb[2]) / 2, 10.5 * cm, 1.5);
  EXPECT_NEAR((bb[1] + bb[3]) / 2, 14.85 * cm, 1.5);
  // Nothing is left behind and nothing in the case changed.
  EXPECT_EQ(rt.graphics().figures().size(), 1u);
  EXPECT_EQ(rt.graphics().currentFigure(), main);
  EXPECT_EQ(document::readCase(rt, main).actionlist, before);
  EXPECT_EQ(ui.shown().back().title, "Print true scale plan");
}

TEST_F(ScalePlanPrint, SheetLabelsAndTitle) {
  const std::vector<engine::Point> v = box(14, 10);
  const PlanLayout l = planLayout(v);
  Handle sheet = buildScalePlan(rt, v, {100, 30, 30, 30}, AbsorptionLabels::Note, "hall  (\\alpha=30)", l);
  EXPECT_EQ(texts(sheet, "scaleplanscale"), std::vector<std::string>{"scale 1:65 "});
  EXPECT_EQ(texts(sheet, "scaleplantitle"), std::vector<std::string>{"hall  (\\alpha=30)"});
  auto walls = rt.graphics().findobj(sheet, "scaleplanwall");
  std::reverse(walls.begin(), walls.end());
  EXPECT_EQ(rt.graphics().at(walls[0]).text("linestyle"), ":");
  EXPECT_EQ(rt.graphics().at(walls[1]).text("linestyle"), "-");
  EXPECT_EQ(rt.graphics().at(sheet).text("paperorientation"), "landscape");
  EXPECT_FALSE(rt.graphics().at(sheet).isOn("visible"));
  rt.graphics().remove(sheet);

  // One label per wall, on the inner side of a counter-clockwise outline; 0 and 100 unlabelled.
  sheet = buildScalePlan(rt, v, {0, 20, 40, 100}, AbsorptionLabels::PerWall, "", l);
  auto labels = rt.graphics().findobj(sheet, "scaleplanlabel");
  ASSERT_EQ(labels.size(), 2u);
  std::reverse(labels.begin(), labels.end());
  EXPECT_EQ(rt.graphics().at(labels[0]).text("string"), "20");
  EXPECT_EQ(rt.graphics().at(labels[0]).text("horizontalalignment"), "right");  // right wall: a < 0
  EXPECT_EQ(rt.graphics().at(labels[0]).text("verticalalignment"), "middle");
  EXPECT_EQ(rt.graphics().at(labels[1]).text("horizontalalignment"), "center");  // top wall, going left
  EXPECT_EQ(rt.graphics().at(labels[1]).text("verticalalignment"), "top");
  rt.graphics().remove(sheet);
}

TEST_F(ScalePlanPrint, QuestionWhenAbsorptionsDiffer) {
  setAlpha({0, 20, 40, 0});
  // "Cancel": no file asked, nothing printed.
  ui.push(ScriptedAnswer::button("Cancel"));
  const std::size_t shownBefore = ui.shown().size();
  rt.runCallback(platform::kNoHandle, "velmoracopy('scaleplan')");
  ASSERT_EQ(ui.shown().size(), shownBefore + 1);
  EXPECT_EQ(ui.shown().back().text, " Display absorption coefficient ?");
  EXPECT_EQ(ui.shown().back().title, "Absorption coefficient");
  // "No", then a file: printed without labels.
  const std::string path = (fs::current_path() / "walls.ps").string();
  ui.push(ScriptedAnswer::button("No"));
  ui.push(ScriptedAnswer::chosenFile(path));
  rt.runCallback(platform::kNoHandle, "velmoracopy('scaleplan')");
  EXPECT_TRUE(fs::exists(path));
  EXPECT_FALSE(fs::exists(path + ".ps"));
  EXPECT_EQ(rt.graphics().figures().size(), 1u);
}

TEST_F(ScalePlanPrint, UnwritableFileChangesNothing) {
  ui.push(ScriptedAnswer::chosenFile("/no/such/folder/plan.ps"));
  ui.takeConsole();
  rt.runCallback(platform::kNoHandle, "velmoracopy('scaleplan')");
  const auto lines = ui.takeConsole();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("cannot write file /no/such/folder/plan.ps", 0), 0u);
  EXPECT_EQ(rt.graphics().figures().size(), 1u);
}

}  // namespace
}  // namespace velmora::plan
