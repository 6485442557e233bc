#include "platform/render/pcx.h"

#include <algorithm>
#include <string>

#include "platform/model/error.h"

namespace velmora::platform {

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, int v) {
  out[at] = static_cast<std::uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// One plane of one line: runs of up to 63 equal bytes become a count byte (0xC0 | n) and the value; a
// single byte below 0xC0 stands for itself. Runs never cross the end of a plane line.
void encodeLine(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& line) {
  std::size_t i = 0;
  while (i < line.size()) {
    const std::uint8_t v = line[i];
    std::size_t n = 1;
    while (i + n < line.size() && line[i + n] == v && n < 63) ++n;
    if (n > 1 || v >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | n));
    out.push_back(v);
    i += n;
  }
}

}  // namespace

std::vector<std::uint8_t> encodePcx24(int width, int height, std::span<const std::uint8_t> rgb) {
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 ||
      rgb.size() < static_cast<std::size_t>(width) * height * 3) {
    throw Error("cannot encode a PCX picture of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels");
  }
  const int bytesPerLine = width + (width % 2);  // each plane line has an even length
  std::vector<std::uint8_t> out(128, 0);
  out[0] = 0x0A;  // manufacturer
  out[1] = 5;     // version 3.0 and later: 24-bit allowed
  out[2] = 1;     // run-length encoding
  out[3] = 8;     // bits per pixel and plane
  put16(out, 4, 0);
  put16(out, 6, 0);
  put16(out, 8, width - 1);
  put16(out, 10, height - 1);
  put16(out, 12, 96);  // resolution, dots per inch
  put16(out, 14, 96);
  out[65] = 3;  // planes: red, green, blue
  put16(out, 66, bytesPerLine);
  put16(out, 68, 1);  // colour palette interpretation
  put16(out, 70, width);
  put16(out, 72, height);
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(bytesPerLine), 0);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = rgb.data() + static_cast<std::size_t>(y) * width * 3;
    for (int p = 0; p < 3; ++p) {
      for (int x = 0; x < width; ++x) plane[static_cast<std::size_t>(x)] = row[x * 3 + p];
      encodeLine(out, plane);
    }
  }
  return out;
}

}  // namespace velmora::platform
