#pragma once
// Visibility of walls from the source, and the zone reached by one wall's reflection in a room that
// is not convex.

#include <span>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "engine/image_record.h"

namespace velmora::engine {

struct WallVisibility {
  std::vector<int> iwv;  // per wall: 0 hidden, 1 seen whole, 2 seen in part, 3 source on an end vertex
  Walls visible;         // xwv, ywv: seen part of each wall (the whole wall for classes 0, 1, 3)
  std::vector<std::string> console;  // "All walls are visible" or "Invisible wall(s): ..."
  std::vector<int> corrected;        // 1-based walls whose class the exact seen parts changed (diagnostic)
};
// Part of one wall seen from the source, as wall parameters t1 < t2 (0 = first end, 1 = second end).
struct SeenInterval {
  bool seen = false;  // false: no part of the wall is seen (t1 = t2 = 0)
  double t1 = 0, t2 = 0;
};
// Exact seen part of every wall that faces the source (the source strictly on its room side): the
// points P of the wall for which the open path from the source to P crosses no other wall. The
// walls are clipped against the shadow of every other wall, O(N^2). Where the seen points of a wall
// fall apart in several pieces (only in a self-crossing outline) the longest piece is given. Walls
// that turn their back or their edge to the source are not seen.
std::vector<SeenInterval> exactseenparts(const Walls& walls, double xso, double yso);

// The shadow masks of the runs of walls turned away from the source give a first classification;
// every wall facing the source then gets its exact seen part (exactseenparts), which corrects the
// masks where a run's end vertices misjudge its depth or one run lies inside another's shadow.
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

// Vertex (1-based, the first point of that wall) from which a blocked zone tracing resumes:
// starting at the first vertex of wall `wallNumber`, vertices are visited backwards while they lie
// on the non-negative side of the line from the middle image through E1; a walk round all N
// vertices visits the first one once more. Among the visited vertices the one with the largest
// angle between E1 and it at image 1 is kept, the later one on equal angles. 0 when none is visited.
int deblocvertex(const Walls& walls, Point e1, int wallNumber, Point image1, Point middleImage);

// Exact reflection test used where the tracing gives up: marks the grid points inside the room
// (`insideRoom`, 1 = inside) for which the segment from the image to the point crosses wall `nor`
// at R, and both the source to R and R to the point are unobstructed by the other walls.
std::vector<unsigned char> exactreflectionzone(int nor, const Walls& walls, const ImageRecord& ima,
                                               double xso, double yso, std::span<const double> xs,
                                               std::span<const double> ys,
                                               std::span<const unsigned char> insideRoom);

}  // namespace velmora::engine
