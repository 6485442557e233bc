// The echo risk overlay after each action: the points at risk and their outline over maps of
// growing precision in a 40 m by 6 m hall.

#include <benchmark/benchmark.h>

#include "engine/echo_risk.h"
#include "engine/engine.h"

namespace {

using namespace velmora::engine;

struct Hall {
  EchoRiskInputs in;
};

Hall makeHall(int n) {
  const double x[4] = {0, 40, 40, 0}, y[4] = {0, 0, 6, 6};
  CaseInputs c;
  c.walls = wallsFromOutline(x, y);
  c.alpha.assign(4, 0.0);
  c.xso = 1;
  c.yso = 3;
  const double xa[4] = {0.5, 39.5, 39.5, 0.5}, ya[4] = {0.5, 0.5, 5.5, 5.5};
  const AudienceGrid grid = audiencegrid(xa, ya, n);
  c.xs = grid.xs;
  c.ys = grid.ys;
  const CaseResults r = computecase(c);
  Hall h;
  h.in.xs = grid.xs;
  h.in.ys = grid.ys;
  h.in.xso = c.xso;
  h.in.yso = c.yso;
  h.in.Pso = r.values.Pso.data;
  for (const ImageRecord& im : r.images.images) h.in.images.push_back({im.xi, im.yi});
  h.in.inRW = r.values.inRW;
  h.in.Pwall = r.values.Pwall;
  return h;
}

void BM_EchoRiskPointsAndOutline(benchmark::State& state) {
  const Hall hall = makeHall(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto flags = echoRiskPoints(hall.in, {});
    const Outline o = echoRiskOutline(hall.in.xs, hall.in.ys, flags);
    benchmark::DoNotOptimize(o.x.data());
  }
  state.counters["points"] = static_cast<double>(hall.in.xs.size());
}
BENCHMARK(BM_EchoRiskPointsAndOutline)->Arg(20)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

}  // namespace
