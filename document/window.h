#pragma once
// Helpers every operation uses to reach the current main window, its case record and the objects of
// its drawing area.

#include <optional>
#include <string_view>
#include <vector>

#include "document/case_record.h"
#include "document/tags.h"
#include "engine/geometry.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::document {

using platform::Handle;

inline constexpr std::string_view kMainWindowTag = tags::kMainWindow;
inline constexpr std::string_view kDrawingAxesTag = tags::kDrawingAxes;

// True for a figure tagged tags::kMainWindow.
bool isMainWindow(const platform::Runtime& rt, Handle fig);
// The current main window: the current figure when it is a main window, otherwise the topmost main
// window (a secondary window such as the polar diagram may be current). Nothing when none is open.
std::optional<Handle> findMainWindow(const platform::Runtime& rt);
// As above; raises "no main window" when none is open.
Handle currentMainWindow(const platform::Runtime& rt);

// A copy of the window's case record; raises an Error when the window holds none.
CaseRecord readCase(const platform::Runtime& rt, Handle fig);
// The record read in place, without the copy (a large room's record holds its whole map and its undo
// snapshots): good only until the record is next stored, so for reading within one step.
const CaseRecord& viewCase(const platform::Runtime& rt, Handle fig);
CaseRecord readCase(const platform::Runtime& rt);  // of the current main window
// Changes the window's record: in place when nothing else holds it (a large room's record is big),
// else in a copy that is stored back. In place a throw would leave it half changed, so `change` only
// moves values prepared beforehand.
template <class Change>
void changeCase(platform::Runtime& rt, Handle fig, Change&& change) {
  if (CaseRecord* record = rt.graphics().userdataToChange<CaseRecord>(fig)) {
    change(*record);
    rt.graphics().userdataChanged(fig);
    return;
  }
  CaseRecord copy = readCase(rt, fig);
  change(copy);
  rt.graphics().setUserdata(fig, std::move(copy));
}
// Stores the whole record as the window's userdata.
void storeCase(platform::Runtime& rt, Handle fig, CaseRecord record);
void storeCase(platform::Runtime& rt, CaseRecord record);  // in the current main window

// The drawing area of a main window (axes tagged tags::kDrawingAxes); raises an Error when it is missing.
Handle drawingAxes(const platform::Runtime& rt, Handle fig);
// Objects of the drawing area with this tag, newest first (as the search returns them).
std::vector<Handle> objectsByTag(const platform::Runtime& rt, Handle fig, std::string_view tag);
// The same objects oldest first: the order in which the rebuild created them.
std::vector<Handle> objectsInCreationOrder(const platform::Runtime& rt, Handle fig, std::string_view tag);
// The newest object with this tag anywhere in the window (controls included); nothing when none.
std::optional<Handle> findInWindow(const platform::Runtime& rt, Handle fig, std::string_view tag);
// The item with this label in the context menu of the window control tagged `owner`, if there is one.
std::optional<Handle> controlMenuItem(const platform::Graphics& g, Handle fig, std::string_view owner,
                                      std::string_view label);
// Whether that item is checked; true when the window has no such item.
bool controlItemChecked(const platform::Graphics& g, Handle fig, std::string_view owner,
                        std::string_view label);
// As above; raises "object <tag> not found" when there is none.
Handle objectInWindow(const platform::Runtime& rt, Handle fig, std::string_view tag);

// Wall lines (tags::kWall) in wall order 1..N. The search returns newest first, so reverse it.
std::vector<Handle> wallsInWallOrder(const platform::Runtime& rt, Handle fig);
// Their geometry: wall k from the first to the second point of line k.
engine::Walls wallGeometry(const platform::Runtime& rt, Handle fig);
// Absorption of each wall, in wall order, from the wall lines' object records (0 when missing).
std::vector<double> wallAbsorptions(const platform::Runtime& rt, Handle fig);

// First point (xdata(1), ydata(1)) of a marker or line.
engine::Point firstPoint(const platform::Runtime& rt, Handle h);
// The audience area's corner markers, in the order the rebuild made them.
struct AudienceCorners {
  std::vector<double> x, y;
};
AudienceCorners audienceCorners(const platform::Runtime& rt, Handle fig);

// Reads the window's GUI data slot and empties it.
std::optional<platform::Value> takeGuiData(platform::Runtime& rt, Handle fig);

}  // namespace velmora::document
