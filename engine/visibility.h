#pragma once
// Visibility of walls from the source, and the zone reached by one wall's reflection in a room that
// is not convex.

#include <span>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "engine/images.h"

namespace velmora::engine {

struct WallVisibility {
  std::vector<int> iwv;  // per wall: 0 hidden, 1 seen whole, 2 seen in part, 3 source on an end vertex
  Walls visible;         // xwv, ywv: seen part of each wall (the whole wall for classes 0, 1, 3)
  std::vector<std::string> console;  // "All walls are visible" or "Invisible wall(s): ..."
};
// `noprogressbar` suppresses the "Invisible wall(s): " line, as during an animation.
WallVisibility checkwallvisibility(const Walls& walls, double xso, double yso, std::span<const int> ang,
                                   bool noprogressbar = false);

struct ZoneResult {
  std::vector<unsigned char> E;      // per grid point: 1 when the reflection reaches it
  std::vector<double> xp, yp;        // the traced zone polygon; empty when none was built
  std::vector<std::string> console;  // diagnostics of the tracing
  bool beep = false;                 // a beep was asked for
  bool failed = false;               // the tracing gave up (its messages say why); E is then all 0
};
// Traces the zone of the reflection on wall `nor` (1-based) whose seen part is `seen`.
ZoneResult checkimagevisibility(int nor, const Walls& walls, const Wall& seen, const ImageRecord& ima,
                                std::span<const double> xs, std::span<const double> ys);

// Exact reflection test used where the tracing gives up: marks the grid points inside the room
// (`insideRoom`, 1 = inside) for which the segment from the image to the point crosses wall `nor`
// at R, and both the source to R and R to the point are unobstructed by the other walls.
std::vector<unsigned char> exactreflectionzone(int nor, const Walls& walls, const ImageRecord& ima,
                                               double xso, double yso, std::span<const double> xs,
                                               std::span<const double> ys,
                                               std::span<const unsigned char> insideRoom);

}  // namespace velmora::engine
