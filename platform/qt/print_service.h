#pragma once

#include "platform/graphics.h"
#include "platform/runtime.h"

namespace velmora::platform::qt {

// Writes a window, without its controls, for every print device: raster files at the window's pixel
// size ("-djpeg90", "-dbmp", "-dbitmap", "-dtiff", "-dpcx24b"), level 2 PostScript in grey ("-dps2")
// or colour ("-dpsc2"), and HP-GL ("-dhpgl"). A failed print leaves no file behind.
class QtPrintService : public PrintService {
 public:
  explicit QtPrintService(const Graphics& graphics) : graphics_(graphics) {}
  void print(Handle figure, const std::string& device, const std::string& path) override;

 private:
  const Graphics& graphics_;
};

}  // namespace velmora::platform::qt
