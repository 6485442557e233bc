#pragma once

#include <string_view>

#include "platform/model/runtime.h"

namespace velmora::shell {

// Locks ("off", any case) or releases (anything else) the current main window: the pointer-driven
// drawing objects stop or start reacting, and every control is disabled or enabled again. Released,
// "objects" and "utils" stay inactive (they work through their menus) and "polar" stays off while
// the receptor is hidden. Audience edges are never touched.
void enableobjects(platform::Runtime& rt, std::string_view state);

}  // namespace velmora::shell
