#include "engine/reverberation.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace velmora::engine {

namespace {
constexpr double kSabineConstant = 0.161;  // s/m, 24 ln 10 / c at 343 m/s
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

Reverberation reverberation(const RoomSurfaces& room) {
  Reverberation r;
  r.volume = room.volume;
  for (const auto& s : room.surfaces) {
    r.surfaceArea += s.area;
    for (std::size_t b = 0; b < kBandCount; ++b) r.absorption[b] += s.area * s.absorption[b];
  }
  for (std::size_t b = 0; b < kBandCount; ++b) {
    const double a = r.absorption[b];
    r.meanAbsorption[b] = r.surfaceArea > 0 ? a / r.surfaceArea : 0;
    r.sabine[b] = a > 0 ? kSabineConstant * r.volume / a : kInf;
    const double m = r.meanAbsorption[b];
    if (m <= 0) {
      r.eyring[b] = kInf;
    } else if (m >= 1) {
      r.eyring[b] = 0;
    } else {
      r.eyring[b] = kSabineConstant * r.volume / (-r.surfaceArea * std::log1p(-m));
    }
  }
  return r;
}

double planArea(const Walls& walls) {
  double twice = 0;
  for (const auto& w : walls) twice += w.x1 * w.y2 - w.x2 * w.y1;
  return std::abs(twice) / 2;
}

RoomSurfaces roomSurfaces(const Walls& walls, const std::vector<BandValues>& wallBands, double height,
                          const BandValues& floor, const BandValues& ceiling) {
  if (wallBands.size() != walls.size()) throw std::invalid_argument("one band list per wall");
  RoomSurfaces room;
  const double area = planArea(walls);
  room.volume = area * height;
  for (std::size_t k = 0; k < walls.size(); ++k) {
    const auto& w = walls[k];
    room.surfaces.push_back({std::hypot(w.x2 - w.x1, w.y2 - w.y1) * height, wallBands[k]});
  }
  room.surfaces.push_back({area, floor});
  room.surfaces.push_back({area, ceiling});
  return room;
}

}  // namespace velmora::engine
