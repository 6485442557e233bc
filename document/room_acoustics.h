#pragma once
// The room as the reverberation and the impulse response see it: the walls' absorption per octave
// band, the room's height, the floor and the ceiling, and the reverberation times they give.

#include <vector>

#include "engine/bands.h"
#include "engine/geometry.h"
#include "engine/reverberation.h"
#include "platform/model/runtime.h"

namespace velmora::document {

inline constexpr double kDefaultRoomHeight = 3;  // m

struct RoomAcoustics {
  engine::Walls walls;
  std::vector<engine::BandValues> wallBands;  // per wall, coefficient 0..1 per band
  double height = kDefaultRoomHeight;         // m
  engine::BandValues floor{}, ceiling{};
  double planArea = 0;  // m²
  engine::Reverberation reverberation;
};

// The room of a main window: each wall's bands (its single absorption in every band), the height
// and the floor and ceiling (without a material of their own they absorb as the walls do on average,
// weighted by length), with the reverberation times they give.
RoomAcoustics roomAcoustics(const platform::Runtime& rt, platform::Handle fig);

// The same from walls and their bands (the parts above filled in, the reverberation computed).
RoomAcoustics roomAcoustics(engine::Walls walls, std::vector<engine::BandValues> wallBands, double height);

}  // namespace velmora::document
