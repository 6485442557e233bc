#pragma once
// A dry sound heard through a response: its sample rate brought to the response's, convolved by FFT.

#include <cstddef>
#include <span>
#include <vector>

namespace velmora::hearing {

// `samples` taken from `fromRate` to `toRate` Hz by the spectrum: band-limited to the lower Nyquist
// frequency, the same duration.
std::vector<double> resample(std::span<const double> samples, int fromRate, int toRate);

// The full linear convolution (dry.size() + response.size() - 1 samples; empty when either is). One
// transform of the whole length up to about 87 s at 48 kHz; a longer dry sound (up to the ten minutes
// a sound file may hold) is taken in blocks of `block` samples, added up (overlap-add), so that its
// transforms need some 30 MB instead of 1.5 GB.
std::vector<double> convolve(std::span<const double> dry, std::span<const double> response);
std::vector<double> convolveInBlocks(std::span<const double> dry, std::span<const double> response,
                                     std::size_t block);

// A dry sound of one channel at `rate` Hz heard through `response` (at its own rate): resampled,
// convolved, scaled to -1 dBFS. The dry sound's length plus the response's.
struct ImpulseResponse;
std::vector<double> auralise(std::span<const double> dry, int rate, const ImpulseResponse& response);

// Scaled so that the largest magnitude is `peak` (unchanged when silent): what a file or a sound
// card can take. -1 dBFS by default.
std::vector<double> normalised(std::vector<double> samples, double peak = 0.8912509381337456);

}  // namespace velmora::hearing
