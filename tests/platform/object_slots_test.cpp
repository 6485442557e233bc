// The store of objects by handle: a long session makes millions of handles and deletes nearly all.

#include "platform/model/object_slots.h"

#include <gtest/gtest.h>

#include "platform/model/graphics.h"

namespace velmora::platform {
namespace {

TEST(ObjectSlots, DeadHandlesCostNothingAndSurvivorsStay) {
  ObjectSlots slots;
  slots.put(0, std::make_unique<GraphicsObject>());
  for (Handle h = 1; h < 200'000; ++h) {
    slots.put(h, std::make_unique<GraphicsObject>());
    if (h != 1500) slots.take(h);
  }
  EXPECT_LE(slots.pagesHeld(), 3u);
  EXPECT_NE(slots.get(0), nullptr);
  EXPECT_NE(slots.get(1500), nullptr);
  EXPECT_EQ(slots.get(1501), nullptr);
  EXPECT_EQ(slots.get(-1), nullptr);
  EXPECT_EQ(slots.get(200'000), nullptr);
  EXPECT_EQ(slots.liveFrom(1), std::vector<Handle>{1500});
  slots.put(150'000, std::make_unique<GraphicsObject>());  // brought back into a freed page
  EXPECT_NE(slots.get(150'000), nullptr);
  EXPECT_EQ(slots.liveFrom(0), (std::vector<Handle>{0, 1500, 150'000}));
}

}  // namespace
}  // namespace velmora::platform
