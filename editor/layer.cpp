#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"

namespace velmora::editor {

using namespace velmora::document;

namespace {

// Handles seen once: a mark per handle over the newest of the drawing area's children (thousands,
// made together by a rebuild), a set for any other.
class HandleMarks {
 public:
  explicit HandleMarks(const std::vector<Handle>& span) {
    if (span.empty()) return;
    const auto [lo, hi] = std::minmax_element(span.begin(), span.end());
    // The newest handles only: objects kept since the window opened sit far below those of the last
    // rebuild after a long session, and go to the set.
    first_ = std::max(*lo, *hi - static_cast<Handle>(8 * span.size() + 4096));
    marks_.assign(static_cast<std::size_t>(*hi - first_) + 1, 0);
  }
  // True the first time for a handle.
  bool insert(Handle h) {
    if (h >= first_ && h - first_ < static_cast<Handle>(marks_.size())) {
      auto& mark = marks_[static_cast<std::size_t>(h - first_)];
      if (mark != 0) return false;
      mark = 1;
      return true;
    }
    return others_.insert(h).second;
  }
  bool contains(Handle h) const {
    if (h >= first_ && h - first_ < static_cast<Handle>(marks_.size()))
      return marks_[static_cast<std::size_t>(h - first_)] != 0;
    return others_.count(h) != 0;
  }

 private:
  Handle first_ = 0;
  std::vector<unsigned char> marks_;
  std::unordered_set<Handle> others_;
};

}  // namespace

void setlayer(Runtime& rt) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  const std::vector<Handle> children = g.at(axes).children();
  // The children of each tag in stacking order, sorted in one pass (the area holds thousands).
  std::unordered_map<std::string_view, std::vector<Handle>> byTag;
  for (Handle h : children) byTag[g.at(h).tag()].push_back(h);
  const auto listed = [&](std::string_view tag) {
    const auto found = byTag.find(tag);
    return found == byTag.end() ? std::vector<Handle>{} : found->second;
  };

  // Walls as the drawing area lists them, rechained from the last one through the vertex links.
  const std::vector<Handle> listedWalls = listed(tags::kWall);
  std::vector<Handle> chain;
  if (!listedWalls.empty()) {
    HandleMarks taken(children);
    Handle current = listedWalls.back();
    while (chain.size() < listedWalls.size() && taken.insert(current)) {
      chain.push_back(current);
      const auto* wall = g.at(current).userdataAs<WallRecord>();
      if (wall == nullptr || !g.exists(wall->con[1])) break;
      const auto* vertex = g.at(wall->con[1]).userdataAs<VertexRecord>();
      if (vertex == nullptr || !g.exists(vertex->con[1])) break;
      current = vertex->con[1];
    }
    // Walls the links did not reach keep their place after the chain.
    for (Handle w : listedWalls) {
      if (!taken.contains(w)) chain.insert(chain.begin(), w);
    }
    std::reverse(chain.begin(), chain.end());
  }

  // Image k and radius lines 2k-1, 2k belong to wall k (creation order): order them like the walls.
  const auto wallOrder = wallsInWallOrder(rt, fig);
  const auto imagesByWall = objectsInCreationOrder(rt, fig, tags::kImage);
  const auto radiusByWall = objectsInCreationOrder(rt, fig, tags::kRadius);
  std::unordered_map<Handle, std::size_t> wallIndex;  // a window may hold hundreds of walls
  for (std::size_t k = wallOrder.size(); k-- > 0;) wallIndex[wallOrder[k]] = k;
  std::vector<Handle> images, radius;
  for (Handle w : chain) {
    const auto found = wallIndex.find(w);
    const std::size_t k = found == wallIndex.end() ? wallOrder.size() : found->second;
    if (k < imagesByWall.size()) images.push_back(imagesByWall[k]);
    for (std::size_t r : {2 * k, 2 * k + 1}) {
      if (r < radiusByWall.size()) radius.push_back(radiusByWall[r]);
    }
  }
  const auto newestFirst = [](std::vector<Handle> v) {
    std::sort(v.begin(), v.end(), std::greater<>());
    return v;
  };

  std::vector<Handle> order;
  order.reserve(children.size());
  HandleMarks placed(children);
  const auto append = [&](const std::vector<Handle>& v) {
    for (Handle h : v) {
      if (placed.insert(h)) order.push_back(h);
    }
  };
  append(listed(tags::kSource));
  append(listed(tags::kReceptor));
  append(newestFirst(listed(tags::kWallVertex)));
  append(newestFirst(listed(tags::kAudienceVertex)));
  append(chain);
  append(listed(tags::kAudienceEdge));
  append(images);
  append(radius);
  append(listed(tags::kAudienceMap));
  append(listed(tags::kXAxis));
  append(listed(tags::kYAxis));
  append(listed(tags::kGrid));
  append(listed(tags::kText));
  append(listed(tags::kMeasureText));
  // Anything else stays below, in its present order.
  append(children);
  g.setChildren(axes, order);
}

}  // namespace velmora::editor
