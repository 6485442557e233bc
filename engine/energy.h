#pragma once
// The acoustic model: squared sound pressures of the direct sound and of the reflections, levels in
// dB, and the direct-sound visibility in a room that is not convex.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "engine/geometry.h"

namespace velmora::engine {

// All energies are computed for a reference source of 100 dB re 1e-12 W.
inline constexpr double kReferenceLevel = 100.0;
inline constexpr double kReferencePower = 1e-2;       // W = 1e-12 * 10^(100/10)
inline constexpr double kRhoCOver4 = 100.0;           // rho c / 4 with rho c = 400
inline constexpr double kReferencePressure2 = 4e-10;  // (20 micropascal) squared

// Squared pressure of a source of power W at distance d (d below 1 m counts as 1 m).
inline double pointsourceenergy(double distance, double power = kReferencePower) {
  const double r = std::max(distance, 1.0);
  return kRhoCOver4 * power / (std::numbers::pi * r * r);
}

// std::hypot(dx, dy) to the last bit, the common case inline for the loops over grid points: the
// C library's hypot (glibc 2.35 and later, without FMA) squares and adds, takes the root and
// corrects it by one step of the residual (Borges, "An improved algorithm for hypot(a, b)", 2019).
// Arguments that are tiny, huge, far apart in size or not finite go to the library itself. A test
// holds this to std::hypot over many random arguments.
inline double distance(double dx, double dy) {
  double ax = std::abs(dx), ay = std::abs(dy);
  if (ax < ay) std::swap(ax, ay);
  if (!(ax <= 0x1p511) || !(ay >= 0x1p-511) || !(ay > ax * 0x1p-54)) return std::hypot(dx, dy);
  double h = std::sqrt(ax * ax + ay * ay);
  double t1, t2;
  if (h <= 2.0 * ay) {
    const double delta = h - ay;
    t1 = ax * (2.0 * delta - ax);
    t2 = (delta - 2.0 * (ax - ay)) * delta;
  } else {
    const double delta = h - ax;
    t1 = 2.0 * delta * (ax - 2.0 * ay);
    t2 = (4.0 * delta - ay) * ay + delta * delta;
  }
  h -= (t1 + t2) / (2.0 * h);
  return h;
}

// Level in dB of the energy P for the case's source level Lw, floored at 0 dB; no level (nullopt)
// for a non-positive or undefined energy.
std::optional<double> energylevel(double p, double lw);

// 1 at the grid points inside or on some triangle (source, seen part of a wall) of a wall with a
// class other than 0 and 3.
std::vector<unsigned char> computedirectsound(std::span<const int> iwv, const Walls& visible, double xso,
                                              double yso, std::span<const double> xs,
                                              std::span<const double> ys);

// The same on a grid, column by column (the grid's matrices must outlive the call).
std::vector<unsigned char> computedirectsound(std::span<const int> iwv, const Walls& visible, double xso,
                                              double yso, const GridColumns& grid);

// Level of the direct sound at distance d (at least 1 m) of a source of level Lw, never below 0 dB.
double clp(double lw, double d);

// Level of the signed energy sum of the levels (a negative value removes its energy; 0 dB adds
// nothing). No level when that sum is zero or negative.
std::optional<double> sumdb(std::span<const double> levels);

}  // namespace velmora::engine
