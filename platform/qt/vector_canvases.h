#pragma once
// Vector files through Qt: PDF (QPdfWriter) and SVG (QSvgGenerator). Lines, markers and faces become
// paths and texts stay text, so a reader can search and copy them.

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/painter_canvas.h"

namespace velmora::platform::qt {

namespace detail {
// The device and painter under a vector canvas; a base class so they exist before the canvas that
// paints on them.
struct PdfDevice {
  PdfDevice(double widthPx, double heightPx, const std::string& title);
  QBuffer buffer;
  std::unique_ptr<QPdfWriter> writer;
  QPainter painter;
};
struct SvgDevice {
  SvgDevice(double widthPx, double heightPx, const std::string& title);
  QBuffer buffer;
  QSvgGenerator generator;
  QPainter painter;
};
}  // namespace detail

// A PDF document of pages of one size, given in window pixels at 96 per inch (a page is as large as
// the window on a screen). A report draws several figures with newPage() between them.
class PdfCanvas : private detail::PdfDevice, public PainterCanvas {
 public:
  PdfCanvas(double widthPx, double heightPx, const std::string& title = {});
  void newPage();
  // Ends the document and returns its bytes; raises an Error when Qt could not write it.
  std::vector<std::uint8_t> finish();
};

// One SVG picture in window pixels. Qt's SVG generator writes no clip paths, so this canvas declares
// that it cannot clip and the renderer cuts geometry at the plot box itself.
class SvgCanvas : private detail::SvgDevice, public PainterCanvas {
 public:
  SvgCanvas(double widthPx, double heightPx, const std::string& title = {});
  void setClip(const std::optional<PixelRect>&) override {}
  bool clipsItself() const override { return false; }
  std::vector<std::uint8_t> finish();
};

}  // namespace velmora::platform::qt
