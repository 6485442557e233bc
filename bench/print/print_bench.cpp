// Time to write a main-window-like figure (a 41 x 41 map in nine colour bands, colour bar, walls,
// status text) as each vector or high-resolution file.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <filesystem>
#include <string>

#include "platform/model/colormaps.h"
#include "platform/model/graphics.h"
#include "platform/qt/print_service.h"

namespace {

using namespace velmora::platform;

struct Figure {
  Graphics g;
  Handle fig = kNoHandle;
};

Figure& figure() {
  static int argc = 1;
  static char name[] = "velmora_print_bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);  // fonts for the texts
  static Figure s;
  static const bool built = [] {
    Graphics& g = s.g;
    s.fig = g.create(ObjectType::Figure, kRoot);
    g.setRow(s.fig, "position", {0, 0, 640, 560});
    g.set(s.fig, "colormap", jetColormap(9));
    const Handle axes = g.create(ObjectType::Axes, s.fig);
    g.setRow(axes, "position", {0.05, 0.05, 0.8, 0.9});
    g.setRow(axes, "xlim", {0, 20});
    g.setRow(axes, "ylim", {-10, 10});
    g.setRow(axes, "dataaspectratio", {1, 1, 1});
    g.setRow(axes, "clim", {70, 82});
    constexpr std::size_t n = 41;
    Matrix x = Matrix::zeros(n, n), y = Matrix::zeros(n, n), z = Matrix::zeros(n, n), c = Matrix::zeros(n, n);
    for (std::size_t r = 0; r < n; ++r) {
      for (std::size_t k = 0; k < n; ++k) {
        x(r, k) = 4 + 12.0 * k / (n - 1);
        y(r, k) = -6 + 12.0 * r / (n - 1);
        c(r, k) = 82 - 10 * std::log10(1 + std::hypot(x(r, k) - 3, y(r, k)));
      }
    }
    const Handle map = g.create(ObjectType::Surface, axes);
    g.set(map, "xdata", x);
    g.set(map, "ydata", y);
    g.set(map, "zdata", z);
    g.set(map, "cdata", c);
    g.setText(map, "facecolor", "interp");
    g.setText(map, "edgecolor", "none");
    const Handle walls = g.create(ObjectType::Line, axes);
    g.setRow(walls, "xdata", {2, 18, 18, 2, 2});
    g.setRow(walls, "ydata", {-8, -8, 8, 8, -8});
    g.setText(walls, "color", "k");
    g.setNumber(walls, "linewidth", 2);
    const Handle title = g.create(ObjectType::Text, axes);
    g.setText(title, "string", "case: ... - sound level (dB)");
    g.setText(title, "units", "normalized");
    g.setRow(title, "position", {0.5, 1.01});
    return true;
  }();
  (void)built;
  return s;
}

std::string outPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_WritePdf(benchmark::State& state) {
  Figure& f = figure();
  for (auto _ : state) qt::writePdf(f.g, f.fig, outPath("velmora_bench.pdf"));
}
BENCHMARK(BM_WritePdf)->Unit(benchmark::kMillisecond);

void BM_WriteSvg(benchmark::State& state) {
  Figure& f = figure();
  for (auto _ : state) qt::writeSvg(f.g, f.fig, outPath("velmora_bench.svg"));
}
BENCHMARK(BM_WriteSvg)->Unit(benchmark::kMillisecond);

void BM_WritePng300(benchmark::State& state) {
  Figure& f = figure();
  for (auto _ : state) qt::writePng(f.g, f.fig, outPath("velmora_bench.png"), 300);
}
BENCHMARK(BM_WritePng300)->Unit(benchmark::kMillisecond);

void BM_WriteHatchedHpgl(benchmark::State& state) {
  Figure& f = figure();
  qt::QtPrintService service(f.g);
  for (auto _ : state) service.print(f.fig, "-dhpgl", outPath("velmora_bench.hpg"));
}
BENCHMARK(BM_WriteHatchedHpgl)->Unit(benchmark::kMillisecond);

}  // namespace
