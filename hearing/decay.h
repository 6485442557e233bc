#pragma once
// The energy decay of a response by Schroeder's backward integration, and the room-acoustic figures
// read from it (ISO 3382-1): EDT, T20 and T30 from straight lines fitted to the decay, D50 and C80
// from the energy before and after 50 and 80 ms.

#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace velmora::hearing {

struct DecayFigures {
  std::size_t onset = 0;  // the first sample within 20 dB of the peak's energy
  // The decay in dB (0 at the onset), one value per `stepSeconds` from the onset on.
  std::vector<double> decayDb;
  double stepSeconds = 0.001;
  // Seconds; none when the decay does not reach the range's lower end.
  std::optional<double> edt, t20, t30;
  std::optional<double> d50;  // percent; none for a silent response
  std::optional<double> c80;  // dB; +Inf: no energy after 80 ms
};

// The decay in dB of every sample from `from` on: 10 log10 of the energy still to come over the
// energy from `from` on (-Inf where none is left).
std::vector<double> schroederDb(std::span<const double> samples, std::size_t from = 0);

// `depthDb`: how far the response's tail has decayed where the response ends (ImpulseResponse::depthDb).
// A response cut short of its decay drops to nothing at the cut, which would bend the fitted lines: a
// figure is read only when the tail goes on at least 10 dB below its range (EDT 20 dB, T20 35 dB,
// T30 45 dB), else it is none.
DecayFigures decayFigures(std::span<const double> samples, int sampleRate, double stepSeconds = 0.001,
                          double depthDb = INFINITY);

}  // namespace velmora::hearing
