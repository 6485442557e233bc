#include "document/arrows.h"

namespace velmora::document {

namespace {
constexpr std::size_t kSide = 16;
}

platform::Matrix createarrow(const std::optional<std::string>& direction) {
  if (!direction) return platform::Matrix::zeros(kSide, kSide);

  // Right-pointing triangle: base on the left edge, tip at the middle of the right edge.
  // X is the column, Y the row.
  platform::Matrix m = platform::Matrix::zeros(kSide, kSide);
  for (std::size_t row = 0; row < kSide; ++row) {
    for (std::size_t col = 0; col < kSide; ++col) {
      const int x = static_cast<int>(col);
      const int y = static_cast<int>(row);
      if (x + 2 * y - 30 > 0 || x - 2 * y > 0) m(row, col) = kArrowBackground;
    }
  }

  platform::Matrix turned = platform::Matrix::zeros(kSide, kSide);
  for (std::size_t row = 0; row < kSide; ++row) {
    for (std::size_t col = 0; col < kSide; ++col) {
      const std::size_t last = kSide - 1;
      double v = m(row, col);
      if (*direction == "down") {
        v = m(col, row);
      } else if (*direction == "left") {
        v = m(row, last - col);
      } else if (*direction == "up") {
        // transposed, then mirrored top to bottom
        v = m(col, last - row);
      }
      turned(row, col) = v;
    }
  }

  platform::Matrix image;
  image.rows = kSide;
  image.cols = kSide;
  image.pages = 3;
  image.data.reserve(kSide * kSide * 3);
  for (int plane = 0; plane < 3; ++plane)
    image.data.insert(image.data.end(), turned.data.begin(), turned.data.end());
  return image;
}

}  // namespace velmora::document
