#pragma once
// Keyboard accelerators of a window, held in the model: the window's application data
// "accelerators" is a list of records {key, callback, control}. A key press whose name matches a key
// (ignoring case: "ctrl+s", "ctrl+shift+z", "escape") runs the callback text, the same road as a
// click; `control` names the control (by tag or string) whose tooltip shows the key.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model/graphics.h"

namespace velmora::platform {

inline constexpr std::string_view kAcceleratorsAppData = "accelerators";

struct Accelerator {
  std::string key;       // as shown: "Ctrl+S", "Ctrl+Shift+Z", "Escape"
  std::string callback;  // the callback text run
  std::string control;   // tag or string of the control whose tooltip shows the key; may be empty
};

Value acceleratorsValue(const std::vector<Accelerator>& accelerators);
std::vector<Accelerator> acceleratorsOf(const Graphics& g, Handle figure);

// The callback text for a key pressed in a window, when one is declared.
std::optional<std::string> acceleratorCallback(const Graphics& g, Handle figure, std::string_view key);
// The tooltip of a control with its keys: "Save current case (Ctrl+S)"; the tooltip alone when none.
std::string tooltipWithKeys(const Graphics& g, Handle control);

}  // namespace velmora::platform
