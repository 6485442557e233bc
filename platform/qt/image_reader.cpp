#include "platform/qt/image_reader.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QString>

#include "platform/model/error.h"

namespace velmora::platform::qt {

Matrix QtImageReader::read(const std::string& path) {
  const QString name = QString::fromStdString(path);
  const QFileInfo info(name);
  if (!info.exists() || !info.isFile()) throw Error(imageNotFoundMessage(path));

  QImageReader reader(name);
  reader.setAutoTransform(false);  // the pixel grid as stored: traced points are pixel positions
  const QSize size = reader.size();
  if (!size.isValid() && !reader.canRead())
    throw Error(imageUnreadableMessage(path, reader.errorString().toStdString()));
  if (size.isValid()) {
    const auto w = static_cast<std::size_t>(size.width()), h = static_cast<std::size_t>(size.height());
    if (w * h > kMaxImagePixels) throw Error(imageTooLargeMessage(path, w, h));
  }
  QImage image;
  if (!reader.read(&image) || image.isNull())
    throw Error(imageUnreadableMessage(path, reader.errorString().toStdString()));

  const auto rows = static_cast<std::size_t>(image.height());
  const auto cols = static_cast<std::size_t>(image.width());
  if (rows * cols > kMaxImagePixels) throw Error(imageTooLargeMessage(path, cols, rows));
  const bool grey = image.isGrayscale();
  Matrix m;
  m.rows = rows;
  m.cols = cols;
  m.pages = grey ? 1 : 3;
  m.data.assign(rows * cols * m.pages, 0.0);
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  for (std::size_t r = 0; r < rows; ++r) {
    const uchar* line = rgb.constScanLine(static_cast<int>(r));
    for (std::size_t c = 0; c < cols; ++c) {
      const uchar* px = line + 3 * c;
      if (grey) {
        m.data[c * rows + r] = px[0] / 255.0;
      } else {
        for (std::size_t p = 0; p < 3; ++p) m.data[(p * cols + c) * rows + r] = px[p] / 255.0;
      }
    }
  }
  return m;
}

void installImageReader(Runtime& rt) {
  static QtImageReader reader;
  rt.setImageReader(&reader);
}

}  // namespace velmora::platform::qt
