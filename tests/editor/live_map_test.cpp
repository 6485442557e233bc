// The live map: drags of a wall vertex, the source and an audience corner in a real main window,
// with the worker's results taken in when the test chooses (the "settlelivemap" operation), and the
// same drags with "live map" off, which must end in the same window.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "editor/live_map.h"
#include "support/main_window.h"

namespace velmora::editor {
namespace {

using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

CaseDescription lRoom() {
  CaseDescription d;
  d.xwall = {0, 10, 10, 5, 5, 0};
  d.ywall = {0, 0, 10, 10, 5, 5};
  d.alpha = {20, 20, 20, 20, 20, 20};
  d.xaud = {0.5, 9.5, 9.5, 0.5};
  d.yaud = {0.5, 0.5, 4.5, 4.5};
  d.xso = 2;
  d.yso = 2;
  d.Nsurface = 20;
  return d;
}

class LiveMapTest : public test_support::MainWindowFixture<> {
 protected:
  LiveMapTest() {
    snapshotsFromStandIn();
    fig = openMainWindow();
    velmoracopy(rt, ops, {Value("update"), lRoom().toValue()});
    rt.click(obj("acousnapbutton"), Value(0.0));
  }

  Handle nth(const char* tag, std::size_t k) { return objectsInCreationOrder(rt, fig, tag).at(k - 1); }
  void settle() { ops.call(rt, "settlelivemap", {}); }
  void setLive(bool on) {
    const Handle item = windowItems("live map").at(0);
    if (rt.graphics().at(item).isOn("checked") != on) rt.click(item);
  }
  std::vector<double> firstImage() {
    return {nums(nth("acouimage", 1), "xdata")[0], nums(nth("acouimage", 1), "ydata")[0]};
  }

  // Everything a drag can change in the drawing area, object by object in stacking order.
  std::vector<std::string> drawing() {
    std::vector<std::string> out;
    const auto& g = rt.graphics();
    for (Handle h : g.at(document::drawingAxes(rt, fig)).children()) {
      const auto& o = g.at(h);
      std::string line = std::string(platform::typeName(o.type())) + " " + o.tag() + " " + o.text("visible");
      for (const char* p : {"xdata", "ydata", "cdata"}) {
        if (o.hasProperty(p)) {
          for (double v : o.numbers(p)) line += " " + std::to_string(v);
        }
      }
      if (o.hasProperty("color")) {
        const Value c = o.get("color");
        if (c.isText()) line += " " + c.text();
        for (double v : c.isMatrix() ? c.numbers() : std::vector<double>{}) line += " " + std::to_string(v);
      }
      if (o.type() == platform::ObjectType::Line) line += " " + o.text("linestyle");
      out.push_back(line);
    }
    out.push_back(text(obj("acoutext"), "string"));
    out.push_back(text(fig, "pointer"));
    return out;
  }

  // Three drags, each with a motion whose result is still on its way at the release.
  void dragAll() {
    rt.press(nth("acouwallvertex", 5), 5, 5);
    rt.motion(fig, 6, 4);
    settle();
    rt.motion(fig, 6.5, 3.5);
    rt.release(fig, 6.5, 3.5);
    settle();
    rt.press(obj("acousource"), 2, 2);
    rt.motion(fig, 3, 1.5);
    settle();
    rt.motion(fig, 8, 1);
    rt.release(fig, 8, 1);
    rt.press(nth("acouaudiencevertex", 3), 9.5, 4.5);
    rt.motion(fig, 9, 3);
    settle();
    rt.motion(fig, 8.5, 2.5);
    rt.release(fig, 8.5, 2.5);
    settle();
  }
};

TEST_F(LiveMapTest, MapFollowsAVertexDragAndOnlyTheNewestResultShows) {
  const CaseRecord before = readCase(rt, fig);
  const auto image = firstImage();
  rt.press(nth("acouwallvertex", 2), 10, 0);
  rt.motion(fig, 9, 1);
  // Nothing changes before the result is taken in.
  EXPECT_EQ(readCase(rt, fig).RT->data, before.RT->data);
  rt.motion(fig, 9, 0.5);
  settle();
  // Wall 1 now runs from (0, 0) to (9, 0.5): its image is the source (2, 2) mirrored across it.
  const double t = (2 * 9 + 2 * 0.5) / 81.25;
  const double fx = 9 * t, fy = 0.5 * t;
  EXPECT_NEAR(firstImage()[0], 2 * fx - 2, 1e-9);
  EXPECT_NEAR(firstImage()[1], 2 * fy - 2, 1e-9);
  EXPECT_NE(firstImage(), image);
  EXPECT_NE(readCase(rt, fig).RT->data, before.RT->data);
  EXPECT_EQ(readCase(rt, fig).actionlist, before.actionlist);  // no history step while dragging

  // A result that arrives after the release changes nothing.
  rt.motion(fig, 9.5, 0.2);
  rt.release(fig, 9.5, 0.2);
  const auto released = drawing();
  const CaseRecord after = readCase(rt, fig);
  settle();
  EXPECT_EQ(drawing(), released);
  EXPECT_EQ(readCase(rt, fig).toValue(), after.toValue());
  EXPECT_EQ(after.actionlist.back(), "move wall");
  EXPECT_EQ(after.actionlist.size(), before.actionlist.size() + 1);
}

// At reflection order 2 the live map counts the paths of two walls as the release does, and keeps
// each order apart.
TEST_F(LiveMapTest, AVertexDragAtOrderTwoShowsWhatTheReleaseComputes) {
  velmoracopy(rt, ops, {Value("reflectionorder"), Value("2")});
  const CaseRecord before = readCase(rt, fig);
  ASSERT_TRUE(before.RTorder);
  rt.press(nth("acouwallvertex", 5), 5, 5);
  rt.motion(fig, 6, 4);
  settle();
  const CaseRecord live = readCase(rt, fig);
  ASSERT_TRUE(live.RTorder && live.PTorder);
  ASSERT_EQ(live.RTorder->size(), 2u);
  EXPECT_NE(live.RT->data, before.RT->data);
  rt.release(fig, 6, 4);
  settle();
  const CaseRecord released = readCase(rt, fig);
  EXPECT_EQ(released.RT, live.RT);
  EXPECT_EQ(released.PT, live.PT);
  EXPECT_EQ(released.RTorder, live.RTorder);
  EXPECT_EQ(released.PTorder, live.PTorder);
}

TEST_F(LiveMapTest, SwitchedOffTheMapWaitsForTheRelease) {
  setLive(false);
  const CaseRecord before = readCase(rt, fig);
  rt.press(obj("acousource"), 2, 2);
  rt.motion(fig, 8, 1);
  settle();
  EXPECT_EQ(readCase(rt, fig).RT->data, before.RT->data);
  EXPECT_EQ(readCase(rt, fig).toValue().record().at("images"), before.toValue().record().at("images"));
  rt.release(fig, 8, 1);
  EXPECT_NE(readCase(rt, fig).toValue().record().at("images"), before.toValue().record().at("images"));
}

// A release stops the computation still running for the drag, however long it has run.
TEST_F(LiveMapTest, ReleaseStopsTheRunningComputation) {
  CaseDescription d = lRoom();
  d.xwall = std::vector<double>{};
  d.ywall = std::vector<double>{};
  for (int k = 0; k < 240; ++k) {
    const double a = 6.283185307179586 * k / 240, r = k % 2 == 0 ? 10.0 : 9.0;
    d.xwall->push_back(r * std::cos(a));
    d.ywall->push_back(r * std::sin(a));
  }
  d.alpha = std::vector<double>(240, 20.0);
  d.xaud = {-8, 8, 8, -8};
  d.yaud = {-8, -8, 8, 8};
  d.xso = 1;
  d.yso = 0;
  d.Nsurface = 300;
  velmoracopy(rt, ops, {Value("update"), d.toValue()});
  const auto live = std::make_shared<LiveMap>(ops);
  live->follow(rt, fig, LiveDrag::Source, true);
  live->release();
  live->settle(rt);
  EXPECT_EQ(live->finished(), 0u);
}

TEST_F(LiveMapTest, AudienceDragMovesTheMapGridLive) {
  const auto grid = nums(obj("acouaudiencesurface"), "xdata");
  rt.press(nth("acouaudiencevertex", 2), 9.5, 0.5);
  rt.motion(fig, 8, 0.5);
  settle();
  const auto moved = nums(obj("acouaudiencesurface"), "xdata");
  EXPECT_EQ(moved.size(), grid.size());
  EXPECT_NE(moved, grid);
  EXPECT_DOUBLE_EQ(*std::max_element(moved.begin(), moved.end()), 9.5);  // corner 3 stays at x 9.5
}

TEST_F(LiveMapTest, EchogramFollowsTheLiveSource) {
  velmoracopy(rt, ops, {Value("echogram")});
  const auto echograms = rt.graphics().findobj(platform::kRoot, "acouechogram");
  ASSERT_EQ(echograms.size(), 1u);
  auto sourceX = [&] {
    return rt.graphics().at(echograms[0]).userdata()->toValue().record().at("xso").scalar();
  };
  EXPECT_EQ(sourceX(), 2);
  rt.press(obj("acousource"), 2, 2);
  rt.motion(fig, 3, 1.5);
  settle();
  EXPECT_EQ(sourceX(), 3);  // before the release
  rt.release(fig, 3, 1.5);
  EXPECT_EQ(sourceX(), 3);
}

// The whole window after the same drags is the same with the live map on and off: case record
// (history included), drawing and console.
TEST(LiveMapOutcomeTest, DragsEndAsWithoutTheLiveMap) {
  struct Run : LiveMapTest {
    void TestBody() override {}
    using LiveMapTest::dragAll;
    using LiveMapTest::drawing;
    using LiveMapTest::fig;
    using LiveMapTest::rt;
    using LiveMapTest::setLive;
    using LiveMapTest::ui;
  };
  std::vector<std::vector<std::string>> drawings;
  std::vector<CaseRecord> records;
  std::vector<std::vector<std::string>> consoles;
  for (const bool live : {true, false}) {
    Run run;
    run.setLive(live);
    run.dragAll();
    drawings.push_back(run.drawing());
    records.push_back(readCase(run.rt, run.fig));
    consoles.push_back(run.ui.takeConsole());
  }
  EXPECT_EQ(records[0].actionlist,
            (std::vector<std::string>{"initial state", "move wall", "move source", "move audience"}));
  EXPECT_EQ(records[0].toValue(), records[1].toValue());
  EXPECT_EQ(drawings[0], drawings[1]);
  EXPECT_EQ(consoles[0], consoles[1]);
}

TEST(LiveComputeTest, AStopRequestAbandonsTheComputation) {
  LiveJob job;
  job.kind = LiveDrag::Audience;
  job.inputs.walls =
      engine::wallsFromOutline(std::vector<double>{0, 10, 10, 0}, std::vector<double>{0, 0, 10, 10});
  job.inputs.alpha = {0, 0, 0, 0};
  job.inputs.xso = 5;
  job.inputs.yso = 5;
  const std::vector<double> xaud{1, 9, 9, 1}, yaud{1, 1, 9, 9};
  engine::AudienceGrid grid = engine::audiencegrid(xaud, yaud, 10);
  job.inputs.xs = grid.xs;
  job.inputs.ys = grid.ys;
  job.inputs.noprogressbar = false;
  const auto done = computeLive(job);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->xs.size(), 121u);
  EXPECT_FALSE(computeLive(job, [] { return true; }));
  job.inputs.xs = {};  // not an audience area: nothing to show, no crash
  EXPECT_FALSE(computeLive(job));
}

}  // namespace
}  // namespace velmora::editor
