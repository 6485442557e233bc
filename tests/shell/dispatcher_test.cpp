#include "shell/dispatcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/case_record.h"
#include "document/operations.h"
#include "document/window.h"
#include "platform/automation/scripted_ui.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/runtime.h"
#include "shell/window_operations.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::Record;
using platform::Value;

std::string describe(const Value& v) {
  if (v.isText()) return v.text();
  if (v.isScalar()) return platform::formatNumber(v.scalar());
  if (v.isRecord()) return "record";
  return v.kindName();
}

// A runtime with scripted dialogs and a table of fake operations that log their calls.
class DispatcherTest : public ::testing::Test {
 protected:
  using Body = std::function<std::vector<Value>(const std::vector<Value>&)>;

  void SetUp() override {
    installDispatcher(rt, ops);
    standIns();
  }

  // Silent stand-ins for the operations that verbs call after their own (follow-up steps, the undo
  // snapshot, the linked views), as the program's table holds them: a step the table lacks is a
  // fault. A verb's own operations stay unregistered until a test fakes them, so that the verb is
  // unknown without them; a test fakes the operations it watches in their place.
  void standIns() {
    std::set<std::string> needs;
    for (const Verb& v : verbTable()) needs.insert(v.needs.begin(), v.needs.end());
    std::set<std::string> steps = {"refreshlinkedviews", "resetcurves", "getcurrentprop"};
    for (const Verb& v : verbTable())
      for (const VerbStep& step : v.steps)
        if (step.kind == VerbStep::Kind::Call && !needs.count(step.op)) steps.insert(step.op);
    for (const std::string& name : steps) quiet(name);
  }
  void quiet(const std::string& name) {
    ops.add(
        {name, 3, 1, 1, [](platform::Runtime&, const std::vector<Value>&) { return std::vector<Value>{}; }});
  }

  void fake(const std::string& name, Body body = {}, int inputs = 1, int outputs = 1) {
    ops.add(
        {name, inputs, outputs, 1, [this, name, body](platform::Runtime&, const std::vector<Value>& args) {
           std::string entry = name;
           if (!args.empty()) {
             entry += "(";
             for (std::size_t i = 0; i < args.size(); ++i) entry += (i ? "," : "") + describe(args[i]);
             entry += ")";
           }
           log.push_back(entry);
           return body ? body(args) : std::vector<Value>{};
         }});
  }
  void fakeAll(const std::vector<std::string>& names) {
    for (const auto& n : names) fake(n);
  }
  // The snapshot source: a description with one wall count, like the temporary case file.
  void fakeSnapshots() {
    fake("getcurrentprop", [](const std::vector<Value>&) {
      CaseDescription d;
      d.name = "temporarysave";
      d.xwall = {0, 1, 1};
      d.ywall = {0, 0, 1};
      return std::vector<Value>{d.toValue()};
    });
  }

  Handle openMainWindow() {
    Handle fig = rt.graphics().create(ObjectType::Figure, platform::kRoot);
    rt.graphics().setText(fig, "tag", "acoufig");
    storeCase(rt, fig, newCaseRecord(20));
    return fig;
  }

  // The error text of a call, or "" when it ran through.
  std::string run(std::vector<Value> args) {
    try {
      velmoracopy(rt, ops, args);
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }

  std::vector<std::string> history(Handle fig) { return readCase(rt, fig).actionlist; }

  platform::ScriptedUi ui;
  platform::Runtime rt{ui};
  Operations ops;
  std::vector<std::string> log;
};

Value sampleRecord() {
  CaseDescription d;
  d.xwall = {0, 4, 4, 0};
  d.ywall = {0, 0, 3, 3};
  return d.toValue();
}

TEST_F(DispatcherTest, ArgumentFormsInTheirOrder) {
  const std::string missing = "/nonexistent-folder/hall.ac";
  struct Row {
    const char* what;
    std::vector<Value> args;
    std::string error;
    std::vector<std::string> calls;
  };
  const std::vector<Row> rows = {
      {"none is init", {}, "", {"getzonesize", "init(20)"}},
      {"three", {"a", "b", "c"}, "too much arguments", {}},
      {"three, first a record", {sampleRecord(), "b", "c"}, "too much arguments", {}},
      {"a record opens a window of zone 20 and shows it",
       {sampleRecord()},
       "",
       {"init(20)", "update(record)"}},
      {"update with a record", {"UpDate", sampleRecord()}, "", {"update(record)"}},
      {"load with a missing file", {"LOAD", Value(missing)}, "file " + missing + " not found ...", {}},
      {"load with a number", {"load", 3.0}, "unknown syntax", {}},
      {"update with a text", {"update", "hall.ac"}, "unknown syntax", {}},
      {"two texts", {"splitwall", "now"}, "unknown syntax", {}},
      {"two, first a number", {1.0, sampleRecord()}, "unknown syntax", {}},
      {"one number", {5.0}, "unknown syntax", {}},
      {"one list", {Value(platform::List{})}, "unknown syntax", {}},
      {"one text verb, mixed case", {"SplitWall"}, "", {"splitwall"}},
      {"unknown verb", {"explode"}, "unknown argument", {}},
      {"empty verb", {""}, "unknown argument", {}},
  };
  fakeAll({"init", "update", "splitwall", "loadcase"});
  quiet("selectvalue");
  fake("getzonesize", [](const std::vector<Value>&) { return std::vector<Value>{Value(20.0)}; });
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    log.clear();
    EXPECT_EQ(run(row.args), row.error);
    EXPECT_EQ(log, row.calls);
  }
}

TEST_F(DispatcherTest, MoreThanThreeArgumentsGiveTheRunTimeErrorText) {
  fake("init");
  EXPECT_EQ(
      run({"a", "b", "c", "d"}),
      "Run-time Error: File: velmoracopy Line: 1 Column: 1 The function \"velmoracopy\" was called with more "
      "than the declared number of inputs (3).");
  EXPECT_TRUE(log.empty());
}

TEST_F(DispatcherTest, OperationArgumentCountsAreCheckedFirst) {
  bool ran = false;
  ops.add({"loadcase", 1, 0, 7, [&](platform::Runtime&, const std::vector<Value>&) {
             ran = true;
             return std::vector<Value>{};
           }});
  const std::string head = "Run-time Error: File: velmoracopy/loadcase Line: 7 Column: 1 The function ";
  try {
    ops.call(rt, "loadcase", {"a.ac", "b.ac"});
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              head + "\"velmoracopy/loadcase\" was called with more than the declared number of inputs (1).");
  }
  try {
    ops.call(rt, "loadcase", {}, 1);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(
        std::string(e.what()),
        head + "\"velmoracopy/loadcase\" was called with more than the declared number of outputs (0).");
  }
  EXPECT_FALSE(ran);
  ops.call(rt, "loadcase", {});  // fewer inputs than declared: the interactive form
  EXPECT_TRUE(ran);
}

TEST_F(DispatcherTest, LoadByNameOfAnExistingFile) {
  const auto dir = std::filesystem::temp_directory_path() / "velmora-dispatcher-test";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "hall.ac").string();
  std::ofstream(file) << "x";
  fakeAll({"init", "loadcase", "resetcurves"});

  // No window yet (started as "velmora load hall.ac"): one is opened to load into.
  EXPECT_EQ(run({"load", Value(file)}), "");
  EXPECT_EQ(log, (std::vector<std::string>{"init(20)", "resetcurves", "loadcase(" + file + ")"}));

  openMainWindow();
  log.clear();
  EXPECT_EQ(run({"Load", Value(file)}), "");
  EXPECT_EQ(log, (std::vector<std::string>{"resetcurves", "loadcase(" + file + ")"}));

  // A folder is not a case file.
  log.clear();
  EXPECT_EQ(run({"load", Value(dir.string())}), "file " + dir.string() + " not found ...");
  EXPECT_TRUE(log.empty());
  std::filesystem::remove_all(dir);
}

TEST_F(DispatcherTest, RecordFormRefusesABadRecordBeforeOpeningAWindow) {
  fakeAll({"init", "update"});
  Record bad;
  bad.set("xwall", "three walls");
  EXPECT_EQ(run({Value(bad)}), "case description: field xwall must hold numbers, not a text");
  EXPECT_EQ(run({"update", Value(bad)}), "case description: field xwall must hold numbers, not a text");
  EXPECT_TRUE(log.empty());
}

TEST_F(DispatcherTest, VerbsThatCallOneOperation) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"test", "test"},
      {"DiffusionFactor", "diffusionfactor"},
      {"scaleplan", "scaleplan"},
      {"geometricshapes", "geometricshapes"},
      {"polardiagram", "polardiagram"},
      {"changedblimits", "changedblimits"},
      {"setcursormeasure", "setcursormeasure"},
      {"measure", "measure"},
      {"changegrid", "changegrid"},
      {"hidegrid", "hidegrid"},
      {"hideviewobjects", "hideviewobjects"},
      {"surfaceprecision", "surfaceprecision"},
      {"history", "history"},
      {"setactivewall", "setactivewall"},
      {"changecolormap", "changecolormap"},
      {"changecolorlimits", "changecolorlimits"},
      {"polardiagshowwall", "polardiagshowwall"},
      {"polardiagprint", "polardiagprint"},
      {"animcasegrab", "animcasegrab"},
      {"animcasecb", "animcasecb"},
      {"zoomaxes", "zoomaxes"},
      {"dbsum", "dbsum"},
      {"dbdecrease", "dbdecrease"},
      {"save", "savecase"},
      {"zoom", "acouzoom"},
      {"VIEW", "acouview"},
      {"expand", "expandzone"},
      {"select", "selectvalue"},
      {"print", "printcase"},
      {"plan", "scaleplan"},
      {"printpolar", "printpolar"},
      {"movepolarlabelmove", "movepolarlabel(move)"},
      {"movepolarlabelend", "movepolarlabel(end)"},
      {"anim", "animcase"},
      {"scancasehorizontal", "scancasecbfcn(horizontal)"},
      {"scancasevertical", "scancasecbfcn(vertical)"},
      {"scancasesave", "scancasecbfcn(save)"},
      {"scancaseupdate", "scancasecbfcn(update)"},
      {"movewallpoint", "movewallpoint"},
      {"moveaudiencepoint", "moveaudiencepoint"},
      {"moveaxis", "moveaxis"},
      {"preparemovesource", "preparemovesource"},
      {"movesource", "movesource"},
      {"preparemovereceptor", "preparemovereceptor"},
      {"movereceptor", "movereceptor"},
  };
  const Handle fig = openMainWindow();
  fakeSnapshots();
  for (const auto& [verb, call] : rows) {
    SCOPED_TRACE(verb);
    const std::string op = call.substr(0, call.find('('));
    Operations saved = ops;
    // Not registered yet: the verb does not exist.
    EXPECT_EQ(run({Value(verb)}), "unknown argument");
    fake(op);
    log.clear();
    EXPECT_EQ(run({Value(verb)}), "");
    EXPECT_EQ(log, std::vector<std::string>{call});
    ops = saved;
  }
  EXPECT_TRUE(history(fig).empty());  // none of these records an undo step
}

TEST_F(DispatcherTest, FollowUpStepsRunInOrderAndAMissingOneIsAFault) {
  const std::vector<std::string> chain = {"resetcurves",   "splitwall",      "checkroomconvexity",
                                          "refreshimages", "setlayer",       "refreshsurfacevalues",
                                          "selectvalue",   "refreshwallmenu"};
  openMainWindow();
  fakeAll(chain);
  EXPECT_EQ(run({"splitwall"}), "");
  EXPECT_EQ(log, chain);

  // A table without a step of the verb: the verb stops at that step, naming it, and records nothing.
  ops = Operations{};
  installDispatcher(rt, ops);
  standIns();
  fakeAll({"splitwall", "selectvalue"});
  ops = [&] {
    Operations without;
    for (const std::string& name : chain)
      if (name != "setlayer") without.add(*ops.find(name));
    without.add(*ops.find("refreshlinkedviews"));
    without.add(*ops.find("getcurrentprop"));
    return without;
  }();
  log.clear();
  EXPECT_EQ(run({"splitwall"}), "the operation \"setlayer\" is not registered");
  EXPECT_EQ(log, (std::vector<std::string>{"splitwall"}));
}

TEST_F(DispatcherTest, UndoLabelsOfTheVerbs) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"reducesurfacesize", "reduce audience size"},
      {"matchroom", "audience match room"},
      {"movedrawing", "move drawing"},
      {"splitwall", "split wall"},
      {"symmetry", "symmetry"},
      {"deletevertex", "delete wall"},
      {"changealpha", "change wall absorption"},
      {"changealphamanual", "change wall absorption"},
      {"setsourceposition", "move source"},
      {"setreceptorposition", "move receptor"},
      {"refreshmwp", "move wall"},
      {"refreshmap", "move audience"},
      {"refreshmax", "move axis"},
      {"refreshmso", "move source"},
      {"refreshmre", "move receptor"},
  };
  // Every operation registered; the dialogs of the labelled verbs are all cancelled (the fakes do
  // nothing), which still records the step.
  fakeAll({"reducesurfacesize",
           "matchroom",
           "movedrawing",
           "splitwall",
           "symmetry",
           "deletevertex",
           "changealpha",
           "changealphamanual",
           "setsourceposition",
           "setreceptorposition",
           "movewallpoint",
           "moveaudiencepoint",
           "moveaxis",
           "refreshcoordinates",
           "movesource",
           "movereceptor",
           "resetcurves",
           "checkroomconvexity",
           "refreshimages",
           "setlayer",
           "refreshsurfacevalues",
           "selectvalue",
           "refreshwallmenu",
           "refreshsurfaceposition"});
  fakeSnapshots();
  const Handle fig = openMainWindow();
  std::vector<std::string> expected;
  for (const auto& [verb, label] : rows) {
    SCOPED_TRACE(verb);
    EXPECT_EQ(run({Value(verb)}), "");
    expected.push_back(label);
    EXPECT_EQ(history(fig), expected);
  }
  EXPECT_EQ(readCase(rt, fig).proplist.size(), expected.size());
  EXPECT_EQ(readCase(rt, fig).proplist.back().xwall->size(), 3u);
}

TEST_F(DispatcherTest, NoUndoStepWithoutASnapshotSource) {
  const Handle fig = openMainWindow();
  quiet("selectvalue");
  fake("splitwall");
  EXPECT_EQ(run({"splitwall"}), "");
  EXPECT_TRUE(history(fig).empty());
  // A snapshot source that gives nothing records nothing either.
  fake("getcurrentprop");
  EXPECT_EQ(run({"splitwall"}), "");
  EXPECT_TRUE(history(fig).empty());
}

TEST_F(DispatcherTest, CancelMarkOfSymmetryAndDeleteVertex) {
  const Handle fig = openMainWindow();
  fakeSnapshots();
  std::optional<std::string> mark;
  for (const char* op : {"symmetry", "deletevertex"}) {
    fake(op, [&, this](const std::vector<Value>&) {
      if (mark) rt.graphics().setGuiData(rt.graphics().currentFigure(), Value(*mark));
      return std::vector<Value>{};
    });
  }
  struct Row {
    const char* verb;
    std::optional<std::string> mark;
    std::vector<std::string> history;
  };
  const std::vector<Row> rows = {
      {"symmetry", "canceled", {}},
      {"symmetry", std::nullopt, {"symmetry"}},  // the mark did not survive the call that read it
      {"DeleteVertex", "CANCELED", {"symmetry"}},
      {"deletevertex", std::nullopt, {"symmetry", "delete wall"}},
      {"deletevertex", "other", {"symmetry", "delete wall", "delete wall"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.verb);
    mark = row.mark;
    EXPECT_EQ(run({row.verb}), "");
    EXPECT_EQ(history(fig), row.history);
    EXPECT_FALSE(rt.graphics().at(fig).guiData().has_value());
  }
}

TEST_F(DispatcherTest, InitAsksTheZoneAndStopsWhenCancelled) {
  fakeSnapshots();
  std::vector<Value> zone;
  fake("getzonesize", [&](const std::vector<Value>&) { return zone; });
  fake("init", [this](const std::vector<Value>& args) {
    const Handle fig = openMainWindow();
    storeCase(rt, fig, newCaseRecord(args[0].scalar()));
    return std::vector<Value>{};
  });
  for (const auto& nothing : {std::vector<Value>{}, std::vector<Value>{Value(platform::Matrix{})}}) {
    zone = nothing;
    log.clear();
    EXPECT_EQ(run({}), "");
    EXPECT_EQ(log, std::vector<std::string>{"getzonesize"});
    EXPECT_TRUE(rt.graphics().figures().empty());
  }
  zone = {Value(40.0)};
  EXPECT_EQ(run({"INIT"}), "");
  const Handle fig = currentMainWindow(rt);
  EXPECT_EQ(readCase(rt, fig).height, 40);
  EXPECT_EQ(history(fig), std::vector<std::string>{"initial state"});
}

TEST_F(DispatcherTest, ReleaseVerbsEndTheDragAndRestoreThePointer) {
  const Handle fig = openMainWindow();
  auto& g = rt.graphics();
  std::vector<std::string> pointerDuringRecompute;
  fakeAll({"movewallpoint", "movereceptor", "resetcurves"});
  fake("checkroomconvexity", [&](const std::vector<Value>&) {
    pointerDuringRecompute.push_back(g.at(fig).text("pointer"));
    return std::vector<Value>{};
  });
  fake("selectvalue");
  for (const char* verb : {"refreshmwp", "refreshmre"}) {
    g.setText(fig, "windowbuttonmotionfcn", "velmoracopy('movewallpoint')");
    g.setText(fig, "windowbuttonupfcn", "velmoracopy('refreshmwp')");
    g.setText(fig, "pointer", "crosshair");
    EXPECT_EQ(run({verb}), "");
    EXPECT_EQ(g.at(fig).text("windowbuttonmotionfcn"), "");
    EXPECT_EQ(g.at(fig).text("windowbuttonupfcn"), "");
  }
  // refreshmre leaves the pointer shape alone; refreshmwp ends with the arrow.
  EXPECT_EQ(g.at(fig).text("pointer"), "crosshair");
  EXPECT_EQ(run({"refreshmwp"}), "");
  EXPECT_EQ(g.at(fig).text("pointer"), "arrow");
  EXPECT_EQ(pointerDuringRecompute, (std::vector<std::string>{"watch", "watch"}));
  EXPECT_EQ(log, (std::vector<std::string>{"resetcurves", "checkroomconvexity", "selectvalue", "selectvalue",
                                           "resetcurves", "checkroomconvexity", "selectvalue"}));
}

TEST_F(DispatcherTest, AnErrorEndsTheCallWithoutUndoStepAndGoesToTheConsole) {
  const Handle fig = openMainWindow();
  fakeSnapshots();
  fakeAll({"resetcurves", "splitwall", "refreshimages"});
  fake("checkroomconvexity",
       [](const std::vector<Value>&) -> std::vector<Value> { throw Error("broken room"); });
  fake("matchroom");
  EXPECT_EQ(run({"splitwall"}), "broken room");
  EXPECT_EQ(log, (std::vector<std::string>{"resetcurves", "splitwall", "checkroomconvexity"}));
  EXPECT_TRUE(history(fig).empty());
  // The busy pointer of an interrupted chain does not stay.
  EXPECT_EQ(run({"matchroom"}), "broken room");
  EXPECT_EQ(rt.graphics().at(fig).text("pointer"), "arrow");

  // Through a callback text, the message is written to the console and the window stays.
  ui.takeConsole();
  rt.runCallback(fig, "velmoracopy('SPLITWALL')");
  rt.runCallback(fig, "velmoracopy('nonsense')");
  EXPECT_EQ(ui.takeConsole(), (std::vector<std::string>{"broken room", "unknown argument"}));
  EXPECT_TRUE(rt.graphics().exists(fig));
}

TEST_F(DispatcherTest, ScanHidesTheCallingWindowMeanwhile) {
  const Handle fig = openMainWindow();
  auto& g = rt.graphics();
  const Handle button = g.create(ObjectType::UiControl, fig);
  CaseRecord udf = readCase(rt, fig);
  udf.name = "hall";
  storeCase(rt, fig, udf);
  std::vector<std::string> visibleDuringScan;
  bool fail = false;
  fake("scancase", [&](const std::vector<Value>&) {
    visibleDuringScan.push_back(g.at(fig).text("visible"));
    if (fail) throw Error("no image");
    return std::vector<Value>{};
  });

  // Called directly (not from a control): nothing is hidden, the name stays.
  EXPECT_EQ(run({"scan"}), "");
  EXPECT_EQ(readCase(rt, fig).name, "hall");

  rt.runCallback(button, "velmoracopy('scan')");
  EXPECT_EQ(visibleDuringScan, (std::vector<std::string>{"on", "off"}));
  EXPECT_EQ(g.at(fig).text("visible"), "on");
  EXPECT_EQ(readCase(rt, fig).name, "not saved");
  EXPECT_TRUE(history(fig).empty());

  // A failing import does not leave the window hidden.
  fail = true;
  rt.runCallback(button, "velmoracopy('scan')");
  EXPECT_EQ(g.at(fig).text("visible"), "on");
}

TEST_F(DispatcherTest, OperationsReachTheDispatcherAgainThroughTheRuntime) {
  const Handle fig = openMainWindow();
  fakeSnapshots();
  fake("update");
  fakeAll({"resetcurves"});
  // The mirroring hands its room to "update"; the step is recorded by the "symmetry" verb.
  fake("symmetry", [this](const std::vector<Value>&) {
    rt.dispatch({"update", sampleRecord()});
    return std::vector<Value>{};
  });
  EXPECT_EQ(run({"symmetry"}), "");
  EXPECT_EQ(log, (std::vector<std::string>{"resetcurves", "symmetry", "update(record)", "getcurrentprop"}));
  EXPECT_EQ(history(fig), std::vector<std::string>{"symmetry"});
}

// A step an operation calls by name and the table lacks is a fault of the program: the call raises,
// naming it, instead of going on without the step.
TEST_F(DispatcherTest, AStepNotRegisteredRaisesWithItsName) {
  ops = Operations{};
  EXPECT_THROW(ops.require("refreshimages"), Error);
  try {
    ops.call(rt, "refreshimages");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "the operation \"refreshimages\" is not registered");
  }
  // The window operations alone: the new window's first computation is missing.
  registerWindowOperations(ops);
  try {
    ops.call(rt, "init", {Value(20.0)});
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "the operation \"changegrid\" is not registered");
  }
  fake("refreshimages");
  ops.require("refreshimages");
}

TEST_F(DispatcherTest, ProgramTableHoldsTheRegisteredOperations) {
  Operations program;
  app::registerAllOperations(program);
  EXPECT_TRUE(program.has("resetcurves"));
  EXPECT_TRUE(program.has("exportmap"));
  EXPECT_NE(findVerb("splitwall"), nullptr);
  EXPECT_EQ(findVerb("SplitWall"), nullptr);  // the table holds lower-case verbs only
}

}  // namespace
}  // namespace velmora::shell

namespace velmora::shell {
namespace {

// Start-up without words, with the operations of the program: the zone question, then a new window.
TEST(DispatcherStartUp, InitOpensAMainWindowWithTheRecordOfANewWindow) {
  platform::ScriptedUi ui;
  platform::Runtime rt(ui);
  Operations ops;
  app::registerAllOperations(ops);
  installDispatcher(rt, ops);
  ui.push(platform::ScriptedAnswer::inputs(std::vector<std::string>{"20"}));
  rt.dispatch({});
  const CaseRecord udf = readCase(rt, currentMainWindow(rt));
  EXPECT_EQ(udf.name, "not saved");
  EXPECT_EQ(udf.height, 20);
  EXPECT_EQ(udf.gsize, 0.5);
  EXPECT_EQ(udf.xlim, (std::array<double, 2>{0, 20}));
  EXPECT_EQ(udf.ylim, (std::array<double, 2>{-10, 10}));
  EXPECT_EQ(udf.Lw, 100);
  EXPECT_EQ(wallGeometry(rt, currentMainWindow(rt)).size(), 4u);
  for (const auto& line : ui.consoleLines()) EXPECT_EQ(line.find("rror"), std::string::npos) << line;

  // Cancelling the question opens nothing and says nothing wrong.
  platform::ScriptedUi ui2;
  platform::Runtime rt2(ui2);
  installDispatcher(rt2, ops);
  ui2.push(platform::ScriptedAnswer::inputs(std::nullopt));
  rt2.dispatch({Value("init")});
  EXPECT_TRUE(rt2.graphics().figures().empty());
}

}  // namespace
}  // namespace velmora::shell
