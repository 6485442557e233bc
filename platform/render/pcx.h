#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velmora::platform {

// Encodes a 24-bit PCX picture (version 5, three 8-bit planes, run-length encoded line by line).
// `rgb` holds rows top first, 3 bytes per pixel. Raises an Error for an empty or oversized picture.
std::vector<std::uint8_t> encodePcx24(int width, int height, std::span<const std::uint8_t> rgb);

}  // namespace velmora::platform
