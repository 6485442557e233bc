#include "app/batch.h"

#include <cmath>
#include <filesystem>

#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "engine/geometry.h"
#include "hearing/convolution.h"
#include "platform/files/audio_file.h"
#include "platform/files/csv.h"
#include "platform/model/error.h"
#include "platform/files/matfile.h"
#include "platform/model/numbers.h"
#include "platform/files/output_file.h"
#include "polar/arrivals_csv.h"
#include "polar/echogram_response.h"
#include "polar/polar.h"
#include "document/case_record.h"
#include "document/window.h"
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

// What the receptor hears, in one line: "hall.ac: receptor (8 3) m: direct 80.1 dB, reflected
// 78.2 dB, total 82.3 dB, 4 reflections".
std::string receptorSummary(const platform::Runtime& rt, platform::Handle fig, const std::string& casePath) {
  const polar::PolarInputs in = polar::readPolarInputs(rt, fig);
  const polar::PolarComputation c = polar::computePolarLevels(in);
  if (c.refusal) throw Error(*c.refusal);
  const polar::PolarLevels& L = c.levels;
  const auto dB = [](double level) { return polar::shown(level, 0.1) + " dB"; };
  std::size_t reflections = L.higher.size();  // the paths of orders 2..N, above order 1
  for (double level : L.Lwall) reflections += std::isnan(level) ? 0 : 1;
  return casePath + ": receptor (" + platform::formatNumber(in.xre) + " " + platform::formatNumber(in.yre) +
         ") m: direct " + (L.isov != 0 ? dB(L.Lso) : "blocked") + ", reflected " +
         (reflections > 0 ? dB(L.LT) : "none") + ", total " + dB(L.LTa) + ", " + std::to_string(reflections) +
         (reflections == 1 ? " reflection" : " reflections");
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

BatchOutcome runBatch(platform::Runtime& rt, const document::Operations& ops, const BatchRequest& request,
                      const ReportDocumentFactory& openReport) {
  document::CaseDescription prop = readCase(request.casePath);
  prop.name = shell::splitFileName(request.casePath).base;
  if (request.intervals) prop.Nsurface = *request.intervals;
  if (request.order) prop.order = *request.order;

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

  // Every output is checked before anything is computed: a folder that is missing or a file that may
  // not be written ends the run at once.
  for (const auto* output :
       {&request.csv, &request.polar, &request.print, &request.report, &request.ir, &request.auraliseOut}) {
    if (*output) platform::checkOutputFile(**output);
  }
  // The dry sound is read before anything is computed too.
  std::optional<platform::Sound> dry;
  if (request.auraliseDry) dry = platform::readSound(*request.auraliseDry);

  ops.call(rt, "init", {Value(kBatchZone)});
  ops.call(rt, "update", {prop.toValue()});
  const platform::Handle fig = document::currentMainWindow(rt);

  // Each file is written to a temporary file of its own; all take their names together at the end,
  // or none does when anything fails on the way.
  BatchOutcome outcome;
  {
    platform::AllOutputs outputs;
    if (request.csv) platform::writeTextFile(*request.csv, shell::audienceMapCsv(rt, fig));
    if (request.polar) platform::writeTextFile(*request.polar, polar::arrivalsCsv(rt, fig));
    if (request.report) {
      platform::OutputFile reportFile(*request.report);
      reportFile.write(makeReport(rt, ops, gatherReport(rt, ops, fig, todaysDate()), openReport));
      reportFile.commit();
    }
    if (request.ir || request.auraliseOut) {
      const polar::EchogramResponse heard = polar::echogramResponse(rt, fig);
      if (heard.refusal) throw Error(*heard.refusal);
      const hearing::ImpulseResponse& ir = heard.response;
      if (request.ir) platform::writeWav(*request.ir, hearing::normalised(ir.samples), ir.sampleRate);
      if (request.auraliseOut)
        platform::writeWav(*request.auraliseOut, hearing::auralise(dry->mono(), dry->sampleRate, ir), ir.sampleRate);
    }
    if (request.print) {
      const shell::FileNameParts parts = shell::splitFileName(*request.print);
      ops.call(rt, "printcase",
               {Value(parts.folder.empty() ? std::string("./") : parts.folder),
                Value(parts.base + parts.extension)});
    }
    outputs.commit();
  }
  if (!request.csv && !request.polar && !request.print && !request.report && !request.ir && !request.auraliseOut)
    outcome.receptorLine = receptorSummary(rt, fig, request.casePath);

  const auto map = document::findInWindow(rt, fig, tags::kAudienceMap);
  std::string summary = std::to_string(document::wallsInWallOrder(rt, fig).size()) + " walls";
  if (map) {
    const platform::Matrix xs = rt.graphics().at(*map).matrix("xdata");
    summary += ", map " + std::to_string(xs.rows) + "x" + std::to_string(xs.cols);
  }
  outcome.progress = summary;
  return outcome;
}

}  // namespace velmora::app
