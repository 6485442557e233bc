#include "document/case_record.h"
#include "document/case_operations.h"

#include <gtest/gtest.h>

#include <limits>

#include <string>
#include <vector>

#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::Record;
using platform::Value;

std::vector<std::string> fieldNames(const Value& v) {
  return v.record().names();
}

TEST(CaseRecord, NewWindowDefaults) {
  const CaseRecord r = newCaseRecord(20);
  EXPECT_EQ(r.name, "not saved");
  EXPECT_EQ(r.height, 20);
  EXPECT_EQ(r.gsize, 0.5);
  EXPECT_EQ(r.xlim, (std::array<double, 2>{0, 20}));
  EXPECT_EQ(r.ylim, (std::array<double, 2>{-10, 10}));
  EXPECT_EQ(r.Lw, 100);
  EXPECT_EQ(r.Hr, 0);
  EXPECT_EQ(r.colormap, "color");
  EXPECT_EQ(r.climmode, "auto");
  EXPECT_EQ(r.clim, (std::array<double, 2>{0, 100}));
  EXPECT_EQ(r.displayvalue, "reflection");
  EXPECT_TRUE(r.actionlist.empty() && r.proplist.empty() && r.curves.empty());
  EXPECT_FALSE(r.animationparameters || r.iscnvx || r.images || r.PT || r.noprogressbar);

  const CaseRecord small = newCaseRecord(4);
  EXPECT_EQ(small.gsize, 0.1);
  EXPECT_EQ(small.ylim, (std::array<double, 2>{-2, 2}));

  const Value v = r.toValue();
  EXPECT_EQ(fieldNames(v), (std::vector<std::string>{"name", "height", "gsize", "xlim", "ylim", "Lw", "Hr",
                                                     "colormap", "climmode", "clim", "displayvalue",
                                                     "actionlist", "proplist", "curves"}));
  EXPECT_EQ(v.record().at("ylim"), Value::row({-10, 10}));
  EXPECT_EQ(v.record().at("actionlist"), Value(platform::List{}));
}

TEST(CaseRecord, ValueGivesDerivedFieldsInRecordOrder) {
  CaseRecord r = newCaseRecord(20);
  r.actionlist = {"initial state"};
  r.proplist = {CaseDescription{}};
  r.animationparameters = AnimationParameters{};
  r.iscnvx = 1;
  r.ang = std::vector<int>{1, 1, 0};
  r.ina = engine::IndexList{4, 7};
  r.images = std::vector<engine::ImageRecord>{engine::ImageRecord{}};
  r.iwv = std::vector<int>{1, 2, 0};
  r.xwv = engine::Matrix(3, 2);
  r.ywv = engine::Matrix(3, 2);
  r.diffcoef = std::vector<double>{1, 1, 1};
  r.PT = engine::Matrix(2, 2, 1.0);
  r.RT = engine::Matrix(2, 2);
  r.Pso = engine::Matrix(2, 2);
  r.Pwall = std::vector<std::vector<double>>{{1.5}, {}, {}};
  r.inDS = engine::IndexList{};
  r.inRW = std::vector<engine::IndexList>{{2}, {}, {}};
  r.xpol = std::vector<std::vector<double>>{{}, {}, {}};
  r.ypol = r.xpol;
  r.noprogressbar = "no";
  const Value v = r.toValue();
  EXPECT_EQ(fieldNames(v), (std::vector<std::string>{
                               "name",         "height",       "gsize",    "xlim",     "ylim",
                               "Lw",           "Hr",           "colormap", "climmode", "clim",
                               "displayvalue", "actionlist",   "proplist", "curves",   "animationparameters",
                               "iscnvx",       "ang",          "ina",      "images",   "iwv",
                               "xwv",          "ywv",          "diffcoef", "PT",       "RT",
                               "Pso",          "Pwall",        "inDS",     "inRW",     "xpol",
                               "ypol",         "noprogressbar"}));
  const Record& rec = v.record();
  EXPECT_EQ(rec.at("ang"), Value::row({1, 1, 0}));
  EXPECT_EQ(rec.at("ina").matrix(), platform::Matrix::column({4, 7}));  // 1-based, column order
  EXPECT_EQ(rec.at("xwv").matrix().rows, 3u);
  EXPECT_EQ(rec.at("xwv").matrix().cols, 2u);
  EXPECT_EQ(rec.at("images").list().items.at(0).matrix().numel(), 15u);
  EXPECT_EQ(rec.at("inRW").list().items.at(0).matrix(), platform::Matrix::column({2}));
  EXPECT_EQ(rec.at("proplist").list().items.size(), 1u);
}

TEST(CaseRecord, ZoneSizeTable) {
  const std::vector<std::pair<double, double>> rows = {{4, 0.1}, {6, 0.25}, {10, 0.25}, {12, 0.5}, {20, 0.5},
                                                       {22, 1},  {40, 1},   {80, 2},    {160, 4},  {162, 8},
                                                       {320, 8}, {322, 16}, {640, 16}};
  for (const auto& [zone, gsize] : rows) {
    SCOPED_TRACE(zone);
    EXPECT_EQ(gsizeForZone(zone), gsize);
    EXPECT_EQ(zoneTableStep(zone), gsize);
  }
  EXPECT_FALSE(zoneTableStep(641).has_value());
  EXPECT_EQ(zoneTableStep(0.5), 0.1);
}

TEST(CaseRecord, DefaultRoom) {
  const DefaultRoom z20 = defaultRoom(20);
  EXPECT_EQ(z20.xwall, (std::vector<double>{3, 17, 17, 3}));
  EXPECT_EQ(z20.ywall, (std::vector<double>{-7, -7, 7, 7}));
  EXPECT_EQ(z20.alpha, (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(z20.xaud, (std::vector<double>{5, 15, 15, 5}));
  EXPECT_EQ(z20.yaud, (std::vector<double>{-5, -5, 5, 5}));
  EXPECT_EQ(z20.Nsurface, 20);
  EXPECT_EQ(z20.xso, 3.5);
  EXPECT_EQ(z20.yso, 0);
  EXPECT_EQ(z20.xre, 16.5);
  EXPECT_EQ(z20.yre, 0);

  // Zone 4: grid 0.1, room side 3, audience side 2.
  const DefaultRoom z4 = defaultRoom(4);
  EXPECT_EQ(z4.xwall, (std::vector<double>{0.5, 3.5, 3.5, 0.5}));
  EXPECT_EQ(z4.ywall, (std::vector<double>{-1.5, -1.5, 1.5, 1.5}));
  EXPECT_EQ(z4.xaud, (std::vector<double>{1, 3, 3, 1}));
  EXPECT_EQ(z4.yaud, (std::vector<double>{-1, -1, 1, 1}));
  EXPECT_DOUBLE_EQ(z4.xso, 0.6);
  EXPECT_DOUBLE_EQ(z4.xre, 3.4);

  // Every zone the dialog allows: counter-clockwise, inside the working zone, audience inside the room.
  for (int zone = 4; zone <= 640; zone += 2) {
    SCOPED_TRACE(zone);
    const DefaultRoom r = defaultRoom(zone);
    double area = 0;
    for (int k = 0; k < 4; ++k) area += r.xwall[k] * r.ywall[(k + 1) % 4] - r.xwall[(k + 1) % 4] * r.ywall[k];
    EXPECT_GT(area, 0);
    EXPECT_GE(r.xwall[0], 0);
    EXPECT_LE(r.xwall[1], zone);
    EXPECT_GE(r.ywall[0], -zone / 2.0);
    EXPECT_GE(r.xaud[0], r.xwall[0]);
    EXPECT_LE(r.xaud[1], r.xwall[1]);
    EXPECT_LT(r.xso, r.xre);
  }
}

CaseDescription fullDescription() {
  CaseDescription d;
  d.name = "hall";
  d.height = 20;
  d.gsize = 0.5;
  d.xlim = {0, 20};
  d.ylim = {-10, 10};
  d.xwall = {3, 17, 17, 3};
  d.ywall = {-7, -7, 7, 7};
  d.alpha = {0, 10, 20, 30};
  d.xaud = {5, 15, 15, 5};
  d.yaud = {-5, -5, 5, 5};
  d.xso = 3.5;
  d.yso = 0;
  d.xre = 16.5;
  d.yre = 0;
  d.Lw = 100;
  AnimationParameters a;
  a.level = {40, 90};
  a.ptype = "linear";
  a.xp = {4, 8};
  a.yp = {0, 1};
  d.animationparameters = a;
  d.curves = platform::Matrix{1, 9, {2, 3, -7, 17, -7, 10, -6, 1, 1}, 1};
  d.Nsurface = 20;
  return d;
}

TEST(CaseDescription, ValueRoundTrips) {
  const CaseDescription full = fullDescription();
  const Value v = full.toValue();
  EXPECT_EQ(fieldNames(v),
            (std::vector<std::string>{"name", "height", "gsize", "xlim", "ylim", "xwall", "ywall", "alpha",
                                      "xaud", "yaud", "xso", "yso", "xre", "yre", "Lw", "animationparameters",
                                      "curves", "Nsurface"}));
  EXPECT_EQ(CaseDescription::fromValue(v), full);

  CaseDescription producer;
  producer.xwall = {0, 4, 4};
  producer.ywall = {0, 0, 3};
  producer.scan = "yes";
  producer.noselectchange = true;
  producer.noaudiencechange = true;
  const Value pv = producer.toValue();
  EXPECT_EQ(fieldNames(pv),
            (std::vector<std::string>{"xwall", "ywall", "scan", "noselectchange", "noaudiencechange"}));
  EXPECT_EQ(CaseDescription::fromValue(pv), producer);

  EXPECT_EQ(CaseDescription::fromValue(Value(Record{})), CaseDescription{});
  EXPECT_EQ(AnimationParameters::fromValue(AnimationParameters{}.toValue()), AnimationParameters{});

  // Unknown fields are ignored; columns read as well as rows.
  Record r = v.record();
  r.set("comment", "old file");
  r.set("xwall", Value(platform::Matrix::column({3, 17, 17, 3})));
  EXPECT_EQ(CaseDescription::fromValue(Value(r)), full);
}

TEST(CaseDescription, WrongKindsAndShapesAreRefusedWithTheField) {
  struct Row {
    const char* field;
    Value value;
    std::string message;
  };
  const std::string nan = "NaN";
  const std::vector<Row> rows = {
      {"name", 3.0, "case description: field name must be a text, not a number"},
      {"height", "twenty", "case description: field height must hold numbers, not a text"},
      {"height", Value::row({1, 2}), "case description: field height must be one number, not 2"},
      {"gsize", 0.0, "case description: field gsize must be positive"},
      {"xlim", Value::row({0, 1, 2}), "case description: field xlim must be two numbers, not 3"},
      {"xso", std::numeric_limits<double>::quiet_NaN(),
       "case description: field xso must be a finite number"},
      {"xwall", Value::row({0, 1, std::numeric_limits<double>::infinity(), 0}),
       "case description: field xwall holds a value that is not a finite number"},
      {"ywall", Value::row({0, 0, 3}), "case description: field ywall must have as many values as xwall (4)"},
      {"alpha", Value::row({0, 0}), "case description: field alpha must have one value per wall (4)"},
      {"yaud", Value::row({0, 0, 1}), "case description: field xaud and yaud must hold 4 corners each"},
      {"curves", Value::row({1, 2, 3}), "case description: field curves must have nine columns, not 3"},
      {"Nsurface", 2.5, "case description: field Nsurface must be a whole number"},
      {"Nsurface", 0.0, "case description: field Nsurface must be at least 1"},
      {"animationparameters", "none", "animationparameters must be a record, not a text"},
      {"xaud", Value(platform::List{}), "case description: field xaud must hold numbers, not a list"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.field);
    Record r = fullDescription().toValue().record();
    r.set(row.field, row.value);
    try {
      CaseDescription::fromValue(Value(r));
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), row.message);
    }
  }
  Record lonely;
  lonely.set("xwall", Value::row({0, 1, 1}));
  EXPECT_THROW(CaseDescription::fromValue(Value(lonely)), Error);
  Record two;
  two.set("xwall", Value::row({0, 1}));
  two.set("ywall", Value::row({0, 1}));
  EXPECT_THROW(CaseDescription::fromValue(Value(two)), Error);
  EXPECT_THROW(CaseDescription::fromValue(Value("hall.ac")), Error);
  Record anim;
  anim.set("step", "many");
  EXPECT_THROW(AnimationParameters::fromValue(Value(anim)), Error);
}

TEST(ObjectRecords, ValuesLinkTheirObjects) {
  WallRecord w;
  w.con = {5, 6};
  w.alpha = 30;
  const Value v = w.toValue();
  EXPECT_EQ(fieldNames(v), (std::vector<std::string>{"con", "alpha"}));
  EXPECT_EQ(v.record().at("con").list().items, (std::vector<Value>{Value::handle(5), Value::handle(6)}));
  VertexRecord m;
  m.con = {7, 8};
  EXPECT_EQ(m.toValue().record().at("con").list().items.at(1), Value::handle(8));
}

class WindowTest : public ::testing::Test {
 protected:
  Handle openMainWindow() {
    auto& g = rt.graphics();
    fig = g.create(ObjectType::Figure, platform::kRoot);
    g.setText(fig, "tag", "acoufig");
    axes = g.create(ObjectType::Axes, fig);
    g.setText(axes, "tag", "acouaxes");
    storeCase(rt, fig, newCaseRecord(20));
    return fig;
  }
  platform::ScriptedUi ui;
  platform::Runtime rt{ui};
  Handle fig = platform::kNoHandle, axes = platform::kNoHandle;
};

TEST_F(WindowTest, ResetcurvesEmptiesTheCurveTable) {
  try {
    resetcurves(rt);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "no main window");
  }
  openMainWindow();
  CaseRecord r = readCase(rt, fig);
  r.curves = platform::Matrix{1, 9, {2, 3, -7, 17, -7, 10, -6, 1, 1}, 1};
  r.actionlist = {"initial state"};
  storeCase(rt, fig, r);
  Operations ops;
  registerCaseOperations(ops);
  ops.call(rt, "resetcurves");
  const CaseRecord after = readCase(rt, fig);
  EXPECT_TRUE(after.curves.empty());
  EXPECT_EQ(after.actionlist, r.actionlist);  // nothing else changes
  resetcurves(rt);                            // already empty: nothing happens
  EXPECT_TRUE(readCase(rt, fig).curves.empty());
}

TEST_F(WindowTest, MainWindowAndDrawingObjects) {
  EXPECT_FALSE(findMainWindow(rt).has_value());
  openMainWindow();
  auto& g = rt.graphics();
  // A secondary window in front does not hide the main window.
  const Handle polar = g.create(ObjectType::Figure, platform::kRoot);
  EXPECT_EQ(g.currentFigure(), polar);
  EXPECT_EQ(currentMainWindow(rt), fig);
  EXPECT_THROW(readCase(rt, polar), Error);

  // The rebuild creates walls in wall order; the search lists them newest first.
  std::vector<Handle> created;
  for (int k = 0; k < 3; ++k) {
    const Handle h = g.create(ObjectType::Line, axes);
    g.setText(h, "tag", "acouwall");
    g.setRow(h, "xdata", {double(k), double(k + 1)});
    g.setRow(h, "ydata", {0, 1});
    WallRecord rec;
    rec.alpha = 10.0 * k;
    g.setUserdata(h, rec);
    created.push_back(h);
  }
  EXPECT_EQ(wallsInWallOrder(rt, fig), created);
  EXPECT_EQ(wallAbsorptions(rt, fig), (std::vector<double>{0, 10, 20}));
  const engine::Walls walls = wallGeometry(rt, fig);
  ASSERT_EQ(walls.size(), 3u);
  EXPECT_EQ(walls[2].x1, 2);
  EXPECT_EQ(walls[2].x2, 3);
  EXPECT_EQ(firstPoint(rt, created[1]).x, 1);
  EXPECT_EQ(drawingAxes(rt, fig), axes);
  EXPECT_FALSE(findInWindow(rt, fig, "acousource").has_value());
  EXPECT_THROW(objectInWindow(rt, fig, "acousource"), Error);

  g.setGuiData(fig, Value("canceled"));
  EXPECT_EQ(takeGuiData(rt, fig), Value("canceled"));
  EXPECT_FALSE(takeGuiData(rt, fig).has_value());
}

}  // namespace
}  // namespace velmora::shell
