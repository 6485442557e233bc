#pragma once
// Reading one octave band back out of a response: a Hann window in log frequency over the half octave
// around the band's centre, where the bank passes that band alone, so its decay is the band's own.

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "engine/bands.h"
#include "hearing/decay.h"
#include "hearing/fft.h"

namespace velmora::test_support {

inline std::vector<double> bandOf(const std::vector<double>& samples, std::size_t band, int rate) {
  hearing::RealFft fft(hearing::fftLength(samples.size() + 8192));
  std::vector<std::complex<double>> spectrum;
  fft.forward(samples, spectrum);
  const double centre = std::log2(engine::kBandCentresHz[band]);
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    const double hz = static_cast<double>(k) * rate / static_cast<double>(fft.length());
    const double offset = k == 0 ? 1 : (std::log2(hz) - centre) / 0.25;  // -1..1 inside
    const double w = std::abs(offset) < 1 ? 0.5 * (1 + std::cos(std::numbers::pi * offset)) : 0;
    spectrum[k] *= w;
  }
  std::vector<double> out;
  fft.inverse(spectrum, out);
  out.resize(samples.size());
  return out;
}

}  // namespace velmora::test_support
