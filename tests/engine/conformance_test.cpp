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

}  // namespace
}  // namespace velmora::engine
