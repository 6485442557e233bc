#pragma once
// The spoken phrase offered as a dry sound (samples/sounds/phrase.flac, built into the program).

#include <cstdint>
#include <span>

namespace velmora::polar {

std::span<const std::uint8_t> speechSample();

}  // namespace velmora::polar
