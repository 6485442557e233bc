// The whole main window: a display rebuild of a large room through the dispatcher (drawing, menus,
// computation chain), measured against the engine chain alone on the same geometry; and one step of
// a live vertex drag.

#include <benchmark/benchmark.h>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "bench/rooms.h"
#include "document/case_record.h"
#include "document/window.h"
#include "engine/engine.h"
#include "platform/qt/painter_canvas.h"
#include "platform/qt/qt_front_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/render/render.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"

namespace {

using velmora::document::CaseDescription;
using velmora::platform::Value;

// A main window opened on a 20 m zone, every operation reached through the dispatcher.
struct Window {
  Window() {
    velmora::app::registerAllOperations(ops);
    velmora::shell::installDispatcher(rt, ops);
    ui.push(velmora::platform::ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
    velmora::shell::velmoracopy(rt, ops, {});
  }
  velmora::platform::ScriptedUi ui;
  velmora::platform::Runtime rt{ui};
  velmora::document::Operations ops;
};

// The widgets' application, made once: fonts for the painted texts, windows for the on-screen runs.
void qtApplication() {
  static int argc = 1;
  static char name[] = "velmora_window_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

CaseDescription circleRoom(int walls, int nsurface) {
  CaseDescription d;
  auto [x, y] = velmora::bench::circleOutline(walls, 10, 10);
  d.xwall = std::move(x);
  d.ywall = std::move(y);
  d.alpha = std::vector<double>(static_cast<std::size_t>(walls), 20.0);
  d.xaud = {3, 17, 17, 3};
  d.yaud = {-7, -7, 7, 7};
  d.xso = 6;
  d.yso = 1;
  d.Nsurface = nsurface;
  return d;
}

CaseDescription room(std::vector<double> x, std::vector<double> y, double xso, double yso,
                     std::vector<double> xaud, std::vector<double> yaud, int nsurface) {
  CaseDescription d;
  d.alpha = std::vector<double>(x.size(), 20.0);
  d.xwall = std::move(x);
  d.ywall = std::move(y);
  d.xaud = std::move(xaud);
  d.yaud = std::move(yaud);
  d.xso = xso;
  d.yso = yso;
  d.Nsurface = nsurface;
  return d;
}

// A gear of 20 teeth (40 walls, 20 reflex vertices), the source off centre.
CaseDescription gearRoom(int nsurface) {
  auto [x, y] = velmora::bench::gearOutline(40, 10, 7);
  return room(x, y, 2, 1, {-10, 10, 10, -10}, {-10, -10, 10, 10}, nsurface);
}

velmora::engine::CaseInputs engineInputs(const CaseDescription& d) {
  velmora::engine::CaseInputs in;
  in.walls = velmora::engine::wallsFromOutline(*d.xwall, *d.ywall);
  in.alpha = *d.alpha;
  in.xso = *d.xso;
  in.yso = *d.yso;
  const auto grid = velmora::engine::audiencegrid(*d.xaud, *d.yaud, *d.Nsurface);
  in.xs = grid.xs;
  in.ys = grid.ys;
  return in;
}

// The engine's share: the chain alone on the same room, for the ratio; on one thread and on all.
void engineChain(benchmark::State& state, const CaseDescription& d) {
  const auto in = engineInputs(d);
  const auto threads = state.range(0) > 0 ? static_cast<std::size_t>(state.range(0))
                                          : static_cast<std::size_t>(tbb::info::default_concurrency());
  const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
  for (auto _ : state) {
    const auto r = velmora::engine::computecase(in);
    benchmark::DoNotOptimize(r.values.PT.data.data());
  }
}

void BM_Circle360At50Engine(benchmark::State& state) {
  engineChain(state, circleRoom(360, 50));
}
BENCHMARK(BM_Circle360At50Engine)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Gear40At200Engine(benchmark::State& state) {
  engineChain(state, gearRoom(200));
}
BENCHMARK(BM_Gear40At200Engine)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// `update` of the window with the whole room: walls, audience area, map, source and the chain.
void update(benchmark::State& state, const CaseDescription& d) {
  Window w;
  const Value prop = d.toValue();
  for (auto _ : state) {
    velmora::shell::velmoracopy(w.rt, w.ops, {Value("update"), prop});
  }
  state.counters["objects"] = static_cast<double>(
      w.rt.graphics().findIf(velmora::platform::kRoot, [](const auto&) { return true; }).size());
}

void BM_Circle360At50Update(benchmark::State& state) {
  update(state, circleRoom(360, 50));
}
BENCHMARK(BM_Circle360At50Update)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gear40At200Update(benchmark::State& state) {
  update(state, gearRoom(200));
}
BENCHMARK(BM_Gear40At200Update)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same in the program as its user has it: the window on screen (the offscreen platform), the
// Qt dialogs and progress bar, and the events after the rebuild, painting included.
// The window repaints only what changed: the same room given again repaints nothing; given in turn with
// its source moved (`moved`), the map, the images and their radius lines are repainted every time.
void updateOnScreen(benchmark::State& state, const CaseDescription& d,
                    const std::optional<CaseDescription>& moved = std::nullopt) {
  qtApplication();
  Window w;
  velmora::platform::qt::QtUi qtUi;
  w.rt.setUi(qtUi);
  velmora::platform::qt::QtFrontEnd frontEnd(w.rt);
  QCoreApplication::processEvents();
  const Value props[2] = {d.toValue(), (moved ? *moved : d).toValue()};
  std::size_t i = 0;
  for (auto _ : state) {
    velmora::shell::velmoracopy(w.rt, w.ops, {Value("update"), props[i++ % 2]});
    QCoreApplication::processEvents();
  }
}

CaseDescription sourceMoved(CaseDescription d) {
  d.xso = *d.xso + 0.5;
  return d;
}

void BM_Circle360At50UpdateOnScreen(benchmark::State& state) {
  updateOnScreen(state, circleRoom(360, 50));
}
BENCHMARK(BM_Circle360At50UpdateOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gear40At200UpdateOnScreen(benchmark::State& state) {
  updateOnScreen(state, gearRoom(200));
}
BENCHMARK(BM_Gear40At200UpdateOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Circle360At50MoveSourceOnScreen(benchmark::State& state) {
  updateOnScreen(state, circleRoom(360, 50), sourceMoved(circleRoom(360, 50)));
}
BENCHMARK(BM_Circle360At50MoveSourceOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gear40At200MoveSourceOnScreen(benchmark::State& state) {
  updateOnScreen(state, gearRoom(200), sourceMoved(gearRoom(200)));
}
BENCHMARK(BM_Gear40At200MoveSourceOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

// One step of a live vertex drag: the motion (placement, snapshot) and the worker's chain, until the
// result shows in the window (images, record, map colours). Wall-clock time: the chain runs on the
// worker thread.
void liveDragStep(benchmark::State& state, const CaseDescription& d, std::size_t vertex,
                  std::array<std::array<double, 2>, 2> positions) {
  Window w;
  velmora::shell::velmoracopy(w.rt, w.ops, {Value("update"), d.toValue()});
  const auto fig = velmora::document::currentMainWindow(w.rt);
  w.rt.click(velmora::document::objectInWindow(w.rt, fig, "acousnapbutton"), Value(0.0));
  const auto marker = velmora::document::objectsInCreationOrder(w.rt, fig, "acouwallvertex").at(vertex - 1);
  const auto start = velmora::document::firstPoint(w.rt, marker);
  w.rt.press(marker, start.x, start.y);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& p = positions[i++ % 2];
    w.rt.motion(fig, p[0], p[1]);
    w.ops.call(w.rt, "settlelivemap", {});
  }
  const auto record = velmora::document::readCase(w.rt, fig);
  state.counters["points"] = record.RT ? static_cast<double>(record.RT->data.size()) : 0.0;
}

void BM_LiveDragStepLRoom100(benchmark::State& state) {
  liveDragStep(state,
               room({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 2, 2, {0, 10, 10, 0}, {0, 0, 10, 10}, 100), 5,
               {{{5.5, 4.5}, {4.5, 5.5}}});
}
BENCHMARK(BM_LiveDragStepLRoom100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same at reflection order 2: the live map counts the paths of two walls too (target < 33 ms).
void BM_LiveDragStepLRoom100Order2(benchmark::State& state) {
  CaseDescription d =
      room({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 2, 2, {0, 10, 10, 0}, {0, 0, 10, 10}, 100);
  d.order = 2;
  liveDragStep(state, d, 5, {{{5.5, 4.5}, {4.5, 5.5}}});
  state.counters["order"] = 2;
}
BENCHMARK(BM_LiveDragStepLRoom100Order2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LiveDragStepGear40At100(benchmark::State& state) {
  auto [x, y] = velmora::bench::gearOutline(40, 10, 7);
  liveDragStep(state, room(x, y, 2, 1, {-10, 10, 10, -10}, {-10, -10, 10, 10}, 100), 1,
               {{{9.5, 0.3}, {9.7, -0.3}}});
}
BENCHMARK(BM_LiveDragStepGear40At100)->Unit(benchmark::kMillisecond)->UseRealTime();

// Painting the window as the screen shows it, map included: what each change of a drag costs on top
// of its computation. Maps whose cells span many colours are the costly ones.
void paintWindow(benchmark::State& state, const CaseDescription& d) {
  qtApplication();
  Window w;
  velmora::shell::velmoracopy(w.rt, w.ops, {Value("update"), d.toValue()});
  const auto fig = velmora::document::currentMainWindow(w.rt);
  const auto position = w.rt.graphics().at(fig).numbers("position");
  QImage image(static_cast<int>(position[2]), static_cast<int>(position[3]),
               QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&image);
    velmora::platform::qt::PainterCanvas canvas(painter, image.width(), image.height());
    canvas.setEveryMapByPixel(true);  // as the window paints
    velmora::platform::renderFigure(w.rt.graphics(), fig, canvas);
  }
}

void BM_PaintLRoom100(benchmark::State& state) {
  paintWindow(state, room({0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 2, 2, {0.5, 9.5, 9.5, 0.5},
                          {0.5, 0.5, 9.5, 9.5}, 100));
}
BENCHMARK(BM_PaintLRoom100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintCircle360At200(benchmark::State& state) {
  paintWindow(state, circleRoom(360, 200));
}
BENCHMARK(BM_PaintCircle360At200)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintCircle360At50(benchmark::State& state) {
  paintWindow(state, circleRoom(360, 50));
}
BENCHMARK(BM_PaintCircle360At50)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintGear40At200(benchmark::State& state) {
  paintWindow(state, gearRoom(200));
}
BENCHMARK(BM_PaintGear40At200)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintCircle40At400(benchmark::State& state) {
  paintWindow(state, circleRoom(40, 400));
}
BENCHMARK(BM_PaintCircle40At400)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
