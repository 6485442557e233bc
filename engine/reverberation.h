#pragma once
// The room's reverberation time per octave band, by the formulas of Sabine and Eyring, from the
// plan's area, a height and the absorbing surfaces (walls as length times height, floor, ceiling).

#include <vector>

#include "engine/bands.h"
#include "engine/geometry.h"

namespace velmora::engine {

struct AbsorbingSurface {
  double area = 0;        // m²
  BandValues absorption{};  // coefficient 0..1 per band
};

struct RoomSurfaces {
  double volume = 0;  // m³
  std::vector<AbsorbingSurface> surfaces;
};

struct Reverberation {
  double volume = 0;        // m³
  double surfaceArea = 0;   // m², every surface
  BandValues absorption{};  // total absorption per band, m² (metric sabins)
  BandValues meanAbsorption{};  // absorption / surfaceArea
  // Seconds; +Inf where nothing absorbs (Sabine, Eyring) or everything does (0 for Eyring).
  BandValues sabine{};
  BandValues eyring{};
};

// 0.161 V / A (Sabine) and 0.161 V / (-S ln(1 - A/S)) (Eyring).
Reverberation reverberation(const RoomSurfaces& room);

// The area enclosed by the walls taken as a closed outline in wall order (shoelace, absolute value).
double planArea(const Walls& walls);
// The surfaces of a room of this plan and height: one per wall (length times height, its bands),
// then the floor and the ceiling (the plan's area each).
RoomSurfaces roomSurfaces(const Walls& walls, const std::vector<BandValues>& wallBands, double height,
                          const BandValues& floor, const BandValues& ceiling);

}  // namespace velmora::engine
