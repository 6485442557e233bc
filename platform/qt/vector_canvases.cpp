#include "platform/qt/vector_canvases.h"

#include <QPageSize>

#include "platform/model/error.h"

namespace velmora::platform::qt {

namespace {

std::vector<std::uint8_t> bytesOf(const QBuffer& buffer) {
  const QByteArray& data = buffer.data();
  return {data.begin(), data.end()};
}

}  // namespace

detail::PdfDevice::PdfDevice(double widthPx, double heightPx, const std::string& title) {
  buffer.open(QIODevice::WriteOnly);
  writer = std::make_unique<QPdfWriter>(&buffer);
  writer->setCreator("VELMORA");
  if (!title.empty()) writer->setTitle(QString::fromStdString(title));
  // 96 dots per inch, so one painter unit is one window pixel and a pixel is 0.75 point.
  writer->setResolution(96);
  writer->setPageSize(
      QPageSize(QSizeF(widthPx * 0.75, heightPx * 0.75), QPageSize::Point, QString(), QPageSize::ExactMatch));
  writer->setPageMargins(QMarginsF(0, 0, 0, 0));
  if (!painter.begin(writer.get())) throw Error("cannot start the PDF document");
}

PdfCanvas::PdfCanvas(double widthPx, double heightPx, const std::string& title)
    : detail::PdfDevice(widthPx, heightPx, title), PainterCanvas(painter, widthPx, heightPx) {
  keepLettersApart();
}

void PdfCanvas::newPage() {
  setClip(std::nullopt);
  writer->newPage();
}

std::vector<std::uint8_t> PdfCanvas::finish() {
  if (painter.isActive() && !painter.end()) throw Error("PDF output failed");
  return bytesOf(buffer);
}

detail::SvgDevice::SvgDevice(double widthPx, double heightPx, const std::string& title) {
  buffer.open(QIODevice::WriteOnly);
  generator.setOutputDevice(&buffer);
  generator.setSize(QSize(static_cast<int>(std::lround(widthPx)), static_cast<int>(std::lround(heightPx))));
  generator.setViewBox(QRectF(0, 0, widthPx, heightPx));
  generator.setResolution(96);
  if (!title.empty()) generator.setTitle(QString::fromStdString(title));
  if (!painter.begin(&generator)) throw Error("cannot start the SVG picture");
}

SvgCanvas::SvgCanvas(double widthPx, double heightPx, const std::string& title)
    : detail::SvgDevice(widthPx, heightPx, title), PainterCanvas(painter, widthPx, heightPx) {
  keepLettersApart();
}

std::vector<std::uint8_t> SvgCanvas::finish() {
  if (painter.isActive() && !painter.end()) throw Error("SVG output failed");
  return bytesOf(buffer);
}

}  // namespace velmora::platform::qt
