#pragma once
// Exact reflection zones: the part of the room that a reflection reaches, found as the region seen
// from the image through the window of the wall's seen part, and the grid points inside it.

#include <optional>
#include <span>
#include <vector>

#include "engine/geometry.h"
#include "engine/images.h"

namespace velmora::engine {

// The polygon of the points P beyond wall `nor` (1-based) for which the path from `apex` to P
// crosses the window (the seen part of that wall) and then meets no other wall before P. The
// polygon runs from the window's first end over the far boundary to its second end; it is
// star-shaped from the apex. Empty when the apex is not strictly behind the window's line or the
// window has no length. Angular sweep over the walls' end points, the walls that can block a ray
// kept in an active list by their range along the window.
struct ZonePolygon {
  std::vector<double> xp, yp;
};
ZonePolygon reflectionzonepolygon(int nor, const Walls& walls, const Wall& window, Point apex);

// The point from which a reflection's rays leave the wall, for the exact zone: the image of a plane
// wall; for a convex wall the meeting point of its two boundary lines (through the end images), so
// that the zone spans the same wedge as in a convex room. Empty when that point is not strictly
// behind the wall (the source on the wall's line: the record's lines are then always true).
std::optional<Point> reflectionapex(const ImageRecord& ima);

// Grid points inside a polygon, column by column: a grid column whose points are evenly spaced on a
// line (every audience map is made of such columns) is cut by the polygon's edges once, other
// points are tested one by one. Points within `kZoneTolerance` of the polygon's boundary count as
// inside. The grid matrices must outlive this object.
inline constexpr double kZoneTolerance = 1e-7;
class GridScan {
 public:
  GridScan(const Matrix& xs, const Matrix& ys) : grid_(xs, ys) {}
  // 1-based indices, increasing, of the grid points inside or on the polygon.
  IndexList inside(std::span<const double> xp, std::span<const double> yp) const;
  // The same points added to `out`.
  void inside(std::span<const double> xp, std::span<const double> yp, ReachedPoints& out) const;
  const GridColumns& columns() const { return grid_; }

 private:
  GridColumns grid_;
};

}  // namespace velmora::engine
