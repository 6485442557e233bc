// Wall editing on a real main window, driven through the wall context menus and the dispatcher:
// splitting a wall, deleting a vertex, mirroring the room, and absorption by menu, dialog and list.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "editor/wall_editing.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::editor {
namespace {

using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::shell;
using namespace velmora::document;

// Scripted dialogs that let a test look at the window while a question is open.
class PeekingUi : public platform::ScriptedUi {
 public:
  std::optional<std::string> question(const platform::QuestionDialog& dialog) override {
    if (onQuestion) onQuestion();
    return ScriptedUi::question(dialog);
  }
  std::function<void()> onQuestion;
};

enum Item { kSplit = 0, kDelete = 1, kSymmetry = 2, kChange = 3, kZero = 4, kFull = 5 };

class WallEditingTest : public test_support::MainWindowFixture<PeekingUi> {
 protected:
  WallEditingTest() {
    for (const char* name : {"refreshimages", "refreshsurfacevalues", "selectvalue", "checkroomconvexity"}) {
      Operation o = *ops.find(name);
      auto inner = o.run;
      o.run = [this, name = std::string(name), inner](platform::Runtime& r, const std::vector<Value>& a) {
        log.push_back(name);
        return inner(r, a);
      };
      ops.add(std::move(o));
    }
    fig = openMainWindow();
    room({0, 10, 10, 0}, {0, 0, 5, 5}, {10, 20, 30, 40});
  }

  void room(std::vector<double> x, std::vector<double> y, std::vector<double> alpha) {
    CaseDescription d;
    d.xwall = std::move(x);
    d.ywall = std::move(y);
    d.alpha = std::move(alpha);
    velmoracopy(rt, ops, {Value("update"), d.toValue()});
    log.clear();
  }

  Handle wall(std::size_t k) { return wallsInWallOrder(rt, fig).at(k - 1); }
  std::size_t walls() { return wallsInWallOrder(rt, fig).size(); }
  Handle item(std::size_t k, Item i) {
    return menuItemsInOrder(rt.graphics(), rt.graphics().get(wall(k), "uicontextmenu").object()).at(i);
  }
  // Right click on wall k, then a click on an item of its menu.
  void menu(std::size_t k, Item i) {
    const Handle it = item(k, i);
    const auto x = rt.graphics().at(wall(k)).numbers("xdata");
    const auto y = rt.graphics().at(wall(k)).numbers("ydata");
    rt.press(wall(k), (x[0] + x[1]) / 2, (y[0] + y[1]) / 2, "alt");
    rt.click(it);
  }
  std::vector<double> xs() {
    std::vector<double> v;
    for (const auto& w : wallGeometry(rt, fig)) v.push_back(w.x1);
    return v;
  }
  std::vector<double> ys() {
    std::vector<double> v;
    for (const auto& w : wallGeometry(rt, fig)) v.push_back(w.y1);
    return v;
  }
  std::vector<double> alphas() { return wallAbsorptions(rt, fig); }
  std::vector<std::string> labels() { return readCase(rt, fig).actionlist; }
  std::string wallList() {
    return rt.graphics().at(objectInWindow(rt, fig, "acouselectbutton")).text("string");
  }
  double wallListValue() {
    return rt.graphics().at(objectInWindow(rt, fig, "acouselectbutton")).number("value");
  }
  std::string infoLabel(std::size_t k, std::size_t line) {
    return rt.graphics().at(item(k, static_cast<Item>(kWallMenuFirstInfo + line))).text("label");
  }
  // Each wall ends where the next begins, and the links agree with the points.
  void expectClosedLinkedChain() {
    const auto& g = rt.graphics();
    const auto ws = wallsInWallOrder(rt, fig);
    const auto geo = wallGeometry(rt, fig);
    ASSERT_EQ(objectsByTag(rt, fig, "acouwallvertex").size(), ws.size());
    for (std::size_t k = 0; k < ws.size(); ++k) {
      const std::size_t q = (k + 1) % ws.size();
      EXPECT_EQ(geo[k].x2, geo[q].x1);
      EXPECT_EQ(geo[k].y2, geo[q].y1);
      const auto* w = g.at(ws[k]).userdataAs<WallRecord>();
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(g.at(w->con[1]).userdataAs<VertexRecord>()->con[0], ws[k]);
      EXPECT_EQ(g.at(w->con[1]).userdataAs<VertexRecord>()->con[1], ws[q]);
      EXPECT_EQ(firstPoint(rt, w->con[0]).x, geo[k].x1);
      EXPECT_EQ(firstPoint(rt, w->con[0]).y, geo[k].y1);
    }
  }
  std::optional<platform::Rgb> colour(Handle h, const char* name) { return rt.graphics().at(h).color(name); }
  // The last dialog of a kind shown.
  platform::ScriptedUi::Shown lastShown(const std::string& kind) {
    for (auto it = ui.shown().rbegin(); it != ui.shown().rend(); ++it)
      if (it->kind == kind) return *it;
    return {};
  }
  platform::ScriptedUi::Shown lastQuestion() { return lastShown("question"); }
  std::size_t questions() {
    std::size_t n = 0;
    for (const auto& s : ui.shown()) n += s.kind == "question";
    return n;
  }
  // Whether the images and map were computed again (the undo snapshot refreshes the title only).
  bool recomputed() { return std::find(log.begin(), log.end(), "refreshimages") != log.end(); }
  std::size_t menus() {
    return rt.graphics()
        .findIf(
            fig,
            [](const platform::GraphicsObject& o) { return o.type() == platform::ObjectType::UiContextMenu; })
        .size();
  }
  double signedArea() {
    double a = 0;
    for (const auto& w : wallGeometry(rt, fig)) a += w.x1 * w.y2 - w.x2 * w.y1;
    return a / 2;
  }

  std::vector<std::string> log;
};

using V = std::vector<double>;
const platform::Rgb kRed{1, 0, 0}, kBlue{0, 0, 1}, kBlack{0, 0, 0};

TEST(WallEditingLines, ListLinesAreRightAligned) {
  EXPECT_EQ(absorptionListLine(3, 25), "  3    25");
  EXPECT_EQ(absorptionListLine(12, 100), " 12   100");
  EXPECT_EQ(absorptionListLine(120, 0), "120     0");
  EXPECT_EQ(absorptionListLine(1, 12.6), "  1   12.6");
}

TEST_F(WallEditingTest, SplitKeepsAbsorptionMeetsAtTheMidpointAndRenumbers) {
  const std::size_t menusBefore = menus();
  menu(4, kSplit);  // (0, 5) -> (0, 0), 40%
  EXPECT_EQ(walls(), 5u);
  EXPECT_EQ(xs(), (V{0, 10, 10, 0, 0}));
  EXPECT_EQ(ys(), (V{0, 0, 5, 5, 2.5}));
  EXPECT_EQ(alphas(), (V{10, 20, 30, 40, 40}));
  expectClosedLinkedChain();
  EXPECT_EQ(wallList(), "all|direct|wall 1|wall 2|wall 3|wall 4|wall 5");
  EXPECT_EQ(wallListValue(), 1);
  EXPECT_EQ(labels().back(), "split wall");
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "checkroomconvexity");
  EXPECT_EQ(log[1], "refreshimages");
  EXPECT_EQ(log[2], "refreshsurfacevalues");
  EXPECT_EQ(readCase(rt, fig).images->size(), 5u);
  // The new walls have full menus, their information lines filled.
  for (std::size_t k : {4u, 5u}) {
    EXPECT_EQ(rt.graphics().at(item(k, kSplit)).text("label"), "split wall");
    EXPECT_EQ(infoLabel(k, 0), "length=2.5m");
    EXPECT_EQ(infoLabel(k, 2), "absorption=40%");
  }
  // Old menus went with their walls: one more wall menu, nothing else.
  EXPECT_EQ(menus(), menusBefore + 1);

  // A verb in mixed case, on the first wall; the curve table is emptied first.
  CaseRecord r = readCase(rt, fig);
  r.curves = platform::Matrix::zeros(1, 9);
  storeCase(rt, fig, r);
  rt.press(wall(1), 5, 0, "alt");
  velmoracopy(rt, ops, {Value("SplitWall")});
  EXPECT_EQ(xs(), (V{0, 5, 10, 10, 0, 0}));
  EXPECT_EQ(alphas(), (V{10, 10, 20, 30, 40, 40}));
  EXPECT_TRUE(readCase(rt, fig).curves.empty());
  expectClosedLinkedChain();
  // Walls in wall order lead the drawing area's children list after the stacking order is set.
  EXPECT_GT(signedArea(), 0);
}

TEST_F(WallEditingTest, DeleteVertexAnswers) {
  struct Row {
    std::optional<std::string> answer;
    V x, y, alpha;
    bool undo;
  };
  // Wall 2 runs from (10, 0) (red) to (10, 5) (blue).
  const std::vector<Row> rows = {
      {"red", {0, 10, 0}, {0, 5, 5}, {10, 30, 40}, true},
      {"blue", {0, 10, 0}, {0, 0, 5}, {10, 30, 40}, true},
      {"cancel", {0, 10, 10, 0}, {0, 0, 5, 5}, {10, 20, 30, 40}, false},
      {std::nullopt, {0, 10, 10, 0}, {0, 0, 5, 5}, {10, 20, 30, 40}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.answer.value_or("closed"));
    room({0, 10, 10, 0}, {0, 0, 5, 5}, {10, 20, 30, 40});
    const std::size_t before = labels().size();
    const Handle red = rt.graphics().at(wall(2)).userdataAs<WallRecord>()->con[0];
    const Handle blue = rt.graphics().at(wall(2)).userdataAs<WallRecord>()->con[1];
    ui.onQuestion = [&] {
      EXPECT_EQ(colour(red, "markerfacecolor"), kRed);
      EXPECT_EQ(colour(red, "markeredgecolor"), kRed);
      EXPECT_EQ(colour(blue, "markerfacecolor"), kBlue);
      EXPECT_EQ(colour(blue, "markeredgecolor"), kBlue);
    };
    ui.push(ScriptedAnswer::button(row.answer));
    menu(2, kDelete);
    ui.onQuestion = nullptr;
    EXPECT_EQ(lastQuestion().title, "Delete wall vertex");
    EXPECT_EQ(lastQuestion().text, " Chose wall vertex to delete ?");
    EXPECT_EQ(xs(), row.x);
    EXPECT_EQ(ys(), row.y);
    EXPECT_EQ(alphas(), row.alpha);
    expectClosedLinkedChain();
    EXPECT_EQ(labels().size(), before + (row.undo ? 1 : 0));
    if (row.undo) {
      EXPECT_EQ(labels().back(), "delete wall");
    }
    EXPECT_FALSE(rt.graphics().at(fig).guiData().has_value());
    for (Handle v : objectsByTag(rt, fig, "acouwallvertex")) {
      // Black again, or never coloured.
      const auto c = colour(v, "markerfacecolor");
      EXPECT_TRUE(!c || *c == kBlack);
    }
    EXPECT_EQ(wallList(),
              row.undo ? "all|direct|wall 1|wall 2|wall 3" : "all|direct|wall 1|wall 2|wall 3|wall 4");
    EXPECT_EQ(readCase(rt, fig).images->size(), walls());
  }
  // A triangle keeps its vertices: no question, no change, no undo step.
  room({0, 4, 0}, {0, 0, 3}, {1, 2, 3});
  const std::size_t shown = questions(), before = labels().size();
  menu(1, kDelete);
  EXPECT_EQ(questions(), shown);
  EXPECT_EQ(walls(), 3u);
  EXPECT_EQ(labels().size(), before);
}

TEST_F(WallEditingTest, DeleteTheVertexThatClosesTheOutline) {
  ui.push(ScriptedAnswer::button("blue"));  // wall 4 ends at vertex 1
  menu(4, kDelete);
  EXPECT_EQ(xs(), (V{0, 10, 10}));
  EXPECT_EQ(ys(), (V{5, 0, 5}));
  expectClosedLinkedChain();
  ui.push(ScriptedAnswer::button("red"));  // wall 1 starts at vertex 1
  menu(1, kDelete);
  EXPECT_EQ(walls(), 3u);  // refused: a triangle
}

TEST_F(WallEditingTest, SymmetryOfTheRightWallDoublesTheRoom) {
  const auto& g = rt.graphics();
  const Handle axes = drawingAxes(rt, fig);
  const Value xlim = g.get(axes, "xlim"), ylim = g.get(axes, "ylim");
  const std::size_t before = labels().size();

  // Preview in magenta in a square view 1.1 times the new room; "No" puts everything back.
  ui.onQuestion = [&] {
    const auto preview = objectsByTag(rt, fig, "temporaryline");
    ASSERT_EQ(preview.size(), 1u);
    EXPECT_EQ(g.at(preview[0]).numbers("xdata"), (V{10, 0, 0, 10, 20, 20, 10}));
    EXPECT_EQ(g.at(preview[0]).numbers("ydata"), (V{5, 5, 0, 0, 0, 5, 5}));
    EXPECT_EQ(colour(preview[0], "color"), (platform::Rgb{1, 0, 1}));
    EXPECT_EQ(g.at(axes).numbers("xlim"), (V{-1, 21}));
    EXPECT_EQ(g.at(axes).numbers("ylim"), (V{-8.5, 13.5}));
  };
  ui.push(ScriptedAnswer::button("No"));
  menu(2, kSymmetry);
  EXPECT_EQ(lastQuestion().title, "Confirm");
  EXPECT_EQ(lastQuestion().text, "Keep this new topology ?");
  EXPECT_TRUE(objectsByTag(rt, fig, "temporaryline").empty());
  EXPECT_EQ(g.get(axes, "xlim"), xlim);
  EXPECT_EQ(g.get(axes, "ylim"), ylim);
  EXPECT_EQ(walls(), 4u);
  EXPECT_EQ(labels().size(), before);
  // Closed without a button: as "No".
  ui.push(ScriptedAnswer::button(std::nullopt));
  menu(2, kSymmetry);
  EXPECT_EQ(walls(), 4u);
  EXPECT_EQ(labels().size(), before);

  ui.push(ScriptedAnswer::button("Yes"));
  menu(2, kSymmetry);
  ui.onQuestion = nullptr;
  EXPECT_TRUE(objectsByTag(rt, fig, "temporaryline").empty());
  EXPECT_EQ(xs(), (V{10, 0, 0, 10, 20, 20}));
  EXPECT_EQ(ys(), (V{5, 5, 0, 0, 0, 5}));
  EXPECT_EQ(alphas(), (V{30, 40, 10, 10, 40, 30}));
  EXPECT_GT(signedArea(), 0);
  expectClosedLinkedChain();
  EXPECT_EQ(labels().size(), before + 1);
  EXPECT_EQ(labels().back(), "symmetry");
  EXPECT_EQ(wallList(), "all|direct|wall 1|wall 2|wall 3|wall 4|wall 5|wall 6");
}

TEST_F(WallEditingTest, SymmetryAcrossTheFirstAndLastWallsAndATriangle) {
  ui.push(ScriptedAnswer::button("Yes"));
  menu(4, kSymmetry);  // the left wall (0, 5) -> (0, 0)
  EXPECT_EQ(xs(), (V{0, 10, 10, 0, -10, -10}));
  EXPECT_EQ(ys(), (V{0, 0, 5, 5, 5, 0}));
  EXPECT_EQ(alphas(), (V{10, 20, 30, 30, 20, 10}));
  EXPECT_GT(signedArea(), 0);

  room({0, 4, 0}, {0, 0, 3}, {1, 2, 3});
  ui.push(ScriptedAnswer::button("Yes"));
  menu(1, kSymmetry);  // the base: a rhombus of 4 walls
  EXPECT_EQ(xs(), (V{4, 0, 0, 0}));
  EXPECT_EQ(ys(), (V{0, 3, 0, -3}));
  EXPECT_EQ(alphas(), (V{2, 3, 3, 2}));
  EXPECT_GT(signedArea(), 0);
}

TEST_F(WallEditingTest, SymmetryAcrossAWallOfNoLengthChangesNothing) {
  room({0, 10, 10, 10, 0}, {0, 0, 0, 5, 5}, {1, 2, 3, 4, 5});
  const std::size_t shown = questions(), before = labels().size();
  menu(2, kSymmetry);
  EXPECT_EQ(questions(), shown);
  EXPECT_EQ(walls(), 5u);
  EXPECT_EQ(labels().size(), before);
  EXPECT_EQ(ui.beeps(), 1);
  EXPECT_TRUE(objectsByTag(rt, fig, "temporaryline").empty());
}

TEST_F(WallEditingTest, TypedAbsorption) {
  struct Row {
    std::optional<std::string> typed;
    V alpha;
    bool recomputed;
  };
  const std::vector<Row> rows = {
      {"150", {10, 20, 100, 40}, true},        {"-5", {10, 20, 0, 40}, true},
      {"12.6", {10, 20, 13, 40}, true},        {"30", {10, 20, 30, 40}, false},
      {"30/", {30, 30, 30, 30}, true},         {"/ 55", {55, 55, 55, 55}, true},
      {"abc", {10, 20, 30, 40}, false},        {"", {10, 20, 30, 40}, false},
      {"1 2", {10, 20, 30, 40}, false},        {"NaN", {10, 20, 30, 40}, false},
      {std::nullopt, {10, 20, 30, 40}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed.value_or("cancel"));
    room({0, 10, 10, 0}, {0, 0, 5, 5}, {10, 20, 30, 40});
    const std::size_t before = labels().size();
    ui.push(ScriptedAnswer::inputs(row.typed ? std::optional(std::vector<std::string>{*row.typed})
                                             : std::nullopt));
    menu(3, kChange);
    EXPECT_EQ(lastShown("input").title, "Set wall property");
    EXPECT_EQ(lastShown("input").text, "Enter wall absorption coefficient (%):");
    EXPECT_EQ(alphas(), row.alpha);
    EXPECT_EQ(recomputed(), row.recomputed);
    // The step is recorded whatever the answer; the menu shows the wall's absorption.
    EXPECT_EQ(labels().size(), before + 1);
    EXPECT_EQ(labels().back(), "change wall absorption");
    EXPECT_EQ(infoLabel(3, 2), "absorption=" + platform::formatNumber(row.alpha[2]) + "%");
  }
}

TEST_F(WallEditingTest, AbsorptionDialogOffersTheCurrentValue) {
  // The scripted dialog shows its defaults only through the answer: an empty answer list keeps them.
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"25"}));
  menu(1, kChange);
  EXPECT_EQ(alphas(), (V{25, 20, 30, 40}));
  menu(1, kFull);
  EXPECT_EQ(alphas(), (V{100, 20, 30, 40}));
  menu(2, kZero);
  EXPECT_EQ(alphas(), (V{100, 0, 30, 40}));
  log.clear();
  menu(2, kZero);  // unchanged: no recomputation
  EXPECT_FALSE(recomputed());
}

// The item's place in the menu chooses what it does, whatever its label reads; the change itself
// takes the wall and the action as arguments.
TEST_F(WallEditingTest, AbsorptionItemsActByTheirPlaceInTheMenu) {
  rt.graphics().setText(item(1, kFull), "label", "set absorption to 0%");
  menu(1, kFull);
  EXPECT_EQ(alphas(), (V{100, 20, 30, 40}));
  rt.graphics().setText(item(2, kZero), "label", "set absorption to 100%");
  menu(2, kZero);
  EXPECT_EQ(alphas(), (V{100, 0, 30, 40}));
  // Another item carrying the wall changes nothing.
  rt.graphics().setUserdata(item(3, kSymmetry),
                            std::shared_ptr<const platform::UserData>(
                                std::make_shared<platform::ValueUserData>(Value::handle(wall(3)))));
  rt.graphics().setText(item(3, kSymmetry), "callback", "velmoracopy('changealpha')");
  log.clear();
  menu(3, kSymmetry);
  EXPECT_EQ(alphas(), (V{100, 0, 30, 40}));
  EXPECT_FALSE(recomputed());

  changeWallAbsorption(rt, ops, wall(4), AbsorptionChange::Zero);
  EXPECT_EQ(alphas(), (V{100, 0, 30, 0}));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"/ 45"}));
  changeWallAbsorption(rt, ops, wall(1), AbsorptionChange::Ask);
  EXPECT_EQ(alphas(), (V{45, 45, 45, 45}));
}

TEST_F(WallEditingTest, OneWallOfACurvedStretchSetsTheStretch) {
  room({0, 10, 10, 0, -2, -2}, {0, 0, 5, 5, 4, 1}, {0, 0, 0, 0, 0, 0});
  CaseRecord r = readCase(rt, fig);
  r.curves = platform::Matrix::zeros(2, 9);
  r.curves(0, 7) = 1;  // walls 1..1
  r.curves(0, 8) = 1;
  r.curves(1, 7) = 4;  // walls 4..6
  r.curves(1, 8) = 6;
  storeCase(rt, fig, r);
  menu(5, kFull);
  EXPECT_EQ(alphas(), (V{0, 0, 0, 100, 100, 100}));
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
  menu(2, kChange);  // in no stretch
  EXPECT_EQ(alphas(), (V{0, 20, 0, 100, 100, 100}));
}

TEST_F(WallEditingTest, AbsorptionWithoutAWallIsRefused) {
  const std::size_t before = labels().size();
  EXPECT_THROW(velmoracopy(rt, ops, {Value("changealpha")}), Error);
  rt.press(drawingAxes(rt, fig), 1, 1, "alt");
  EXPECT_THROW(velmoracopy(rt, ops, {Value("splitwall")}), Error);
  EXPECT_EQ(labels().size(), before);
  EXPECT_EQ(walls(), 4u);
}

class ListEditorTest : public WallEditingTest {
 protected:
  Handle manualItem() {
    const auto found = rt.graphics().findIf(fig, [](const platform::GraphicsObject& o) {
      return o.type() == platform::ObjectType::UiMenu && o.text("label") == "change absorption manually";
    });
    return found.at(0);
  }
  // Opens the list, lets `edit` see and change its lines while it waits, then presses the button.
  void editList(const std::function<std::vector<std::string>(const std::vector<std::string>&)>& edit) {
    bool pumped = false;
    ui.setPump([&] {
      if (pumped) return false;
      pumped = true;
      auto& g = rt.graphics();
      const Handle box = objectInWindow(rt, fig, "listalpha");
      EXPECT_EQ(g.get(box, "style"), Value("edit"));
      EXPECT_EQ(g.at(box).number("max"), 10);
      EXPECT_EQ(g.at(box).numbers("position"), (V{0.3, 0.3, 0.4, 0.4}));
      EXPECT_EQ(g.get(box, "fontname"), Value("FixedWidth"));
      EXPECT_EQ(g.get(box, "horizontalalignment"), Value("left"));
      std::vector<std::string> lines;
      const Value shownLines = g.get(box, "string");
      for (const Value& v : shownLines.list().items) lines.push_back(v.text());
      // The main window is locked meanwhile.
      EXPECT_EQ(g.get(objectInWindow(rt, fig, "acouselectbutton"), "enable"), Value("off"));
      EXPECT_EQ(g.get(wall(1), "hittest"), Value("off"));
      std::vector<Value> edited;
      for (const std::string& l : edit(lines)) edited.emplace_back(l);
      rt.graphics().set(box, "string", Value(platform::List{edited}));
      const auto buttons = rt.graphics().findIf(fig, [](const platform::GraphicsObject& o) {
        return o.type() == platform::ObjectType::UiControl &&
               o.get("string") == Value("update absorption coefficients");
      });
      EXPECT_EQ(buttons.size(), 1u);
      if (buttons.empty()) return false;
      EXPECT_EQ(rt.graphics().at(buttons[0]).numbers("position"), (V{0.3, 0.25, 0.4, 0.05}));
      rt.click(buttons[0]);
      return true;
    });
    rt.click(manualItem());
    ui.setPump(nullptr);
    EXPECT_TRUE(pumped);
    EXPECT_FALSE(findInWindow(rt, fig, "listalpha"));
    EXPECT_EQ(rt.graphics().get(objectInWindow(rt, fig, "acouselectbutton"), "enable"), Value("on"));
    EXPECT_EQ(rt.graphics().get(wall(1), "hittest"), Value("on"));
  }
};

TEST_F(ListEditorTest, EditedListSetsTheCoefficients) {
  const std::size_t before = labels().size();
  editList([](const std::vector<std::string>& lines) {
    EXPECT_EQ(lines, (std::vector<std::string>{"  1    10", "  2    20", "  3    30", "  4    40"}));
    // The first number is ignored; the second's magnitude is clamped, never rounded; a trailing
    // line break adds nothing.
    return std::vector<std::string>{"1 10", "7 -5", "3 12.6", "4, 250", ""};
  });
  EXPECT_EQ(alphas(), (V{10, 5, 12.6, 100}));
  // The undo snapshot refreshes the title afterwards.
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
            (std::vector<std::string>{"refreshimages", "refreshsurfacevalues", "selectvalue"}));
  EXPECT_EQ(labels().size(), before + 1);
  EXPECT_EQ(labels().back(), "change wall absorption");
  EXPECT_EQ(infoLabel(3, 2), "absorption=12.6%");
}

TEST_F(ListEditorTest, BadListsChangeNothing) {
  const std::vector<std::vector<std::string>> lists = {
      {"1 10", "2 20", "3 30"},                  // a line short
      {"1 10", "2 20", "3 30", "4 40", "5 50"},  // a line too many
      {"1 10", "2", "3 30", "4 40"},             // one number
      {"1 10", "2 20 5", "3 30", "4 40"},        // three numbers
      {"1 10", "2 x", "3 30", "4 40"},           // not a number
      {"1 10", "", "3 30", "4 40"},              // an empty line inside
  };
  for (std::size_t i = 0; i < lists.size(); ++i) {
    SCOPED_TRACE(i);
    editList([&](const std::vector<std::string>&) { return lists[i]; });
    EXPECT_EQ(alphas(), (V{10, 20, 30, 40}));
    EXPECT_FALSE(recomputed());
  }
  // An unchanged list recomputes nothing.
  editList([](const std::vector<std::string>& lines) { return lines; });
  EXPECT_FALSE(recomputed());
}

TEST_F(ListEditorTest, AWaitThatEndsWithoutThePressDropsTheList) {
  rt.click(manualItem());  // nothing can press the button: the wait is cancelled
  EXPECT_FALSE(findInWindow(rt, fig, "listalpha"));
  EXPECT_TRUE(rt.graphics()
                  .findIf(fig,
                          [](const platform::GraphicsObject& o) {
                            return o.type() == platform::ObjectType::UiControl &&
                                   o.get("string") == Value("update absorption coefficients");
                          })
                  .empty());
  EXPECT_EQ(rt.graphics().get(objectInWindow(rt, fig, "acouselectbutton"), "enable"), Value("on"));
  EXPECT_EQ(alphas(), (V{10, 20, 30, 40}));
}

}  // namespace
}  // namespace velmora::editor
