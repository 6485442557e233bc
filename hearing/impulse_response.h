#pragma once
// The impulse response at the receptor, per octave band and combined: each arrival an impulse at its
// time with its band energies, then from a transition time on a tail of seeded noise whose energy
// decays by 60 dB in the band's reverberation time, starting at the level the early reflections set.
// docs/hearing.md gives the formulas and the reasons for the choices.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/bands.h"

namespace velmora::hearing {

inline constexpr int kSampleRate = 48000;  // Hz
// The longest response built (a room that hardly absorbs would ring for ever).
inline constexpr double kLongestSeconds = 12;
// 60 dB of energy decay: ln(10^6).
inline constexpr double kSixtyDecibels = 13.815510557964274;

// One arrival: its time after the emission and its energy (squared pressure, Pa²) in each band.
struct BandArrival {
  bool direct = false;  // the direct sound: not a reflection, so it sets no tail level
  int order = 0;        // walls on the path (0 for the direct sound)
  double seconds = 0;
  engine::BandValues energy{};
};

struct ResponseInputs {
  std::vector<BandArrival> arrivals;  // the direct sound (when heard) among them
  double directSeconds = 0;           // when the direct sound arrives (blocked or not)
  engine::BandValues reverberationSeconds{};  // per band; +Inf: no decay (the length is capped)
  double volume = 0;                          // m³, for the mixing time
  std::uint64_t seed = 1;
};

struct ImpulseResponse {
  int sampleRate = kSampleRate;
  std::vector<double> samples;  // Pa: an arrival of energy E alone is one sample of sqrt(E)
  double transitionSeconds = 0;  // where the tail starts, after the emission
  engine::BandValues tailPower{};  // the tail's energy per second at the transition, per band
  std::size_t earlyEnd = 0;        // samples before this index are the arrivals alone
  // How far the slowest band's tail has decayed where the response ends, in dB: 90 at full length,
  // less when the response is cut at kLongestSeconds (0 for a tail that never decays); +Inf when
  // there is no tail. Decay figures whose range reaches too close to it are not read (decay.h).
  double depthDb = INFINITY;
};

// The transition time after the direct sound: the first arrival of the highest order computed (up to
// it no path of fewer walls is missing), but at least the mixing time sqrt(V) ms (V in m³). The early
// part ends with the transition's sample; arrivals after it stay, on top of the tail.
double transitionAfterDirect(const ResponseInputs& in);

// The response, length: the transition plus 1.5 times the longest reverberation time (90 dB of
// decay), within kLongestSeconds. Deterministic for given inputs and seed.
ImpulseResponse impulseResponse(const ResponseInputs& in);

// The weight of band `band` at `hz` in the filter bank: the six weights sum to one at every
// frequency; each band is flat over half an octave around its centre and crosses into its
// neighbours over the half octave around their geometric mean.
double bandWeight(std::size_t band, double hz);

}  // namespace velmora::hearing
