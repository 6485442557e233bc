// The program's entry: `velmora [words...]` calls the dispatcher with the command-line words and then
// serves window events while a window is open; `velmora --automation` serves the JSON-lines protocol
// on standard input and output instead, with scripted dialogs and windows drawn off screen.

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>

#include "platform/automation.h"
#include "platform/error.h"
#include "platform/qt/image_reader.h"
#include "platform/qt/print_service.h"
#include "platform/qt/qt_front_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/runtime.h"
#include "platform/scripted_ui.h"
#include "shell/dispatcher.h"

namespace {

using velmora::Error;
using velmora::platform::Handle;
using velmora::platform::Runtime;
using velmora::platform::Value;

// Calls the dispatcher; an error is written to the console and the windows stay as they are.
void dispatchWords(Runtime& rt, const std::vector<std::string>& words) {
  std::vector<Value> args;
  for (const std::string& w : words) args.emplace_back(w);
  try {
    rt.dispatch(args);
  } catch (const Error& e) {
    rt.console(e.what());
  } catch (const std::exception& e) {
    rt.console(std::string("internal error: ") + e.what());
  }
}

// The windows, the print and image services and the dispatcher, wired to one runtime.
struct Program {
  explicit Program(Runtime& rt) : frontEnd(rt), printService(rt.graphics()) {
    rt.setPrintService(&printService);
    velmora::platform::qt::installImageReader(rt);
    velmora::shell::installDispatcher(rt);
  }
  velmora::platform::qt::QtFrontEnd frontEnd;
  velmora::platform::qt::QtPrintService printService;
};

int runAutomation(const std::vector<std::string>& words) {
  velmora::platform::ScriptedUi ui;
  ui.setEcho(true);
  Runtime rt(ui);
  Program program(rt);
  auto& frontEnd = program.frontEnd;
  if (!words.empty()) rt.console("automation: command-line words are ignored; send a dispatch request");

  velmora::platform::Automation automation(rt, ui, std::cin, std::cout);
  automation.setRenderHook([&](Handle fig, const std::string& path) { frontEnd.saveWindowImage(fig, path); });
  automation.setCloseHook([&](Handle fig) { frontEnd.close(fig); });
  automation.run();
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool automation = argc > 1 && std::string_view(argv[1]) == "--automation";
  if (automation && std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  QApplication app(argc, argv);                    // takes Qt's own options out of argv
  QApplication::setQuitOnLastWindowClosed(false);  // the model's figures decide when to end
  std::vector<std::string> words(argv + 1, argv + argc);
  if (automation) {
    words.erase(words.begin());
    return runAutomation(words);
  }

  velmora::platform::qt::QtUi ui;
  Runtime rt(ui);
  Program program(rt);
  auto& frontEnd = program.frontEnd;
  ui.setWindowsOpen([&rt] { return !rt.graphics().figures().empty(); });

  dispatchWords(rt, words);
  frontEnd.flush();
  if (rt.graphics().figures().empty()) return 0;
  frontEnd.setLastWindowClosed([] { QApplication::quit(); });
  return app.exec();
}
