// Putting the object tree back as it was: the undo of a window rebuild that failed half-way.

#include <algorithm>
#include <bitset>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/model/graphics.h"

namespace velmora::platform {

// The old state of what changed since the snapshot: objects made since have handles from `firstNew`
// on; `then` holds the first-change copies and the deleted objects, in the order they were kept.
struct Graphics::Journal {
  Handle firstNew = 0;
  std::vector<std::pair<Handle, std::unique_ptr<GraphicsObject>>> then;
  // Which handles below firstNew are kept, in pages of bits: a long session has made millions.
  std::vector<std::unique_ptr<std::bitset<1024>>> kept;

  // True the first time for a handle from before the snapshot: its old state is to be kept.
  bool takes(Handle h) {
    if (h >= firstNew) return false;
    const auto at = static_cast<std::size_t>(h);
    if (kept.size() <= at / 1024) kept.resize(at / 1024 + 1);
    auto& page = kept[at / 1024];
    if (!page) page = std::make_unique<std::bitset<1024>>();
    if (page->test(at % 1024)) return false;
    page->set(at % 1024);
    return true;
  }
};

Graphics::Snapshot Graphics::snapshot() {
  std::erase_if(journals_, [](const LiveJournal& j) { return j.weak.expired(); });
  auto journal = std::make_shared<Journal>();
  journal->firstNew = next_;
  journals_.push_back({journal, journal.get(), next_});
  journalsNewFrom_ = next_;
  return Snapshot{std::move(journal)};
}

// Single-threaded: a journal found unexpired stays alive for the whole call, so it is reached
// through its plain pointer (a weak_ptr lock per change costs two atomic operations). The first
// journal that needs the old state takes `gone` when given (a deleted object), the others a copy.
void Graphics::remember(Handle h, const GraphicsObject& o, std::unique_ptr<GraphicsObject> gone) {
  for (auto it = journals_.begin(); it != journals_.end();) {
    if (h >= it->firstNew) {
      ++it;
    } else if (it->weak.expired()) {
      it = journals_.erase(it);
    } else {
      if (it->journal->takes(h))
        it->journal->then.emplace_back(h, gone ? std::move(gone) : std::make_unique<GraphicsObject>(o));
      ++it;
    }
  }
}

void Graphics::keep(Handle h, const GraphicsObject& o) {
  remember(h, o, nullptr);
}

void Graphics::discard(Handle h) {
  std::unique_ptr<GraphicsObject> gone = objects_.take(h);
  if (journals_.empty() || h >= journalsNewFrom_) return;
  const GraphicsObject& old = *gone;
  remember(h, old, std::move(gone));
}

namespace {

// Names of the properties whose values differ (NaN never equals itself: such a property is reported
// again, which costs a redraw and nothing else).
std::vector<std::string> changedProperties(const GraphicsObject& now, const GraphicsObject& then,
                                           const PropertyBag& a, const PropertyBag& b) {
  const auto in = [](const PropertyBag& props, std::string_view name) -> const Value* {
    for (std::size_t i = 0; i < props.size(); ++i)
      if (name == props.at(i).key()) return &props.at(i).value();
    return nullptr;
  };
  std::set<std::string> names;
  a.forEach([&](std::string_view name, const Value& value) {
    const Value* other = in(b, name);
    if (other == nullptr || !(*other == value)) names.emplace(name);
  });
  b.forEach([&](std::string_view name, const Value&) {
    if (in(a, name) == nullptr) names.emplace(name);
  });
  if (now.userdata() != then.userdata()) names.insert("userdata");
  return {names.begin(), names.end()};
}

}  // namespace

void Graphics::restore(Snapshot snapshot) {
  const std::shared_ptr<Journal> journal = std::move(snapshot.journal);
  if (!journal) return;
  std::erase_if(journals_, [&](const LiveJournal& j) { return j.weak.expired() || j.journal == journal.get(); });

  // Objects made since the snapshot: the observers hear of them while they still exist, the newest
  // (descendants) first, as `remove` tells them.
  std::vector<Handle> gone = objects_.liveFrom(journal->firstNew);
  std::reverse(gone.begin(), gone.end());
  for (GraphicsObserver* o : observers_)
    for (Handle h : gone) o->objectDeleted(h);
  for (Handle h : gone) discard(h);

  // Put every object back before telling anyone, so that observers read a whole tree. Objects the
  // journal does not hold are as they were.
  std::vector<Handle> created;
  std::vector<std::pair<Handle, std::vector<std::string>>> changed;
  std::vector<Handle> reordered;
  std::sort(journal->then.begin(), journal->then.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });  // parents before children
  for (auto& [h, then] : journal->then) {
    if (objects_.get(h) == nullptr) {
      created.push_back(h);
      objects_.put(h, std::move(then));
      continue;
    }
    GraphicsObject& now = object(h);
    auto names = changedProperties(now, *then, now.props_, then->props_);
    if (now.childrenBottomUp() != then->childrenBottomUp()) reordered.push_back(h);
    now = std::move(*then);
    if (!names.empty()) changed.emplace_back(h, std::move(names));
  }
  // The tag index and the menu use counts follow the restored tree.
  byTag_.clear();
  menuUsers_.clear();
  for (Handle h : objects_.liveFrom(kRoot)) {
    const GraphicsObject& obj = *objects_.get(h);
    index(obj.tag_, h);  // ascending handles: each goes to the end of its list
    const Value* menu = obj.find("uicontextmenu");
    if (menu != nullptr && menu->isObject() && exists(menu->object())) ++menuUsers_[menu->object()];
  }
  for (GraphicsObserver* o : observers_) {
    for (Handle h : created) o->objectCreated(h);  // ascending: parents before their children
    for (const auto& [h, names] : changed)
      for (const std::string& name : names) o->propertyChanged(h, name);
    for (Handle h : reordered) o->childrenReordered(h);
  }
}

}  // namespace velmora::platform
