// The C++ side of the Python module's call overhead (bench/python/overhead.py): the chain that
// velmora.compute_map runs (the audience grid from the corners, then engine::computecase) on a sample
// case, without the module. The C library's allocator, as the module has inside Python.
//
//   build/bench/velmora_chain_bench [--benchmark_filter=BM_SampleChain/200]

#include <benchmark/benchmark.h>

#include <string>

#include "document/acoustics.h"
#include "document/case_file.h"
#include "engine/chain.h"
#include "engine/surface.h"
#include "python/heap_settings.h"

namespace {

using velmora::document::CaseDescription;

const CaseDescription& sample(const std::string& name) {
  static const CaseDescription hall = velmora::document::readCaseFile(VELMORA_SAMPLES "/hall.ac", "hall.ac");
  static const CaseDescription lroom =
      velmora::document::readCaseFile(VELMORA_SAMPLES "/l-room.ac", "l-room.ac");
  return name == "hall" ? hall : lroom;
}

// The heap as the module sets it when Python imports it, before any computation.
const bool heapSet = (velmora::python::keepFreedMemoryForReuse(), true);

void chain(benchmark::State& state, const std::string& name) {
  const CaseDescription& d = sample(name);
  const int intervals = static_cast<int>(state.range(0));
  for (auto _ : state) {
    velmora::engine::CaseInputs in;
    in.walls = velmora::engine::wallsFromOutline(*d.xwall, *d.ywall);
    in.alpha = *d.alpha;
    in.xso = *d.xso;
    in.yso = *d.yso;
    in.curves = velmora::document::convexCurves(d.curves.value_or(velmora::platform::Matrix{}));
    velmora::engine::AudienceGrid g = velmora::engine::audiencegrid(*d.xaud, *d.yaud, intervals);
    in.xs = std::move(g.xs);
    in.ys = std::move(g.ys);
    velmora::engine::CaseResults r = velmora::engine::computecase(in);
    benchmark::DoNotOptimize(r.values.RT.data.data());
  }
}

void BM_SampleChain_hall(benchmark::State& state) {
  chain(state, "hall");
}
void BM_SampleChain_lroom(benchmark::State& state) {
  chain(state, "l-room");
}

}  // namespace

BENCHMARK(BM_SampleChain_hall)
    ->ArgName("intervals")
    ->Arg(20)
    ->Arg(200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleChain_lroom)
    ->ArgName("intervals")
    ->Arg(20)
    ->Arg(200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
