#include "shell/dispatcher.h"

#include <filesystem>
#include <string>

#include "document/case_record.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "shell/recent_cases.h"
#include "shell/scale_bar.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Value;
using Kind = VerbStep::Kind;

namespace {

// The dispatcher's own declared number of inputs.
constexpr int kDispatcherInputs = 3;
// The zone size of the window that a record alone opens.
constexpr double kRecordFormZone = 20;

VerbStep call(std::string op, std::vector<Value> args = {}) {
  return {Kind::Call, std::move(op), std::move(args)};
}
VerbStep step(Kind kind) {
  return {kind, {}, {}};
}

// A verb that calls one operation (with fixed arguments) and does nothing else.
Verb simple(std::string verb, std::string op, std::vector<Value> args = {}) {
  return {std::move(verb), {op}, {call(op, std::move(args))}, {}};
}
Verb simple(const std::string& verb) {
  return simple(verb, verb);
}

// An order equal to the present one leaves the cancel mark: no history step.
Verb reflectionOrderVerb(std::vector<Value> args) {
  return {"reflectionorder",
          {"reflectionorder"},
          {call("reflectionorder", std::move(args)), step(Kind::TakeCancelMark)},
          "reflection order"};
}

std::vector<Verb> buildVerbTable() {
  std::vector<Verb> t;
  // Verbs that call the operation of the same name.
  for (const char* v : {"test",
                        "diffusionfactor",
                        "scaleplan",
                        "geometricshapes",
                        "polardiagram",
                        "changedblimits",
                        "setcursormeasure",
                        "measure",
                        "changegrid",
                        "hidegrid",
                        "hideviewobjects",
                        "surfaceprecision",
                        "history",
                        "setactivewall",
                        "changecolormap",
                        "changecolorlimits",
                        "polardiagshowwall",
                        "polardiagprint",
                        "animcasegrab",
                        "animcasecb",
                        "zoomaxes",
                        "dbsum",
                        "dbdecrease"})
    t.push_back(simple(v));
  t.push_back(simple("save", "savecase"));
  t.push_back(simple("exportmap"));  // no name: asks for the file
  // The room acoustics window; its buttons change the case and leave the cancel mark when they do not.
  t.push_back(simple("roomacoustics"));
  t.push_back(simple("roomacousticsexport"));
  t.push_back({"roomheight", {"roomheight"}, {call("roomheight"), step(Kind::TakeCancelMark)}, "change room height"});
  t.push_back({"floormaterial",
               {"floormaterial"},
               {call("floormaterial"), step(Kind::TakeCancelMark)},
               "change floor material"});
  t.push_back({"ceilingmaterial",
               {"ceilingmaterial"},
               {call("ceilingmaterial"), step(Kind::TakeCancelMark)},
               "change ceiling material"});
  // Verbs whose handler has another name.
  t.push_back(simple("zoom", document::kZoomOperation));
  t.push_back(simple("view", document::kViewOperation));
  t.push_back(simple("expand", "expandzone"));
  t.push_back(simple("select", "selectvalue"));
  t.push_back(simple("print", "printcase"));
  t.push_back(simple("plan", "scaleplan"));
  t.push_back(simple("printpolar", "printpolar"));
  t.push_back(simple("movepolarlabelmove", "movepolarlabel", {Value("move")}));
  t.push_back(simple("movepolarlabelend", "movepolarlabel", {Value("end")}));
  t.push_back(simple("anim", "animcase"));
  t.push_back(simple("scancasehorizontal", "scancasecbfcn", {Value("horizontal")}));
  t.push_back(simple("scancasevertical", "scancasecbfcn", {Value("vertical")}));
  t.push_back(simple("scancasesave", "scancasecbfcn", {Value("save")}));
  t.push_back(simple("scancaseupdate", "scancasecbfcn", {Value("update")}));
  // The echogram window and the echo risk overlay of the audience map.
  for (const char* v : {"echogram", "echogramshowarrival", "echogramexport", "printechogram", "echorisk",
                        "echorisksettings", "refreshlinkedviews", "echogramlisten", "echogramdrysound",
                        "echogramexportresponse", "echogramexportauralisation"})
    t.push_back(simple(v));

  // Verbs with further steps.
  t.push_back({"init", {"getzonesize", "init"}, {step(Kind::ZoneThenInit)}, "initial state"});
  t.push_back(
      {"reducesurfacesize", {"reducesurfacesize"}, {call("reducesurfacesize")}, "reduce audience size"});
  t.push_back(
      {"matchroom",
       {"matchroom"},
       {call("matchroom"), step(Kind::EndDrag), call("refreshsurfaceposition"), call("checkroomconvexity"),
        call("refreshsurfacevalues"), call("selectvalue"), step(Kind::RestorePointer)},
       "audience match room"});
  t.push_back({"movedrawing", {"movedrawing"}, {call("resetcurves"), call("movedrawing")}, "move drawing"});
  t.push_back({"splitwall",
               {"splitwall"},
               {call("resetcurves"), call("splitwall"), call("checkroomconvexity"), call("refreshimages"),
                call("setlayer"), call("refreshsurfacevalues"), call("selectvalue"), call("refreshwallmenu")},
               "split wall"});
  t.push_back({"symmetry",
               {"symmetry"},
               {call("resetcurves"), call("symmetry"), step(Kind::TakeCancelMark)},
               "symmetry"});
  t.push_back({"deletevertex",
               {"deletevertex"},
               {call("resetcurves"), call("deletevertex"), step(Kind::TakeCancelMark)},
               "delete wall"});
  t.push_back({"changealpha",
               {"changealpha"},
               {call("changealpha"), call("refreshwallmenu")},
               "change wall absorption"});
  // The material dialog leaves the cancel mark when nothing was chosen or nothing changed.
  t.push_back({"wallmaterial",
               {"wallmaterial"},
               {call("wallmaterial"), step(Kind::TakeCancelMark), call("refreshwallmenu")},
               "change wall material"});
  t.push_back({"changealphamanual",
               {"changealphamanual"},
               {call("changealphamanual"), call("refreshwallmenu")},
               "change wall absorption"});
  t.push_back({"setsourceposition", {"setsourceposition"}, {call("setsourceposition")}, "move source"});
  t.push_back(
      {"setreceptorposition", {"setreceptorposition"}, {call("setreceptorposition")}, "move receptor"});
  // `loadcase` records its own history.
  t.push_back({"load", {"loadcase"}, {call("resetcurves"), call("loadcase")}, {}});
  t.push_back({"scan", {"scancase"}, {step(Kind::HideCaller), call("scancase"), step(Kind::ShowCaller)}, {}});
  // Keyboard shortcuts: history steps are restores, recorded as the history list records them.
  for (const char* v : {"historyback", "historyforward", "escapekey"}) t.push_back(simple(v));
  t.push_back(simple("scalebar", "togglescalebar"));
  t.push_back(simple("loadrecent"));
  // The reflection order, from its submenu (the item's number) or with the order as a second word.
  t.push_back(reflectionOrderVerb({}));
  // The imported room restarts the history itself.
  t.push_back({"importdxf", {"importdxf"}, {call("importdxf")}, {}});

  // Pointer drags: motion verbs place the object; release verbs end the drag and recompute. A release
  // verb exists once its drag does.
  for (const char* v : {"movewallpoint", "moveaudiencepoint", "moveaxis", "preparemovesource", "movesource",
                        "preparemovereceptor", "movereceptor"})
    t.push_back(simple(v));
  t.push_back({"refreshmwp",
               {"movewallpoint"},
               {call("stoplivemap"), call("resetcurves"), step(Kind::EndDrag), call("checkroomconvexity"),
                call("refreshimages"), call("refreshsurfacevalues"), call("selectvalue"),
                call("refreshwallmenu"), step(Kind::RestorePointer)},
               "move wall"});
  t.push_back(
      {"refreshmap",
       {"moveaudiencepoint"},
       {call("stoplivemap"), step(Kind::EndDrag), call("refreshsurfaceposition"), call("checkroomconvexity"),
        call("refreshsurfacevalues"), call("selectvalue"), step(Kind::RestorePointer)},
       "move audience"});
  t.push_back(
      {"refreshmax",
       {"moveaxis", "refreshcoordinates"},
       {call("resetcurves"), step(Kind::EndDrag), call("refreshcoordinates"), call("refreshsurfaceposition"),
        call("refreshimages"), call("selectvalue"), step(Kind::RestorePointer)},
       "move axis"});
  t.push_back({"refreshmso",
               {"movesource"},
               {call("stoplivemap"), step(Kind::EndDrag), call("refreshimages"), call("refreshsurfacevalues"),
                call("selectvalue"), step(Kind::RestorePointer)},
               "move source"});
  // The receptor release leaves the pointer shape alone.
  t.push_back(
      {"refreshmre", {"movereceptor"}, {step(Kind::ClearDrag), call("selectvalue")}, "move receptor"});
  return t;
}

platform::Handle currentWindow(platform::Runtime& rt) {
  const auto& g = rt.graphics();
  const platform::Handle fig = g.currentFigure();
  return fig != platform::kNoHandle && g.exists(fig) ? fig : platform::kNoHandle;
}

void clearDragCallbacks(platform::Runtime& rt, platform::Handle fig) {
  rt.graphics().setText(fig, "windowbuttonmotionfcn", "");
  rt.graphics().setText(fig, "windowbuttonupfcn", "");
}

void setPointer(platform::Runtime& rt, platform::Handle fig, const char* shape) {
  if (fig != platform::kNoHandle && rt.graphics().exists(fig)) rt.graphics().setText(fig, "pointer", shape);
}

bool isNothing(const std::vector<Value>& out) {
  return out.empty() || out.front().isEmptyMatrix() || (out.front().isText() && out.front().text().empty());
}

// Appends the current case, saved and read back, to the window's history under `label`.
void recordUndoStep(platform::Runtime& rt, const Operations& ops, const std::string& label) {
  const std::vector<Value> out = ops.call(rt, "getcurrentprop", {}, 1);
  if (isNothing(out)) return;
  CaseDescription snapshot = CaseDescription::fromValue(out.front());
  // Read after the snapshot: saving may have stored a changed record.
  const platform::Handle fig = currentMainWindow(rt);
  CaseRecord udf = readCase(rt, fig);
  udf.actionlist.push_back(label);
  udf.proplist.push_back(std::move(snapshot));
  storeCase(rt, fig, std::move(udf));
}

void runVerb(platform::Runtime& rt, const Operations& ops, const Verb& verb) {
  for (const auto& need : verb.needs)
    if (!ops.has(need)) throw Error("unknown argument");

  std::string label = verb.undoLabel;
  platform::Handle watchWindow = platform::kNoHandle;  // pointer to restore if a step fails
  platform::Handle hiddenCaller = platform::kNoHandle;
  try {
    for (const VerbStep& s : verb.steps) {
      switch (s.kind) {
        case Kind::Call:
          ops.call(rt, s.op, s.args);
          break;
        case Kind::EndDrag: {
          const platform::Handle fig = currentWindow(rt);
          if (fig == platform::kNoHandle) break;
          clearDragCallbacks(rt, fig);
          setPointer(rt, fig, "watch");
          watchWindow = fig;
          break;
        }
        case Kind::ClearDrag:
          if (const platform::Handle fig = currentWindow(rt); fig != platform::kNoHandle)
            clearDragCallbacks(rt, fig);
          break;
        case Kind::RestorePointer:
          setPointer(rt, currentWindow(rt), "arrow");
          watchWindow = platform::kNoHandle;
          break;
        case Kind::TakeCancelMark: {
          const auto mark = takeGuiData(rt, currentWindow(rt));
          if (mark && mark->isText() && platform::equalsIgnoreCase(mark->text(), "canceled")) label.clear();
          break;
        }
        case Kind::ZoneThenInit: {
          const std::vector<Value> zone = ops.call(rt, "getzonesize", {}, 1);
          if (isNothing(zone)) return;  // cancelled: no window, no error, no undo step
          ops.call(rt, "init", {zone.front()});
          break;
        }
        case Kind::HideCaller: {
          const platform::Handle fig = rt.callbackFigure();
          if (rt.callbackObject() != platform::kNoHandle && fig != platform::kNoHandle &&
              rt.graphics().exists(fig)) {
            rt.graphics().setText(fig, "visible", "off");
            hiddenCaller = fig;
          }
          break;
        }
        case Kind::ShowCaller:
          if (hiddenCaller != platform::kNoHandle && rt.graphics().exists(hiddenCaller)) {
            rt.graphics().setText(hiddenCaller, "visible", "on");
            if (const auto* udf = rt.graphics().at(hiddenCaller).userdataAs<CaseRecord>()) {
              CaseRecord copy = *udf;
              copy.name = "not saved";
              storeCase(rt, hiddenCaller, std::move(copy));
            }
          }
          hiddenCaller = platform::kNoHandle;
          break;
      }
    }
  } catch (...) {
    // A failed step must not leave a window hidden or showing the busy pointer.
    if (hiddenCaller != platform::kNoHandle && rt.graphics().exists(hiddenCaller))
      rt.graphics().setText(hiddenCaller, "visible", "on");
    setPointer(rt, watchWindow, "arrow");
    throw;
  }
  if (!label.empty()) recordUndoStep(rt, ops, label);
}

void require(const Operations& ops, const char* op) {
  if (!ops.has(op)) throw Error("unknown argument");
}

// Pointer motion only places objects (the release recomputes), and the refresh itself needs no
// refresh after it.
bool leavesLinkedViews(const std::vector<Value>& args) {
  if (args.size() != 1 || !args[0].isText()) return false;
  const std::string verb = platform::lower(args[0].text());
  for (const char* v : {"movewallpoint", "moveaudiencepoint", "moveaxis", "preparemovesource", "movesource",
                        "preparemovereceptor", "movereceptor", "movepolarlabelmove", "refreshlinkedviews"})
    if (verb == v) return true;
  return false;
}

void dispatchOnce(platform::Runtime& rt, const Operations& ops, const std::vector<Value>& args);

bool fileExists(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path p(name);
  return !name.empty() && std::filesystem::exists(p, ec) && !std::filesystem::is_directory(p, ec);
}

}  // namespace

const std::vector<Verb>& verbTable() {
  static const std::vector<Verb> table = buildVerbTable();
  return table;
}

const Verb* findVerb(std::string_view lowerCaseVerb) {
  for (const Verb& v : verbTable())
    if (v.name == lowerCaseVerb) return &v;
  return nullptr;
}

void velmoracopy(platform::Runtime& rt, const Operations& ops, const std::vector<Value>& args) {
  // The scale bar, the colour bar caption and the recent cases follow every call, however it changed the view
  // or ended.
  struct AfterCall {
    platform::Runtime& rt;
    ~AfterCall() {
      try {
        refreshReadingAids(rt);
        refreshRecentCasesMenu(rt);
      } catch (const std::exception&) {  // a window half built by a failed call: next call mends it
      }
    }
  } afterCall{rt};
  dispatchOnce(rt, ops, args);
  // Windows that follow a main window (echograms, the echo risk overlay, room acoustics) catch up after
  // each action.
  if (!leavesLinkedViews(args)) {
    ops.call(rt, "refreshlinkedviews");
    if (ops.has("refreshroomacoustics")) ops.call(rt, "refreshroomacoustics");
  }
}

namespace {

void dispatchOnce(platform::Runtime& rt, const Operations& ops, const std::vector<Value>& args) {
  const std::size_t n = args.size();
  if (n > kDispatcherInputs) throw Error(argumentCountMessage("", 1, kDispatcherInputs, false));
  const Value arg1 = n == 0 ? Value("init") : args[0];
  if (n > 2) throw Error("too much arguments");

  if (n == 1 && arg1.isRecord()) {
    // Read the description before opening a window, so a bad record changes nothing.
    const Value prop = CaseDescription::fromValue(arg1).toValue();
    require(ops, "init");
    require(ops, "update");
    ops.call(rt, "init", {Value(kRecordFormZone)});
    ops.call(rt, "update", {prop});
    return;
  }

  if (n == 2) {
    const Value& arg2 = args[1];
    if (arg1.isText() && arg2.isRecord() && platform::equalsIgnoreCase(arg1.text(), "update")) {
      const Value prop = CaseDescription::fromValue(arg2).toValue();
      require(ops, "update");
      ops.call(rt, "update", {prop});
      return;
    }
    if (arg1.isText() && platform::equalsIgnoreCase(arg1.text(), "load")) {
      if (!arg2.isText()) throw Error("unknown syntax");
      const std::string& name = arg2.text();
      if (!fileExists(name)) throw Error("file " + name + " not found ...");
      require(ops, "loadcase");
      // Started with "load NAME" there is no window yet: open one to load into.
      if (!findMainWindow(rt)) {
        require(ops, "init");
        ops.call(rt, "init", {Value(kRecordFormZone)});
      }
      // The loaded walls are not the curved stretches of the old room.
      ops.call(rt, "resetcurves");
      ops.call(rt, "loadcase", {arg2});
      return;
    }
    if (arg1.isText() && platform::equalsIgnoreCase(arg1.text(), "reflectionorder")) {
      runVerb(rt, ops, reflectionOrderVerb({arg2}));
      return;
    }
    if (arg1.isText() && platform::equalsIgnoreCase(arg1.text(), "importdxf")) {
      if (!arg2.isText()) throw Error("unknown syntax");
      require(ops, "importdxf");
      ops.call(rt, "importdxf", {arg2});
      return;
    }
    if (arg1.isText() && arg2.isText() && platform::equalsIgnoreCase(arg1.text(), "exportmap")) {
      require(ops, "exportmap");
      ops.call(rt, "exportmap", {arg2});
      return;
    }
    // The echogram's sound written to a named file, without the save dialog.
    for (const char* verb : {"echogramexportresponse", "echogramexportauralisation"}) {
      if (arg1.isText() && arg2.isText() && platform::equalsIgnoreCase(arg1.text(), verb)) {
        require(ops, verb);
        ops.call(rt, verb, {arg2});
        return;
      }
    }
    throw Error("unknown syntax");
  }

  if (!arg1.isText()) throw Error("unknown syntax");
  const Verb* verb = findVerb(platform::lower(arg1.text()));
  if (!verb) throw Error("unknown argument");
  runVerb(rt, ops, *verb);
}

}  // namespace

void installDispatcher(platform::Runtime& rt, const Operations& ops) {
  rt.setDispatcher(
      [&ops](platform::Runtime& r, const std::vector<Value>& args) { velmoracopy(r, ops, args); });
}

}  // namespace velmora::shell
