// The program's entry and composition root: it builds the one table of operations from each folder's
// register function, hands it to the dispatcher, and picks the front end.
//   velmora [words...]        the dispatcher with the command-line words, then the windows' events
//   velmora --automation      the JSON-lines protocol on standard input and output, no display
//   velmora batch CASE.ac ... one case recomputed and written to files, no window, no dialog
//   velmora --help, --version GNU-style answers; an unknown "--" option gets the usage, exit 2
// The windows need a display: without one the program says so in one line and ends (exit 1) where
// Qt would abort with advice about reinstalling.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QGuiApplication>

#include "app/batch.h"
#include "app/command_line.h"
#include "app/operation_table.h"
#include "app/report_pdf.h"
#include "app/start_up.h"
#include "document/tags.h"
#include "platform/automation/automation.h"
#include "platform/model/error.h"
#include "platform/qt/image_reader.h"
#include "platform/qt/print_service.h"
#include "platform/qt/qt_front_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"

namespace {

using velmora::platform::Handle;
using velmora::platform::Runtime;
namespace app = velmora::app;

constexpr int kFailure = app::kExitFailure;
constexpr int kBadUsage = app::kExitBadUsage;

std::string noDisplayLine(const std::string& detail) {
  return "velmora: the windows need a display" + detail +
         "; 'velmora batch' and 'velmora --automation' work without one (see velmora --help)";
}

bool isSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// True when Qt would look for an X11 or Wayland display and neither is named. A platform chosen
// otherwise (offscreen, vnc, a -platform or -display option) is left to Qt.
bool displayMissing(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a.starts_with("--")) a.remove_prefix(1);
    if (a == "-platform" || a.starts_with("-platform=") || a == "-display" || a.starts_with("-display=")) {
      return false;
    }
  }
  if (isSet("QT_QPA_PLATFORM")) {
    const std::string_view platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform.starts_with("xcb") && !platform.starts_with("wayland")) return false;
  }
  return !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY");
}

// While the application is made: a display named but out of reach (Qt's fatal "no platform plugin
// could be initialized") ends the program with the one line too, and Qt's notes about the platform
// plugins that led to it are dropped.
QtMessageHandler previousHandler = nullptr;
void startUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    const char* display = std::getenv("DISPLAY");
    std::cerr << noDisplayLine(display != nullptr && *display != '\0'
                                   ? std::string(" and ") + display + " cannot be opened"
                                   : std::string())
              << std::endl;
    std::_Exit(kFailure);
  }
  if (context.category != nullptr && std::string_view(context.category).starts_with("qt.qpa")) return;
  if (previousHandler != nullptr) previousHandler(type, context, text);
}

// The operation table, the windows, the print and image services and the dispatcher, wired to one
// runtime.
struct Program {
  explicit Program(Runtime& rt) : frontEnd(rt), printService(rt.graphics()) {
    app::registerAllOperations(ops);
    rt.setPrintService(&printService);
    velmora::platform::qt::installImageReader(rt);
    velmora::shell::installDispatcher(rt, ops);
  }
  velmora::document::Operations ops;
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
  automation.setMainWindowTag(velmora::tags::kMainWindow);
  automation.run();
  return 0;
}

int runBatch(int argc, char* argv[], const std::vector<std::string>& words) {
  if (std::find(words.begin(), words.end(), "--help") != words.end() ||
      std::find(words.begin(), words.end(), "-h") != words.end()) {
    std::cout << app::usageText();
    return 0;
  }
  app::BatchRequest request;
  try {
    request = app::parseBatchWords(words);
  } catch (const app::UsageError& e) {
    std::cerr << "velmora batch: " << e.what() << " (see velmora --help)\n";
    return kBadUsage;
  }
  // Forced, whatever the environment says: a batch run never shows a window. The print service
  // still needs Qt's painting and fonts, hence a GUI application without widgets.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the environment (no runtime folder, no fonts database) are not the run's
  // business: stderr carries the run's own line only.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) std::cerr << "velmora batch: " << text.toStdString() << "\n";
  });
  QGuiApplication qtApp(argc, argv);

  const auto started = std::chrono::steady_clock::now();
  app::BatchUi ui;
  Runtime rt(ui);
  velmora::document::Operations ops;
  app::registerAllOperations(ops);
  velmora::shell::installDispatcher(rt, ops);
  velmora::platform::qt::QtPrintService printService(rt.graphics());
  rt.setPrintService(&printService);
  app::BatchOutcome outcome;
  try {
    outcome = app::runBatch(rt, ops, request, app::openPdfReport);
  } catch (const std::exception& e) {
    // Messages about the case file name it already; the others get its name in front.
    const std::string message = e.what();
    const bool namesFile = message.rfind("file ", 0) == 0;
    std::cerr << "velmora batch: " << (namesFile ? "" : request.casePath + ": ") << message << "\n";
    return kFailure;
  }
  if (isatty(STDERR_FILENO)) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", took.count());
    std::cerr << "velmora batch: " << request.casePath << ": " << outcome.progress << ", done in " << seconds
              << " s\n";
  }
  if (!outcome.receptorLine.empty()) std::cout << outcome.receptorLine << "\n";
  return 0;
}

int runWindows(int argc, char* argv[]) {
  if (displayMissing(argc, argv)) {
    std::cerr << noDisplayLine("") << std::endl;
    return kFailure;
  }
  // Sizes follow the desktop's scale factor (Xft.dpi, the desktop's display scale, QT_SCALE_FACTOR),
  // fractional ones included, so the fixed-size main window and its labels grow on a large screen.
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  previousHandler = qInstallMessageHandler(startUpMessages);
  QApplication qtApp(argc, argv);  // takes Qt's own options out of argv
  qInstallMessageHandler(previousHandler);
  QApplication::setQuitOnLastWindowClosed(false);  // the model's figures decide when to end
  const app::Start start = app::chooseFrontEnd(std::vector<std::string>(argv + 1, argv + argc));

  velmora::platform::qt::QtUi ui;
  Runtime rt(ui);
  Program program(rt);
  auto& frontEnd = program.frontEnd;
  ui.setWindowsOpen([&rt] { return !rt.graphics().figures().empty(); });

  const std::optional<int> ended = app::runStartUpWords(rt, start.words);
  frontEnd.flush();
  if (ended) return *ended;
  frontEnd.setLastWindowClosed([] { QApplication::quit(); });
  return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  const app::Start start = app::chooseFrontEnd(std::vector<std::string>(argv + 1, argv + argc));
  switch (start.frontEnd) {
    case app::FrontEnd::Help:
      std::cout << app::usageText();
      return 0;
    case app::FrontEnd::Version:
      std::cout << app::versionText();
      return 0;
    case app::FrontEnd::BadOption:
      std::cerr << "velmora: " << start.problem << "\n" << app::usageText();
      return kBadUsage;
    case app::FrontEnd::Batch:
      return runBatch(argc, argv, start.words);
    case app::FrontEnd::Automation: {
      if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      QApplication qtApp(argc, argv);  // takes Qt's own options out of argv
      QApplication::setQuitOnLastWindowClosed(false);
      return runAutomation(std::vector<std::string>(argv + 2, argv + argc));
    }
    case app::FrontEnd::Window:
      break;
  }
  return runWindows(argc, argv);
}
