#include "hearing/convolution.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numeric>

#include "hearing/fft.h"
#include "hearing/impulse_response.h"

namespace velmora::hearing {

std::vector<double> resample(std::span<const double> samples, int fromRate, int toRate) {
  if (fromRate == toRate || samples.empty()) return {samples.begin(), samples.end()};
  const std::size_t outLength = static_cast<std::size_t>(
      std::llround(static_cast<double>(samples.size()) * toRate / fromRate));
  // Zero room after the sound on both sides keeps the circular transform from wrapping its end
  // into its start.
  // Lengths in the exact ratio of the rates, so that the time scale is exact too.
  const std::size_t pad = 1024;
  const auto divisor = static_cast<std::size_t>(std::gcd(fromRate, toRate));
  const std::size_t from = static_cast<std::size_t>(fromRate) / divisor, to = static_cast<std::size_t>(toRate) / divisor;
  const std::size_t blocks = fftLength((samples.size() + pad + from - 1) / from);
  const std::size_t n = blocks * from, m = blocks * to;
  RealFft in(n), out(m);
  std::vector<std::complex<double>> spectrum, moved(out.bins());
  in.forward(std::vector<double>(samples.begin(), samples.end()), spectrum);
  const std::size_t keep = std::min(in.bins(), out.bins());
  const double scale = static_cast<double>(m) / static_cast<double>(n);
  for (std::size_t k = 0; k < keep; ++k) moved[k] = spectrum[k] * scale;
  // The bin at the new Nyquist frequency stands for both signs of frequency: halved when cut.
  if (m < n && m % 2 == 0) moved[keep - 1] *= 0.5;
  std::vector<double> time;
  out.inverse(moved, time);
  time.resize(std::min(outLength, time.size()));
  return time;
}

namespace {

// Above this transform length (4194304 samples, 87 s at 48 kHz) the dry sound goes in blocks.
constexpr std::size_t kLongestSingleTransform = std::size_t{1} << 22;
constexpr std::size_t kBlock = std::size_t{1} << 20;

}  // namespace

std::vector<double> convolveInBlocks(std::span<const double> dry, std::span<const double> response,
                                     std::size_t block) {
  if (dry.empty() || response.empty()) return {};
  block = std::max<std::size_t>(block, 1);
  const std::size_t length = dry.size() + response.size() - 1;
  RealFft fft(fftLength(block + response.size() - 1));
  std::vector<std::complex<double>> heard, spectrum;
  fft.forward(std::vector<double>(response.begin(), response.end()), heard);
  std::vector<double> out(length, 0.0), part;
  for (std::size_t start = 0; start < dry.size(); start += block) {
    const std::size_t n = std::min(block, dry.size() - start);
    fft.forward(std::vector<double>(dry.begin() + static_cast<std::ptrdiff_t>(start),
                                    dry.begin() + static_cast<std::ptrdiff_t>(start + n)),
                spectrum);
    for (std::size_t k = 0; k < spectrum.size(); ++k) spectrum[k] *= heard[k];
    fft.inverse(spectrum, part);
    const std::size_t used = std::min(n + response.size() - 1, length - start);
    for (std::size_t i = 0; i < used; ++i) out[start + i] += part[i];
  }
  return out;
}

std::vector<double> convolve(std::span<const double> dry, std::span<const double> response) {
  if (dry.empty() || response.empty()) return {};
  const std::size_t length = dry.size() + response.size() - 1;
  if (fftLength(length) > kLongestSingleTransform && dry.size() > kBlock)
    return convolveInBlocks(dry, response, kBlock);
  RealFft fft(fftLength(length));
  std::vector<std::complex<double>> a, b;
  fft.forward(std::vector<double>(dry.begin(), dry.end()), a);
  fft.forward(std::vector<double>(response.begin(), response.end()), b);
  for (std::size_t k = 0; k < a.size(); ++k) a[k] *= b[k];
  std::vector<double> out;
  fft.inverse(a, out);
  out.resize(length);
  return out;
}

std::vector<double> auralise(std::span<const double> dry, int rate, const ImpulseResponse& response) {
  const std::vector<double> atRate = resample(dry, rate, response.sampleRate);
  return normalised(convolve(atRate, response.samples));
}

std::vector<double> normalised(std::vector<double> samples, double peak) {
  double largest = 0;
  for (double s : samples) largest = std::max(largest, std::abs(s));
  if (largest > 0)
    for (double& s : samples) s *= peak / largest;
  return samples;
}

}  // namespace velmora::hearing
