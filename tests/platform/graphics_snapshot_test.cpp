// Putting the object tree back after a failed rebuild: same handles, same properties and order, and a
// front end told of every difference so that it can follow without state of its own.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/model/error.h"
#include "platform/model/graphics.h"

namespace velmora::platform {
namespace {

struct Events : GraphicsObserver {
  std::vector<std::string> seen;
  void objectCreated(Handle h) override { seen.push_back("created " + std::to_string(h)); }
  void propertyChanged(Handle h, std::string_view name) override {
    seen.push_back("changed " + std::to_string(h) + " " + std::string(name));
  }
  void childrenReordered(Handle h) override { seen.push_back("reordered " + std::to_string(h)); }
  void objectDeleted(Handle h) override { seen.push_back("deleted " + std::to_string(h)); }
};

TEST(GraphicsSnapshot, RestoreBringsBackHandlesPropertiesAndOrder) {
  Graphics g;
  const Handle fig = g.create(ObjectType::Figure, kRoot);
  const Handle ax = g.create(ObjectType::Axes, fig);
  const Handle wall = g.create(ObjectType::Line, ax);
  const Handle marker = g.create(ObjectType::Line, ax);
  g.setRow(wall, "xdata", {0, 10});
  g.setUserdata(wall, ValueUserData(Value("wall 1")));
  g.setText(wall, "tag", "acouwall");
  const Graphics::Snapshot before = g.snapshot();

  g.setRow(wall, "xdata", {5, 6});
  g.remove(marker);
  const Handle added = g.create(ObjectType::Line, ax);
  const Handle menu = g.create(ObjectType::UiContextMenu, fig);
  g.setChildren(ax, {wall, added});
  Events events;
  g.addObserver(&events);
  g.restore(before);

  EXPECT_TRUE(g.exists(marker));
  EXPECT_FALSE(g.exists(added));
  EXPECT_FALSE(g.exists(menu));
  EXPECT_EQ(g.at(ax).children(), (std::vector<Handle>{marker, wall}));
  EXPECT_EQ(g.at(wall).numbers("xdata"), (std::vector<double>{0, 10}));
  EXPECT_EQ(g.at(wall).userdata()->toValue(), Value("wall 1"));
  EXPECT_EQ(g.findobj(fig, "acouwall"), std::vector<Handle>{wall});
  EXPECT_EQ(events.seen, (std::vector<std::string>{
                             "deleted " + std::to_string(menu), "deleted " + std::to_string(added),
                             "created " + std::to_string(marker), "changed " + std::to_string(fig) + " currentobject",
                             "changed " + std::to_string(wall) + " xdata",
                             "reordered " + std::to_string(fig), "reordered " + std::to_string(ax)}));
  // Handles are never given out twice.
  EXPECT_GT(g.create(ObjectType::Line, ax), menu);
  g.removeObserver(&events);
}

// A record is changed in place only when nothing else holds it: a snapshot or a reader keeps its own.
TEST(GraphicsSnapshot, UserdataChangedInPlaceSparesSnapshotsAndReaders) {
  Graphics g;
  const Handle fig = g.create(ObjectType::Figure, kRoot);
  g.setUserdata(fig, ValueUserData(Value("before")));
  const Graphics::Snapshot before = g.snapshot();
  EXPECT_EQ(g.userdataToChange<ValueUserData>(fig), nullptr);
  g.setUserdata(fig, ValueUserData(Value("stored")));
  ValueUserData* own = g.userdataToChange<ValueUserData>(fig);
  ASSERT_NE(own, nullptr);
  own->value = Value("changed in place");
  g.restore(before);
  EXPECT_EQ(g.at(fig).userdata()->toValue(), Value("before"));

  const auto reader = g.at(fig).userdata();
  EXPECT_EQ(g.userdataToChange<ValueUserData>(fig), nullptr);
  EXPECT_EQ(reader->toValue(), Value("before"));
}

// Copies and the snapshot share stored values until one side changes them: a change, made in place or
// as a new value, never reaches the other side, and a restore brings back exactly what was.
TEST(GraphicsSnapshot, SharedValuesChangeOnOneSideOnly) {
  Graphics g;
  const Handle fig = g.create(ObjectType::Figure, kRoot);
  const Handle ax = g.create(ObjectType::Axes, fig);
  const Handle other = g.create(ObjectType::Axes, fig);
  const Handle line = g.create(ObjectType::Line, ax);
  g.setRow(line, "xdata", {0, 10});
  g.setText(line, "tag", "wall");
  g.setAppData(line, "note", Value("kept"));
  const Handle twin = g.copy(line, ax);
  g.setRow(line, "xdata", {1, 2});  // held by the line alone: changed where it is
  EXPECT_EQ(g.at(twin).numbers("xdata"), (std::vector<double>{0, 10}));
  EXPECT_EQ(*g.at(twin).appData("note"), Value("kept"));
  EXPECT_EQ(g.at(twin).number("linewidth"), 0.5);  // never set: the type's default

  const Graphics::Snapshot before = g.snapshot();
  g.setRow(line, "xdata", {3, 4});
  g.setRow(twin, "xdata", {0, 10});  // its own value again
  g.setText(twin, "color", "r");
  g.remove(other);                   // the window's current axes go back to the one left
  g.setAppData(line, "note", Value("changed"));
  EXPECT_EQ(g.currentAxes(fig), ax);
  g.restore(before);
  EXPECT_EQ(g.at(line).numbers("xdata"), (std::vector<double>{1, 2}));
  EXPECT_EQ(g.at(twin).numbers("xdata"), (std::vector<double>{0, 10}));
  EXPECT_EQ(g.at(twin).numbers("color"), (std::vector<double>{0, 0, 1}));
  EXPECT_EQ(*g.at(line).appData("note"), Value("kept"));
  EXPECT_EQ(g.currentAxes(fig), other);
  EXPECT_EQ(g.at(fig).children(), (std::vector<Handle>{other, ax}));
  EXPECT_EQ(g.findobj(fig, "wall"), (std::vector<Handle>{twin, line}));

  // A menu named by a line that went away is refused even when the line held that very value.
  const Handle menu = g.create(ObjectType::UiContextMenu, fig);
  g.set(line, "uicontextmenu", Value::handle(menu));
  g.remove(menu);
  EXPECT_THROW(g.set(line, "uicontextmenu", Value::handle(menu)), Error);
}

}  // namespace
}  // namespace velmora::platform
