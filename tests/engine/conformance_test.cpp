// Second reading of the engine against its rules: the comparisons, tolerances and tie-breaks that
// the broader tests do not pin down.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "rooms.h"

namespace velmora::engine {
namespace {

// A source is moved off a vertex only when its distance to the vertex is at most 1e-6; being within
// 1e-6 in x and in y separately is not enough.
struct NearVertexCase {
  const char* name;
  double dx, dy;
  bool moved;
};

class ShiftSourceDistance : public ::testing::TestWithParam<NearVertexCase> {};

TEST_P(ShiftSourceDistance, MovesOnlyWithinTheToleranceDistance) {
  const auto room = testrooms::lroom();
  const std::vector<int> ang = checkconvexity(room.x, room.y, 1).ang;
  const NearVertexCase& c = GetParam();
  const Point p = shiftsource(10 + c.dx, 10 + c.dy, room.walls(), ang);
  if (c.moved) {
    // Along the bisector into the room by 1e-3 of the shorter wall (5 m).
    EXPECT_NEAR(p.x, 10 + c.dx - 0.005, 1e-12);
    EXPECT_NEAR(p.y, 10 + c.dy - 0.005, 1e-12);
  } else {
    EXPECT_EQ(p.x, 10 + c.dx);
    EXPECT_EQ(p.y, 10 + c.dy);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ShiftSourceDistance,
                         ::testing::Values(NearVertexCase{"on_the_vertex", 0, 0, true},
                                           NearVertexCase{"distance_0_99_micrometre", -0.7e-6, -0.7e-6, true},
                                           NearVertexCase{"distance_1_27_micrometre", -0.9e-6, -0.9e-6,
                                                          false},
                                           NearVertexCase{"along_x_1_micrometre", -1e-6, 0, true},
                                           NearVertexCase{"along_x_2_micrometres", -2e-6, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The unblocking walk of the zone tracing: vertices backwards from the wall of E1 while they lie on
// the non-negative side of the middle image's line through E1; a full round visits the first vertex
// once more, so on an equal angle it wins over the vertex visited before it.
struct DeblocCase {
  const char* name;
  std::vector<double> x, y;  // outline vertices; wall k starts at vertex k
  int wall;                  // wall of E1: the walk starts at its first vertex
  int best;
};

class DeblocVertex : public ::testing::TestWithParam<DeblocCase> {};

TEST_P(DeblocVertex, KeepsTheWidestVertex) {
  const DeblocCase& c = GetParam();
  const Walls walls = wallsFromOutline(c.x, c.y);
  EXPECT_EQ(deblocvertex(walls, {1, 0}, c.wall, {0, 0}, {0, 0}), c.best);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeblocVertex,
    ::testing::Values(
        // Vertices 4 and 3 lie on the same ray from the image (45 degrees); the round ends on 4.
        DeblocCase{"full_round_revisits_the_start", {3, 3, 2, 1}, {0.1, 0.5, 2, 1}, 4, 4},
        // Vertex 2 lies below the line: the walk stops there, 3 was the later of the equal pair.
        DeblocCase{"walk_stops_below_the_line", {3, 3, 2, 1}, {0.1, -0.5, 2, 1}, 4, 3},
        DeblocCase{"widest_vertex_wins", {3, -1, 2, 1}, {0.1, 0.5, 2, 1}, 4, 2},
        // The first vertex lies below the line: nothing is visited.
        DeblocCase{"nothing_visited", {3, 3, 2, 1}, {0.1, 0.5, 2, -1}, 4, 0},
        DeblocCase{"bad_wall_number", {3, 3, 2, 1}, {0.1, 0.5, 2, 1}, 5, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A point passes an edge when its snapped edge value has the right sign. Beyond the sharp corners of
// a sliver (angle 1e-5) that reaches 5e-3 along the edges: both the room test and the direct-sound
// triangle follow the rule there, with no cut at the corners' bounding box.
struct SliverCase {
  const char* name;
  double x, y;
  bool inside;
};

class SliverCorners : public ::testing::TestWithParam<SliverCase> {};

TEST_P(SliverCorners, SnappedEdgeTestsDecide) {
  const SliverCase& c = GetParam();
  const std::vector<double> xx = {0, 20, 10}, yy = {0, 0, 1e-4};
  const double xs[1] = {c.x}, ys[1] = {c.y};
  EXPECT_EQ(removeouttersurface(xs, ys, xx, yy, 1).in[0], c.inside ? 1 : 0);
  // The same triangle as the direct sound of wall (0, 0)-(20, 0) from the source (10, 1e-4).
  const int iwv[1] = {1};
  const Walls seen = {{0, 0, 20, 0}};
  EXPECT_EQ(computedirectsound(iwv, seen, 10, 1e-4, xs, ys)[0], c.inside ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, SliverCorners,
                         ::testing::Values(SliverCase{"interior", 10, 5e-5, true},
                                           SliverCase{"beyond_right_corner_within", 20.004, 0, true},
                                           SliverCase{"beyond_right_corner_too_far", 20.006, 0, false},
                                           SliverCase{"beyond_left_corner_within", -0.004, 0, true},
                                           SliverCase{"beyond_left_corner_too_far", -0.006, 0, false},
                                           SliverCase{"below_the_base", 10, -1e-6, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::engine
