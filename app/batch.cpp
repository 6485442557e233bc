#include "app/batch.h"

#include <filesystem>

#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/geometry.h"
#include "platform/csv.h"
#include "platform/error.h"
#include "platform/matfile.h"
#include "platform/numbers.h"
#include "platform/output_file.h"
#include "polar/arrivals_csv.h"
#include "shell/case_files.h"
#include "shell/map_export.h"

namespace velmora::app {

using platform::Value;

namespace {

// The zone of the window the case is loaded into, as a case file loaded at start-up gets.
constexpr double kBatchZone = 20;

[[noreturn]] void dialogWouldOpen(const std::string& kind, const std::string& title) {
  throw Error("a " + kind + " would open" + (title.empty() ? std::string() : " (\"" + title + "\")") +
              ", and a batch run answers none");
}

bool isRegularFile(const std::string& name) {
  std::error_code ec;
  return std::filesystem::is_regular_file(name, ec);
}

// The case description of the file, with every problem raised before any window exists.
document::CaseDescription readCase(const std::string& path) {
  if (!isRegularFile(path)) throw Error("file " + path + " not found ...");
  const shell::FileNameParts parts = shell::splitFileName(path);
  if (!platform::equalsIgnoreCase(parts.extension, shell::kCaseExtension))
    throw Error("file " + path + " is not a velmoracopy file ...");
  Value v;
  try {
    v = platform::readMatVariable(path, std::string(shell::kCaseVariable));
  } catch (const Error& e) {
    const std::string message = e.what();
    if (message.rfind("file ", 0) == 0) throw;
    throw Error("file " + path + ": " + message);
  }
  try {
    return document::CaseDescription::fromValue(v);
  } catch (const Error& e) {
    throw Error("file " + path + ": " + e.what());
  }
}

void requireInside(const engine::Walls& walls, const std::array<double, 2>& p, const char* option) {
  if (engine::checksource(p[0], p[1], walls) == 0) {
    throw Error(std::string(option) + " " + platform::formatNumber(p[0]) + "," +
                platform::formatNumber(p[1]) + " lies outside the room");
  }
}

}  // namespace

std::optional<std::vector<std::string>> BatchUi::input(const platform::InputDialog& d) {
  dialogWouldOpen("dialog", d.title);
}
std::optional<std::string> BatchUi::question(const platform::QuestionDialog& d) {
  dialogWouldOpen("question", d.title);
}
void BatchUi::message(platform::MessageKind, const std::string& text, const std::string& title) {
  // The box's text is what the operation had to say: it becomes the run's message.
  throw Error((title.empty() ? std::string() : title + ": ") + text);
}
std::optional<platform::FileChoice> BatchUi::openFile(const platform::FileDialog& d) {
  dialogWouldOpen("file chooser", d.title);
}
std::optional<platform::FileChoice> BatchUi::saveFile(const platform::FileDialog& d) {
  dialogWouldOpen("file chooser", d.title);
}

std::string runBatch(platform::Runtime& rt, const document::Operations& ops, const BatchRequest& request,
                     const ReportDocumentFactory& openReport) {
  document::CaseDescription prop = readCase(request.casePath);
  prop.name = shell::splitFileName(request.casePath).base;
  if (request.intervals) prop.Nsurface = *request.intervals;

  const engine::Walls walls = [&] {
    if (prop.xwall && prop.ywall) return engine::wallsFromOutline(*prop.xwall, *prop.ywall);
    const document::DefaultRoom room = document::defaultRoom(kBatchZone);
    return engine::wallsFromOutline(room.xwall, room.ywall);
  }();
  if (request.source) {
    requireInside(walls, *request.source, "--source");
    prop.xso = (*request.source)[0];
    prop.yso = (*request.source)[1];
  }
  if (request.receptor) {
    requireInside(walls, *request.receptor, "--receptor");
    prop.xre = (*request.receptor)[0];
    prop.yre = (*request.receptor)[1];
  }

  ops.call(rt, "init", {Value(kBatchZone)});
  ops.call(rt, "update", {prop.toValue()});
  const platform::Handle fig = document::currentMainWindow(rt);

  // Both tables are computed before anything is written: a refusal leaves no file behind.
  std::optional<std::string> mapText, arrivalsText;
  if (request.csv) mapText = shell::audienceMapCsv(rt, fig);
  if (request.polar) arrivalsText = polar::arrivalsCsv(rt, fig);
  // The report's file is opened first, so an unwritable name stops the run before any file is written,
  // and takes its name only at the end.
  std::optional<platform::OutputFile> reportFile;
  if (request.report) {
    reportFile.emplace(*request.report);
    reportFile->write(makeReport(rt, ops, gatherReport(rt, ops, fig, todaysDate()), openReport));
  }
  if (request.print) {
    const shell::FileNameParts parts = shell::splitFileName(*request.print);
    ops.call(rt, "printcase",
             {Value(parts.folder.empty() ? std::string("./") : parts.folder),
              Value(parts.base + parts.extension)});
  }
  if (mapText) platform::writeTextFile(*request.csv, *mapText);
  if (arrivalsText) platform::writeTextFile(*request.polar, *arrivalsText);
  if (reportFile) reportFile->commit();

  const auto map = document::findInWindow(rt, fig, tags::kAudienceMap);
  std::string summary = std::to_string(document::wallsInWallOrder(rt, fig).size()) + " walls";
  if (map) {
    const platform::Matrix xs = rt.graphics().at(*map).matrix("xdata");
    summary += ", map " + std::to_string(xs.rows) + "x" + std::to_string(xs.cols);
  }
  return summary;
}

}  // namespace velmora::app
