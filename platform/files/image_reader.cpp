#include "platform/files/image_reader.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/runtime.h"

namespace velmora::platform {

bool isPlanImageExtension(std::string_view extension) {
  static constexpr std::array<std::string_view, 4> kKnown = {".jpg", ".jpeg", ".bmp", ".tif"};
  const std::string e = lower(extension);
  for (std::string_view k : kKnown)
    if (e == k) return true;
  return false;
}

std::string imageNotFoundMessage(const std::string& path) {
  return "image file " + path + " not found";
}

std::string imageUnreadableMessage(const std::string& path, const std::string& reason) {
  return "cannot read image file " + path + (reason.empty() ? "" : ": " + reason);
}

std::string imageTooLargeMessage(const std::string& path, std::size_t width, std::size_t height) {
  return "image file " + path + " is too large (" + std::to_string(width) + " x " + std::to_string(height) +
         " pixels; at most " + std::to_string(kMaxImagePixels / 1'000'000) + " million)";
}

Matrix readImageFile(Runtime& rt, const std::string& path) {
  ImageReader* reader = rt.imageReader();
  if (reader == nullptr) throw Error("reading images is not available in this session");
  Matrix m = reader->read(path);
  if (m.rows == 0 || m.cols == 0 || (m.pages != 1 && m.pages != 3) ||
      m.data.size() != m.rows * m.cols * m.pages)
    throw Error(imageUnreadableMessage(path, "no pixels"));
  if (m.rows * m.cols > kMaxImagePixels) throw Error(imageTooLargeMessage(path, m.cols, m.rows));
  for (double& v : m.data) v = std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
  return m;
}

}  // namespace velmora::platform
