// DXF floor plans from anywhere: the bytes go the way of an import, through the text check, dxflib's
// parser and our collector to the room of each layer. A refusal with a message is fine; a crash, a
// hang or memory that grows without bound is not.

#include <cstddef>
#include <cstdint>
#include <string>

#include "plan/dxf_import.h"
#include "plan/dxf_reader.h"
#include "platform/model/error.h"

using namespace velmora::plan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  DxfPlan plan;
  try {
    plan = readDxfText(text, "fuzz.dxf");
  } catch (const velmora::Error&) {
    return 0;
  }
  // The unit the file names, else millimetres; the joining tolerance from the smallest to the
  // largest the dialog lets through, picked by the input's length so that all three get their turn.
  DxfImportChoice choice;
  const auto unit = plan.insunits ? unitOfInsunits(*plan.insunits) : std::nullopt;
  choice.unit = unit.value_or("mm");
  choice.scale = *unitScale(choice.unit);
  const double tolerancesMm[] = {0.01, 1, 1000};
  choice.toleranceMetres = tolerancesMm[size % 3] / 1000;
  std::size_t tried = 0;
  for (const DxfLayer& layer : plan.layers) {
    if (++tried > 8) break;
    choice.layer = layer.name;
    try {
      const DxfImport room = importLayer(plan, choice);
      (void)room.description.toValue();
    } catch (const velmora::Error&) {
    }
  }
  return 0;
}
