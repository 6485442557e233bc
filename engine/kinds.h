#pragma once
// Kinds the engine's records code as integers (and case files keep as those numbers), named for the
// code that reads them. The records stay integer lists; a reader converts one code at a time.

#include <cstddef>
#include <optional>
#include <vector>

namespace velmora::engine {

// How the source sees a wall: a record's `iwv` holds one code a wall.
enum class WallVisibility { Hidden = 0, SeenWhole = 1, SeenInPart = 2, SourceOnEndVertex = 3 };

// The class of a visibility code; a code no class has counts as seen whole, as a wall the source
// was never checked against does.
constexpr WallVisibility wallVisibility(int code) {
  switch (code) {
    case 0:
      return WallVisibility::Hidden;
    case 2:
      return WallVisibility::SeenInPart;
    case 3:
      return WallVisibility::SourceOnEndVertex;
    default:
      return WallVisibility::SeenWhole;
  }
}

// The visibility of wall `wall` (0-based) in a record's list. Without a list (a convex room keeps
// none) or beyond it, the wall is seen whole.
inline WallVisibility wallVisibility(const std::optional<std::vector<int>>& codes, std::size_t wall) {
  return codes && wall < codes->size() ? wallVisibility((*codes)[wall]) : WallVisibility::SeenWhole;
}

// Whether an outline has no reflex vertex (a record's `iscnvx`; per vertex, its `ang`): 1 convex or
// straight, 0 not convex.
enum class ConvexityClass { NotConvex = 0, Convex = 1 };

// Any code but 0 reads as convex.
constexpr ConvexityClass convexityClass(int code) {
  return code != 0 ? ConvexityClass::Convex : ConvexityClass::NotConvex;
}

}  // namespace velmora::engine
