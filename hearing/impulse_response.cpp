#include "hearing/impulse_response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

#include "hearing/fft.h"

namespace velmora::hearing {

namespace {

// Standard normal numbers from splitmix64 and Box-Muller: the same on every platform and library,
// unlike std::normal_distribution.
class Noise {
 public:
  explicit Noise(std::uint64_t seed) : state_(seed) {}
  double next() {
    if (spare_) {
      spare_ = false;
      return second_;
    }
    const double u1 = (static_cast<double>(bits() >> 11) + 1) * 0x1.0p-53;  // (0, 1]
    const double u2 = static_cast<double>(bits() >> 11) * 0x1.0p-53;
    const double radius = std::sqrt(-2 * std::log(u1));
    second_ = radius * std::sin(2 * std::numbers::pi * u2);
    spare_ = true;
    return radius * std::cos(2 * std::numbers::pi * u2);
  }

 private:
  std::uint64_t bits() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  std::uint64_t state_;
  double second_ = 0;
  bool spare_ = false;
};

// Zero-phase filters ring before their impulse too: the response is built with this much room
// ahead of the emission and after its end, then cut.
constexpr std::size_t kPadSamples = 4096;

double decayRate(double reverberationSeconds) {
  if (!(reverberationSeconds > 0)) return std::numeric_limits<double>::infinity();
  return kSixtyDecibels / reverberationSeconds;  // 1/s; 0 for +Inf
}

// The energy per second at the transition that spreads the reflections' energy (the direct sound
// left out) over [first reflection, transition] as the band's decay would spread it.
double tailPowerAt(double transition, double firstReflection, double reflectionEnergy, double rate) {
  if (reflectionEnergy <= 0 || std::isinf(rate)) return 0;
  const double span = std::max(transition - firstReflection, 1.0 / kSampleRate);
  // ∫ P e^{-k(t - tx)} dt over [tx - span, tx] = P (e^{k span} - 1) / k, and span as k -> 0.
  const double spread = rate * span < 1e-9 ? span : std::expm1(rate * span) / rate;
  return reflectionEnergy / spread;
}

}  // namespace

namespace {

// The weight of "at or below the crossover between band b and b + 1" at log2(hz) = `octave`: 1 well
// below, 0 well above, cos² over the half octave around it.
double belowCrossover(std::size_t b, double octave) {
  constexpr double kHalfTransitionOctaves = 0.25;
  const double offset = octave - std::log2(engine::kBandCentresHz[b] * std::numbers::sqrt2);
  if (offset <= -kHalfTransitionOctaves) return 1;
  if (offset >= kHalfTransitionOctaves) return 0;
  const double c = std::cos(std::numbers::pi / 4 * (offset / kHalfTransitionOctaves + 1));
  return c * c;
}

double weightAt(std::size_t band, double octave) {
  const double below = band + 1 < engine::kBandCount ? belowCrossover(band, octave) : 1.0;
  const double lower = band > 0 ? belowCrossover(band - 1, octave) : 0.0;
  return below - lower;
}

}  // namespace

double bandWeight(std::size_t band, double hz) {
  return weightAt(band, hz > 0 ? std::log2(hz) : -INFINITY);
}

double transitionAfterDirect(const ResponseInputs& in) {
  // Up to the first path of the highest order computed, every path of fewer walls is there; after
  // it the paths of more walls, which the case does not compute, would be missing.
  int highest = 0;
  double earliest = 0;
  for (const BandArrival& a : in.arrivals) {
    if (a.direct) continue;
    const double delay = a.seconds - in.directSeconds;
    if (a.order > highest || (a.order == highest && delay < earliest)) {
      highest = a.order;
      earliest = delay;
    }
  }
  const double mixing = std::sqrt(std::max(in.volume, 0.0)) / 1000;
  return std::max(earliest, mixing);
}

ImpulseResponse impulseResponse(const ResponseInputs& in) {
  ImpulseResponse ir;
  const double fs = kSampleRate;
  ir.transitionSeconds = in.directSeconds + transitionAfterDirect(in);
  double longest = 0;
  for (double t : in.reverberationSeconds) longest = std::max(longest, std::isfinite(t) ? t : kLongestSeconds);
  const double seconds = std::min(ir.transitionSeconds + 1.5 * longest, kLongestSeconds);
  const auto length = static_cast<std::size_t>(std::ceil(std::max(seconds, ir.transitionSeconds) * fs)) + 1;
  bool decays = true;
  for (double t : in.reverberationSeconds) decays = decays && std::isfinite(t);
  if (!decays) {
    ir.depthDb = 0;
  } else if (longest > 0) {
    ir.depthDb = 60 * (static_cast<double>(length - 1) / fs - ir.transitionSeconds) / longest;
  }
  const auto transition = static_cast<std::size_t>(std::llround(ir.transitionSeconds * fs));
  // The arrival on the transition's sample is the early part's last; the tail starts after it.
  ir.earlyEnd = std::min(transition + 1, length);

  // The arrivals as impulses (the same in every band when their bands agree), then the tail.
  const std::size_t total = fftLength(length + 2 * kPadSamples);
  std::vector<std::vector<double>> bands(engine::kBandCount, std::vector<double>(total, 0.0));
  double firstReflection = INFINITY;
  engine::BandValues reflectionEnergy{};
  for (const BandArrival& a : in.arrivals) {
    const auto at = static_cast<std::size_t>(std::llround(a.seconds * fs));
    if (at >= length) continue;
    // Only the reflections of the early part set the tail's level.
    const bool direct = a.direct || at >= ir.earlyEnd;
    // Energies first: arrivals on one sample add their energies, not their amplitudes.
    for (std::size_t b = 0; b < engine::kBandCount; ++b) {
      bands[b][kPadSamples + at] += std::max(a.energy[b], 0.0);
      if (!direct) reflectionEnergy[b] += std::max(a.energy[b], 0.0);
    }
    if (!direct) firstReflection = std::min(firstReflection, a.seconds);
  }
  // Arrivals after the transition stay, on top of the tail.
  for (auto& band : bands)
    for (double& v : band) v = std::sqrt(v);
  Noise noise(in.seed);
  std::vector<double> n(length > ir.earlyEnd ? length - ir.earlyEnd : 0);
  for (double& v : n) v = noise.next();
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    const double rate = decayRate(in.reverberationSeconds[b]);
    ir.tailPower[b] = std::isfinite(firstReflection)
                          ? tailPowerAt(ir.transitionSeconds, firstReflection, reflectionEnergy[b], rate)
                          : 0;
    if (ir.tailPower[b] <= 0) continue;
    // Per sample: energy P/fs at the transition, falling by e^{-k/fs} a sample; amplitudes halve the rate.
    const double step = std::exp(-rate / (2 * fs));
    double amplitude = std::sqrt(ir.tailPower[b] / fs);
    for (std::size_t i = 0; i < n.size(); ++i, amplitude *= step)
      bands[b][kPadSamples + ir.earlyEnd + i] += amplitude * n[i];
  }

  // The bank: every band's signal weighted in frequency, summed, and back in time.
  bool uniform = true;
  for (std::size_t b = 1; b < engine::kBandCount; ++b) uniform = uniform && bands[b] == bands[0];
  if (uniform) {
    // Every band the same: the weights sum to one, so the bank changes nothing.
    ir.samples.assign(bands[0].begin() + kPadSamples, bands[0].begin() + kPadSamples + length);
    return ir;
  }
  RealFft fft(total);
  std::vector<std::complex<double>> sum(fft.bins()), spectrum;
  std::vector<double> octaves(fft.bins());
  for (std::size_t k = 0; k < octaves.size(); ++k)
    octaves[k] = k == 0 ? -INFINITY : std::log2(static_cast<double>(k) * fs / static_cast<double>(total));
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    fft.forward(bands[b], spectrum);
    for (std::size_t k = 0; k < spectrum.size(); ++k) sum[k] += weightAt(b, octaves[k]) * spectrum[k];
  }
  std::vector<double> time;
  fft.inverse(sum, time);
  ir.samples.assign(time.begin() + kPadSamples, time.begin() + kPadSamples + length);
  return ir;
}

}  // namespace velmora::hearing
