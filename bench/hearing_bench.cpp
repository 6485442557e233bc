// What "listen" costs: building a 2 s impulse response at 48 kHz from a few hundred arrivals with
// band-dependent absorption (goal: under 50 ms), and hearing 5 s of dry sound through it (goal: under
// 100 ms), from 48 kHz and from 44.1 kHz (resampled first).

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "hearing/convolution.h"
#include "hearing/decay.h"
#include "hearing/impulse_response.h"

namespace {

using velmora::hearing::BandArrival;
using velmora::hearing::ResponseInputs;

// 300 arrivals over 120 ms after a direct sound at 10 ms, the bands absorbing more towards the top;
// 1.27 s at 125 Hz makes the response 0.13 + 1.5 x 1.27 = 2.0 s long.
ResponseInputs twoSecondRoom() {
  ResponseInputs in;
  in.directSeconds = 0.01;
  in.reverberationSeconds = {1.27, 1.2, 1.1, 1.0, 0.9, 0.7};
  in.volume = 600;
  in.arrivals.push_back({true, 0, 0.01, {1, 1, 1, 1, 1, 1}});
  for (int k = 1; k <= 300; ++k) {
    BandArrival a;
    a.order = 1 + k / 100;
    a.seconds = 0.01 + 0.0004 * k;
    for (std::size_t b = 0; b < velmora::engine::kBandCount; ++b)
      a.energy[b] = 0.01 * std::exp(-velmora::hearing::kSixtyDecibels * (a.seconds - 0.01) / in.reverberationSeconds[b]);
    in.arrivals.push_back(a);
  }
  return in;
}

void BM_ResponseTwoSeconds(benchmark::State& state) {
  const ResponseInputs in = twoSecondRoom();
  std::size_t samples = 0;
  for (auto _ : state) {
    const auto ir = velmora::hearing::impulseResponse(in);
    samples = ir.samples.size();
    benchmark::DoNotOptimize(ir.samples.data());
  }
  state.counters["seconds"] = static_cast<double>(samples) / velmora::hearing::kSampleRate;
}
BENCHMARK(BM_ResponseTwoSeconds)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The response and the figures the echogram shows from it, as each redraw of the window computes them.
void BM_ResponseAndDecayFigures(benchmark::State& state) {
  const ResponseInputs in = twoSecondRoom();
  for (auto _ : state) {
    const auto ir = velmora::hearing::impulseResponse(in);
    benchmark::DoNotOptimize(velmora::hearing::decayFigures(ir.samples, ir.sampleRate).t30);
  }
}
BENCHMARK(BM_ResponseAndDecayFigures)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The longest response (12 s, a room that hardly absorbs, bands differing) with its figures: the
// most an echogram redraw spends on the response.
void BM_ResponseLongest(benchmark::State& state) {
  ResponseInputs in = twoSecondRoom();
  in.reverberationSeconds = {30, 25, 20, 15, 12, 9};
  for (auto _ : state) {
    const auto ir = velmora::hearing::impulseResponse(in);
    benchmark::DoNotOptimize(velmora::hearing::decayFigures(ir.samples, ir.sampleRate).t30);
  }
}
BENCHMARK(BM_ResponseLongest)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_AuraliseFiveSeconds(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const auto ir = velmora::hearing::impulseResponse(twoSecondRoom());
  std::vector<double> dry(static_cast<std::size_t>(5 * rate));
  for (std::size_t i = 0; i < dry.size(); ++i)
    dry[i] = 0.3 * std::sin(2 * std::numbers::pi * 220 * static_cast<double>(i) / rate) * ((i / 4800) % 2);
  for (auto _ : state) {
    const auto heard = velmora::hearing::auralise(dry, rate, ir);
    benchmark::DoNotOptimize(heard.data());
  }
}
BENCHMARK(BM_AuraliseFiveSeconds)->Arg(48000)->Arg(44100)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
