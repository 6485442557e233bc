#pragma once
// The case's reflection order: the "reflection order" submenu of the hidden settings and its verb.

#include <optional>

#include "document/operations.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::shell {

using document::Operations;

// The label of the hidden settings' item, and the operation its submenu "1".."6" calls with the
// item's number.
inline constexpr const char* kReflectionOrderLabel = "reflection order";

// Sets the current main window's reflection order to `order` (a number or a text such as "2"; without
// one, the number of the calling submenu item) and recomputes the case through `update`. A value that
// is not a whole number from 1 to engine::kMaxOrder is refused naming "order"; an order whose beams
// pass the engine's limit is refused with its message; either way nothing changes. An order equal to
// the present one changes nothing and leaves the cancel mark, so no history step is recorded.
void reflectionorder(platform::Runtime& rt, const Operations& ops,
                     const std::optional<platform::Value>& order);

// Checks the submenu item of `order` (the `checked` property), unchecks the others.
void checkOrderMenu(platform::Graphics& g, platform::Handle fig, int order);

void registerReflectionOrderOperations(Operations& ops);

}  // namespace velmora::shell
