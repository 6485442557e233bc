#include "document/room_acoustics.h"

#include <cmath>

#include "document/materials.h"
#include "document/window.h"

namespace velmora::document {

namespace {

// The walls' bands averaged with their lengths as weights; zero for a room without length.
engine::BandValues lengthWeightedMean(const engine::Walls& walls,
                                      const std::vector<engine::BandValues>& bands) {
  engine::BandValues mean{};
  double total = 0;
  for (std::size_t k = 0; k < walls.size() && k < bands.size(); ++k) {
    const auto& w = walls[k];
    const double length = std::hypot(w.x2 - w.x1, w.y2 - w.y1);
    total += length;
    for (std::size_t b = 0; b < engine::kBandCount; ++b) mean[b] += length * bands[k][b];
  }
  if (total > 0)
    for (double& m : mean) m /= total;
  return mean;
}

engine::BandValues bandsOfRow(const platform::Matrix& m, std::size_t row) {
  engine::BandValues b{};
  for (std::size_t c = 0; c < engine::kBandCount && c < m.cols; ++c) b[c] = m(row, c);
  return b;
}

std::vector<double> asVector(const engine::BandValues& b) {
  return {b.begin(), b.end()};
}

std::optional<engine::BandValues> bandsOfVector(const std::optional<std::vector<double>>& v) {
  if (!v || v->size() != engine::kBandCount) return std::nullopt;
  engine::BandValues b{};
  for (std::size_t k = 0; k < engine::kBandCount; ++k) b[k] = (*v)[k];
  return b;
}

}  // namespace

RoomAcoustics roomAcoustics(engine::Walls walls, std::vector<engine::BandValues> wallBands, double height,
                            const std::optional<engine::BandValues>& floor,
                            const std::optional<engine::BandValues>& ceiling) {
  RoomAcoustics room;
  room.walls = std::move(walls);
  room.wallBands = std::move(wallBands);
  room.height = height;
  const engine::BandValues mean = lengthWeightedMean(room.walls, room.wallBands);
  room.floor = floor.value_or(mean);
  room.ceiling = ceiling.value_or(mean);
  room.planArea = engine::planArea(room.walls);
  room.reverberation = engine::reverberation(
      engine::roomSurfaces(room.walls, room.wallBands, room.height, room.floor, room.ceiling));
  room.wallMaterials.assign(room.walls.size(), std::string());
  return room;
}

RoomAcoustics roomAcoustics(engine::Walls walls, std::vector<engine::BandValues> wallBands, double height) {
  return roomAcoustics(std::move(walls), std::move(wallBands), height, std::nullopt, std::nullopt);
}

engine::BandValues wallBands(const WallRecord& wall) {
  return wall.material ? wall.material->bands : uniformBands(wall.alpha);
}

std::vector<std::optional<SurfaceMaterial>> wallMaterials(const platform::Runtime& rt, platform::Handle fig) {
  std::vector<std::optional<SurfaceMaterial>> out;
  for (Handle wall : wallsInWallOrder(rt, fig)) {
    const auto* record = rt.graphics().at(wall).userdataAs<WallRecord>();
    out.push_back(record != nullptr ? record->material : std::nullopt);
  }
  return out;
}

void setWallMaterials(platform::Graphics& g, const std::vector<Handle>& walls,
                      const std::vector<std::optional<SurfaceMaterial>>& materials) {
  for (std::size_t k = 0; k < walls.size() && k < materials.size(); ++k) {
    const auto* record = g.at(walls[k]).userdataAs<WallRecord>();
    if (record == nullptr || record->material == materials[k]) continue;
    WallRecord changed = *record;
    changed.material = materials[k];
    g.setUserdata(walls[k], changed);
  }
}

RoomAcoustics roomAcoustics(const platform::Runtime& rt, platform::Handle fig) {
  const platform::Graphics& g = rt.graphics();
  std::vector<engine::BandValues> bands;
  std::vector<std::string> names;
  for (Handle wall : wallsInWallOrder(rt, fig)) {
    const auto* record = g.at(wall).userdataAs<WallRecord>();
    const WallRecord plain;
    bands.push_back(wallBands(record != nullptr ? *record : plain));
    names.push_back(record != nullptr && record->material ? record->material->name : std::string());
  }
  const CaseRecord& c = viewCase(rt, fig);
  const auto own = [](const std::optional<SurfaceMaterial>& m) {
    return m ? std::optional<engine::BandValues>(m->bands) : std::nullopt;
  };
  const std::optional<SurfaceMaterial> floor = c.floor, ceiling = c.ceiling;
  RoomAcoustics room = roomAcoustics(wallGeometry(rt, fig), std::move(bands),
                                     c.roomheight.value_or(kDefaultRoomHeight), own(floor), own(ceiling));
  room.wallMaterials = std::move(names);
  room.floorMaterial = floor;
  room.ceilingMaterial = ceiling;
  return room;
}

void describeMaterials(const platform::Runtime& rt, platform::Handle fig, CaseDescription& d) {
  const platform::Graphics& g = rt.graphics();
  const std::vector<Handle> walls = wallsInWallOrder(rt, fig);
  bool any = false;
  for (Handle wall : walls) {
    const auto* record = g.at(wall).userdataAs<WallRecord>();
    if (record != nullptr && record->material) any = true;
  }
  if (any) {
    std::vector<std::string> names;
    platform::Matrix m = platform::Matrix::zeros(walls.size(), engine::kBandCount);
    for (std::size_t k = 0; k < walls.size(); ++k) {
      const auto* record = g.at(walls[k]).userdataAs<WallRecord>();
      const WallRecord plain;
      const WallRecord& r = record != nullptr ? *record : plain;
      names.push_back(r.material ? r.material->name : std::string());
      const engine::BandValues b = wallBands(r);
      for (std::size_t c = 0; c < engine::kBandCount; ++c) m(k, c) = b[c];
    }
    d.wallmaterial = std::move(names);
    d.wallbands = std::move(m);
  }
  const CaseRecord& c = viewCase(rt, fig);
  if (c.roomheight) d.roomheight = c.roomheight;
  if (c.floor) {
    d.floormaterial = c.floor->name;
    d.floorbands = asVector(c.floor->bands);
  }
  if (c.ceiling) {
    d.ceilingmaterial = c.ceiling->name;
    d.ceilingbands = asVector(c.ceiling->bands);
  }
}

std::optional<std::vector<std::optional<SurfaceMaterial>>> wallMaterialsOf(const CaseDescription& d) {
  if (!d.wallmaterial || !d.wallbands) return std::nullopt;
  std::vector<std::optional<SurfaceMaterial>> out;
  for (std::size_t k = 0; k < d.wallmaterial->size() && k < d.wallbands->rows; ++k) {
    const engine::BandValues b = bandsOfRow(*d.wallbands, k);
    const std::string& name = (*d.wallmaterial)[k];
    const double alpha = d.alpha && k < d.alpha->size() ? (*d.alpha)[k] : 0.0;
    if (name.empty() && b == uniformBands(alpha)) {
      out.emplace_back();
    } else {
      out.emplace_back(SurfaceMaterial{name, b});
    }
  }
  return out;
}

// The floor's or ceiling's material a description gives, for the update to store.
std::optional<SurfaceMaterial> surfaceMaterialOf(const std::optional<std::string>& name,
                                                 const std::optional<std::vector<double>>& bands) {
  const auto b = bandsOfVector(bands);
  if (!name || !b) return std::nullopt;
  return SurfaceMaterial{*name, *b};
}

}  // namespace velmora::document
