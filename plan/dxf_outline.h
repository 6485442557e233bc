#pragma once
// The geometry of a DXF floor plan: drawn pieces (straight segments and circular arcs) joined end to
// end into closed outlines, and an outline cut into straight walls, counter-clockwise, in metres, with
// one curve-table row per arc. Pure functions, no file reading.

#include <optional>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "platform/model/value.h"

namespace velmora::plan {

using engine::Point;

// One drawn piece from `a` to `b`: straight when `sweep` is 0, otherwise a circular arc turning by
// `sweep` radians (positive: counter-clockwise), never more than half a turn.
struct DxfSegment {
  Point a, b;
  double sweep = 0;
};

// The pieces of a circular arc from angle `start` to `end` (radians, counter-clockwise as DXF draws
// arcs), split into halves when it turns more than half a turn; a full circle gives two halves.
std::vector<DxfSegment> arcSegments(Point centre, double radius, double start, double end);
// A polyline piece with its DXF bulge (the tangent of a quarter of the arc's sweep).
DxfSegment bulgeSegment(Point a, Point b, double bulge);

// The pieces joined end to end: ends closer than `tolerance` meet at the first end seen there.
struct Chains {
  std::vector<std::vector<DxfSegment>> loops;  // closed outlines, each piece starting where the last ended
  std::vector<Point> freeEnds;                 // ends that no other piece meets
  std::vector<Point> branchPoints;             // points where three or more pieces meet
};
Chains chainSegments(const std::vector<DxfSegment>& pieces, double tolerance);

// Arcs become straight walls of equal angle: at most 5 degrees each (the turn of one wall of the
// default 72-wall circle), but none shorter than 5 cm along the arc, and at least one.
inline constexpr double kMaxArcWallDegrees = 5;
inline constexpr double kMinArcWallLength = 0.05;
int arcWallCount(const DxfSegment& s);

// The vertices of a closed outline with its arcs cut into walls (the first vertex of each piece, then
// the inner points of its arc), and the signed area they enclose.
std::vector<Point> outlineVertices(const std::vector<DxfSegment>& loop);
double signedArea(const std::vector<Point>& vertices);
// The signed area a loop of pieces encloses, arcs exactly (chord polygon plus circular segments), and
// the number of walls it makes: both without cutting the arcs.
double loopArea(const std::vector<DxfSegment>& loop);
std::size_t loopWallCount(const std::vector<DxfSegment>& loop, double scale);

// A room outline: vertices counter-clockwise in metres rounded to whole millimetres, and the curve
// table (rows of nine numbers: type 2, start, end, a point between, first and last wall).
struct DxfRoom {
  std::vector<Point> vertices;
  platform::Matrix curves;
};
// `scale` turns drawing units into metres. A clockwise loop is reversed first.
DxfRoom roomFromLoop(std::vector<DxfSegment> loop, double scale);

// Where a closed outline crosses or touches itself (a point on both walls); nothing when it does not.
std::optional<Point> firstCrossing(const std::vector<Point>& vertices);

// A point well inside a counter-clockwise outline: on the longest inside stretch of the horizontal line
// at mid height, at `fraction` of its length.
Point insidePoint(const std::vector<Point>& vertices, double fraction);

}  // namespace velmora::plan
