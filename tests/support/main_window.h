// The fixture shared by the tests that drive a real main window: a runtime with scripted dialogs,
// every operation registered in the test's own table (filled as the program fills its own) and
// routed through the dispatcher, and the small helpers those tests reach for (zone answer, objects by
// tag, menu items by label, dialog answers, console lines, a print service that only records).

#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/case_record.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/graphics.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"

namespace velmora::test_support {

// Keeps every input dialog shown, with its defaults, and answers it from the script.
class DialogRecordingUi : public platform::ScriptedUi {
 public:
  std::optional<std::vector<std::string>> input(const platform::InputDialog& d) override {
    dialogs.push_back(d);
    return ScriptedUi::input(d);
  }
  std::vector<platform::InputDialog> dialogs;
};

// Writes nothing: keeps the window, device and path of every job; `fail` makes it refuse.
class RecordingPrinter : public platform::PrintService {
 public:
  struct Job {
    platform::Handle figure;
    std::string device, path;
  };
  void print(platform::Handle figure, const std::string& device, const std::string& path) override {
    if (fail) throw Error("cannot write " + path);
    jobs.push_back({figure, device, path});
  }
  std::vector<Job> jobs;
  bool fail = false;
};

template <class UiType = platform::ScriptedUi>
class MainWindowFixture : public ::testing::Test {
 protected:
  MainWindowFixture() {
    app::registerAllOperations(ops);
    shell::installDispatcher(rt, ops);
  }

  // Runs "init" with one answer to the zone question (nothing: cancel it).
  void start(std::optional<std::string> zone) {
    answer(std::move(zone));
    shell::velmoracopy(rt, ops, {});
  }
  // Opens a main window on a zone of 20 m; the window operations now find.
  platform::Handle openMainWindow() {
    start("20");
    return document::currentMainWindow(rt);
  }
  // Undo snapshots read a stand-in description named "temporarysave", not the temporary case file.
  void snapshotsFromStandIn() {
    ops.add({"getcurrentprop", 0, 1, 1, [](platform::Runtime&, const std::vector<platform::Value>&) {
               document::CaseDescription d;
               d.name = "temporarysave";
               return std::vector<platform::Value>{d.toValue()};
             }});
  }
  // Queues one answer (nothing: cancel) for the next one-line input dialog.
  void answer(std::optional<std::string> typed) {
    if (typed) {
      ui.push(platform::ScriptedAnswer::inputs(std::vector<std::string>{*typed}));
    } else {
      ui.push(platform::ScriptedAnswer::inputs(std::nullopt));
    }
  }

  // One call through the dispatcher, as a control or a script makes it.
  void dispatch(std::vector<platform::Value> args) { shell::velmoracopy(rt, ops, std::move(args)); }
  // The message of the error a dispatch raises; empty when it raised none.
  std::string failure(std::vector<platform::Value> args) {
    try {
      dispatch(std::move(args));
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }
  // Shows a 10 by 8 m room with these wall absorptions (%) in the current main window.
  void showShoebox(std::vector<double> alpha) {
    document::CaseDescription d;
    d.xwall = {0, 10, 10, 0};
    d.ywall = {0, 0, 8, 8};
    d.alpha = std::move(alpha);
    dispatch({platform::Value("update"), d.toValue()});
  }

  platform::Handle obj(const char* tag) { return document::objectInWindow(rt, fig, tag); }
  std::string text(platform::Handle h, const char* prop) const { return rt.graphics().at(h).text(prop); }
  std::vector<double> nums(platform::Handle h, const char* prop) const {
    return rt.graphics().at(h).numbers(prop);
  }
  // The item of an object's context menu with this label.
  platform::Handle contextItem(platform::Handle owner, const std::string& label) {
    auto& g = rt.graphics();
    for (platform::Handle i : document::menuItemsInOrder(g, g.get(owner, "uicontextmenu").object())) {
      if (g.at(i).text("label") == label) return i;
    }
    ADD_FAILURE() << "no item " << label;
    return platform::kNoHandle;
  }
  // Every menu item of the main window with this label, newest first.
  std::vector<platform::Handle> windowItems(const std::string& label) const {
    return rt.graphics().findIf(fig, [&](const platform::GraphicsObject& o) {
      return o.type() == platform::ObjectType::UiMenu && o.text("label") == label;
    });
  }
  // The dialogs and boxes of one kind ("error", "message", ...) shown so far, as "title: text".
  std::vector<std::string> shownOf(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& s : ui.shown()) {
      if (s.kind == kind) out.push_back(s.title + ": " + s.text);
    }
    return out;
  }

  UiType ui;
  platform::Runtime rt{ui};
  document::Operations ops;
  platform::Handle fig = platform::kNoHandle;
};

}  // namespace velmora::test_support
