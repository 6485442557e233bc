// The full computation chain after a change of geometry (convexity, images, audience map) on rooms
// of growing size, and the peak heap memory of the largest case.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <new>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>

#include "bench/heap.h"
#include "bench/rooms.h"
#include "engine/engine.h"

namespace {

// Heap accounting: every allocation carries its size in a header, so the live and peak byte counts
// are exact for this process.
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size) {
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(raw) = size;
  const std::size_t now = liveBytes.fetch_add(size) + size;
  std::size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(raw) + kHeader;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  void* raw = static_cast<char*>(p) - kHeader;
  liveBytes.fetch_sub(*static_cast<std::size_t*>(raw));
  std::free(raw);
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete[](void* p) noexcept {
  release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  release(p);
}

namespace velmora::bench {
std::size_t heapLiveBytes() {
  return liveBytes.load();
}
std::size_t heapPeakBytes() {
  return peakBytes.load();
}
void resetHeapPeak() {
  peakBytes.store(liveBytes.load());
}
}  // namespace velmora::bench

namespace {

using velmora::engine::CaseInputs;
using velmora::engine::computecase;

CaseInputs makeCase(std::vector<double> x, std::vector<double> y, double xso, double yso,
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

CaseInputs circleCase(int walls, int nsurface) {
  auto [x, y] = velmora::bench::circleOutline(walls, 10, 10);
  return makeCase(x, y, 6, 1, {3, 17, 17, 3}, {-7, -7, 7, 7}, nsurface);
}

// A gear of 20 teeth: 40 walls, 20 reflex vertices; the source off centre hides some walls.
CaseInputs gearCase(int nsurface) {
  auto [x, y] = velmora::bench::gearOutline(40, 10, 7);
  return makeCase(x, y, 2, 1, {-10, 10, 10, -10}, {-10, -10, 10, 10}, nsurface);
}

// The benchmark's argument is the thread count, 0 for all the machine has.
int threadsOf(const benchmark::State& state) {
  const int asked = static_cast<int>(state.range(0));
  return asked > 0 ? asked : tbb::info::default_concurrency();
}

// CPU time of the whole process (all threads), in ms. On a shared machine the real time tells little
// about the threads; the CPU column (the calling thread's CPU time, which carries the serial part)
// against this total shows how the work was split.
double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

void runChain(benchmark::State& state, const CaseInputs& in) {
  const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                  static_cast<std::size_t>(threadsOf(state)));
  std::size_t reached = 0;
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    const auto r = computecase(in);
    reached = 0;
    for (const auto& l : r.values.inRW) reached += l.size();
    benchmark::DoNotOptimize(r.values.PT.data.data());
  }
  state.counters["points"] = static_cast<double>(in.xs.size());
  state.counters["walls"] = static_cast<double>(in.walls.size());
  state.counters["reflections"] = static_cast<double>(reached);
  state.counters["threads"] = threadsOf(state);
  state.counters["process_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}

// The same recomputed into the results of the previous round, as a live map does after each move:
// their buffers are filled again instead of fresh memory being taken (and faulted in) every time.
void runChainReusing(benchmark::State& state, const CaseInputs& in) {
  const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                  static_cast<std::size_t>(threadsOf(state)));
  velmora::engine::CaseResults r;
  std::size_t reached = 0;
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    computecase(in, r);
    benchmark::DoNotOptimize(r.values.PT.data.data());
  }
  for (const auto& l : r.values.inRW) reached += l.size();
  state.counters["points"] = static_cast<double>(in.xs.size());
  state.counters["walls"] = static_cast<double>(in.walls.size());
  state.counters["reflections"] = static_cast<double>(reached);
  state.counters["threads"] = threadsOf(state);
  state.counters["process_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}

void BM_DefaultRoom20(benchmark::State& state) {
  runChain(state, makeCase({3, 17, 17, 3}, {-7, -7, 7, 7}, 3.5, 0, {5, 15, 15, 5}, {-5, -5, 5, 5}, 20));
}
BENCHMARK(BM_DefaultRoom20)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_LRoom100(benchmark::State& state) {
  runChain(state,
           makeCase({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 2, 2, {0, 10, 10, 0}, {0, 0, 10, 10}, 100));
}
BENCHMARK(BM_LRoom100)->Arg(0)->Unit(benchmark::kMillisecond);

// A 6 m L room (few walls, one reflex vertex) with the audience over its whole bounding square, so
// a quarter of the grid lies outside the room.
void BM_LRoom6At200(benchmark::State& state) {
  runChain(state,
           makeCase({0, 6, 6, 3, 3, 0}, {0, 0, 6, 6, 3, 3}, 1.2, 1.5, {0, 6, 6, 0}, {0, 0, 6, 6}, 200));
}
BENCHMARK(BM_LRoom6At200)->ArgName("threads")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Circle72At200(benchmark::State& state) {
  runChain(state, circleCase(72, 200));
}
BENCHMARK(BM_Circle72At200)->ArgName("threads")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LRoom6At200Reusing(benchmark::State& state) {
  runChainReusing(
      state, makeCase({0, 6, 6, 3, 3, 0}, {0, 0, 6, 6, 3, 3}, 1.2, 1.5, {0, 6, 6, 0}, {0, 0, 6, 6}, 200));
}
BENCHMARK(BM_LRoom6At200Reusing)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Circle72At200Reusing(benchmark::State& state) {
  runChainReusing(state, circleCase(72, 200));
}
BENCHMARK(BM_Circle72At200Reusing)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_NonConvex40At400(benchmark::State& state) {
  runChain(state, gearCase(400));
}
BENCHMARK(BM_NonConvex40At400)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Exact zones in a large room that is not convex: a gear of 180 teeth, 360 walls.
void BM_Gear360At200(benchmark::State& state) {
  auto [x, y] = velmora::bench::gearOutline(360, 10, 9);
  runChain(state, makeCase(x, y, 3, 1, {-10, 10, 10, -10}, {-10, -10, 10, 10}, 200));
}
BENCHMARK(BM_Gear360At200)->ArgName("threads")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Circle360At400PeakMemory(benchmark::State& state) {
  const CaseInputs in = circleCase(360, 400);
  const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                  static_cast<std::size_t>(threadsOf(state)));
  double peakMB = 0;
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    const std::size_t before = liveBytes.load();
    peakBytes.store(before);
    {
      const auto r = computecase(in);
      benchmark::DoNotOptimize(r.values.PT.data.data());
    }
    peakMB = std::max(peakMB, static_cast<double>(peakBytes.load() - before) / (1024.0 * 1024.0));
  }
  state.counters["peak_MB"] = peakMB;
  state.counters["threads"] = threadsOf(state);
  state.counters["process_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Circle360At400PeakMemory)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Wall visibility alone in a 360-wall gear (180 teeth) with the source off centre: the shadow masks
// and the exact seen part of every wall facing the source, O(N^2).
void BM_WallVisibilityGear360(benchmark::State& state) {
  const auto [x, y] = velmora::bench::gearOutline(360, 10, 9);
  const auto walls = velmora::engine::wallsFromOutline(x, y);
  const auto ang = velmora::engine::checkconvexity(x, y, 1).ang;
  std::size_t hidden = 0;
  for (auto _ : state) {
    const auto v = velmora::engine::checkwallvisibility(walls, 3, 1, ang, true);
    hidden = static_cast<std::size_t>(std::count(v.iwv.begin(), v.iwv.end(), 0));
    benchmark::DoNotOptimize(v.iwv.data());
  }
  state.counters["hidden"] = static_cast<double>(hidden);
}
BENCHMARK(BM_WallVisibilityGear360)->Unit(benchmark::kMicrosecond);

}  // namespace
