#pragma once
// Echo risk over the audience map: the grid points where some first-order reflection arrives late
// after the direct sound yet not much weaker than it, and the outline of those points.

#include <cstdint>
#include <vector>

#include "engine/geometry.h"

namespace velmora::engine {

inline constexpr double kEchoSoundSpeed = 340.0;  // m/s, as for the delays of the polar diagram

struct EchoRiskThresholds {
  double delayMs = 50;  // a reflection counts when it arrives more than this after the direct sound
  double levelDb = 10;  // ... at a level no more than this below the direct sound
};

// The map's own results: the same energies and image positions the level display is made of.
struct EchoRiskInputs {
  Matrix xs, ys;                           // audience-map grid
  double xso = 0, yso = 0;                 // source
  std::vector<double> Pso;                 // direct energy per grid point (column order)
  IndexList inDS;                          // 1-based: points the direct sound does not reach
  IndexList ina;                           // 1-based: points outside the room
  std::vector<Point> images;               // image position of each wall
  std::vector<IndexList> inRW;             // per wall, 1-based points its reflection reaches
  std::vector<std::vector<double>> Pwall;  // per wall, energies at the points of inRW
};

// 1 at the points at risk, 0 elsewhere, one per grid point in column order. Distances are taken at
// least 1 m, as for the energies. Points without direct sound or outside the room are never at risk:
// there is no direct sound to hear the reflection as an echo of.
std::vector<std::uint8_t> echoRiskPoints(const EchoRiskInputs& in, const EchoRiskThresholds& t);

// The outline of the flagged points: closed polylines separated by NaN, running midway between each
// flagged point and its unflagged grid neighbours, and through the flagged points on the grid border.
struct Outline {
  std::vector<double> x, y;
};
Outline echoRiskOutline(const Matrix& xs, const Matrix& ys, const std::vector<std::uint8_t>& flags);

}  // namespace velmora::engine
