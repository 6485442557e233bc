#include "polar/arrivals_csv.h"

#include <cmath>
#include <string>

#include "document/window.h"
#include "platform/files/csv.h"
#include "platform/model/error.h"

namespace velmora::polar {

using platform::csvNumber;

namespace {
constexpr int kDecimals = 3;
}

std::string arrivalsCsv(const PolarInputs& in, const PolarLevels& L, const std::string& caseName) {
  const auto n = [](double v) { return csvNumber(v, kDecimals); };
  platform::CsvTable table;
  table.comment("case " + caseName + "; source (" + n(in.xso) + " " + n(in.yso) + ") m; receptor (" +
                n(in.xre) + " " + n(in.yre) + ") m; height offset " + n(in.Hr) + " m; total " + n(L.LTa) +
                " dB; direct " + n(L.Lso) + " dB; reflected " + n(L.LT) +
                " dB; level in dB re 20 uPa; delay in ms after the " +
                "direct sound; angle in degrees between source and image seen from the receptor" +
                (in.order > 1 ? "; reflection order " + std::to_string(in.order) : std::string()));
  table.row({"kind", "wall", "level", "delay", "angle"});
  // A blocked direct sound is still listed (the diagram draws it dashed) but not summed.
  table.row({L.isov != 0 ? "direct" : "blocked direct", "", n(L.Lso), "0", "0"});
  for (std::size_t i = 0; i < L.Lwall.size(); ++i) {
    if (std::isnan(L.Lwall[i])) continue;
    table.row({"reflection", std::to_string(i + 1), n(L.Lwall[i]), n(i < L.dela.size() ? L.dela[i] : NAN),
               n(i < L.ang.size() ? L.ang[i] : NAN)});
  }
  // Above order 1: one row per path of orders 2..N, its walls first wall first.
  for (const engine::PathArrival& a : L.higher) {
    std::string walls;
    for (int w : a.walls) walls += (walls.empty() ? "" : " ") + std::to_string(w);
    table.row(
        {"reflection order " + std::to_string(a.order), walls, n(a.levelDb), n(a.delayMs), n(a.angleDeg)});
  }
  return table.text();
}

std::string arrivalsCsv(const Runtime& rt, Handle mainWindow) {
  const PolarInputs in = readPolarInputs(rt, mainWindow);
  const PolarComputation c = computePolarLevels(in);
  if (c.refusal) throw Error(*c.refusal);
  return arrivalsCsv(in, c.levels, document::readCase(rt, mainWindow).name);
}

}  // namespace velmora::polar
