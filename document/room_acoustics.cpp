#include "document/room_acoustics.h"

#include <cmath>

#include "document/window.h"

namespace velmora::document {

namespace {

// The walls' bands averaged with their lengths as weights; zero for a room without length.
engine::BandValues lengthWeightedMean(const engine::Walls& walls, const std::vector<engine::BandValues>& bands) {
  engine::BandValues mean{};
  double total = 0;
  for (std::size_t k = 0; k < walls.size(); ++k) {
    const auto& w = walls[k];
    const double length = std::hypot(w.x2 - w.x1, w.y2 - w.y1);
    total += length;
    for (std::size_t b = 0; b < engine::kBandCount; ++b) mean[b] += length * bands[k][b];
  }
  if (total > 0)
    for (double& m : mean) m /= total;
  return mean;
}

}  // namespace

RoomAcoustics roomAcoustics(engine::Walls walls, std::vector<engine::BandValues> wallBands, double height) {
  RoomAcoustics room;
  room.walls = std::move(walls);
  room.wallBands = std::move(wallBands);
  room.height = height;
  room.floor = room.ceiling = lengthWeightedMean(room.walls, room.wallBands);
  room.planArea = engine::planArea(room.walls);
  room.reverberation = engine::reverberation(
      engine::roomSurfaces(room.walls, room.wallBands, room.height, room.floor, room.ceiling));
  return room;
}

RoomAcoustics roomAcoustics(const platform::Runtime& rt, platform::Handle fig) {
  std::vector<engine::BandValues> bands;
  for (double alpha : wallAbsorptions(rt, fig)) {
    engine::BandValues b;
    b.fill(alpha / 100);
    bands.push_back(b);
  }
  return roomAcoustics(wallGeometry(rt, fig), std::move(bands), kDefaultRoomHeight);
}

}  // namespace velmora::document
