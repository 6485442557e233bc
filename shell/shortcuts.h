#pragma once
// Keyboard shortcuts of the main window and the operations only they reach: one step back or
// forward in the history, and Escape ending a measuring. The keys are declared in the model
// (platform/model/accelerators.h); a key press becomes the same dispatcher call as a click.

#include <string_view>
#include <vector>

#include "document/operations.h"
#include "platform/model/accelerators.h"
#include "platform/model/runtime.h"

namespace velmora::shell {

using document::Operations;

// Ctrl+S save, Ctrl+O load, Ctrl+Z / Ctrl+Shift+Z one history step back / forward, Ctrl+P print,
// Escape ends a measuring (and, in the runtime, a pointer-input wait).
const std::vector<platform::Accelerator>& mainWindowShortcuts();
void installShortcuts(platform::Graphics& g, platform::Handle fig);

// The window's place in its history while stepping: application data [index, entries] (index from
// 0, oldest first). A count that no longer matches the history means a new action came since: the
// place is the newest entry again.
inline constexpr std::string_view kHistoryCursorAppData = "historycursor";

// Restores the snapshot one step older (`step` -1) or newer (+1) than the window's place, as the
// history list restores one: no entry is recorded or removed. Beeps at either end.
void historystep(platform::Runtime& rt, const Operations& ops, int step);
// Ends a measuring, as a second click on the "measure" toggle does; nothing otherwise.
void escapekey(platform::Runtime& rt, const Operations& ops);

// Registers historyback, historyforward and escapekey.
void registerShortcutOperations(Operations& ops);

}  // namespace velmora::shell
