#pragma once
// A batch run: one case file loaded into a main window that is never shown, recomputed, and written
// out as tables and a print file. Dialogs are errors here: nobody is there to answer them.

#include <string>

#include "app/command_line.h"
#include "app/report.h"
#include "document/operations.h"
#include "platform/model/runtime.h"
#include "platform/model/ui.h"

namespace velmora::app {

// Answers no dialog: any dialog or message box that an operation would open ends the run with an
// Error naming it. Progress bars and console lines pass silently.
class BatchUi : public platform::Ui {
 public:
  std::optional<std::vector<std::string>> input(const platform::InputDialog& d) override;
  std::optional<std::string> question(const platform::QuestionDialog& d) override;
  void message(platform::MessageKind kind, const std::string& text, const std::string& title) override;
  std::optional<platform::FileChoice> openFile(const platform::FileDialog& d) override;
  std::optional<platform::FileChoice> saveFile(const platform::FileDialog& d) override;
  void progress(const std::string&, double) override {}
  void closeProgress() override {}
  bool waitUntil(const std::function<bool()>&) override { return false; }
  void pause(double) override {}
  void beep() override {}
  void console(const std::string& line) override { consoleLines.push_back(line); }
  std::vector<std::string> consoleLines;
};

// What a finished run has to say: a short summary for the progress line ("4 walls, map 21x21"), and,
// for a run asked to write nothing, one line on what the receptor hears (for standard output).
struct BatchOutcome {
  std::string progress;
  std::string receptorLine;
};

// Runs the request on a runtime whose dispatcher routes to `ops`. Raises an Error with a one-line
// message on any failure. Every output is checked before anything is computed, then written to a
// temporary file of its own; all take their names together at the end, or none does. A report is
// drawn on documents from `openReport`.
BatchOutcome runBatch(platform::Runtime& rt, const document::Operations& ops, const BatchRequest& request,
                      const ReportDocumentFactory& openReport = {});

}  // namespace velmora::app
