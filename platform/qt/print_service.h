#pragma once

#include "platform/model/graphics.h"
#include "platform/model/runtime.h"

namespace velmora::platform::qt {

// Figure files without any dialog, for interactive and batch printing and for reports: the figure
// without its controls on white paper, at the window's size. Each raises an Error naming the file when
// it cannot be written, and then leaves no file behind.
void writePdf(const Graphics& g, Handle figure, const std::string& path);
void writeSvg(const Graphics& g, Handle figure, const std::string& path);
// `dpi` from 24 to 600: the picture has the window's pixel size times dpi / 96.
void writePng(const Graphics& g, Handle figure, const std::string& path, int dpi);

// Writes a window, without its controls, for every print device: raster files at the window's pixel
// size ("-djpeg90", "-dbmp", "-dbitmap", "-dtiff", "-dpcx24b"), level 2 PostScript in grey ("-dps2")
// or colour ("-dpsc2"), HP-GL ("-dhpgl"), PDF ("-dpdf"), SVG ("-dsvg") and PNG ("-dpng", with its
// resolution as "-r300"; 96 dpi without). A failed print leaves no file behind.
class QtPrintService : public PrintService {
 public:
  explicit QtPrintService(const Graphics& graphics) : graphics_(graphics) {}
  void print(Handle figure, const std::string& device, const std::string& path) override;

 private:
  const Graphics& graphics_;
};

}  // namespace velmora::platform::qt
