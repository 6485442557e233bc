#include "polar/echogram_response.h"

#include <cmath>

namespace velmora::polar {

hearing::ResponseInputs responseInputs(const PolarInputs& in, const EchogramFigures& figures,
                                       const document::RoomAcoustics& room) {
  hearing::ResponseInputs r;
  const double rso = std::max(1.0, std::hypot(in.xre - in.xso, in.yre - in.yso, in.Hr));
  r.directSeconds = rso / kSoundSpeed;
  r.reverberationSeconds = room.reverberation.eyring;
  r.volume = room.reverberation.volume;
  for (const Arrival& a : figures.arrivals) {
    if (a.blocked) continue;
    hearing::BandArrival heard;
    heard.direct = a.direct;
    heard.order = a.order;
    heard.seconds = r.directSeconds + a.delayMs / 1000;
    heard.energy.fill(a.energy);
    const std::vector<int> walls = a.walls.empty() && !a.direct ? std::vector<int>{a.wall} : a.walls;
    for (int w : walls) {
      const auto k = static_cast<std::size_t>(w - 1);
      if (w < 1 || k >= room.wallBands.size() || k >= in.alpha.size()) continue;
      const double kept = 1 - in.alpha[k] / 100;
      for (std::size_t b = 0; b < engine::kBandCount; ++b)
        heard.energy[b] = kept > 0 ? heard.energy[b] * (1 - room.wallBands[k][b]) / kept : 0;
    }
    r.arrivals.push_back(heard);
  }
  return r;
}

EchogramResponse echogramResponse(const Runtime& rt, Handle mainWindow) {
  EchogramResponse out;
  const PolarInputs in = readPolarInputs(rt, mainWindow);
  const PolarComputation computed = computePolarLevels(in);
  if (computed.refusal) {
    out.refusal = computed.refusal;
    return out;
  }
  const EchogramFigures figures = echogramFigures(computed.levels, in.order);
  out.response = hearing::impulseResponse(responseInputs(in, figures, document::roomAcoustics(rt, mainWindow)));
  out.decay = hearing::decayFigures(out.response.samples, out.response.sampleRate, 0.001, out.response.depthDb);
  return out;
}

}  // namespace velmora::polar
