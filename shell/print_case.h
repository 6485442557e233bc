#pragma once
// Printing the main window and the polar diagram window to image and plot files.

#include <optional>
#include <string>

#include "platform/model/runtime.h"

namespace velmora::shell {

inline constexpr const char* kPrintFilter = "*.jpg;*.bmp;*.ps;*.hpg;*.tif;*.pcx;*.pdf;*.svg;*.png";
// The extensions whose format the print operations write as such (any other name becomes a JPEG).
inline constexpr const char* kPrintExtensions[] = {".bmp", ".hpg", ".jpeg", ".jpg", ".pcx",
                                                   ".pdf", ".png", ".ps",   ".svg", ".tif"};

// Resolutions offered for PNG pictures, in dots per inch, and the one proposed.
inline constexpr int kPngResolutions[] = {96, 150, 300, 600};
inline constexpr int kDefaultPngResolution = 300;

// The device option and the file written for a file name (the extension compared ignoring case).
struct PrintTarget {
  std::string device;  // "-djpeg90", "-dbmp", ..., "-dpdf", "-dsvg", "-dpng"
  std::string file;    // the name, with ".jpg" appended when it had no extension
};
PrintTarget casePrintTarget(const std::string& file, bool colour);
PrintTarget polarPrintTarget(const std::string& file);

// Prints the current main window without its controls to folder + file; without both, asks for the
// file, and for a PNG file its resolution (folder and file given: the proposed resolution). Gray cases print
// the source black on white; vertex markers are hidden and images drawn black while printing, and everything
// is restored afterwards.
void printcase(platform::Runtime& rt, const std::optional<std::string>& folder,
               const std::optional<std::string>& file);

// The same for the polar diagram window; does nothing unless the current window is one.
void printpolar(platform::Runtime& rt, const std::optional<std::string>& folder,
                const std::optional<std::string>& file);

// The same for an echogram window: the current window, printed whole.
void printechogram(platform::Runtime& rt, const std::optional<std::string>& folder,
                   const std::optional<std::string>& file);

}  // namespace velmora::shell
