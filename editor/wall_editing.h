#pragma once
// Operations that change the topology of the room or the absorption of its walls: splitting a wall
// at its middle, deleting one end vertex of a wall, replacing the room by its union with its mirror
// image across one wall, and setting absorption coefficients (one wall, all walls, or the editable
// list of every coefficient).
//
// The wall acted on is the window's current object (the line whose context menu was opened) for the
// topology edits, and the `userdata` of the calling menu item for the absorption items. A cancelled
// vertex deletion or mirroring leaves the text "canceled" in the window's GUI data slot, so that the
// dispatcher records no undo step.

#include <optional>
#include <string>
#include <vector>

#include "document/operations.h"
#include "engine/geometry.h"
#include "platform/model/runtime.h"

namespace velmora::editor {

// Splits the current wall in two at its midpoint; both halves keep its absorption.
void splitwall(platform::Runtime& rt);
// Asks which end vertex of the current wall goes (red start, blue end) and deletes it with the wall.
// A room of three vertices keeps them all.
void deletevertex(platform::Runtime& rt, const document::Operations& ops);
// Shows the room joined with its mirror image across the current wall and, when confirmed, hands
// the new outline to the display rebuild through the dispatcher's "update" form.
void symmetry(platform::Runtime& rt);
// What an absorption item of a wall menu does: ask for the coefficient (a "/" in the answer changes
// every wall), or set 0% or 100%.
enum class AbsorptionChange { Ask, Zero, Full };

// Sets the absorption of `wall` (a wall line of the current main window) as `change` says. A wall of a
// curved stretch changes its whole stretch.
void changeWallAbsorption(platform::Runtime& rt, const document::Operations& ops, platform::Handle wall,
                          AbsorptionChange change);
// The operation behind the absorption items: the wall is the calling item's `userdata`, the change
// the item's place in the wall menu. Nothing from another item.
void changealpha(platform::Runtime& rt, const document::Operations& ops);
// "material..." of a wall's menu: a list of the library's materials ("none" first, which clears it).
// The chosen material gives the wall (its whole curved stretch) its bands and, as its absorption, the
// mean of its 500 Hz and 1000 Hz coefficients. Leaves the cancel mark when nothing changed.
void wallmaterial(platform::Runtime& rt, const document::Operations& ops);
// The editable list of every coefficient, with its update button; waits until the button is pressed.
void changealphamanual(platform::Runtime& rt, const document::Operations& ops);

// The room mirrored across wall `mirrorWall` (1-based) of `walls`: the outline starts at the end of
// that wall, runs round the room to its start, then back through the mirror images; 2N-2 vertices,
// counter-clockwise when the room is. Nothing when the wall is too short to serve as a mirror line.
struct Outline {
  std::vector<double> x, y, alpha;
};
std::optional<Outline> mirroredRoom(const engine::Walls& walls, const std::vector<double>& alpha,
                                    std::size_t mirrorWall);

// One line of the absorption list: the wall number and the coefficient, each right-aligned in three
// characters, three blanks between ("  3    25").
std::string absorptionListLine(std::size_t wall, double alpha);

void registerWallEditingOperations(document::Operations& ops);

}  // namespace velmora::editor
