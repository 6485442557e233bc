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

// ---- rooms that wind round themselves -----------------------------------------------------------

// A snail shell: the outer wall through `points` points on r = 2 e^(0.15 theta) over `turns` turns,
// closed by the same curve scaled by `inner` and walked back (2 `points` walls).
inline Room spiral(double turns, int points, double inner = 0.55) {
  Room r{"spiral", {}, {}};
  const double end = 2 * std::numbers::pi * turns;
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 0; k < points; ++k) {
      const double theta = end * (pass == 0 ? k : points - 1 - k) / (points - 1);
      const double radius = (pass == 0 ? 2.0 : 2.0 * inner) * std::exp(0.15 * theta);
      r.x.push_back(radius * std::cos(theta));
      r.y.push_back(radius * std::sin(theta));
    }
  return r;
}

// A corridor folded in U-turns: a 2m-by-h box cut by `barriers` thin walls (thickness 2 t) standing
// alternately on the floor and hanging from the ceiling, each leaving a gap g.
inline Room serpentine(int barriers, double h = 6, double t = 0.1, double g = 1.5) {
  Room r{"serpentine", {}, {}};
  const double width = 2.0 * (barriers + 1);
  const auto at = [&](double x, double y) {
    r.x.push_back(x);
    r.y.push_back(y);
  };
  at(0, 0);
  for (int k = 0; k < barriers; k += 2) {
    const double x = 2.0 * (k + 1);
    at(x - t, 0), at(x - t, h - g), at(x + t, h - g), at(x + t, 0);
  }
  at(width, 0);
  at(width, h);
  for (int k = barriers - 1; k >= 0; --k) {
    if (k % 2 == 0) continue;
    const double x = 2.0 * (k + 1);
    at(x + t, h), at(x + t, g), at(x - t, g), at(x - t, h);
  }
  at(0, h);
  return r;
}

// A comb: a corridor 1 m deep along the floor with `teeth` fingers 1 m wide rising to height h.
inline Room comb(int teeth, double h = 5) {
  Room r{"comb", {0}, {0}};
  r.x.push_back(2.0 * teeth - 1);
  r.y.push_back(0);
  for (int k = teeth - 1; k >= 0; --k) {
    r.x.insert(r.x.end(), {2.0 * k + 1, 2.0 * k});
    r.y.insert(r.y.end(), {h, h});
    if (k > 0) {
      r.x.insert(r.x.end(), {2.0 * k, 2.0 * k - 1});
      r.y.insert(r.y.end(), {1, 1});
    }
  }
  return r;
}

// A square hall with a pillar: a T-shaped notch on a thin neck rising from the floor.
inline Room pillar() {
  return {"pillar", {0, 4.8, 4.8, 3, 3, 7, 7, 5.2, 5.2, 10, 10, 0}, {0, 0, 5, 5, 6, 6, 5, 5, 0, 0, 10, 10}};
}

// A random orthogonal room of m columns of random widths, between a random floor and ceiling line.
inline Room orthogonalRoom(std::mt19937& rng, int m) {
  std::uniform_real_distribution<double> width(0.5, 2), floor(0, 2.5), ceiling(3, 6);
  std::vector<double> xs{0}, lo, hi;
  for (int k = 0; k < m; ++k) {
    xs.push_back(xs.back() + width(rng));
    lo.push_back(floor(rng));
    hi.push_back(ceiling(rng));
  }
  Room r{"orthogonal", {}, {}};
  for (int k = 0; k < m; ++k) {
    r.x.insert(r.x.end(), {xs[static_cast<std::size_t>(k)], xs[static_cast<std::size_t>(k) + 1]});
    r.y.insert(r.y.end(), {lo[static_cast<std::size_t>(k)], lo[static_cast<std::size_t>(k)]});
  }
  for (int k = m - 1; k >= 0; --k) {
    r.x.insert(r.x.end(), {xs[static_cast<std::size_t>(k) + 1], xs[static_cast<std::size_t>(k)]});
    r.y.insert(r.y.end(), {hi[static_cast<std::size_t>(k)], hi[static_cast<std::size_t>(k)]});
  }
  return r;
}

}  // namespace velmora::engine::testrooms
