#pragma once
// What the window program does with the words it was started with, before it serves events: hands
// them to the dispatcher and decides whether the program goes on (windows open) or ends, and with
// which exit status.

#include <optional>
#include <string>
#include <vector>

#include "platform/model/runtime.h"

namespace velmora::app {

inline constexpr int kExitFailure = 1;   // a case file given at start-up could not be read
inline constexpr int kExitBadUsage = 2;  // a bad option or start-up word

// Title of the error box of a case file given at start-up that could not be read.
inline constexpr const char* kStartFileErrorTitle = "VELMORA";

// Reads the material library (a console line when it cannot), then dispatches the start-up words
// (none: the zone question and a new main window). An error is written to the console; when the words
// asked to open a case file ("load FILE", as --open and file managers give it), it is also shown in an
// error box and the window opened for that file is closed again. Returns the exit status when no
// window is left open (0 after a cancelled zone question, 1 for a case file that could not be read, 2
// for words the dispatcher refused), nothing when events are to be served.
std::optional<int> runStartUpWords(platform::Runtime& rt, const std::vector<std::string>& words);

}  // namespace velmora::app
