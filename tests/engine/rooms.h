#pragma once
// Rooms and grids shared by the engine tests.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace velmora::engine::testrooms {

struct Room {
  std::string name;
  std::vector<double> x, y;
  Walls walls() const { return wallsFromOutline(x, y); }
};

inline Room square() {
  return {"square", {0, 10, 10, 0}, {0, 0, 10, 10}};
}
inline Room lroom() {
  return {"L", {0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}};
}
inline Room troom() {
  return {"T", {0, 4, 4, 6, 6, 10, 10, 0}, {6, 6, 0, 0, 6, 6, 10, 10}};
}
inline Room uroom() {
  return {"U", {0, 10, 10, 7, 7, 3, 3, 0}, {0, 0, 10, 10, 3, 3, 10, 10}};
}
inline Room collinear() {
  return {"L with straight vertices", {0, 5, 10, 10, 10, 5, 5, 0}, {0, 0, 0, 5, 10, 10, 5, 5}};
}
inline Room star12() {
  Room r{"star of 12 walls", {}, {}};
  for (int k = 0; k < 12; ++k) {
    const double radius = k % 2 == 0 ? 5.0 : 2.5;
    const double a = k * std::numbers::pi / 6;
    r.x.push_back(radius * std::cos(a));
    r.y.push_back(radius * std::sin(a));
  }
  return r;
}
// A gear of 20 teeth: 40 walls, every other vertex reflex.
inline Room gear() {
  Room r{"gear of 40 walls", {}, {}};
  for (int k = 0; k < 40; ++k) {
    const double a = 2 * std::numbers::pi * k / 40;
    const double radius = k % 2 == 0 ? 10.0 : 7.0;
    r.x.push_back(radius * std::cos(a));
    r.y.push_back(radius * std::sin(a));
  }
  return r;
}
inline Room circle(int n, double radius = 10.0) {
  Room r{"circle", {}, {}};
  for (int k = 0; k < n; ++k) {
    const double a = 2 * std::numbers::pi * k / n;
    r.x.push_back(radius * std::cos(a));
    r.y.push_back(radius * std::sin(a));
  }
  return r;
}

// Audience grid over a rectangle, n intervals per side.
inline AudienceGrid boxgrid(double x0, double y0, double x1, double y1, int n) {
  const double xa[4] = {x0, x1, x1, x0}, ya[4] = {y0, y0, y1, y1};
  return audiencegrid(xa, ya, n);
}

// A star-shaped room of n walls: vertices at random angles, at random distances in [rmin, rmax].
inline Room starRoom(std::mt19937& rng, int n, double rmin, double rmax) {
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<double> angles(static_cast<std::size_t>(n));
  for (double& a : angles) a = u(rng) * 2 * std::numbers::pi;
  std::sort(angles.begin(), angles.end());
  Room r{"star", {}, {}};
  for (double a : angles) {
    const double radius = rmin + (rmax - rmin) * u(rng);
    r.x.push_back(radius * std::cos(a));
    r.y.push_back(radius * std::sin(a));
  }
  return r;
}

}  // namespace velmora::engine::testrooms
