// Pointer drags on a real main window, driven as the front end drives them: a press on the object,
// pointer motions and a release in the window, each running the callbacks the objects and the window
// hold. Wall and audience vertices, axes, source and receptor, panning, and choosing a wall.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/window.h"
#include "editor/drag.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::editor {
namespace {

using engine::Point;
using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

class DragTest : public test_support::MainWindowFixture<> {
 protected:
  DragTest() {
    // Follow-up operations are logged on their way through the table.
    for (const char* name :
         {"checkroomconvexity", "refreshimages", "refreshsurfaceposition", "refreshsurfacevalues",
          "selectvalue", "refreshwallmenu", "changegrid", "acouzoom"})
      logged(name);
    snapshotsFromStandIn();
    fig = openMainWindow();
    log.clear();
    ui.takeConsole();
  }

  void logged(const std::string& name) {
    Operation o{name, 1, 0, 1, {}};
    if (const Operation* found = ops.find(name)) o = *found;
    auto inner = o.run;
    o.run = [this, name, inner](platform::Runtime& r, const std::vector<Value>& args) {
      log.push_back(name);
      return inner ? inner(r, args) : std::vector<Value>{};
    };
    ops.add(std::move(o));
  }

  Handle vertex(std::size_t k) { return objectsInCreationOrder(rt, fig, "acouwallvertex").at(k - 1); }
  Handle corner(std::size_t k) { return objectsInCreationOrder(rt, fig, "acouaudiencevertex").at(k - 1); }
  Handle edge(std::size_t k) { return objectsInCreationOrder(rt, fig, "acouaudienceedge").at(k - 1); }
  Handle wall(std::size_t k) { return wallsInWallOrder(rt, fig).at(k - 1); }
  Point at(Handle h) { return firstPoint(rt, h); }
  std::string status() { return text(obj("acoutext"), "string"); }
  std::string motionFcn() { return text(fig, "windowbuttonmotionfcn"); }
  std::string upFcn() { return text(fig, "windowbuttonupfcn"); }
  void toggle(const char* tag, bool on) { rt.click(obj(tag), Value(on ? 1.0 : 0.0)); }
  std::string lastLabel() {
    const auto& labels = readCase(rt, fig).actionlist;
    return labels.empty() ? "" : labels.back();
  }
  std::size_t labels() { return readCase(rt, fig).actionlist.size(); }

  std::vector<std::string> log;
};

void expectPoint(Point p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-12);
  EXPECT_NEAR(p.y, y, 1e-12);
}

TEST(NearestGridPointTest, NearestAndFirstOnTies) {
  const std::vector<double> xs{0, 0, 1, 1}, ys{0, 1, 0, 1};
  expectPoint(*nearestGridPoint(xs, ys, 0.8, 0.3), 1, 0);
  // (0.5, 0.5) is as far from all four: the first stored point wins.
  expectPoint(*nearestGridPoint(xs, ys, 0.5, 0.5), 0, 0);
  expectPoint(*nearestGridPoint({1, 0}, {1, 0}, 0.5, 0.5), 1, 1);
  EXPECT_FALSE(nearestGridPoint({}, {}, 1, 1));
}

TEST_F(DragTest, WallVertexSnapsMovesItsWallsAndRecomputesOnRelease) {
  const auto imageBefore = readCase(rt, fig).images->at(1);
  CaseRecord withCurve = readCase(rt, fig);
  withCurve.curves = platform::Matrix::zeros(1, 9);
  storeCase(rt, fig, withCurve);
  const std::size_t before = labels();

  rt.press(vertex(3), 17, 7);
  EXPECT_EQ(motionFcn(), "velmoracopy('movewallpoint')");
  EXPECT_EQ(upFcn(), "");
  rt.motion(fig, 18.2, 8.1);  // snapped to (18, 8)
  EXPECT_EQ(upFcn(), "velmoracopy('refreshmwp')");
  expectPoint(at(vertex(3)), 18, 8);
  EXPECT_EQ(status(), "Vertex : ( 18 , 8 )      Wall length : 15 / 15      Wall angle : 86° / 4°");
  EXPECT_EQ(nums(wall(2), "xdata"), (std::vector<double>{17, 18}));
  EXPECT_EQ(nums(wall(2), "ydata"), (std::vector<double>{-7, 8}));
  EXPECT_EQ(nums(wall(3), "xdata"), (std::vector<double>{18, 3}));
  EXPECT_EQ(nums(wall(3), "ydata"), (std::vector<double>{8, 7}));
  // Motions change only the drawing.
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(labels(), before);

  rt.release(fig, 18.2, 8.1);
  EXPECT_EQ(motionFcn(), "");
  EXPECT_EQ(upFcn(), "");
  EXPECT_EQ(text(fig, "pointer"), "arrow");
  EXPECT_EQ(log, (std::vector<std::string>{"checkroomconvexity", "refreshimages", "refreshsurfacevalues",
                                           "selectvalue", "refreshwallmenu"}));
  const CaseRecord r = readCase(rt, fig);
  EXPECT_TRUE(r.curves.empty());
  EXPECT_EQ(r.iscnvx, 1);
  // The image of the moved wall 2 follows it.
  EXPECT_NE(r.images->at(1).xi, imageBefore.xi);
  EXPECT_EQ(r.actionlist.size(), before + 1);
  EXPECT_EQ(lastLabel(), "move wall");
}

TEST_F(DragTest, FreeVertexStatusRoundingAndClampingToTheZone) {
  toggle("acousnapbutton", false);
  rt.press(vertex(3), 17, 7);
  rt.motion(fig, 18.234, 8.116);
  expectPoint(at(vertex(3)), 18.234, 8.116);
  EXPECT_EQ(status(), "Vertex : ( 18.23 , 8.12 )      Wall length : 15.2 / 15.3      Wall angle : 85° / 4°");
  // Outside the working zone [0, 20] x [-10, 10]: on its border.
  rt.motion(fig, 25, -30);
  expectPoint(at(vertex(3)), 20, -10);
  EXPECT_EQ(status(), "Vertex : ( 20 , -10 )      Wall length : 4.2 / 24      Wall angle : 45° / 45°");
  // A wall of no length has angle 0.
  rt.motion(fig, 17, -7);
  EXPECT_EQ(status(), "Vertex : ( 17 , -7 )      Wall length : 0 / 19.8      Wall angle : 0° / 45°");
}

TEST_F(DragTest, ConstrainedVertexStaysBetweenItsNeighboursAndDoesNotSnap) {
  toggle("acouconstrainbutton", true);  // snap stays on
  rt.press(vertex(3), 17, 7);
  rt.motion(fig, 10.3, 0.2);
  // Projection onto (17, -7)-(3, 7): (10.05, -0.05), not a grid point.
  expectPoint(at(vertex(3)), 10.05, -0.05);
  EXPECT_EQ(status(), "Vertex : ( 10.05 , -0.05 )       Wall length : 9.8 / 10");
  EXPECT_EQ(nums(wall(2), "xdata")[1], at(vertex(3)).x);
  EXPECT_EQ(nums(wall(3), "ydata")[0], at(vertex(3)).y);

  // Beyond either end (t > 0.999, t < 0.001): nothing moves, the status line stays.
  for (const Point p : {Point{2, 8}, Point{17.5, -7.5}, Point{3.005, 6.995}}) {
    rt.motion(fig, p.x, p.y);
    expectPoint(at(vertex(3)), 10.05, -0.05);
    EXPECT_EQ(status(), "Vertex : ( 10.05 , -0.05 )       Wall length : 9.8 / 10");
  }
  rt.release(fig, 2, 8);
  EXPECT_EQ(lastLabel(), "move wall");
}

TEST_F(DragTest, ConstrainedVertexBetweenNeighboursTooCloseStays) {
  // A thin spike: vertex 6 has neighbours 0.05 apart.
  CaseDescription d;
  d.xwall = {5, 10, 10, 5, 5, 2, 5};
  d.ywall = {0, 0, 6, 6, 3.05, 3.02, 3};
  velmoracopy(rt, ops, {Value("update"), d.toValue()});
  toggle("acouconstrainbutton", true);
  rt.press(vertex(6), 2, 3.02);
  const std::string line = status();
  rt.motion(fig, 3, 3.02);
  expectPoint(at(vertex(6)), 2, 3.02);
  EXPECT_EQ(status(), line);
}

TEST_F(DragTest, NonNormalPressesEndTheDragAndArmedDragsLast) {
  for (const char* kind : {"alt", "extend", "open"}) {
    rt.press(vertex(2), 17, -7, kind);
    EXPECT_EQ(motionFcn(), "velmoracopy('movewallpoint')") << kind;
    rt.motion(fig, 18, -8);
    expectPoint(at(vertex(2)), 17, -7);
    EXPECT_EQ(motionFcn(), "");
    EXPECT_EQ(upFcn(), "");
  }
  EXPECT_TRUE(log.empty());

  // Press and release without motion: still armed; the next motion moves, the next release ends.
  rt.press(vertex(2), 17, -7);
  rt.release(fig, 17, -7);
  EXPECT_EQ(motionFcn(), "velmoracopy('movewallpoint')");
  EXPECT_TRUE(log.empty());
  rt.motion(fig, 16, -6);
  expectPoint(at(vertex(2)), 16, -6);
  rt.release(fig, 16, -6);
  EXPECT_EQ(motionFcn(), "");
  EXPECT_EQ(lastLabel(), "move wall");
}

TEST_F(DragTest, ArmedDragWhoseObjectIsGoneEndsQuietly) {
  rt.press(vertex(2), 17, -7);
  rt.graphics().set(fig, "currentobject", Value::handle(obj("acouaudiencesurface")));
  rt.motion(fig, 18, -8);
  expectPoint(at(vertex(2)), 17, -7);
  EXPECT_EQ(motionFcn(), "");
  EXPECT_EQ(upFcn(), "");
  EXPECT_TRUE(ui.takeConsole().empty());
}

TEST_F(DragTest, AudienceVertexMovesItsEdgesAndTheMap) {
  rt.press(corner(3), 15, 5);
  EXPECT_EQ(motionFcn(), "velmoracopy('moveaudiencepoint')");
  rt.motion(fig, 16.1, 5.9);
  EXPECT_EQ(upFcn(), "velmoracopy('refreshmap')");
  expectPoint(at(corner(3)), 16, 6);
  EXPECT_EQ(status(), "Vertex : ( 16 , 6 )      Edge length : 11 / 11      Edge angle : 85° / 5°");
  EXPECT_EQ(nums(edge(2), "xdata"), (std::vector<double>{15, 16}));
  EXPECT_EQ(nums(edge(3), "ydata"), (std::vector<double>{6, 5}));
  // The constrain toggle is for walls only.
  toggle("acouconstrainbutton", true);
  rt.motion(fig, 16.6, 6.6);
  expectPoint(at(corner(3)), 16.5, 6.5);

  rt.release(fig, 16.6, 6.6);
  EXPECT_EQ(log, (std::vector<std::string>{"refreshsurfaceposition", "checkroomconvexity",
                                           "refreshsurfacevalues", "selectvalue"}));
  EXPECT_EQ(text(fig, "pointer"), "arrow");
  const auto xs = nums(obj("acouaudiencesurface"), "xdata");
  EXPECT_DOUBLE_EQ(*std::max_element(xs.begin(), xs.end()), 16.5);
  EXPECT_EQ(lastLabel(), "move audience");
}

TEST_F(DragTest, XAxisDragMovesTheOriginAndTheWorkingZone) {
  const auto xlimBefore = nums(drawingAxes(rt, fig), "xlim");
  rt.press(obj("acouXaxis"), 10, 0);
  EXPECT_EQ(motionFcn(), "velmoracopy('moveaxis')");
  rt.motion(fig, 10, 2.6);  // snapped to 2.5
  EXPECT_EQ(upFcn(), "velmoracopy('refreshmax')");
  EXPECT_EQ(status(), "X axis : distance from bottom border 12.5");
  EXPECT_EQ(nums(obj("acouXaxis"), "ydata"), (std::vector<double>{2.5, 2.5}));
  rt.release(fig, 10, 2.6);

  EXPECT_EQ(log, (std::vector<std::string>{"changegrid", "refreshsurfaceposition", "refreshimages",
                                           "selectvalue"}));
  expectPoint(at(vertex(1)), 3, -9.5);
  expectPoint(at(corner(1)), 5, -7.5);
  expectPoint(at(obj("acousource")), 3.5, -2.5);
  expectPoint(at(obj("acoureceptor")), 16.5, -2.5);
  EXPECT_EQ(nums(wall(3), "ydata"), (std::vector<double>{4.5, 4.5}));
  EXPECT_EQ(nums(edge(1), "ydata"), (std::vector<double>{-7.5, -7.5}));
  EXPECT_EQ(nums(obj("acouXaxis"), "ydata"), (std::vector<double>{0, 0}));
  EXPECT_EQ(nums(drawingAxes(rt, fig), "ylim"), (std::vector<double>{-12.5, 7.5}));
  EXPECT_EQ(nums(drawingAxes(rt, fig), "xlim"), xlimBefore);
  const CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.ylim, (std::array<double, 2>{-12.5, 7.5}));
  EXPECT_EQ(r.xlim, (std::array<double, 2>{0, 20}));
  const auto gy = nums(obj("acougrid"), "ydata");
  EXPECT_DOUBLE_EQ(*std::min_element(gy.begin(), gy.end()), -12.5);
  // The map and the images follow the room.
  const auto ys = nums(obj("acouaudiencesurface"), "ydata");
  EXPECT_DOUBLE_EQ(*std::min_element(ys.begin(), ys.end()), -7.5);
  EXPECT_DOUBLE_EQ(r.images->at(0).yi, -16.5);  // source (3.5, -2.5) mirrored in y = -9.5
  EXPECT_EQ(lastLabel(), "move axis");
}

TEST_F(DragTest, YAxisDragStatusAndClamp) {
  rt.press(obj("acouYaxis"), 0, 3);
  rt.motion(fig, 3.2, 3);
  EXPECT_EQ(status(), "Y axis : distance from left border 3");
  rt.motion(fig, -4, 3);  // clamped to the zone's left border
  EXPECT_EQ(status(), "Y axis : distance from left border 0");
  rt.motion(fig, 2.3, 3);
  rt.release(fig, 2.3, 3);
  expectPoint(at(vertex(1)), 0.5, -7);
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{-2.5, 17.5}));
  EXPECT_EQ(nums(obj("acouYaxis"), "xdata"), (std::vector<double>{0, 0}));
}

TEST_F(DragTest, SourceMovesOnlyInsideTheRoom) {
  const Handle source = obj("acousource");
  rt.press(source, 3.5, 0);
  EXPECT_EQ(motionFcn(), "velmoracopy('movesource')");
  EXPECT_EQ(upFcn(), "");
  rt.motion(fig, 8.2, 1.9);
  EXPECT_EQ(upFcn(), "velmoracopy('refreshmso')");
  expectPoint(at(source), 8, 2);
  EXPECT_EQ(status(), "Source : ( 8 , 2 )");
  // Outside the room: stays at its last place, status unchanged.
  rt.motion(fig, 1, 0);
  expectPoint(at(source), 8, 2);
  EXPECT_EQ(status(), "Source : ( 8 , 2 )");
  // On a wall is allowed.
  rt.motion(fig, 3, 2);
  expectPoint(at(source), 3, 2);
  rt.motion(fig, 8.2, 1.9);
  // A non-normal motion is ignored, and the drag goes on.
  rt.graphics().setText(fig, "selectiontype", "alt");
  rt.motion(fig, 12, 3);
  expectPoint(at(source), 8, 2);
  EXPECT_EQ(motionFcn(), "velmoracopy('movesource')");
  rt.graphics().setText(fig, "selectiontype", "normal");
  EXPECT_TRUE(log.empty());

  rt.release(fig, 8.2, 1.9);
  EXPECT_EQ(log, (std::vector<std::string>{"refreshimages", "refreshsurfacevalues", "selectvalue"}));
  EXPECT_EQ(motionFcn(), "");
  EXPECT_EQ(text(fig, "pointer"), "arrow");
  const CaseRecord r = readCase(rt, fig);
  EXPECT_DOUBLE_EQ(r.images->at(0).xi, 8);  // mirrored in the wall y = -7
  EXPECT_DOUBLE_EQ(r.images->at(0).yi, -16);
  EXPECT_EQ(lastLabel(), "move source");
}

TEST_F(DragTest, SourceAndReceptorNeedANormalPress) {
  rt.press(obj("acousource"), 3.5, 0, "alt");
  EXPECT_EQ(motionFcn(), "");
  rt.press(obj("acoureceptor"), 16.5, 0, "extend");
  EXPECT_EQ(motionFcn(), "");
  rt.motion(fig, 10, 0);
  expectPoint(at(obj("acousource")), 3.5, 0);
  expectPoint(at(obj("acoureceptor")), 16.5, 0);
}

TEST_F(DragTest, ReceptorReleaseOnlyRefreshesTheMapAndLeavesThePointer) {
  const Handle receptor = obj("acoureceptor");
  const auto imagesBefore = readCase(rt, fig).images;
  rt.press(receptor, 16.5, 0);
  EXPECT_EQ(motionFcn(), "velmoracopy('movereceptor')");
  rt.motion(fig, 12.26, -3.2);
  EXPECT_EQ(upFcn(), "velmoracopy('refreshmre')");
  expectPoint(at(receptor), 12.5, -3);
  EXPECT_EQ(status(), "Receptor : ( 12.5 , -3 )");
  rt.motion(fig, 30, 0);  // clamped to (20, 0): outside the room
  expectPoint(at(receptor), 12.5, -3);
  rt.graphics().setText(fig, "pointer", "crosshair");
  rt.release(fig, 30, 0);
  EXPECT_EQ(log, std::vector<std::string>{"selectvalue"});
  EXPECT_EQ(text(fig, "pointer"), "crosshair");
  EXPECT_EQ(motionFcn(), "");
  EXPECT_EQ(upFcn(), "");
  EXPECT_EQ(readCase(rt, fig).images->size(), imagesBefore->size());
  EXPECT_EQ(lastLabel(), "move receptor");
}

TEST_F(DragTest, PanningKeepsTheDrawingInsideTheZone) {
  // Drawing 3..17 by -7..7: extent 14, step 0.5. Six steps up leave the top of the zone at 7.
  for (int i = 0; i < 6; ++i) rt.click(obj("acoumoveup"));
  EXPECT_EQ(readCase(rt, fig).ylim, (std::array<double, 2>{-13, 7}));
  EXPECT_EQ(nums(drawingAxes(rt, fig), "ylim"), (std::vector<double>{-13, 7}));
  rt.click(obj("acoumoveup"));  // would cut the top of the room
  EXPECT_EQ(readCase(rt, fig).ylim, (std::array<double, 2>{-13, 7}));
  EXPECT_EQ(lastLabel(), "move drawing");

  for (int i = 0; i < 7; ++i) rt.click(obj("acoumoveleft"));
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{3, 23}));
  rt.click(obj("acoumoveright"));
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{2.5, 22.5}));
  rt.click(obj("acoumovedown"));
  EXPECT_EQ(readCase(rt, fig).ylim, (std::array<double, 2>{-12.5, 7.5}));

  rt.click(obj("acoucenter"));
  const CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.xlim, (std::array<double, 2>{0, 20}));
  EXPECT_EQ(r.ylim, (std::array<double, 2>{-10, 10}));
  const auto gx = nums(obj("acougrid"), "xdata");
  EXPECT_DOUBLE_EQ(*std::max_element(gx.begin(), gx.end()), 20);
  EXPECT_EQ(std::count(log.begin(), log.end(), "acouzoom"), 0);

  // In zoom mode the view is the zoom's: only the record moves, and the zoom refreshes.
  rt.graphics().set(obj("acouzoombutton"), "value", Value(1.0));
  log.clear();
  rt.click(obj("acoumoveup"));
  EXPECT_EQ(readCase(rt, fig).ylim, (std::array<double, 2>{-10.5, 9.5}));
  EXPECT_EQ(log, (std::vector<std::string>{"changegrid", "acouzoom"}));
}

TEST_F(DragTest, PanningADrawingWiderThanTheTableStepsByOne) {
  CaseDescription d;
  d.xlim = std::array<double, 2>{-100, 800};
  d.ylim = std::array<double, 2>{-450, 450};
  d.xwall = {0, 700, 700, 0};
  d.ywall = {-10, -10, 10, 10};
  d.xaud = {10, 20, 20, 10};
  d.yaud = {-5, -5, 5, 5};
  d.xso = 5;
  d.yso = 0;
  d.xre = 600;
  d.yre = 0;
  velmoracopy(rt, ops, {Value("update"), d.toValue()});
  rt.click(obj("acoumoveleft"));
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{-99, 801}));
}

TEST_F(DragTest, ClickingAWallSelectsIt) {
  auto& g = rt.graphics();
  rt.press(wall(2), 17, 0);
  EXPECT_EQ(nums(obj("acouselectbutton"), "value"), std::vector<double>{4});
  EXPECT_EQ(log, std::vector<std::string>{"selectvalue"});
  EXPECT_EQ(g.at(wall(2)).color("color"), (platform::Rgb{0, 1, 0}));
  EXPECT_EQ(g.at(wall(1)).color("color"), (platform::Rgb{0, 0, 0}));
  rt.press(wall(4), 3, 0, "alt");
  EXPECT_EQ(nums(obj("acouselectbutton"), "value"), std::vector<double>{4});
  rt.press(wall(4), 3, 0);
  EXPECT_EQ(nums(obj("acouselectbutton"), "value"), std::vector<double>{6});
}

}  // namespace
}  // namespace velmora::editor
