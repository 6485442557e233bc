#include "platform/model/runtime.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/model/callbacks.h"
#include "platform/model/error.h"
#include "platform/automation/scripted_ui.h"

namespace velmora::platform {
namespace {

TEST(CallbackTexts, EveryFormTheProgramUses) {
  using K = CallbackStatement::Kind;
  auto d = parseCallback("velmoracopy('splitwall')");
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].kind, K::Dispatch);
  EXPECT_EQ(d[0].args, std::vector<std::string>{"splitwall"});

  auto s = parseCallback("set(gcf,'windowbuttonmotionfcn','velmoracopy(''movewallpoint'')')");
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].kind, K::Set);
  EXPECT_EQ(s[0].target, CallbackTarget::Gcf);
  EXPECT_EQ(s[0].prop, "windowbuttonmotionfcn");
  EXPECT_EQ(s[0].args.at(0), "velmoracopy('movewallpoint')");

  auto del = parseCallback("delete(gcbo)");
  ASSERT_EQ(del.size(), 1u);
  EXPECT_EQ(del[0].kind, K::Delete);
  EXPECT_EQ(del[0].target, CallbackTarget::Gcbo);

  auto seq = parseCallback("guidata(gcf,get(gcbo,'value'));delete(gcbo)");
  ASSERT_EQ(seq.size(), 2u);
  EXPECT_EQ(seq[0].kind, K::GuidataFromValue);
  EXPECT_EQ(seq[0].prop, "value");
  EXPECT_EQ(seq[1].kind, K::Delete);

  EXPECT_TRUE(parseCallback("").empty());
  EXPECT_EQ(parseCallback(" velmoracopy ( 'a' , 'b' ) ; ")[0].args, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(parseCallback("velmoracopy('it''s')")[0].args.at(0), "it's");
}

TEST(CallbackTexts, AnythingElseIsRefusedNotEvaluated) {
  for (const char* bad : {"system('rm -rf /')", "eval('x')", "velmoracopy(1+1)", "velmoracopy('a'",
                          "set(gcf,'a')", "delete(gca)", "guidata(gcf,3)", "velmoracopy('a') x", "x = 3",
                          "velmoracopy('unterminated)", "set(0,'name','x')"}) {
    try {
      parseCallback(bad);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), std::string("unrecognised callback: ") + bad);
    }
  }
}

// A runtime whose dispatcher records what it was asked.
struct Harness {
  ScriptedUi ui;
  Runtime rt{ui};
  std::vector<std::vector<std::string>> calls;
  std::function<void(const std::vector<std::string>&)> onCall;
  Handle fig, ax, marker;

  Harness() {
    rt.setDispatcher([this](Runtime&, const std::vector<Value>& args) {
      std::vector<std::string> texts;
      for (const Value& a : args) texts.push_back(a.text());
      calls.push_back(texts);
      if (onCall) onCall(texts);
    });
    fig = rt.graphics().create(ObjectType::Figure, kRoot);
    ax = rt.graphics().create(ObjectType::Axes, fig);
    marker = rt.graphics().create(ObjectType::Line, ax);
    rt.graphics().setText(marker, "buttondownfcn",
                          "set(gcf,'windowbuttonmotionfcn','velmoracopy(''movewallpoint'')')");
  }
};

TEST(Runtime, DragStateMachineLivesInTheWindowCallbacks) {
  Harness h;
  h.onCall = [&](const std::vector<std::string>& args) {
    // The motion verb sets the release callback, as the drag operations do.
    if (args.at(0) == "movewallpoint")
      h.rt.graphics().setText(h.fig, "windowbuttonupfcn", "velmoracopy('refreshmwp')");
    if (args.at(0) == "refreshmwp") {
      h.rt.graphics().setText(h.fig, "windowbuttonmotionfcn", "");
      h.rt.graphics().setText(h.fig, "windowbuttonupfcn", "");
    }
  };
  h.rt.motion(h.fig, 1, 1);  // idle motion runs nothing
  EXPECT_TRUE(h.calls.empty());
  h.rt.press(h.marker, 3, -7, "normal");
  EXPECT_EQ(h.rt.graphics().at(h.fig).text("windowbuttonmotionfcn"), "velmoracopy('movewallpoint')");
  EXPECT_EQ(h.rt.graphics().currentObject(h.fig), h.marker);
  EXPECT_EQ(h.rt.graphics().at(h.fig).text("selectiontype"), "normal");
  h.rt.motion(h.fig, 4.25, -6.5);
  const Matrix& cp = h.rt.graphics().at(h.ax).matrix("currentpoint");
  EXPECT_EQ(cp(0, 0), 4.25);
  EXPECT_EQ(cp(0, 1), -6.5);
  h.rt.release(h.fig, 4.25, -6.5);
  h.rt.motion(h.fig, 5, 5);
  EXPECT_EQ(h.calls, (std::vector<std::vector<std::string>>{{"movewallpoint"}, {"refreshmwp"}}));
}

TEST(Runtime, EventsArrivingDuringACallbackWaitTheirTurn) {
  Harness h;
  const Handle button = h.rt.graphics().create(ObjectType::UiControl, h.fig);
  h.rt.graphics().setText(button, "callback", "velmoracopy('second')");
  std::vector<std::string> order;
  h.onCall = [&](const std::vector<std::string>& args) {
    order.push_back("start " + args[0]);
    if (args[0] == "first") {
      h.rt.click(button);  // arrives while "first" runs
      h.rt.motion(h.fig, 1, 1);
      h.rt.motion(h.fig, 2, 2);  // merged with the previous motion
    }
    order.push_back("end " + args[0]);
  };
  h.rt.graphics().setText(h.fig, "windowbuttonmotionfcn", "velmoracopy('move')");
  h.rt.post([&] { h.rt.runCallback(h.fig, "velmoracopy('first')"); });
  EXPECT_EQ(order, (std::vector<std::string>{"start first", "end first", "start second", "end second",
                                             "start move", "end move"}));
  EXPECT_EQ(h.rt.graphics().at(h.ax).matrix("currentpoint")(0, 0), 2);
}

TEST(Runtime, ControlsRunTheirCallbacksOnlyWhenEnabled) {
  Harness h;
  auto& g = h.rt.graphics();
  const Handle list = g.create(ObjectType::UiControl, h.fig);
  g.setText(list, "style", "listbox");
  g.setText(list, "callback", "velmoracopy('select')");
  h.rt.click(list, Value(3.0));
  EXPECT_EQ(g.at(list).number("value"), 3);
  EXPECT_EQ(h.calls.size(), 1u);
  for (const char* state : {"off", "inactive"}) {
    g.setText(list, "enable", state);
    h.rt.click(list);
  }
  EXPECT_EQ(h.calls.size(), 1u);
  EXPECT_EQ(h.rt.callbackObject(), kNoHandle);  // restored after the callback
}

TEST(Runtime, ErrorsGoToTheConsoleAndLeaveTheWindowsOpen) {
  Harness h;
  h.rt.setDispatcher([](Runtime&, const std::vector<Value>&) { throw Error("unknown argument"); });
  h.rt.runCallback(h.fig, "velmoracopy('nonsense')");
  h.rt.runCallback(h.fig, "rm -rf");
  EXPECT_EQ(h.ui.consoleLines(),
            (std::vector<std::string>{"unknown argument", "unrecognised callback: rm -rf"}));
  EXPECT_TRUE(h.rt.graphics().exists(h.fig));
}

TEST(Runtime, ListClickHandsItsValueToTheWindowAndDeletesItself) {
  Harness h;
  auto& g = h.rt.graphics();
  const Handle list = g.create(ObjectType::UiControl, h.fig);
  g.setText(list, "style", "listbox");
  g.setText(list, "callback", "guidata(gcf,get(gcbo,'value'));delete(gcbo)");
  h.rt.click(list, Value(2.0));
  EXPECT_FALSE(g.exists(list));
  EXPECT_EQ(g.at(h.fig).guiData(), Value(2.0));
}

TEST(Runtime, WaitforRunsOtherCallbacksUntilTheObjectIsDeleted) {
  Harness h;
  auto& g = h.rt.graphics();
  const Handle hidden = g.create(ObjectType::UiControl, h.fig);
  const Handle ok = g.create(ObjectType::UiControl, h.fig);
  g.setText(ok, "callback", "delete(gcbo)");
  // The "user" presses the button while the dialog waits.
  int pumps = 0;
  h.ui.setPump([&] {
    ++pumps;
    h.rt.graphics().setText(ok, "callback", "velmoracopy('proceed')");
    h.onCall = [&](const std::vector<std::string>&) { g.remove(hidden); };
    h.rt.click(ok);
    return true;
  });
  bool done = false;
  h.rt.post([&] {
    h.rt.waitfor(hidden);
    done = true;
  });
  EXPECT_TRUE(done);
  EXPECT_EQ(pumps, 1);
  EXPECT_FALSE(g.exists(hidden));
}

TEST(Runtime, WaitsWithNothingToPumpAreCancelled) {
  Harness h;
  const Handle hidden = h.rt.graphics().create(ObjectType::UiControl, h.fig);
  h.rt.waitfor(hidden);  // returns instead of hanging
  EXPECT_FALSE(h.rt.pointerInput().has_value());
  EXPECT_EQ(h.ui.consoleLines().back(), "automation: wait cancelled, no more input");
}

TEST(Runtime, PointerInputTakesTheNextPressOrKey) {
  Harness h;
  h.ui.setPump([&] {
    h.rt.pressFigure(h.fig, 2.5, -1, 3);
    return true;
  });
  h.rt.graphics().setText(h.fig, "windowbuttondownfcn", "velmoracopy('should not run')");
  auto p = h.rt.pointerInput();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->x, 2.5);
  EXPECT_EQ(p->y, -1);
  EXPECT_EQ(p->button, 3);
  EXPECT_TRUE(h.calls.empty());
  h.ui.setPump([&] {
    h.rt.key(h.fig, "e");
    return true;
  });
  p = h.rt.pointerInput();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->button, 0);
  EXPECT_EQ(p->key, "e");
}

TEST(ScriptedUi, AnswersInOrderAndCancelsWhenNoneFits) {
  ScriptedUi ui;
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
  ui.push(ScriptedAnswer::button("Yes"));
  ui.push(ScriptedAnswer::chosenFile("/tmp/cases/room.ac"));
  ui.push(ScriptedAnswer::inputs(std::nullopt));

  InputDialog zone{{"Enter drawing zone dimension in meter ([4 640]):"}, "Zone definition", 1, {"20"}};
  EXPECT_EQ(ui.input(zone), std::vector<std::string>{"20"});
  // A question answered by the wrong kind of answer is cancelled and the answer waits.
  EXPECT_FALSE(ui.input(zone).has_value());
  EXPECT_EQ(
      ui.consoleLines().back(),
      "automation: no answer for input dialog 'Zone definition' (the next answer is a question answer)");
  EXPECT_EQ(ui.question({"Save?", "Save", {"Yes", "No"}, "Yes"}), "Yes");
  auto f = ui.openFile({"*.ac", "Load case", ""});
  ASSERT_TRUE(f);
  EXPECT_EQ(f->folder, "/tmp/cases/");
  EXPECT_EQ(f->file, "room.ac");
  EXPECT_FALSE(ui.input(zone).has_value());  // an explicit cancel
  EXPECT_FALSE(ui.input(zone).has_value());  // the queue is empty
  EXPECT_EQ(ui.consoleLines().back(), "automation: no answer for input dialog 'Zone definition'");
  EXPECT_FALSE(ui.saveFile({"*.ac", "Save case", ""}).has_value());
  EXPECT_EQ(ui.consoleLines().back(), "automation: no answer for file chooser 'Save case'");
  ui.message(MessageKind::Error, "bad", "Error");
  EXPECT_EQ(ui.shown().back().kind, "error");
}

TEST(ScriptedUi, MissingFieldsKeepTheirDefaults) {
  ScriptedUi ui;
  ui.push(ScriptedAnswer::inputs(std::vector<std::string>{"1"}));
  auto a = ui.input({{"x", "y", "z"}, "Source", 1, {"0", "2", "3"}});
  EXPECT_EQ(a, (std::vector<std::string>{"1", "2", "3"}));
}

TEST(Runtime, WorkPostedFromOtherThreadsRunsOnTheEventThreadInTurn) {
  ScriptedUi ui;
  std::vector<std::string> order;
  std::shared_ptr<PostBox> box;
  int wakes = 0;
  {
    Runtime rt(ui);
    box = rt.postBox();
    box->setWake([&] { ++wakes; });
    const auto caller = std::this_thread::get_id();
    std::thread worker([&] {
      box->post([&] {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        order.push_back("posted");
      });
    });
    worker.join();
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(order.empty());  // nothing runs before the event thread asks
    // Asked from inside a callback, the posted work waits until the callback has finished.
    rt.post([&] {
      rt.runPosted();
      order.push_back("callback");
    });
    EXPECT_EQ(order, (std::vector<std::string>{"callback", "posted"}));
  }
  // A worker that finishes after its runtime is gone posts into a closed box: dropped, no wake.
  bool ran = false;
  std::thread late([&] { box->post([&] { ran = true; }); });
  late.join();
  EXPECT_TRUE(box->take().empty());
  EXPECT_FALSE(ran);
  EXPECT_EQ(wakes, 1);
}

}  // namespace
}  // namespace velmora::platform
