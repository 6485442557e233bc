// The scanned plan import driven end to end: scripted clicks and keys in the scan window, scripted
// dialogs, a stand-in image decoder, and the real dispatcher with every registered operation.

#include "plan/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/files/image_reader.h"
#include "platform/files/matfile.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"

namespace velmora::plan {
namespace {

namespace fs = std::filesystem;
using platform::Matrix;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;

// Gives a blank grey image of a fixed size, or fails with a message.
class FakeImageReader : public platform::ImageReader {
 public:
  Matrix read(const std::string& path) override {
    reads.push_back(path);
    if (!failure.empty()) throw Error(failure);
    Matrix m = Matrix::zeros(rows, cols);
    for (double& v : m.data) v = 0.5;
    return m;
  }
  std::size_t rows = 400, cols = 600;
  std::string failure;
  std::vector<std::string> reads;
};

class ScanTest : public ::testing::Test {
 public:  // the scripts of a table drive the fixture
  ScanTest() {
    rt.setImageReader(&reader);
    app::registerAllOperations(ops);
    shell::installDispatcher(rt, ops);
    ui.setPump([this] {
      if (events.empty()) return false;
      auto e = std::move(events.front());
      events.pop_front();
      e();
      return true;
    });
  }

  // ---- scripted input in the scan window ----
  Handle scanFig() {
    for (Handle f : rt.graphics().figures())
      if (rt.graphics().at(f).tag() == kScanWindowTag) return f;
    return platform::kNoHandle;
  }
  // A click at column x, row y of the image shown (the window shows row 1 at the top, y upwards).
  void click(double x, double y, int button = 1) {
    events.push_back([=, this] { rt.pressFigure(scanFig(), x, shownRows() + 1 - y, button); });
  }
  double shownRows() {
    const auto imgs = rt.graphics().findIf(
        scanFig(), [](const platform::GraphicsObject& o) { return o.type() == ObjectType::Image; });
    return imgs.empty() ? 0 : static_cast<double>(rt.graphics().at(imgs.front()).matrix("cdata").rows);
  }
  void key(const std::string& k) {
    events.push_back([=, this] { rt.key(scanFig(), k); });
  }
  // A click on traced line k (1-based, in the order drawn).
  void clickLine(std::size_t k) {
    events.push_back([=, this] {
      const Handle line = tracedLines().at(k - 1);
      const auto x = rt.graphics().at(line).numbers("xdata");
      const auto y = rt.graphics().at(line).numbers("ydata");
      rt.press(line, (x[0] + x[1]) / 2, (y[0] + y[1]) / 2, "normal");
    });
  }
  std::vector<Handle> tracedLines() {
    auto v = rt.graphics().findobj(scanFig(), "scanline");
    std::reverse(v.begin(), v.end());
    return v;
  }
  void trace(const std::vector<std::pair<double, double>>& pts) {
    for (const auto& [x, y] : pts) click(x, y);
  }

  // Dialog answers up to the tracing: the image file and "No" to cropping.
  void openImage(const std::string& file = "/plans/hall.jpg") {
    ui.push(ScriptedAnswer::chosenFile(file));
    ui.push(ScriptedAnswer::button("No"));
  }
  // After "e": skip the source (middle), skip the orientation, then scale line k as `metres`.
  void finish(std::size_t scaleLine, const std::string& metres, int sourceButton = 3) {
    key("e");
    click(0, 0, sourceButton);
    click(0, 0, 2);
    clickLine(scaleLine);
    ui.push(ScriptedAnswer::button("Yes"));
    ui.push(ScriptedAnswer::inputs(std::vector<std::string>{metres}));
  }
  void scan() { rt.runCallback(platform::kNoHandle, "velmoracopy('scan')"); }

  std::vector<std::pair<double, double>> resultWalls() {
    std::vector<std::pair<double, double>> out;
    for (Handle l : tracedLines())
      out.emplace_back(rt.graphics().at(l).numbers("xdata")[0], rt.graphics().at(l).numbers("ydata")[0]);
    return out;
  }
  Handle button(const std::string& label) {
    const auto found = rt.graphics().findIf(scanFig(), [&](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::UiControl && o.get("string") == Value(label);
    });
    return found.empty() ? platform::kNoHandle : found.front();
  }
  std::vector<std::string> console() { return ui.consoleLines(); }
  bool said(const std::string& line) {
    const auto& c = ui.consoleLines();
    return std::find(c.begin(), c.end(), line) != c.end();
  }

  platform::ScriptedUi ui;
  platform::Runtime rt{ui};
  document::Operations ops;
  FakeImageReader reader;
  std::deque<std::function<void()>> events;
};

using Walls = std::vector<std::pair<double, double>>;

TEST_F(ScanTest, RectangleCounterClockwiseBecomesRoomInMetres) {
  openImage();
  trace({{100, 100}, {100, 300}, {300, 300}, {300, 100}});
  finish(1, "10");  // line 1 is 200 pixels: 0.05 m per pixel
  scan();
  ASSERT_NE(scanFig(), platform::kNoHandle);
  EXPECT_EQ(resultWalls(), (Walls{{0, 0}, {0, -10}, {10, -10}, {10, 0}}));
  EXPECT_FALSE(said("change wall order"));
  const document::CaseDescription d = scanDescription(rt, scanFig());
  EXPECT_EQ(*d.xso, 5);
  EXPECT_EQ(*d.yso, -5);
  EXPECT_EQ(*d.xaud, (std::vector<double>{0, 10, 10, 0}));
  EXPECT_EQ(*d.yaud, (std::vector<double>{0, 0, -10, -10}));
  EXPECT_EQ(*d.Nsurface, 20);
  EXPECT_FALSE(d.curves.has_value());
  // Opened from no main window: the second button opens a new one.
  EXPECT_EQ(button("update"), platform::kNoHandle);
  const Handle open = button("open");
  ASSERT_NE(open, platform::kNoHandle);
  EXPECT_EQ(rt.graphics().at(open).text("tooltipstring"), "Open drawing in a new window");
  EXPECT_EQ(rt.graphics().at(button("save")).text("tooltipstring"), "Save drawing");
  // The instruction text and the image are gone; the view is square around the room.
  EXPECT_TRUE(rt.graphics()
                  .findIf(scanFig(),
                          [](const platform::GraphicsObject& o) {
                            return o.type() == ObjectType::Image || o.type() == ObjectType::Text;
                          })
                  .empty());
  const Handle ha = rt.graphics().currentAxes(scanFig());
  EXPECT_EQ(rt.graphics().at(ha).numbers("xlim"), (std::vector<double>{-2, 12}));
  EXPECT_EQ(rt.graphics().at(ha).numbers("ylim"), (std::vector<double>{-12, 2}));

  rt.click(open);
  EXPECT_EQ(scanFig(), platform::kNoHandle);
  const Handle main = document::currentMainWindow(rt);
  const engine::Walls walls = document::wallGeometry(rt, main);
  ASSERT_EQ(walls.size(), 4u);
  EXPECT_EQ(walls[1].x1, 0);
  EXPECT_EQ(walls[1].y1, -10);
  EXPECT_EQ(document::readCase(rt, main).actionlist, (std::vector<std::string>{"scanned plan"}));
}

TEST_F(ScanTest, ClockwiseTracingIsReversed) {
  openImage();
  trace({{100, 100}, {300, 100}, {300, 300}, {100, 300}});  // clockwise as seen
  finish(1, "10");
  scan();
  EXPECT_TRUE(said("change wall order"));
  EXPECT_EQ(resultWalls(), (Walls{{0, -10}, {10, -10}, {10, 0}, {0, 0}}));
}

TEST_F(ScanTest, CircularArcGivesWallsAndCurveRow) {
  openImage();
  trace({{100, 300}, {300, 300}});
  key("c");
  click(200, 200);  // a first third point, replaced by the next
  click(200, 400);  // below the chord on screen
  key("a");
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"4"}));
  trace({{300, 100}, {100, 100}});
  finish(6, "10");  // the top wall, 200 pixels
  scan();
  ASSERT_NE(scanFig(), platform::kNoHandle);
  const Walls w = resultWalls();
  ASSERT_EQ(w.size(), 7u);
  const Walls expected{{0, 0}, {1.464, -3.536}, {5, -5}, {8.536, -3.536}, {10, 0}, {10, 10}, {0, 10}};
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_NEAR(w[i].first, expected[i].first, 1e-9) << i;
    EXPECT_NEAR(w[i].second, expected[i].second, 1e-9) << i;
  }
  const document::CaseDescription d = scanDescription(rt, scanFig());
  ASSERT_TRUE(d.curves.has_value());
  ASSERT_EQ(d.curves->rows, 1u);
  const std::vector<double> row = {2, 0, 0, 10, 0, 5, -5, 1, 4};
  for (std::size_t c = 0; c < 9; ++c) EXPECT_NEAR((*d.curves)(0, c), row[c], 1e-9) << c;
}

TEST_F(ScanTest, ParabolaAndRemovingAWholeArc) {
  openImage();
  trace({{100, 300}, {300, 300}});
  key("p");
  click(200, 360);
  key("a");
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"2"}));  // clamped to 3 walls
  // Right button right after the arc: the whole arc goes, back to the first point alone.
  click(0, 0, 3);
  trace({{300, 300}, {300, 100}, {100, 100}});
  key("p");
  click(200, 60);
  key("a");
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"3"}));
  finish(2, "10");  // (300,300)-(300,100)
  scan();
  ASSERT_NE(scanFig(), platform::kNoHandle);
  const Walls w = resultWalls();
  // (100,300), (300,300), (300,100), then the parabola's points at t = 1/3, 2/3, 1 towards (100,100).
  ASSERT_EQ(w.size(), 6u);
  EXPECT_EQ(w[3], (std::pair<double, double>{6.667, 11.778}));
  EXPECT_EQ(w[5], (std::pair<double, double>{0, 10}));
  const document::CaseDescription d = scanDescription(rt, scanFig());
  ASSERT_EQ(d.curves->rows, 1u);
  EXPECT_EQ((*d.curves)(0, 0), 1);
  EXPECT_EQ((*d.curves)(0, 7), 3);
  EXPECT_EQ((*d.curves)(0, 8), 5);
}

TEST_F(ScanTest, OrientationReferenceStraightensTheRoom) {
  openImage();
  // A square turned by atan(0.1) on screen.
  trace({{100, 100}, {80, 300}, {280, 320}, {300, 120}});
  key("e");
  click(0, 0, 3);
  clickLine(2);  // (80,300)-(280,320): the horizontal reference
  ui.push(ScriptedAnswer::button("No"));
  clickLine(2);
  ui.push(ScriptedAnswer::button("Yes"));
  clickLine(1);
  ui.push(ScriptedAnswer::button("Yes"));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"not a number"}));  // asked again
  clickLine(1);
  ui.push(ScriptedAnswer::button("Yes"));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"-3"}));  // refused: not a length
  clickLine(1);
  ui.push(ScriptedAnswer::button("Yes"));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"10"}));
  scan();
  ASSERT_NE(scanFig(), platform::kNoHandle);
  const Walls w = resultWalls();
  ASSERT_EQ(w.size(), 4u);
  EXPECT_NEAR(w[1].second, w[2].second, 1e-9);  // wall 2 exactly horizontal
  EXPECT_NEAR(std::hypot(w[1].first - w[0].first, w[1].second - w[0].second), 10, 2e-3);
  // The questions as asked.
  std::vector<std::string> asked;
  for (const auto& s : ui.shown())
    if (s.kind == "question") asked.push_back(s.text);
  EXPECT_EQ(asked.at(1), "Confirm this line is the horizontal reference ?");
  EXPECT_EQ(asked.at(3), "Confirm this line is the scale reference ?");
  EXPECT_EQ(ui.beeps(), 1);  // the negative length
}

TEST_F(ScanTest, StraighteningDragsNeighbours) {
  openImage();
  trace({{100, 300}, {300, 280}, {300, 100}, {100, 100}});
  finish(3, "10");
  scan();
  ASSERT_NE(scanFig(), platform::kNoHandle);
  EXPECT_EQ(resultWalls(), (Walls{{0, 0}, {10, 1}, {10, 10}, {0, 10}}));
  auto menuItem = [&](const std::string& label) {
    const auto items = rt.graphics().findIf(scanFig(), [&](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::UiMenu && o.text("label") == label;
    });
    return items;
  };
  // Walls 1 (5.7 degrees) and 3 get "make horizontal"; walls 2 and 4 "make vertical".
  ASSERT_EQ(menuItem("make horizontal").size(), 2u);
  ASSERT_EQ(menuItem("make vertical").size(), 2u);
  Handle wall1Item = platform::kNoHandle;
  for (Handle it : menuItem("make horizontal")) {
    const auto* d = rt.graphics().at(it).userdataAs<platform::ValueUserData>();
    if (d->value.object() == tracedLines().at(0)) wall1Item = it;
  }
  ASSERT_NE(wall1Item, platform::kNoHandle);
  rt.click(wall1Item);
  EXPECT_EQ(resultWalls(), (Walls{{0, 0.5}, {10, 0.5}, {10, 10}, {0, 10}}));
  EXPECT_EQ(rt.graphics().at(tracedLines().at(3)).numbers("ydata"), (std::vector<double>{10, 0.5}));
  EXPECT_EQ(rt.graphics().at(tracedLines().at(0)).numbers("ydata"), (std::vector<double>{0.5, 0.5}));
}

TEST_F(ScanTest, SaveWritesCaseFileAndCancelKeepsWindow) {
  openImage();
  trace({{100, 100}, {100, 300}, {300, 300}});
  key("e");
  click(0, 0, 2);  // no source: the centre of the bounding box
  click(0, 0, 2);
  clickLine(1);
  ui.push(ScriptedAnswer::button("Yes"));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"4"}));
  scan();
  ASSERT_NE(scanFig(), platform::kNoHandle);
  ui.push(ScriptedAnswer::chosenFile(std::nullopt));
  rt.click(button("save"));
  EXPECT_NE(scanFig(), platform::kNoHandle);  // nothing traced is lost
  const std::string path = (fs::current_path() / "traced").string();
  ui.push(ScriptedAnswer::chosenFile(path));
  rt.click(button("save"));
  ASSERT_TRUE(fs::exists(path + ".ac"));
  const auto d = document::CaseDescription::fromValue(platform::readMatVariable(path + ".ac", "prop"));
  EXPECT_EQ(*d.name, "traced");
  EXPECT_EQ(*d.xwall, (std::vector<double>{0, 0, 4}));
  EXPECT_EQ(*d.ywall, (std::vector<double>{0, -4, -4}));
  EXPECT_EQ(*d.xso, 2);
  EXPECT_EQ(*d.yso, -2);
  EXPECT_FALSE(d.scan.has_value());
  EXPECT_NE(scanFig(), platform::kNoHandle);
}

TEST_F(ScanTest, UpdateSendsRoomToMainWindowOfOrigin) {
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
  rt.dispatch({});
  const Handle main = document::currentMainWindow(rt);
  openImage();
  trace({{100, 100}, {100, 300}, {300, 300}, {300, 100}});
  finish(1, "10");
  rt.click(document::objectInWindow(rt, main, "acouscan"));
  EXPECT_TRUE(rt.graphics().at(main).isOn("visible"));
  EXPECT_EQ(document::readCase(rt, main).name, "not saved");
  const Handle update = button("update");
  ASSERT_NE(update, platform::kNoHandle);
  EXPECT_EQ(rt.graphics().at(update).text("tooltipstring"), "Update current case");
  rt.click(update);
  EXPECT_EQ(scanFig(), platform::kNoHandle);
  EXPECT_EQ(rt.graphics().figures().size(), 1u);
  EXPECT_EQ(document::wallGeometry(rt, main).size(), 4u);
  EXPECT_EQ(document::firstPoint(rt, document::wallsInWallOrder(rt, main).at(2)).x, 10);
  EXPECT_EQ(document::readCase(rt, main).actionlist, (std::vector<std::string>{"scanned plan"}));
}

TEST_F(ScanTest, TracingEndsCleanly) {
  struct Case {
    const char* what;
    std::function<void(ScanTest&)> script;
    const char* message;  // console line expected, or empty
  };
  const std::vector<Case> cases = {
      {"cancelled file choice", [](ScanTest& t) { t.ui.push(ScriptedAnswer::chosenFile(std::nullopt)); }, ""},
      {"other extension", [](ScanTest& t) { t.ui.push(ScriptedAnswer::chosenFile("/plans/hall.png")); }, ""},
      {"quit at cropping",
       [](ScanTest& t) {
         t.ui.push(ScriptedAnswer::chosenFile("/plans/hall.BMP"));
         t.ui.push(ScriptedAnswer::button("Quit"));
       },
       ""},
      {"key q while tracing",
       [](ScanTest& t) {
         t.openImage();
         t.trace({{1, 1}, {5, 5}});
         t.key("q");
       },
       ""},
      {"two vertices at e",
       [](ScanTest& t) {
         t.openImage();
         t.trace({{1, 1}, {5, 5}, {9, 9}});
         t.click(0, 0, 3);
         t.key("E");
       },
       "less than 3 walls"},
      {"input runs out", [](ScanTest& t) { t.openImage("/plans/hall.tif"); }, ""},
      {"quit at the reference",
       [](ScanTest& t) {
         t.openImage();
         t.trace({{100, 100}, {100, 300}, {300, 300}});
         t.key("e");
         t.click(0, 0, 3);
         t.clickLine(1);
         t.ui.push(ScriptedAnswer::button("Quit"));
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ui.takeConsole();
    c.script(*this);
    scan();
    EXPECT_EQ(scanFig(), platform::kNoHandle);
    EXPECT_TRUE(rt.graphics().figures().empty());
    const auto lines = ui.takeConsole();
    if (*c.message) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), c.message), lines.end());
    }
    EXPECT_EQ(ui.pending(), 0u);
    events.clear();
  }
}

TEST_F(ScanTest, BadImagesGiveMessageAndNoWindow) {
  for (const std::string failure : {"image file /plans/hall.jpg not found",
                                    "cannot read image file /plans/hall.jpg: Unsupported image format"}) {
    reader.failure = failure;
    ui.push(ScriptedAnswer::chosenFile("/plans/hall.jpg"));
    ui.takeConsole();
    scan();
    EXPECT_EQ(ui.takeConsole(), std::vector<std::string>{failure});
    EXPECT_TRUE(rt.graphics().figures().empty());
  }
  rt.setImageReader(nullptr);
  ui.push(ScriptedAnswer::chosenFile("/plans/hall.jpg"));
  scan();
  EXPECT_EQ(ui.takeConsole(), std::vector<std::string>{"reading images is not available in this session"});
  EXPECT_TRUE(rt.graphics().figures().empty());
}

TEST_F(ScanTest, CroppingKeepsAspectAndShowsCutOut) {
  ui.push(ScriptedAnswer::chosenFile("/plans/hall.jpeg"));
  ui.push(ScriptedAnswer::button("Yes"));
  click(100, 100);
  click(160, 400);
  ui.push(ScriptedAnswer::button("No"));  // full image again, new corners
  click(101, 101);
  click(130, 120);
  ui.push(ScriptedAnswer::button("Yes"));
  Handle imageSeen = platform::kNoHandle;
  std::vector<std::size_t> size;
  events.push_back([&] {
    const auto imgs = rt.graphics().findIf(
        scanFig(), [](const platform::GraphicsObject& o) { return o.type() == ObjectType::Image; });
    imageSeen = imgs.empty() ? platform::kNoHandle : imgs.front();
    const Matrix& m = rt.graphics().at(imageSeen).matrix("cdata");
    size = {m.rows, m.cols, m.pages};
    rt.key(scanFig(), "q");
  });
  scan();
  ASSERT_NE(imageSeen, platform::kNoHandle);
  // 29 x 19 pixels widened to the image's 3:2: 30 x 20 around the centre.
  EXPECT_EQ(size, (std::vector<std::size_t>{21, 31, 3}));
}

}  // namespace
}  // namespace velmora::plan
