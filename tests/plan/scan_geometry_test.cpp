// The arithmetic of the scanned plan import: arcs, the cut-out, the conversion to metres, the view and
// the straightening thresholds.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "plan/scan.h"

namespace velmora::plan {
namespace {

double distance(Point a, Point b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

TEST(ScanGeometry, CircleArcsPassThroughTheThirdPoint) {
  struct Row {
    Point p1, p2, p3;
    int m;
  };
  // Image coordinates: y grows downwards. Arcs on both sides of the chord, a major arc (centre on the
  // side of the third point) and a minor one.
  const std::vector<Row> rows = {
      {{0, 0}, {2, 0}, {1, -1}, 4},  {{0, 0}, {2, 0}, {1, 1}, 4},    {{0, 0}, {2, 0}, {1, -3}, 10},
      {{0, 0}, {2, 0}, {1, 0.2}, 6}, {{5, 5}, {5, 25}, {15, 15}, 8}, {{5, 5}, {5, 25}, {-5, 15}, 8},
  };
  for (const Row& r : rows) {
    const auto c = circleThrough(r.p1, r.p2, r.p3);
    ASSERT_TRUE(c);
    const auto pts = circleArcPoints(r.p1, r.p2, r.p3, r.m);
    ASSERT_TRUE(pts);
    ASSERT_EQ(pts->size(), static_cast<std::size_t>(r.m));
    EXPECT_EQ(pts->back().x, r.p2.x);
    EXPECT_EQ(pts->back().y, r.p2.y);
    // Every point on the circle, equal steps, and the arc passes the third point: the polyline's
    // nearest vertex to it is within one step.
    double nearest = INFINITY;
    Point prev = r.p1;
    const double step = distance(r.p1, pts->front());
    for (const Point& p : *pts) {
      EXPECT_NEAR(distance(p, c->centre), c->radius, 1e-9);
      EXPECT_NEAR(distance(prev, p), step, 1e-5);  // cosines are rounded to 1e-6
      nearest = std::min(nearest, distance(p, r.p3));
      prev = p;
    }
    EXPECT_LE(nearest, step + 1e-9);
  }
  EXPECT_FALSE(circleArcPoints({0, 0}, {2, 0}, {1, 0}, 4));  // collinear: no circle
  EXPECT_FALSE(circlePreview({0, 0}, {2, 2}, {4, 4}));
  EXPECT_EQ(circlePreview({0, 0}, {2, 0}, {1, 1})->size(), 73u);
}

TEST(ScanGeometry, ParabolaThroughItsMiddlePoint) {
  const Point p1{0, 0}, p2{10, 0}, p3{5, 4};
  const Point mid = parabolaAt(p1, p2, p3, 0.5);
  EXPECT_DOUBLE_EQ(mid.x, 5);
  EXPECT_DOUBLE_EQ(mid.y, 4);
  const auto pts = parabolaArcPoints(p1, p2, p3, 4);
  ASSERT_EQ(pts.size(), 4u);
  EXPECT_DOUBLE_EQ(pts[1].y, 4);
  EXPECT_EQ(pts[3].x, 10);
}

TEST(ScanGeometry, CropBoxKeepsAspectAndStaysInside) {
  struct Row {
    Point a, b;
    int w, h;
    CropBox expected;
  };
  const std::vector<Row> rows = {
      {{101, 101}, {130, 120}, 600, 400, {101, 131, 101, 121}},  // height widened to 3:2
      {{100, 100}, {110, 200}, 600, 400, {30, 180, 100, 200}},   // width widened
      {{2, 2}, {40, 10}, 600, 400, {2, 40, 1, 27}},              // shifted down into the image
      {{590, 390}, {600, 400}, 600, 400, {584, 600, 390, 400}},  // shifted back from the far edges
      {{-50, -50}, {700, 900}, 600, 400, {1, 600, 1, 400}},      // clicks outside: the whole image
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.a.x);
    EXPECT_EQ(cropBox(r.a, r.b, r.w, r.h), r.expected);
  }
}

TEST(ScanGeometry, ConversionScalesRoundsAndOrders) {
  Tracing t;
  t.vertices = {{10, 10}, {10, 110}, {110, 110}, {110, 10}};  // counter-clockwise on screen
  t.source = Point{60, 60};
  bool reversed = true;
  // A 100-pixel reference given as 5 m: 0.05 m per pixel.
  Tracing r = toMetres(t, std::nullopt, 100, 5, &reversed);
  EXPECT_FALSE(reversed);
  EXPECT_EQ(r.vertices[2].x, 5);
  EXPECT_EQ(r.vertices[2].y, -5);
  EXPECT_EQ(r.source->x, 2.5);
  EXPECT_EQ(r.source->y, -2.5);
  // Whole millimetres.
  r = toMetres(t, std::nullopt, 3, 1, &reversed);
  EXPECT_EQ(r.vertices[1].y, -33.333);

  // Clockwise: reversed, arcs renumbered and their ends swapped.
  Tracing cw;
  cw.vertices = {{0, 0}, {100, 0}, {100, 50}, {100, 100}, {0, 100}};
  cw.curves = platform::Matrix::zeros(1, 9);
  const std::vector<double> row = {2, 100, 0, 100, 100, 110, 50, 2, 3};
  for (std::size_t c = 0; c < 9; ++c) cw.curves(0, c) = row[c];
  r = toMetres(cw, std::nullopt, 1, 1, &reversed);
  EXPECT_TRUE(reversed);
  ASSERT_EQ(r.vertices.size(), 5u);
  EXPECT_EQ(r.vertices[0].y, -100);  // old vertex 5
  // Old walls 2 and 3 (vertex 2 to 4) are new walls 2 and 3 (new vertex 2 to 4), run the other way.
  EXPECT_EQ(r.curves(0, 7), 2);
  EXPECT_EQ(r.curves(0, 8), 3);
  EXPECT_EQ(r.curves(0, 2), -100);  // start point: old end (100, 100) with y up
  EXPECT_EQ(r.curves(0, 4), 0);
  EXPECT_EQ(r.vertices[1].x, 100);
  EXPECT_EQ(r.vertices[1].y, -100);
  EXPECT_EQ(r.vertices[3].y, 0);
}

TEST(ScanGeometry, OrientationTurnsReferenceExactly) {
  for (const double deg : {-20.0, -3.0, 0.5, 10.0, 30.0}) {
    const double a = deg * std::numbers::pi / 180;
    Tracing t;
    t.vertices = {{0, 0}, {100 * std::cos(a), 100 * std::sin(a)}, {50, -80}};  // counter-clockwise
    for (const bool horizontal : {true, false}) {
      OrientationReference ref{t.vertices[0], t.vertices[1], horizontal};
      const Tracing r = toMetres(t, ref, 1, 1);
      const Point p = r.vertices[0], q = r.vertices[1];
      if (horizontal) {
        EXPECT_NEAR(p.y, q.y, 1e-9) << deg;
      } else {
        EXPECT_NEAR(p.x, q.x, 1e-9) << deg;
      }
    }
  }
}

TEST(ScanGeometry, SquareViewMargins) {
  struct Row {
    double side;
    std::array<double, 4> lim;
  };
  for (const Row& r :
       std::vector<Row>{{10, {-2, 12, -2, 12}}, {10.2, {-5, 16, -5, 16}}, {60, {-10, 70, -10, 70}}}) {
    const std::vector<Point> v = {{0, 0}, {r.side, 0}, {r.side, r.side}};
    const auto lim = resultLimits(v);
    const double c = r.side / 2, half = (r.lim[1] - r.lim[0]) / 2;
    EXPECT_DOUBLE_EQ(lim[1] - lim[0], 2 * half) << r.side;
    EXPECT_DOUBLE_EQ((lim[0] + lim[1]) / 2, c);
  }
  EXPECT_TRUE(nearHorizontal({0, 0}, {10, 1.7}));   // 9.6 degrees
  EXPECT_FALSE(nearHorizontal({0, 0}, {10, 2.8}));  // 15.6 degrees
  EXPECT_TRUE(nearVertical({0, 0}, {-2.6, 10}));
  EXPECT_FALSE(nearVertical({0, 0}, {0, 0}));
}

}  // namespace
}  // namespace velmora::plan
