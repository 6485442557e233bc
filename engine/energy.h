#pragma once
// The acoustic model: squared sound pressures of the direct sound and of the reflections, levels in
// dB, and the direct-sound visibility in a room that is not convex.

#include <optional>
#include <span>
#include <vector>

#include "engine/geometry.h"

namespace velmora::engine {

// All energies are computed for a reference source of 100 dB re 1e-12 W.
inline constexpr double kReferenceLevel = 100.0;
inline constexpr double kReferencePower = 1e-2;       // W = 1e-12 * 10^(100/10)
inline constexpr double kRhoCOver4 = 100.0;           // rho c / 4 with rho c = 400
inline constexpr double kReferencePressure2 = 4e-10;  // (20 micropascal) squared

// Squared pressure of a source of power W at distance d (d below 1 m counts as 1 m).
double pointsourceenergy(double distance, double power = kReferencePower);

// Level in dB of the energy P for the case's source level Lw, floored at 0 dB; no level (nullopt)
// for a non-positive or undefined energy.
std::optional<double> energylevel(double p, double lw);

// 1 at the grid points inside or on some triangle (source, seen part of a wall) of a wall with a
// class other than 0 and 3.
std::vector<unsigned char> computedirectsound(std::span<const int> iwv, const Walls& visible, double xso,
                                              double yso, std::span<const double> xs,
                                              std::span<const double> ys);

// Level of the direct sound at distance d (at least 1 m) of a source of level Lw, never below 0 dB.
double clp(double lw, double d);

// Level of the signed energy sum of the levels (a negative value removes its energy; 0 dB adds
// nothing). No level when that sum is zero or negative.
std::optional<double> sumdb(std::span<const double> levels);

}  // namespace velmora::engine
