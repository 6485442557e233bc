#pragma once
// Printing the main window and the polar diagram window to image and plot files.

#include <optional>
#include <string>

#include "platform/runtime.h"

namespace velmora::shell {

inline constexpr const char* kPrintFilter = "*.jpg;*.bmp;*.ps;*.hpg;*.tif";

// The device option and the file written for a file name (the extension compared ignoring case).
struct PrintTarget {
  std::string device;  // "-djpeg90", "-dbmp", ...
  std::string file;    // the name, with ".jpg" appended when it had no extension
};
PrintTarget casePrintTarget(const std::string& file, bool colour);
PrintTarget polarPrintTarget(const std::string& file);

// Prints the current main window without its controls to folder + file; without both, asks for the
// file. Gray cases print the source black on white; vertex markers are hidden and images drawn black
// while printing, and everything is restored afterwards.
void printcase(platform::Runtime& rt, const std::optional<std::string>& folder,
               const std::optional<std::string>& file);

// The same for the polar diagram window; does nothing unless the current window is one.
void printpolar(platform::Runtime& rt, const std::optional<std::string>& folder,
                const std::optional<std::string>& file);

// The same for an echogram window: the current window, printed whole.
void printechogram(platform::Runtime& rt, const std::optional<std::string>& folder,
                   const std::optional<std::string>& file);

}  // namespace velmora::shell
