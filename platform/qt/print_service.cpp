#include "platform/qt/print_service.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/error.h"
#include "platform/hpgl_canvas.h"
#include "platform/numbers.h"
#include "platform/output_file.h"
#include "platform/pcx.h"
#include "platform/ps_canvas.h"
#include "platform/qt/painter_canvas.h"
#include "platform/render.h"

namespace velmora::platform::qt {

namespace {

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

QImage renderRaster(const Graphics& g, Handle figure, int width, int height) {
  QImage img(width, height, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter painter(&img);
  PainterCanvas canvas(painter, width, height);
  renderFigure(g, figure, canvas, RenderOptions{true});
  painter.end();
  return img;
}

std::vector<std::uint8_t> encodeWithQt(const QImage& img, const char* format, int quality,
                                       const std::string& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(img)) {
    throw Error("cannot write file " + path + ": " + writer.errorString().toStdString());
  }
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> encodePcx(const QImage& img) {
  const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(rgb.width()) * rgb.height() * 3);
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* line = rgb.constScanLine(y);
    std::copy(line, line + rgb.width() * 3,
              pixels.begin() + static_cast<std::ptrdiff_t>(y) * rgb.width() * 3);
  }
  return encodePcx24(rgb.width(), rgb.height(), pixels);
}

}  // namespace

void QtPrintService::print(Handle figure, const std::string& deviceOption, const std::string& path) {
  const std::string device = lower(trim(deviceOption));
  const GraphicsObject& fig = graphics_.at(figure);
  const auto pos = fig.numbers("position");
  const int width = pos.size() >= 4 ? std::max(1, static_cast<int>(std::lround(pos[2]))) : 640;
  const int height = pos.size() >= 4 ? std::max(1, static_cast<int>(std::lround(pos[3]))) : 480;

  const bool raster = device == "-djpeg90" || device == "-dbmp" || device == "-dbitmap" ||
                      device == "-dtiff" || device == "-dpcx24b";
  if (raster) {
    if (device == "-dtiff" && !QImageWriter::supportedImageFormats().contains("tiff")) {
      throw Error("cannot write file " + path + ": TIFF images are not supported here");
    }
    const QImage img = renderRaster(graphics_, figure, width, height);
    std::vector<std::uint8_t> bytes;
    if (device == "-djpeg90") {
      bytes = encodeWithQt(img, "jpeg", 90, path);
    } else if (device == "-dtiff") {
      bytes = encodeWithQt(img, "tiff", -1, path);
    } else if (device == "-dpcx24b") {
      bytes = encodePcx(img);
    } else {
      bytes = encodeWithQt(img, "bmp", -1, path);
    }
    OutputFile out(path);
    out.write(bytes);
    out.commit();
    return;
  }
  if (device == "-dps2" || device == "-dpsc2") {
    // The page: the window's paper size when given in points, else its pixels at 96 per inch.
    double pageW = width * 0.75, pageH = height * 0.75;
    if (fig.hasProperty("paperposition") && fig.hasProperty("paperunits") &&
        equalsIgnoreCase(fig.text("paperunits"), "points")) {
      const auto paper = fig.numbers("paperposition");
      if (paper.size() >= 4 && paper[2] > 0 && paper[3] > 0) {
        pageW = paper[2];
        pageH = paper[3];
      }
    }
    OutputFile out(path);
    {
      PsCanvas canvas(out.stream(), width, height, pageW, pageH, device == "-dpsc2");
      renderFigure(graphics_, figure, canvas, RenderOptions{true});
      canvas.finish();
    }
    out.commit();
    return;
  }
  if (device == "-dhpgl") {
    OutputFile out(path);
    {
      HpglCanvas canvas(out.stream(), width, height);
      renderFigure(graphics_, figure, canvas, RenderOptions{true});
      canvas.finish();
    }
    out.commit();
    return;
  }
  throw Error("unknown print device: " + trim(deviceOption));
}

}  // namespace velmora::platform::qt
