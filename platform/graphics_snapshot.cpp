// Putting the object tree back as it was: the undo of a window rebuild that failed half-way.

#include <algorithm>
#include <set>
#include <string>

#include "platform/graphics.h"

namespace velmora::platform {

Graphics::Snapshot Graphics::snapshot() const {
  Snapshot s;
  for (std::size_t h = 0; h < objects_.size(); ++h)
    if (objects_[h]) s.objects.emplace(static_cast<Handle>(h), *objects_[h]);
  return s;
}

namespace {

// Names of the properties whose values differ (NaN never equals itself: such a property is reported
// again, which costs a redraw and nothing else).
std::vector<std::string> changedProperties(const GraphicsObject& now, const GraphicsObject& then,
                                           const std::map<std::string, Value, std::less<>>& a,
                                           const std::map<std::string, Value, std::less<>>& b) {
  std::set<std::string> names;
  for (const auto& [name, value] : a) {
    auto it = b.find(name);
    if (it == b.end() || !(it->second == value)) names.insert(name);
  }
  for (const auto& [name, value] : b)
    if (!a.count(name)) names.insert(name);
  if (now.userdata() != then.userdata()) names.insert("userdata");
  return {names.begin(), names.end()};
}

}  // namespace

void Graphics::restore(Snapshot snapshot) {
  // Objects made since the snapshot: the observers hear of them while they still exist, the newest
  // (descendants) first, as `remove` tells them.
  std::vector<Handle> gone;
  for (std::size_t h = 0; h < objects_.size(); ++h)
    if (objects_[h] && !snapshot.objects.count(static_cast<Handle>(h))) gone.push_back(static_cast<Handle>(h));
  std::sort(gone.begin(), gone.end(), std::greater<>());
  for (GraphicsObserver* o : observers_)
    for (Handle h : gone) o->objectDeleted(h);
  for (Handle h : gone) objects_[static_cast<std::size_t>(h)].reset();

  // Put every object back before telling anyone, so that observers read a whole tree.
  std::vector<Handle> created;
  std::vector<std::pair<Handle, std::vector<std::string>>> changed;
  std::vector<Handle> reordered;
  for (auto& [h, then] : snapshot.objects) {
    auto& slot = objects_[static_cast<std::size_t>(h)];  // handles are never reused, so the slot exists
    if (!slot) {
      created.push_back(h);
      slot = std::make_unique<GraphicsObject>(std::move(then));
      continue;
    }
    GraphicsObject& now = *slot;
    auto names = changedProperties(now, then, now.props_, then.props_);
    if (now.children_ != then.children_) reordered.push_back(h);
    now = std::move(then);
    if (!names.empty()) changed.emplace_back(h, std::move(names));
  }
  // The tag index and the menu use counts follow the restored tree.
  byTag_.clear();
  menuUsers_.clear();
  for (std::size_t h = 0; h < objects_.size(); ++h) {
    if (!objects_[h]) continue;
    const GraphicsObject& obj = *objects_[h];
    byTag_[obj.tag_].insert(static_cast<Handle>(h));
    auto menu = obj.props_.find("uicontextmenu");
    if (menu != obj.props_.end() && menu->second.isObject() && exists(menu->second.object()))
      ++menuUsers_[menu->second.object()];
  }
  for (GraphicsObserver* o : observers_) {
    for (Handle h : created) o->objectCreated(h);  // ascending: parents before their children
    for (const auto& [h, names] : changed)
      for (const std::string& name : names) o->propertyChanged(h, name);
    for (Handle h : reordered) o->childrenReordered(h);
  }
}

}  // namespace velmora::platform
