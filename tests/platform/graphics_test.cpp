#include "platform/model/graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/model/error.h"

namespace velmora::platform {
namespace {

struct Tree {
  Graphics g;
  Handle fig = g.create(ObjectType::Figure, kRoot);
  Handle ax = g.create(ObjectType::Axes, fig);
};

TEST(Graphics, NewChildrenGoOnTopAndSearchIsNewestFirst) {
  Tree t;
  const Handle a = t.g.create(ObjectType::Line, t.ax);
  const Handle b = t.g.create(ObjectType::Line, t.ax);
  const Handle c = t.g.create(ObjectType::Line, t.ax);
  for (Handle h : {a, b, c}) t.g.setText(h, "tag", "acouwall");
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{c, b, a}));
  EXPECT_EQ(t.g.findobj(t.fig, "acouwall"), (std::vector<Handle>{c, b, a}));

  // The stacking order can change without changing what a search returns.
  t.g.setChildren(t.ax, {a, c, b});
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{a, c, b}));
  EXPECT_EQ(t.g.findobj(t.fig, "acouwall"), (std::vector<Handle>{c, b, a}));
  EXPECT_THROW(t.g.setChildren(t.ax, {a, b}), Error);
  EXPECT_THROW(t.g.setChildren(t.ax, {a, b, t.fig}), Error);
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{a, c, b}));

  // Search includes menus under context menus and the object itself.
  const Handle menu = t.g.create(ObjectType::UiContextMenu, t.fig);
  const Handle item = t.g.create(ObjectType::UiMenu, menu);
  t.g.setText(item, "tag", "acouwall");
  EXPECT_EQ(t.g.findobj(t.fig, "acouwall").front(), item);
  EXPECT_EQ(t.g.findobj(a, "acouwall"), std::vector<Handle>{a});
  EXPECT_TRUE(t.g.findobj(t.fig, "nothing").empty());
}

TEST(Graphics, PropertiesByNameAreTypedAndChecked) {
  Tree t;
  const Handle l = t.g.create(ObjectType::Line, t.ax);
  t.g.set(l, "XData", Value::row({3, 17}));
  EXPECT_EQ(t.g.at(l).numbers("xdata"), (std::vector<double>{3, 17}));
  t.g.set(l, "color", Value("k"));
  EXPECT_EQ(t.g.at(l).color("color"), (Rgb{0, 0, 0}));
  t.g.set(l, "markerfacecolor", Value("none"));
  EXPECT_FALSE(t.g.at(l).color("markerfacecolor"));
  t.g.set(l, "Visible", Value("OFF"));
  EXPECT_FALSE(t.g.at(l).visible());

  struct Bad {
    const char* prop;
    Value value;
    const char* message;
  };
  const std::vector<Bad> bad = {
      {"nosuchprop", Value(1.0), "There is no 'nosuchprop' property in the 'line' class."},
      {"linewidth", Value("thick"),
       "Bad value for line property 'linewidth': expected a single number, got a text."},
      {"visible", Value("maybe"),
       "Bad value for line property 'visible': expected 'on' or 'off', got a text."},
      {"color", Value("purple"), "Bad value for line property 'color': expected a colour, got a text."},
      {"type", Value("text"), "Attempt to modify read-only property: 'type'."},
  };
  for (const Bad& b : bad) {
    try {
      t.g.set(l, b.prop, b.value);
      ADD_FAILURE() << b.prop;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), b.message);
    }
  }
  EXPECT_EQ(t.g.at(l).text("type"), "line");  // still a line, and still black
  EXPECT_EQ(t.g.at(l).color("color"), (Rgb{0, 0, 0}));
  EXPECT_THROW(t.g.create(ObjectType::Line, t.fig), Error);
}

TEST(Graphics, UserdataAppDataAndGuiData) {
  Tree t;
  struct Marker : UserData {
    int n = 0;
    Value toValue() const override { return Value(static_cast<double>(n)); }
  };
  Marker m;
  m.n = 7;
  t.g.setUserdata(t.fig, m);
  ASSERT_NE(t.g.at(t.fig).userdataAs<Marker>(), nullptr);
  EXPECT_EQ(t.g.at(t.fig).userdataAs<Marker>()->n, 7);
  EXPECT_EQ(t.g.get(t.fig, "userdata"), Value(7.0));
  t.g.set(t.fig, "userdata", Value("text"));
  EXPECT_EQ(t.g.at(t.fig).userdataAs<Marker>(), nullptr);
  EXPECT_EQ(t.g.get(t.fig, "userdata"), Value("text"));

  t.g.setAppData(t.fig, "zoomaxesfactor", Value(1.2));
  ASSERT_NE(t.g.at(t.fig).appData("zoomaxesfactor"), nullptr);
  EXPECT_EQ(t.g.at(t.fig).appData("zoomaxesstatus"), nullptr);
  t.g.setGuiData(t.fig, Value("canceled"));
  EXPECT_EQ(t.g.at(t.fig).guiData(), Value("canceled"));
}

TEST(Graphics, CurrentObjectsFollowCreationAndDeletion) {
  Graphics g;
  EXPECT_EQ(g.currentFigure(), kNoHandle);
  const Handle f1 = g.create(ObjectType::Figure, kRoot);
  const Handle a1 = g.create(ObjectType::Axes, f1);
  const Handle f2 = g.create(ObjectType::Figure, kRoot);
  EXPECT_EQ(g.currentFigure(), f2);
  EXPECT_EQ(g.currentAxes(f1), a1);
  g.setCurrentFigure(f1);
  EXPECT_EQ(g.figures().front(), f1);
  const Handle a2 = g.create(ObjectType::Axes, f1);
  EXPECT_EQ(g.currentAxes(f1), a2);
  g.remove(a2);
  EXPECT_EQ(g.currentAxes(f1), a1);
  g.remove(f1);
  EXPECT_FALSE(g.exists(a1));
  EXPECT_EQ(g.currentFigure(), f2);
  g.remove(f2);
  EXPECT_EQ(g.currentFigure(), kNoHandle);
  EXPECT_THROW(g.remove(f2), Error);
  EXPECT_THROW(g.at(f2), Error);
}

TEST(Graphics, WindowDefaultsReachNewControls) {
  Tree t;
  t.g.set(t.fig, "defaultuicontrolfontsize", Value(6.0));
  const Handle c = t.g.create(ObjectType::UiControl, t.fig);
  EXPECT_EQ(t.g.at(c).number("fontsize"), 6.0);
}

struct Recorder : GraphicsObserver {
  std::vector<std::string> log;
  void objectCreated(Handle h) override { log.push_back("create " + std::to_string(h)); }
  void propertyChanged(Handle h, std::string_view name) override {
    log.push_back("set " + std::to_string(h) + " " + std::string(name));
  }
  void childrenReordered(Handle p) override { log.push_back("order " + std::to_string(p)); }
  void objectDeleted(Handle h) override { log.push_back("delete " + std::to_string(h)); }
};

TEST(Graphics, ObserversHearEveryChange) {
  Graphics g;
  Recorder r;
  g.addObserver(&r);
  const Handle f = g.create(ObjectType::Figure, kRoot);
  const Handle c = g.create(ObjectType::UiControl, f);
  g.set(c, "String", Value("grid"));
  g.remove(f);
  EXPECT_EQ(r.log,
            (std::vector<std::string>{"create 1", "create 2", "set 2 string", "delete 2", "delete 1"}));
}

TEST(Graphics, TagSearchAndMenuUsersFollowEveryChange) {
  Tree t;
  const Handle other = t.g.create(ObjectType::Figure, kRoot);
  const Handle otherAxes = t.g.create(ObjectType::Axes, other);
  const Handle a = t.g.create(ObjectType::Line, t.ax);
  const Handle b = t.g.create(ObjectType::Line, otherAxes);
  for (Handle h : {a, b}) t.g.setText(h, "tag", "acouimage");
  EXPECT_EQ(t.g.findobj(t.fig, "acouimage"), std::vector<Handle>{a});
  EXPECT_EQ(t.g.findobj(kRoot, "acouimage"), (std::vector<Handle>{b, a}));
  // Retagged, the object leaves the old tag's search; untagged objects answer the empty tag.
  t.g.setText(a, "tag", "acouradius");
  EXPECT_TRUE(t.g.findobj(t.fig, "acouimage").empty());
  EXPECT_EQ(t.g.findobj(t.ax, "acouradius"), std::vector<Handle>{a});
  EXPECT_EQ(t.g.findobj(t.ax, ""), std::vector<Handle>{t.ax});
  EXPECT_EQ(t.g.at(a).text("TAG"), "acouradius");
  // A deleted object and its descendants are gone from every search.
  t.g.remove(other);
  EXPECT_TRUE(t.g.findobj(kRoot, "acouimage").empty());
  EXPECT_FALSE(t.g.exists(b));
  EXPECT_THROW(t.g.at(b), Error);
  EXPECT_FALSE(t.g.exists(-5));
  EXPECT_FALSE(t.g.exists(1000000));

  // Context menus count the objects that use them, through sets, changes and deletions.
  const Handle menu = t.g.create(ObjectType::UiContextMenu, t.fig);
  const Handle spare = t.g.create(ObjectType::UiContextMenu, t.fig);
  const Handle c = t.g.create(ObjectType::Line, t.ax);
  t.g.set(a, "uicontextmenu", Value::handle(menu));
  t.g.set(c, "uicontextmenu", Value(static_cast<double>(menu)));
  EXPECT_EQ(t.g.contextMenuUsers(menu), 2u);
  t.g.set(c, "uicontextmenu", Value::handle(spare));
  EXPECT_EQ(t.g.contextMenuUsers(menu), 1u);
  EXPECT_EQ(t.g.contextMenuUsers(spare), 1u);
  EXPECT_THROW(t.g.set(a, "uicontextmenu", Value("menu")), Error);
  EXPECT_EQ(t.g.contextMenuUsers(menu), 1u);
  t.g.remove(a);
  EXPECT_EQ(t.g.contextMenuUsers(menu), 0u);
  t.g.set(c, "uicontextmenu", Value(platform::Matrix{}));
  EXPECT_EQ(t.g.contextMenuUsers(spare), 0u);

  // Properties never set read their defaults and are listed all the same.
  EXPECT_EQ(t.g.at(c).text("linestyle"), "-");
  const auto names = t.g.at(c).propertyNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "markersize"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "busyaction"), names.end());
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end() - 4));
}

// A copy is a new subtree that shares nothing the original can change, and is counted and indexed as
// if made by hand.
TEST(Graphics, CopyMakesTheSubtreeAnewInCreationOrder) {
  Tree t;
  const Handle menu = t.g.create(ObjectType::UiContextMenu, t.fig);
  const Handle first = t.g.create(ObjectType::UiMenu, menu);
  const Handle second = t.g.create(ObjectType::UiMenu, menu);
  t.g.setText(first, "label", "split wall");
  t.g.setText(second, "tag", "item");
  const Handle line = t.g.create(ObjectType::Line, t.ax);
  t.g.set(line, "uicontextmenu", Value::handle(menu));

  const Handle copy = t.g.copy(menu, t.fig);
  const std::vector<Handle> items = t.g.at(copy).children();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_GT(items[1], copy);
  EXPECT_GT(items[0], items[1]);  // made in the original's order, so the newest is on top
  EXPECT_EQ(t.g.at(items[1]).text("label"), "split wall");
  t.g.setText(items[1], "label", "changed");
  EXPECT_EQ(t.g.at(first).text("label"), "split wall");
  EXPECT_EQ(t.g.findobj(t.fig, "item"), (std::vector<Handle>{items[0], second}));

  const Handle lineCopy = t.g.copy(line, t.ax);
  EXPECT_EQ(t.g.contextMenuUsers(menu), 2u);
  t.g.remove(lineCopy);
  EXPECT_EQ(t.g.contextMenuUsers(menu), 1u);
  EXPECT_THROW(t.g.copy(t.ax, t.fig), Error);
  EXPECT_THROW(t.g.copy(line, t.fig), Error);
}

TEST(Graphics, StoredValuesStayPutAndDeletedChildrenLeaveNoGap) {
  Tree t;
  const Handle line = t.g.create(ObjectType::Line, t.ax);
  t.g.setRow(line, "xdata", {1, 2});
  const Matrix& x = t.g.at(line).matrix("xdata");
  // Every other property stored after it: the value read before must not move.
  const auto names = t.g.at(line).propertyNames();
  ASSERT_GT(names.size(), 20u);
  for (auto n = names.begin(); n != names.end() - 4; ++n) t.g.set(line, *n, t.g.get(line, *n));
  EXPECT_EQ(&x, &t.g.at(line).matrix("xdata"));
  EXPECT_EQ(x.data, (std::vector<double>{1, 2}));

  std::vector<Handle> lines;
  for (int k = 0; k < 5; ++k) lines.push_back(t.g.create(ObjectType::Line, t.ax));
  t.g.remove(lines[0]);
  t.g.remove(lines[2]);
  const Graphics::Snapshot before = t.g.snapshot();
  t.g.remove(lines[3]);
  const Handle added = t.g.create(ObjectType::Line, t.ax);
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{added, lines[4], lines[1], line}));
  t.g.restore(before);
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{lines[4], lines[3], lines[1], line}));
  t.g.remove(lines[4]);
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{lines[3], lines[1], line}));
}

// A new order must hold each child once and nothing else, whatever the span of their handles.
TEST(Graphics, ChildrenOrderIsRefusedUnlessAPermutation) {
  Tree t;
  std::vector<Handle> lines;
  for (int k = 0; k < 3; ++k) lines.push_back(t.g.create(ObjectType::Line, t.ax));
  const Handle elsewhere = t.g.create(ObjectType::UiContextMenu, t.fig);
  for (const std::vector<Handle>& wrong : std::vector<std::vector<Handle>>{
           {lines[0], lines[1]}, {lines[0], lines[0], lines[1]}, {lines[0], lines[1], elsewhere},
           {lines[0], lines[1], lines[2], lines[2]}, {lines[0], lines[1], 1'000'000}}) {
    EXPECT_THROW(t.g.setChildren(t.ax, wrong), Error);
    EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{lines[2], lines[1], lines[0]}));
  }
  t.g.setChildren(t.ax, {lines[1], lines[2], lines[0]});
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{lines[1], lines[2], lines[0]}));
  // Children far apart in handles (a long session): still compared exactly.
  for (int k = 0; k < 20'000; ++k) t.g.remove(t.g.create(ObjectType::Line, t.ax));
  const Handle late = t.g.create(ObjectType::Line, t.ax);
  EXPECT_THROW(t.g.setChildren(t.ax, {late, lines[0], lines[1], lines[1]}), Error);
  t.g.setChildren(t.ax, {lines[0], late, lines[1], lines[2]});
  EXPECT_EQ(t.g.at(t.ax).children(), (std::vector<Handle>{lines[0], late, lines[1], lines[2]}));
}

// A value set again is kept only when it is the very same: a zero of the other sign is a new value.
TEST(Graphics, ValueSetAgainReadsBackAsGiven) {
  Tree t;
  const Handle line = t.g.create(ObjectType::Line, t.ax);
  t.g.setNumber(line, "linewidth", 0.0);
  t.g.setNumber(line, "linewidth", -0.0);
  EXPECT_TRUE(std::signbit(t.g.at(line).number("linewidth")));
  t.g.setRow(line, "xdata", {0.0, 1.0});
  const Handle twin = t.g.copy(line, t.ax);
  t.g.setRow(twin, "xdata", {-0.0, 1.0});
  EXPECT_TRUE(std::signbit(t.g.at(twin).numbers("xdata")[0]));
  EXPECT_FALSE(std::signbit(t.g.at(line).numbers("xdata")[0]));
  t.g.setText(line, "visible", "OFF");  // converted as ever, then kept as stored
  t.g.setText(line, "visible", "off");
  EXPECT_EQ(t.g.get(line, "visible"), Value("off"));
  t.g.setRow(line, "color", {-0.0, 0.0, 0.0});
  t.g.setText(line, "color", "k");  // a black of other bits
  EXPECT_FALSE(std::signbit(t.g.at(line).numbers("color")[0]));
  // Limits set to what they are still fix their mode.
  t.g.setRow(t.ax, "xlim", t.g.at(t.ax).numbers("xlim"));
  EXPECT_EQ(t.g.get(t.ax, "xlimmode"), Value("manual"));
}

}  // namespace
}  // namespace velmora::platform
