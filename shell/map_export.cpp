#include "shell/map_export.h"

#include <string_view>
#include <vector>

#include "document/tags.h"
#include "document/window.h"
#include "engine/energy.h"
#include "platform/files/csv.h"
#include "platform/model/error.h"
#include "platform/model/ui.h"
#include "shell/case_files.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::csvNumber;

namespace {

constexpr int kCoordinateDecimals = 6;  // the geometry's own tolerance, 1e-6 m
constexpr int kLevelDecimals = 3;

std::optional<double> levelAt(double energy, double lw) {
  return engine::energylevel(energy, lw);
}

double valueAt(const std::optional<engine::Matrix>& m, std::size_t i) {
  return m && i < m->data.size() ? m->data[i] : 0.0;
}

}  // namespace

std::string audienceMapCsv(const platform::Runtime& rt, platform::Handle fig) {
  const CaseRecord record = readCase(rt, fig);
  const auto map = findInWindow(rt, fig, tags::kAudienceMap);
  if (!map || !record.RT || !record.PT || !record.Pso) throw Error("the audience map is not computed");
  const platform::Matrix xs = rt.graphics().at(*map).matrix("xdata");
  const platform::Matrix ys = rt.graphics().at(*map).matrix("ydata");
  const std::size_t points = xs.data.size();
  const std::size_t walls = wallsInWallOrder(rt, fig).size();

  // Grid-shaped columns, filled from the per-wall lists of reached points (1-based indices).
  std::vector<bool> inside(points, true);
  if (record.ina) {
    for (std::size_t i : *record.ina) {
      if (i >= 1 && i <= points) inside[i - 1] = false;
    }
  }
  std::vector<std::vector<std::optional<double>>> wallLevel(walls,
                                                            std::vector<std::optional<double>>(points));
  for (std::size_t k = 0; k < walls && record.inRW && record.Pwall; ++k) {
    if (k >= record.inRW->size() || k >= record.Pwall->size()) break;
    const auto& reached = (*record.inRW)[k];
    const auto& energy = (*record.Pwall)[k];
    for (std::size_t j = 0; j < reached.size() && j < energy.size(); ++j) {
      const std::size_t i = reached[j];
      if (i >= 1 && i <= points) wallLevel[k][i - 1] = levelAt(energy[j], record.Lw);
    }
  }

  platform::CsvTable table;
  table.comment("case " + record.name + "; x y in m; levels in dB re 20 uPa for a source of " +
                csvNumber(record.Lw, kLevelDecimals) + " dB; empty: nothing received or outside the room");
  std::vector<std::string> header{"x", "y", "inside", "reflections", "direct", "total"};
  for (std::size_t k = 1; k <= walls; ++k) header.push_back("wall" + std::to_string(k));
  table.row(header);

  std::vector<std::string> row;
  for (std::size_t i = 0; i < points; ++i) {
    row.assign(header.size(), std::string());
    row[0] = csvNumber(xs.data[i], kCoordinateDecimals);
    row[1] = csvNumber(i < ys.data.size() ? ys.data[i] : 0.0, kCoordinateDecimals);
    row[2] = inside[i] ? "1" : "0";
    if (inside[i]) {
      const double direct = valueAt(record.Pso, i);
      row[3] = csvNumber(valueAt(record.RT, i), 0);
      row[4] = csvNumber(levelAt(direct, record.Lw), kLevelDecimals);
      row[5] = csvNumber(levelAt(valueAt(record.PT, i) + direct, record.Lw), kLevelDecimals);
      for (std::size_t k = 0; k < walls; ++k) row[6 + k] = csvNumber(wallLevel[k][i], kLevelDecimals);
    }
    table.row(row);
  }
  return table.text();
}

void exportmap(platform::Runtime& rt, const std::optional<std::string>& file) {
  const platform::Handle fig = currentMainWindow(rt);
  std::string path;
  if (file) {
    path = *file;
  } else {
    const auto choice = rt.ui().saveFile({"*.csv", "Export audience map", ""});
    if (!choice) return;
    path = choice->path();
    if (splitFileName(choice->file).extension.empty()) path += ".csv";
  }
  // Built before the file is opened: a window without a map leaves no file behind.
  const std::string text = audienceMapCsv(rt, fig);
  try {
    platform::writeTextFile(path, text);
  } catch (const Error& e) {
    // Picked in the dialog: the window's user sees the reason, not only the console.
    if (!file) rt.ui().message(platform::MessageKind::Error, e.what(), "Export audience map");
    throw;
  }
}

void registerMapExportOperations(Operations& ops) {
  ops.add(makeOperation("exportmap", 1, 0, [](platform::Runtime& rt, const std::vector<Value>& args) {
    std::optional<std::string> file;
    if (!args.empty()) {
      if (!args[0].isText()) throw Error("exportmap: the file name must be a text");
      file = args[0].text();
    }
    exportmap(rt, file);
    return std::vector<Value>{};
  }));
}

}  // namespace velmora::shell
