#include "platform/qt/print_service.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/model/error.h"
#include "platform/render/hpgl_canvas.h"
#include "platform/model/numbers.h"
#include "platform/files/output_file.h"
#include "platform/render/pcx.h"
#include "platform/render/ps_canvas.h"
#include "platform/qt/painter_canvas.h"
#include "platform/qt/vector_canvases.h"
#include "platform/render/render.h"

namespace velmora::platform::qt {

namespace {

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The window's size in pixels.
std::pair<int, int> figureSize(const Graphics& g, Handle figure) {
  const auto pos = g.at(figure).numbers("position");
  const int width = pos.size() >= 4 ? std::max(1, static_cast<int>(std::lround(pos[2]))) : 640;
  const int height = pos.size() >= 4 ? std::max(1, static_cast<int>(std::lround(pos[3]))) : 480;
  return {width, height};
}

// The window drawn `scale` times larger than on a 96 dpi screen, with everything in proportion.
QImage renderRaster(const Graphics& g, Handle figure, int width, int height, double scale = 1) {
  QImage img(static_cast<int>(std::lround(width * scale)), static_cast<int>(std::lround(height * scale)),
             QImage::Format_RGB32);
  img.setDevicePixelRatio(scale);
  img.fill(Qt::white);
  QPainter painter(&img);
  PainterCanvas canvas(painter, width, height);
  renderFigure(g, figure, canvas, RenderOptions{true});
  painter.end();
  img.setDevicePixelRatio(1);
  return img;
}

std::string figureTitle(const Graphics& g, Handle figure) {
  const GraphicsObject& fig = g.at(figure);
  return fig.hasProperty("name") ? fig.text("name") : std::string();
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  OutputFile out(path);
  out.write(bytes);
  out.commit();
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

void writePdf(const Graphics& g, Handle figure, const std::string& path) {
  const auto [width, height] = figureSize(g, figure);
  PdfCanvas canvas(width, height, figureTitle(g, figure));
  renderFigure(g, figure, canvas, RenderOptions{true});
  writeBytes(path, canvas.finish());
}

void writeSvg(const Graphics& g, Handle figure, const std::string& path) {
  const auto [width, height] = figureSize(g, figure);
  SvgCanvas canvas(width, height, figureTitle(g, figure));
  renderFigure(g, figure, canvas, RenderOptions{true});
  writeBytes(path, canvas.finish());
}

void writePng(const Graphics& g, Handle figure, const std::string& path, int dpi) {
  if (dpi < 24 || dpi > 600) {
    throw Error("cannot write file " + path + ": the PNG resolution must be 24 to 600 dpi, not " +
                std::to_string(dpi));
  }
  const auto [width, height] = figureSize(g, figure);
  QImage img = renderRaster(g, figure, width, height, dpi / 96.0);
  // Set only now: fonts are sized for the painter by the image's resolution.
  const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
  img.setDotsPerMeterX(dotsPerMetre);
  img.setDotsPerMeterY(dotsPerMetre);
  writeBytes(path, encodeWithQt(img, "png", -1, path));
}

void QtPrintService::print(Handle figure, const std::string& deviceOption, const std::string& path) {
  // The device, and for PNG an optional resolution word "-r<dpi>".
  std::istringstream words(lower(trim(deviceOption)));
  std::string device, word;
  words >> device;
  std::optional<int> dpi;
  while (words >> word) {
    if (word.size() > 2 && word.rfind("-r", 0) == 0 &&
        word.find_first_not_of("0123456789", 2) == std::string::npos && word.size() < 8) {
      dpi = std::stoi(word.substr(2));
    } else {
      throw Error("unknown print option: " + word);
    }
  }
  if (device == "-dpdf") return writePdf(graphics_, figure, path);
  if (device == "-dsvg") return writeSvg(graphics_, figure, path);
  if (device == "-dpng") return writePng(graphics_, figure, path, dpi.value_or(96));
  const GraphicsObject& fig = graphics_.at(figure);
  const auto [width, height] = figureSize(graphics_, figure);

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
