#pragma once
// Pointer dragging in the drawing area: wall vertices, audience vertices, the coordinate axes, the
// source and the receptor; panning with the arrow buttons; choosing a wall by clicking it.
//
// A drag is held in the window's two callbacks: the press arms `windowbuttonmotionfcn`, the first
// motion sets `windowbuttonupfcn`, and the release verb (run by the dispatcher) empties both and
// recomputes. The motion operations change only the drawing and the status line.

#include <optional>

#include "document/operations.h"
#include "engine/geometry.h"
#include "platform/model/runtime.h"

namespace velmora::editor {

using platform::Handle;
using platform::Runtime;

// Motion handlers: each places the window's current object under the pointer.
void movewallpoint(Runtime& rt);
void moveaudiencepoint(Runtime& rt);
void moveaxis(Runtime& rt);
// Release of an axis: the crossing of the two axis lines becomes the origin.
void refreshcoordinates(Runtime& rt, const document::Operations& ops);
// Press on the source or receptor marker, and their motion handlers.
void preparemovesource(Runtime& rt);
void movesource(Runtime& rt);
void preparemovereceptor(Runtime& rt);
void movereceptor(Runtime& rt);
// Arrow and centre buttons: moves the working zone over the drawing.
void movedrawing(Runtime& rt, const document::Operations& ops);
// Press on a wall line: selects that wall in the wall list.
void setactivewall(Runtime& rt, const document::Operations& ops);

// The point of a grid (points in stored order) nearest to (x, y); on equal distances the first one.
// Nothing when the grid holds no point.
std::optional<engine::Point> nearestGridPoint(const std::vector<double>& xs, const std::vector<double>& ys,
                                              double x, double y);

void registerDragOperations(document::Operations& ops);

}  // namespace velmora::editor
