#pragma once
// A batch run: one case file loaded into a main window that is never shown, recomputed, and written
// out as tables and a print file. Dialogs are errors here: nobody is there to answer them.

#include <string>

#include "app/command_line.h"
#include "app/report.h"
#include "document/operations.h"
#include "platform/runtime.h"
#include "platform/ui.h"

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

// Runs the request on a runtime whose dispatcher routes to `ops`. Raises an Error with a one-line
// message on any failure; files are written only once everything they hold was computed. Returns a
// short summary for the progress line ("map 21x21, 4 walls"). A report is drawn on documents from
// `openReport`.
std::string runBatch(platform::Runtime& rt, const document::Operations& ops, const BatchRequest& request,
                     const ReportDocumentFactory& openReport = {});

}  // namespace velmora::app
