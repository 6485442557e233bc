#include "platform/model/object_slots.h"

#include "platform/model/graphics_object.h"

namespace velmora::platform {

ObjectSlots::ObjectSlots() = default;
ObjectSlots::~ObjectSlots() = default;

void ObjectSlots::put(Handle h, std::unique_ptr<GraphicsObject> object) {
  const auto at = static_cast<std::size_t>(h);
  if (at / kPageSize >= pages_.size()) pages_.resize(at / kPageSize + 1);
  auto& page = pages_[at / kPageSize];
  if (!page) page = std::make_unique<Page>();
  auto& slot = page->objects[at % kPageSize];
  if (!slot) ++page->live;
  slot = std::move(object);
  if (h >= end_) end_ = h + 1;
}

std::unique_ptr<GraphicsObject> ObjectSlots::take(Handle h) {
  if (get(h) == nullptr) return nullptr;
  const auto at = static_cast<std::size_t>(h);
  auto& page = pages_[at / kPageSize];
  std::unique_ptr<GraphicsObject> out = std::move(page->objects[at % kPageSize]);
  // A page all of whose handles were given out and whose objects are all gone is freed.
  if (--page->live == 0 && static_cast<Handle>((at / kPageSize + 1) * kPageSize) <= end_) page.reset();
  return out;
}

std::size_t ObjectSlots::pagesHeld() const {
  std::size_t n = 0;
  for (const auto& page : pages_) n += page ? 1 : 0;
  return n;
}

std::vector<Handle> ObjectSlots::liveFrom(Handle first) const {
  std::vector<Handle> out;
  if (first < 0) first = 0;
  for (std::size_t p = static_cast<std::size_t>(first) / kPageSize; p < pages_.size(); ++p) {
    if (!pages_[p]) continue;
    for (std::size_t i = 0; i < kPageSize; ++i) {
      const auto h = static_cast<Handle>(p * kPageSize + i);
      if (h >= first && pages_[p]->objects[i]) out.push_back(h);
    }
  }
  return out;
}

}  // namespace velmora::platform
