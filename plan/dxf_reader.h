#pragma once
// Reading the room outline pieces of a DXF drawing (ASCII DXF): lines, light and old-style polylines
// (with their arcs), arcs and circles of the model space, by layer, and the drawing unit of the
// header. Oversized, binary, damaged or foreign files raise an Error with the message for the user
// before anything is built from them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plan/dxf_outline.h"

namespace velmora::plan {

// Bounds on what a floor plan may hold, checked before the drawing is read.
inline constexpr std::uintmax_t kMaxDxfBytes = 32u << 20;
inline constexpr std::size_t kMaxDxfEntities = 200000;
// Points of all entities together: a light polyline holds any number in one entity, and the parser
// and the reader keep about 150 bytes for each.
inline constexpr std::size_t kMaxDxfPoints = 1000000;

struct DxfLayer {
  std::string name;
  int entities = 0;                 // lines, polylines, arcs and circles
  std::vector<DxfSegment> pieces;   // in drawing units
};

struct DxfPlan {
  std::optional<int> insunits;  // the header's $INSUNITS, when the file gives it
  std::vector<DxfLayer> layers;  // layers that hold any of the entities above, in order of first use
};

// Checks a DXF text before a parser sees it: the start of an ASCII DXF, whole group codes, the
// numbers of entities and points, a real number wherever the group code wants one, and counts
// announced by polylines, splines and leaders that the entity really holds (a parser sizes its
// buffers from them). `name` is the file name used in messages.
void checkDxfText(const std::string& text, const std::string& name);

// Reads the plan from a DXF file; raises an Error naming the file when it cannot.
DxfPlan readDxfPlan(const std::string& path);
// The same from DXF text already in memory.
DxfPlan readDxfText(const std::string& text, const std::string& name);

}  // namespace velmora::plan
