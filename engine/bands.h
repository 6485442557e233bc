#pragma once
// Octave bands: the six bands of the material table, the room's reverberation and the impulse response.

#include <array>
#include <cstddef>

namespace velmora::engine {

inline constexpr std::size_t kBandCount = 6;
inline constexpr std::array<double, kBandCount> kBandCentresHz{125, 250, 500, 1000, 2000, 4000};
// One value per band, lowest band first (absorption coefficients 0..1, seconds, ...).
using BandValues = std::array<double, kBandCount>;

}  // namespace velmora::engine
