#pragma once
// The room as the reverberation and the impulse response see it: the walls' absorption per octave
// band, the room's height, the floor and the ceiling, and the reverberation times they give. Also where
// a window keeps its materials and how they go to and come from a case description.

#include <optional>
#include <string>
#include <vector>

#include "document/case_record.h"
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
  // Per wall the material's name ("" without one); the floor's and the ceiling's (nothing: they absorb
  // as the walls do on average).
  std::vector<std::string> wallMaterials;
  std::optional<SurfaceMaterial> floorMaterial, ceilingMaterial;
};

// The room of a main window: each wall's bands (its material's, else its single absorption in every
// band), the case's height (3 m unless set) and the floor and ceiling (their material's bands; without
// one they absorb as the walls do on average, weighted by length), with the reverberation times they
// give.
RoomAcoustics roomAcoustics(const platform::Runtime& rt, platform::Handle fig);

// The same from walls and their bands (the parts above filled in, the reverberation computed).
RoomAcoustics roomAcoustics(engine::Walls walls, std::vector<engine::BandValues> wallBands, double height);
// As above with the floor's and the ceiling's own bands where given.
RoomAcoustics roomAcoustics(engine::Walls walls, std::vector<engine::BandValues> wallBands, double height,
                            const std::optional<engine::BandValues>& floor,
                            const std::optional<engine::BandValues>& ceiling);

// The bands of a wall: its material's, else its absorption in every band.
engine::BandValues wallBands(const WallRecord& wall);
// Each wall's material in wall order (nothing for a wall without one).
std::vector<std::optional<SurfaceMaterial>> wallMaterials(const platform::Runtime& rt, platform::Handle fig);
// Gives the walls (in wall order) these materials; a shorter list leaves the walls past its end alone.
void setWallMaterials(platform::Graphics& g, const std::vector<platform::Handle>& walls,
                      const std::vector<std::optional<SurfaceMaterial>>& materials);

// The material fields of a case description from the window: the walls' only when a wall has a material
// (then every wall has a row: its material's, or its absorption in every band with the name ""), the
// room height, floor and ceiling only when set. A window without any describes as before they existed.
void describeMaterials(const platform::Runtime& rt, platform::Handle fig, CaseDescription& d);
// The walls' materials a description gives (one per wall); nothing when it gives none. A row with no
// name that only repeats the wall's absorption is no material.
std::optional<std::vector<std::optional<SurfaceMaterial>>> wallMaterialsOf(const CaseDescription& d);
// The floor's or the ceiling's material from a description's name and bands; nothing without both.
std::optional<SurfaceMaterial> surfaceMaterialOf(const std::optional<std::string>& name,
                                                 const std::optional<std::vector<double>>& bands);

}  // namespace velmora::document
