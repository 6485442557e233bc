#pragma once
// DXF floor plan import: the outline on one layer of a DXF drawing becomes the room of the current
// main window (or of a new one), as a traced plan does: same description, same rebuild, the history
// restarting with the imported room.

#include <optional>
#include <string>
#include <string_view>

#include "document/case_record.h"
#include "document/operations.h"
#include "plan/dxf_reader.h"
#include "platform/model/runtime.h"

namespace velmora::plan {

inline constexpr std::string_view kDxfFilter = "*.dxf";
inline constexpr std::string_view kDxfChooserTitle = "Select DXF plan file";
inline constexpr std::string_view kDxfDialogTitle = "Import DXF plan";

// The unit's short name ("mm", "cm", "m", "inch", "foot") for a few spellings in any case.
std::optional<std::string> unitName(std::string_view unit);
// Metres per drawing unit for "mm", "cm", "m", "inch", "foot" (a few spellings, any case).
std::optional<double> unitScale(std::string_view unit);
// The unit named by the header's $INSUNITS code, when it is one of those.
std::optional<std::string> unitOfInsunits(int code);

struct DxfImportChoice {
  std::string layer;
  std::string unit;                // as named in messages
  double scale = 1;                // metres per drawing unit
  double toleranceMetres = 0.001;  // ends closer than this meet
};

// The room of one layer, or an Error saying why there is none (no closed outline, with where the
// chain breaks; a crossing outline; too many walls). `note` tells what the user should know about a
// room that was made (several outlines: the largest was taken).
struct DxfImport {
  document::CaseDescription description;
  std::optional<std::string> note;
};
DxfImport importLayer(const DxfPlan& plan, const DxfImportChoice& choice);

// The outline of a room made of more walls than this is refused.
inline constexpr std::size_t kMaxDxfWalls = 1000;

// The operation: the file (asked for when not given), then layer, unit and joining tolerance; the
// room replaces the current main window's, or opens in a new one when none is open.
void importdxf(platform::Runtime& rt, const std::optional<std::string>& file);

// Registers importdxf (an optional file name).
void registerDxfOperations(document::Operations& ops);

}  // namespace velmora::plan
