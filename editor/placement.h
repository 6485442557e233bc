#pragma once
// Placing the source and the receptor by typed coordinates, with the source's sound power level or
// the receptor's height shift.

#include <optional>
#include <vector>

#include "document/operations.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::editor {

// What a placement is given: a position pair and a value (`Lw` or `Hr`). Without them a dialog asks.
struct Placement {
  platform::Value position;
  platform::Value value;
};

void setsourceposition(platform::Runtime& rt, const document::Operations& ops,
                       const std::optional<Placement>& given = std::nullopt);
void setreceptorposition(platform::Runtime& rt, const std::optional<Placement>& given = std::nullopt);

void registerPlacementOperations(document::Operations& ops);

}  // namespace velmora::editor
