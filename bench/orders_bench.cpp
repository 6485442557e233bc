// Reflections of higher order: the whole chain with the map at 200 intervals at orders 1 to 4 in the
// L room, the 40-wall gear and the 72-wall circle, at one thread and at all; the beams traced, the
// peak heap of one computation, and the work estimate alone.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>

#include "bench/heap.h"
#include "bench/rooms.h"
#include "engine/engine.h"

namespace {

using velmora::engine::CaseInputs;

CaseInputs makeCase(const std::vector<double>& x, const std::vector<double>& y, double xso, double yso,
                    std::vector<double> xaud, std::vector<double> yaud, int nsurface) {
  CaseInputs in;
  in.walls = velmora::engine::wallsFromOutline(x, y);
  in.alpha.assign(in.walls.size(), 20.0);
  in.xso = xso;
  in.yso = yso;
  const auto grid = velmora::engine::audiencegrid(xaud, yaud, nsurface);
  in.xs = grid.xs;
  in.ys = grid.ys;
  in.noprogressbar = true;
  return in;
}

CaseInputs lRoom() {
  return makeCase({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 2, 2, {0, 10, 10, 0}, {0, 0, 10, 10}, 200);
}
CaseInputs gear40() {
  const auto [x, y] = velmora::bench::gearOutline(40, 10, 7);
  return makeCase(x, y, 2, 1, {-10, 10, 10, -10}, {-10, -10, 10, 10}, 200);
}
CaseInputs circle72() {
  const auto [x, y] = velmora::bench::circleOutline(72, 10, 10);
  return makeCase(x, y, 6, 1, {3, 17, 17, 3}, {-7, -7, 7, 7}, 200);
}

int threadsOf(const benchmark::State& state) {
  const int asked = static_cast<int>(state.range(1));
  return asked > 0 ? asked : tbb::info::default_concurrency();
}

double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Arguments: order, threads (0 for all).
void runOrders(benchmark::State& state, CaseInputs in) {
  in.order = static_cast<int>(state.range(0));
  const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                  static_cast<std::size_t>(threadsOf(state)));
  double peakMB = 0, beams = 0;
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    const std::size_t before = velmora::bench::heapLiveBytes();
    velmora::bench::resetHeapPeak();
    {
      const auto r = velmora::engine::computecase(in);
      beams = 0;
      for (std::size_t b : r.orders.beams) beams += static_cast<double>(b);
      benchmark::DoNotOptimize(r.values.PT.data.data());
    }
    peakMB =
        std::max(peakMB, static_cast<double>(velmora::bench::heapPeakBytes() - before) / (1024.0 * 1024.0));
  }
  state.counters["order"] = static_cast<double>(in.order);
  state.counters["beams"] = beams;
  state.counters["threads"] = threadsOf(state);
  state.counters["peak_MB"] = peakMB;
  state.counters["process_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}

void orderArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"order", "threads"});
  for (int order = 1; order <= 4; ++order)
    for (int threads : {1, 0}) b->Args({order, threads});
  b->UseRealTime()->Unit(benchmark::kMillisecond);
}

void BM_OrdersLRoom200(benchmark::State& state) {
  runOrders(state, lRoom());
}
BENCHMARK(BM_OrdersLRoom200)->Apply(orderArgs);

void BM_OrdersGear40At200(benchmark::State& state) {
  runOrders(state, gear40());
}
BENCHMARK(BM_OrdersGear40At200)->Apply(orderArgs);

void BM_OrdersCircle72At200(benchmark::State& state) {
  runOrders(state, circle72());
}
BENCHMARK(BM_OrdersCircle72At200)->Apply(orderArgs);

// What one live drag step computes at order 2 in the L room at 100 intervals.
void BM_OrdersLRoom100Order2(benchmark::State& state) {
  CaseInputs in =
      makeCase({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 2, 2, {0, 10, 10, 0}, {0, 0, 10, 10}, 100);
  in.order = 2;
  for (auto _ : state) {
    const auto r = velmora::engine::computecase(in);
    benchmark::DoNotOptimize(r.values.PT.data.data());
  }
}
BENCHMARK(BM_OrdersLRoom100Order2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The estimate a caller runs before starting: beams counted, no map.
void BM_OrdersEstimateCircle72Order6(benchmark::State& state) {
  CaseInputs in = circle72();
  in.order = 6;
  std::size_t total = 0;
  for (auto _ : state) {
    const auto e = velmora::engine::estimatebeams(in);
    total = e.total;
    benchmark::DoNotOptimize(total);
  }
  state.counters["beams"] = static_cast<double>(total);
}
BENCHMARK(BM_OrdersEstimateCircle72Order6)->Unit(benchmark::kMillisecond);

// The arrivals of every order up to 4 at one receptor (the polar diagram and the echogram): beams
// traced and their zones tested at one point, no map.
void BM_OrdersArrivalsCircle72Order4(benchmark::State& state) {
  CaseInputs in = circle72();
  in.order = 4;
  velmora::engine::Receptor receptor;
  receptor.xre = 12;
  receptor.yre = -3;
  std::size_t arrivals = 0;
  for (auto _ : state) {
    arrivals = velmora::engine::higherorderarrivals(in, receptor).size();
    benchmark::DoNotOptimize(arrivals);
  }
  state.counters["arrivals"] = static_cast<double>(arrivals);
}
BENCHMARK(BM_OrdersArrivalsCircle72Order4)->Unit(benchmark::kMillisecond);

}  // namespace
