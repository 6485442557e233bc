#pragma once
// Room outlines the benchmarks share: regular polygons and gears (teeth of two radii).

#include <cmath>
#include <numbers>
#include <vector>

namespace velmora::bench {

struct Outline {
  std::vector<double> x, y;
};

// `walls` vertices on a circle of radius r about (cx, 0), counter-clockwise from angle 0.
inline Outline circleOutline(int walls, double cx, double r) {
  Outline o;
  for (int k = 0; k < walls; ++k) {
    const double a = 2 * std::numbers::pi * k / walls;
    o.x.push_back(cx + r * std::cos(a));
    o.y.push_back(r * std::sin(a));
  }
  return o;
}

// `walls` vertices about the origin, alternately at radius `outer` and `inner`: walls / 2 teeth.
inline Outline gearOutline(int walls, double outer, double inner) {
  Outline o;
  for (int k = 0; k < walls; ++k) {
    const double a = 2 * std::numbers::pi * k / walls;
    const double r = k % 2 == 0 ? outer : inner;
    o.x.push_back(r * std::cos(a));
    o.y.push_back(r * std::sin(a));
  }
  return o;
}

}  // namespace velmora::bench
