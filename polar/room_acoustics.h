#pragma once
// The room acoustics window: the plan's area, the volume, the total absorption and the reverberation
// times of Sabine and Eyring per octave band, as a plot and a table, for a main window's room. It
// follows its main window, sets the room's height and the floor's and ceiling's materials, and exports
// its table as CSV.

#include <optional>
#include <string>
#include <vector>

#include "document/operations.h"
#include "document/room_acoustics.h"
#include "platform/model/runtime.h"

namespace velmora::polar {

// The band labels of the table and the plot: "125" ... "1k", "2k", "4k".
std::string bandLabel(std::size_t band);
// A time or area as the window shows it: "inf" for a room where nothing absorbs.
std::string shownFigure(double value, int decimals);

// The table's rows, a header first: band, total absorption (m²), mean absorption coefficient, Sabine and
// Eyring times (s).
std::vector<std::vector<std::string>> roomAcousticsTable(const document::RoomAcoustics& room);
// One line on the room: plan area, height, volume, every surface's area.
std::string roomAcousticsSummary(const document::RoomAcoustics& room);
// The CSV export: a comment line with the case, then one row per band (docs/materials.md).
std::string roomAcousticsCsv(const document::RoomAcoustics& room, const std::string& caseName);

// "room acoustics..." of the utils menu: opens (or brings forward) the window of the current main window.
void roomacoustics(platform::Runtime& rt);
// Redraws the windows whose room changed since they were drawn.
void refreshroomacoustics(platform::Runtime& rt);
// The window's buttons, for the main window it follows (else the current main window). Each leaves
// the cancel mark in that main window when nothing changed.
void roomheight(platform::Runtime& rt);
void floormaterial(platform::Runtime& rt);
void ceilingmaterial(platform::Runtime& rt);
// Writes the table to `path`, or to the file chosen in a dialog; whole or not at all.
void roomacousticsexport(platform::Runtime& rt, const std::optional<std::string>& path = std::nullopt);

void registerRoomAcousticsOperations(document::Operations& ops);

}  // namespace velmora::polar
