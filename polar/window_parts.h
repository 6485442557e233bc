#pragma once
// Pieces the polar folder's windows share: a window of their kind, its push buttons, and where an
// export writes (the path a verb was given, else the one the user picks in a save dialog).

#include <functional>
#include <optional>
#include <string>

#include "platform/model/graphics.h"
#include "platform/model/runtime.h"

namespace velmora::polar {

// A white, fixed-size window without menu bar, centred on the screen, printed at 0.72 points a pixel.
platform::Handle makeFixedWindow(platform::Runtime& rt, const char* tag, const char* name, double width,
                                 double height);
// A push button on the window's bottom row, `x` pixels from its left, running `callback`.
void bottomButton(platform::Graphics& g, platform::Handle fig, double x, double width, const char* label,
                  const char* tip, const char* tag, const std::string& callback);

// A text object in `axes` at (x, y) in `units`, aligned and sized as given.
platform::Handle placeText(platform::Graphics& g, platform::Handle axes, const platform::Value& s, double x,
                           double y, const char* units, const char* halign, const char* valign, double size,
                           const char* tag = "");

// `path` when given; otherwise a save dialog with this filter ("*.csv"), title and default file name.
// Nothing when the dialog is cancelled.
std::optional<std::string> savePath(platform::Runtime& rt, const std::optional<std::string>& path,
                                    const char* filter, const char* title, const char* defaultName);

// Runs `write` (an export's writing, or the work before it). When the export was asked for from the
// window (no `path` given: its file is picked in the save dialog `title`), a failure is also shown in
// an error box of that title, since a window's user does not see the console; the error is raised as
// before either way.
void writeExport(platform::Runtime& rt, const std::optional<std::string>& path, const char* title,
                 const std::function<void()>& write);

}  // namespace velmora::polar
