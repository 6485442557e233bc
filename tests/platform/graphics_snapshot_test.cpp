// Putting the object tree back after a failed rebuild: same handles, same properties and order, and a
// front end told of every difference so that it can follow without state of its own.

#include <string>
#include <vector>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velmora::platform
