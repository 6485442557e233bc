#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/model/value.h"

namespace velmora::platform {

class GraphicsObject;

// The objects of the tree by handle. Handles are never reused, and a long session makes millions of
// them (each rebuild of a large room or live-map result makes thousands), nearly all deleted since:
// the slots live in pages, and a page whose objects are all gone is freed. A lookup is two indexings.
class ObjectSlots {
 public:
  ObjectSlots();
  ~ObjectSlots();
  ObjectSlots(const ObjectSlots&) = delete;
  ObjectSlots& operator=(const ObjectSlots&) = delete;

  // The live object of a handle; null for one deleted or never made.
  GraphicsObject* get(Handle h) const {
    if (h < 0 || h >= end_) return nullptr;
    const Page* page = pages_[static_cast<std::size_t>(h) / kPageSize].get();
    return page == nullptr ? nullptr : page->objects[static_cast<std::size_t>(h) % kPageSize].get();
  }
  // Puts an object in its handle's slot, which must be empty (a new handle, or one brought back).
  void put(Handle h, std::unique_ptr<GraphicsObject> object);
  // Takes the object out of its slot.
  std::unique_ptr<GraphicsObject> take(Handle h);
  // One past the highest handle ever put.
  Handle end() const { return end_; }
  // The live handles from `first` on, in ascending order.
  std::vector<Handle> liveFrom(Handle first) const;
  // How many pages of slots are held (what the store costs besides its objects).
  std::size_t pagesHeld() const;

 private:
  static constexpr std::size_t kPageSize = 1024;
  struct Page {
    std::array<std::unique_ptr<GraphicsObject>, kPageSize> objects;
    std::size_t live = 0;
  };
  std::vector<std::unique_ptr<Page>> pages_;
  Handle end_ = 0;
};

}  // namespace velmora::platform
