#pragma once
// The records the image refresh keeps per wall, and the rows of the curve table.

#include <optional>
#include <span>
#include <vector>

#include "engine/geometry.h"

namespace velmora::engine {

// a x + b y + c = 0 with side sign s: (x, y) is on the reflection side when s (a x + b y + c) >= 0.
struct Line {
  double a = 0;
  double b = 0;
  double c = 0;
  double s = 0;
  double value(double x, double y) const { return a * x + b * y + c; }
  bool operator==(const Line&) const = default;
};

// One image record per wall (the case record's `images` entry). A plane wall stores 15 values, a
// convex wall 19; `toRow` / `fromRow` convert to and from that row form.
struct ImageRecord {
  double xi = 0, yi = 0;  // image; for a convex wall the image of the middle of the wall
  Line line0, line1, line2;
  double validity = 0;  // `in` times the wall's visibility class: 0 no reflection, 1, 2 or 3
  bool convex = false;
  double xi1 = 0, yi1 = 0, xi2 = 0, yi2 = 0;  // convex walls: images by the end tangents

  std::vector<double> toRow() const;
  // Rows shorter than 15 values are refused.
  static std::optional<ImageRecord> fromRow(std::span<const double> row);
  // End images: for a plane wall both are the image itself.
  Point image1() const { return convex ? Point{xi1, yi1} : Point{xi, yi}; }
  Point image2() const { return convex ? Point{xi2, yi2} : Point{xi, yi}; }
  bool operator==(const ImageRecord&) const = default;
};

// One row of the case record's curve table.
struct Curve {
  double type = 2;  // 1 parabola, anything else circular arc
  double xc1 = 0, yc1 = 0, xc2 = 0, yc2 = 0, xc3 = 0, yc3 = 0;
  int i1 = 0, i2 = 0;  // first and last wall of the stretch, 1-based
  // Rows shorter than 9 values are refused.
  static std::optional<Curve> fromRow(std::span<const double> row);
};

}  // namespace velmora::engine
