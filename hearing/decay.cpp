#include "hearing/decay.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora::hearing {

namespace {

// The time for 60 dB from a least-squares line through the decay between `high` and `low` dB (both
// negative): none when the decay never gets below `low`.
std::optional<double> reverberationFrom(const std::vector<double>& db, double dt, double high, double low) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  std::size_t n = 0;
  bool reached = false;
  for (std::size_t i = 0; i < db.size(); ++i) {
    if (db[i] > high) continue;
    if (db[i] < low) {
      reached = true;
      break;
    }
    const double x = static_cast<double>(i) * dt;
    sx += x;
    sy += db[i];
    sxx += x * x;
    sxy += x * db[i];
    ++n;
  }
  if (!reached || n < 2) return std::nullopt;
  const double nn = static_cast<double>(n);
  const double slope = (nn * sxy - sx * sy) / (nn * sxx - sx * sx);  // dB/s
  if (!(slope < 0)) return std::nullopt;
  return -60 / slope;
}

}  // namespace

std::vector<double> schroederDb(std::span<const double> samples, std::size_t from) {
  std::vector<double> db(samples.size() > from ? samples.size() - from : 0);
  // Backward sums in long double: the tail's tiny terms are not lost beside the direct sound.
  long double remaining = 0;
  for (std::size_t i = samples.size(); i-- > from;) {
    remaining += static_cast<long double>(samples[i]) * samples[i];
    db[i - from] = static_cast<double>(remaining);
  }
  const double total = db.empty() ? 0 : db.front();
  for (double& v : db) v = total > 0 && v > 0 ? 10 * std::log10(v / total) : -INFINITY;
  return db;
}

DecayFigures decayFigures(std::span<const double> samples, int sampleRate, double stepSeconds, double depthDb) {
  DecayFigures f;
  f.stepSeconds = stepSeconds;
  double peak = 0;
  for (double s : samples) peak = std::max(peak, s * s);
  if (peak <= 0) return f;
  while (samples[f.onset] * samples[f.onset] < peak / 100) ++f.onset;

  const std::vector<double> db = schroederDb(samples, f.onset);
  const double dt = 1.0 / sampleRate;
  constexpr double kMargin = 10;  // dB of decay still to come below a range's lower end
  if (depthDb >= 10 + kMargin) f.edt = reverberationFrom(db, dt, 0, -10);
  if (depthDb >= 25 + kMargin) f.t20 = reverberationFrom(db, dt, -5, -25);
  if (depthDb >= 35 + kMargin) f.t30 = reverberationFrom(db, dt, -5, -35);
  const auto step = std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(stepSeconds * sampleRate)));
  for (std::size_t i = 0; i < db.size(); i += step) f.decayDb.push_back(db[i]);

  double total = 0, upTo50 = 0, upTo80 = 0;
  const auto at50 = static_cast<std::size_t>(std::llround(0.050 * sampleRate));
  const auto at80 = static_cast<std::size_t>(std::llround(0.080 * sampleRate));
  for (std::size_t i = f.onset; i < samples.size(); ++i) {
    const double e = samples[i] * samples[i];
    total += e;
    if (i - f.onset < at50) upTo50 += e;
    if (i - f.onset < at80) upTo80 += e;
  }
  f.d50 = 100 * upTo50 / total;
  const double late = total - upTo80;
  f.c80 = late > 0 ? 10 * std::log10(upTo80 / late) : std::numeric_limits<double>::infinity();
  return f;
}

}  // namespace velmora::hearing
