#include "platform/automation/automation.h"

#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"

namespace velmora::platform {
namespace {

// ---------------------------------------------------------------------------------------------
// Values

Matrix pageImage() {
  Matrix m;
  m.rows = 1;
  m.cols = 2;
  m.pages = 3;
  m.data = {0, 0.5, 1, 0.25, 0.75, 1};
  return m;
}

Record caseLike() {
  Record inner;
  inner.set("con", Value::row({1, 2}));
  Record r;
  r.set("name", Value("not saved"));
  r.set("height", Value(20.0));
  r.set("xlim", Value::row({0, 20}));
  r.set("Hr", Value(std::numeric_limits<double>::quiet_NaN()));
  r.set("actionlist", Value(List{{Value("initial state")}}));
  r.set("proplist", Value(List{}));
  r.set("curves", Value(Matrix{}));
  r.set("obj", Value(inner));
  r.set("fig", Value::handle(7));
  return r;
}

bool sameValue(const Value& a, const Value& b) {
  // NaN never equals itself: compare the JSON forms, which spell it out.
  return encodeValue(a).dump() == encodeValue(b).dump();
}

TEST(AutomationValues, RoundTripsThroughJsonText) {
  const std::vector<Value> values = {
      Value(20.0),
      Value(-2.25),
      Value(std::numeric_limits<double>::quiet_NaN()),
      Value(std::numeric_limits<double>::infinity()),
      Value(-std::numeric_limits<double>::infinity()),
      Value::row({1, 2.5, 3}),
      Value(Matrix::column({1, 2})),
      Value(Matrix{}),
      Value(Matrix{1, 0, {}, 1}),
      Value(Matrix{2, 2, {1, 2, 3, 4}, 1}),
      Value(pageImage()),
      Value("velmoracopy('splitwall')"),
      Value(""),
      Value(List{{Value("a"), Value(Matrix{2, 1, {1, 2}, 1})}}),
      Value(List{}),
      Value(caseLike()),
      Value::handle(12),
  };
  for (const Value& v : values) {
    const Value back = decodeValue(Json::parse(encodeValue(v).dump()));
    EXPECT_TRUE(sameValue(v, back)) << encodeValue(v).dump() << " came back as " << encodeValue(back).dump();
    if (encodeValue(v).dump().find("NaN") == std::string::npos) {
      EXPECT_EQ(v, back) << encodeValue(v).dump();
    }
  }
}

TEST(AutomationValues, WritesTheDocumentedShapes) {
  EXPECT_EQ(encodeValue(Value(20.0)).dump(), "20");
  EXPECT_EQ(encodeValue(Value(0.5)).dump(), "0.5");
  EXPECT_EQ(encodeValue(Value(std::numeric_limits<double>::quiet_NaN())).dump(), "\"NaN\"");
  EXPECT_EQ(encodeValue(Value(-std::numeric_limits<double>::infinity())).dump(), "\"-Inf\"");
  EXPECT_EQ(encodeValue(Value(Matrix{2, 2, {1, 2, 3, 4}, 1})).dump(), R"({"shape":[2,2],"data":[1,2,3,4]})");
  EXPECT_EQ(encodeValue(Value(Matrix{})).dump(), R"({"shape":[0,0],"data":[]})");
  EXPECT_EQ(encodeValue(Value::handle(3)).dump(), R"({"handle":3})");
  // Record fields keep their order.
  const std::string rec = encodeValue(Value(caseLike())).dump();
  EXPECT_LT(rec.find("\"name\""), rec.find("\"height\""));
  EXPECT_LT(rec.find("\"height\""), rec.find("\"xlim\""));
  EXPECT_NE(rec.find(R"("Hr":"NaN")"), std::string::npos);
}

TEST(AutomationValues, ReadsRequestShortcuts) {
  EXPECT_EQ(decodeValue(Json::parse("[1, 2, 3]")), Value::row({1, 2, 3}));
  EXPECT_EQ(decodeValue(Json::parse("true")), Value(1.0));
  EXPECT_EQ(decodeValue(Json::parse("null")), Value(Matrix{}));
  EXPECT_TRUE(std::isinf(decodeValue(Json::parse("[\"Inf\", 1]")).numbers()[0]));
  EXPECT_TRUE(decodeValue(Json::parse(R"(["a", 1])")).isList());
}

TEST(AutomationValues, RefusesMalformedMatrices) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {R"({"shape":[2,2],"data":[1,2,3]})", "needs 4 numbers, got 3"},
      {R"({"shape":[-1,2],"data":[]})", "shape holds counts"},
      {R"({"shape":[1],"data":[1]})", "needs \"shape\""},
      {R"({"shape":[1,2],"data":[1,"x"]})", "matrix data must be numbers"},
      {R"({"handle":"x"})", "must be a handle"},
  };
  for (const auto& [json, message] : bad) {
    try {
      decodeValue(Json::parse(json));
      ADD_FAILURE() << json << " was accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The protocol over a runtime with a small dispatcher

struct Session {
  ScriptedUi ui;
  Runtime rt{ui};
  std::vector<std::vector<Value>> calls;
  std::vector<PointerInput> pointer;
  std::istringstream in;
  std::ostringstream out;
  std::optional<Automation> automation;
  std::function<void(Automation&)> setup;

  Session() {
    rt.setDispatcher([this](Runtime& r, const std::vector<Value>& args) {
      calls.push_back(args);
      const std::string verb = args.empty() ? "init" : args[0].isText() ? args[0].text() : "";
      Graphics& g = r.graphics();
      if (verb == "fail") throw Error("unknown argument");
      if (verb == "init") {
        auto answer = r.ui().input(
            {{"Enter drawing zone dimension in meter ([4 640]):"}, "Zone definition", 1, {"20"}});
        if (!answer) return;
        const Handle fig = g.create(ObjectType::Figure, kRoot);
        g.setText(fig, "tag", "acoufig");
        Record udf;
        udf.set("name", Value("not saved"));
        udf.set("height", Value(std::stod(answer->at(0))));
        udf.set("xlim", Value::row({0, std::stod(answer->at(0))}));
        g.setUserdata(fig, std::make_shared<ValueUserData>(Value(udf)));
      }
      if (verb == "wait") r.waitfor(g.currentFigure());
      if (verb == "ginput") {
        if (auto p = r.pointerInput()) pointer.push_back(*p);
      }
    });
  }

  // Runs the lines as automation input; the replies, one per line.
  std::vector<Json> run(const std::string& lines) {
    in.clear();
    in.str(lines);
    out.str("");
    automation.emplace(rt, ui, in, out);
    automation->setMainWindowTag("acoufig");
    if (setup) setup(*automation);
    automation->run();
    std::vector<Json> replies;
    std::istringstream replyLines(out.str());
    for (std::string l; std::getline(replyLines, l);) replies.push_back(Json::parse(l));
    return replies;
  }
  Json one(const std::string& line) {
    auto r = run(line + "\n");
    EXPECT_EQ(r.size(), 1u);
    return r.empty() ? Json() : r[0];
  }
  Handle makeFigure() {
    one(R"({"op":"answer","answers":[{"input":["20"]}]})");
    one(R"({"op":"dispatch","args":[]})");
    return rt.graphics().currentFigure();
  }
};

TEST(Automation, DispatchWithAnAnswerMakesTheWindowAndItsRecord) {
  Session s;
  EXPECT_EQ(s.one(R"({"op":"answer","answers":[{"input":["20"]}]})"), Json::parse(R"({"ok":true})"));
  EXPECT_EQ(s.one(R"({"op":"dispatch","args":["init"]})"), Json::parse(R"({"ok":true})"));
  ASSERT_EQ(s.calls.size(), 1u);
  EXPECT_EQ(s.calls[0], std::vector<Value>{Value("init")});
  const Json udf = s.one(R"({"op":"get","what":"udf"})");
  EXPECT_EQ(udf["ok"], true);
  EXPECT_EQ(udf["value"]["name"], "not saved");
  EXPECT_EQ(udf["value"]["height"], 20);
  EXPECT_EQ(udf["value"]["xlim"], Json::parse(R"({"shape":[1,2],"data":[0,20]})"));
  const Handle fig = s.rt.graphics().currentFigure();
  EXPECT_EQ(s.one(R"({"op":"get","what":"udf","figure":)" + std::to_string(fig) + "}")["value"],
            udf["value"]);
}

TEST(Automation, ErrorsOfTheCallReachTheReplyAndTheConsole) {
  Session s;
  const Json r = s.one(R"({"op":"dispatch","args":["fail"]})");
  EXPECT_EQ(r, Json::parse(R"({"ok":false,"error":"unknown argument"})"));
  EXPECT_EQ(s.one(R"({"op":"console"})"), Json::parse(R"({"ok":true,"lines":["unknown argument"]})"));
  EXPECT_EQ(s.one(R"({"op":"console"})"), Json::parse(R"({"ok":true,"lines":[]})"));
}

TEST(Automation, CancelledDialogSaysSoOnTheConsole) {
  Session s;
  EXPECT_TRUE(s.one(R"({"op":"dispatch"})")["ok"]);
  EXPECT_TRUE(s.rt.graphics().figures().empty());
  EXPECT_EQ(s.one(R"({"op":"console"})")["lines"][0],
            "automation: no answer for input dialog 'Zone definition'");
  EXPECT_EQ(s.one(R"({"op":"get","what":"udf"})"),
            Json::parse(R"({"ok":false,"error":"no main window is current"})"));
}

TEST(Automation, GetSetFindAndFigures) {
  Session s;
  Graphics& g = s.rt.graphics();
  const Handle fig = s.makeFigure();
  const Handle ax = g.create(ObjectType::Axes, fig);
  const Handle l1 = g.create(ObjectType::Line, ax);
  const Handle l2 = g.create(ObjectType::Line, ax);
  g.setText(l1, "tag", "acouwall");
  g.setText(l2, "tag", "acouwall");
  g.set(l2, "userdata", Value(Record{}));
  const Handle menu = g.create(ObjectType::UiContextMenu, fig);
  const Handle item = g.create(ObjectType::UiMenu, menu);
  g.setText(item, "label", "position");
  const Handle button = g.create(ObjectType::UiControl, fig);
  g.setText(button, "string", "grid");

  const std::string h2 = std::to_string(l2);
  EXPECT_EQ(s.one(R"({"op":"set","handle":)" + h2 + R"(,"prop":"XData","value":[1,2,3]})"),
            Json::parse(R"({"ok":true})"));
  EXPECT_EQ(s.one(R"({"op":"get","handle":)" + h2 + R"(,"prop":"xdata"})")["value"],
            Json::parse(R"({"shape":[1,3],"data":[1,2,3]})"));
  EXPECT_EQ(s.one(R"({"op":"get","handle":{"handle":)" + h2 + R"(},"prop":"parent"})")["value"],
            Json::parse(R"({"handle":)" + std::to_string(ax) + "}"));

  const Json walls = s.one(R"({"op":"find","tag":"acouwall"})");
  ASSERT_EQ(walls["objects"].size(), 2u);
  EXPECT_EQ(walls["objects"][0]["handle"], l2);  // newest first
  EXPECT_EQ(walls["objects"][1]["handle"], l1);
  EXPECT_EQ(walls["objects"][0]["type"], "line");
  const Json& props = walls["objects"][0]["props"];
  EXPECT_EQ(props["tag"], "acouwall");
  EXPECT_EQ(props["userdata"], Json::object());
  EXPECT_EQ(props["xdata"]["data"], Json::parse("[1,2,3]"));
  EXPECT_TRUE(props.contains("buttondownfcn"));
  EXPECT_TRUE(props.contains("markersize"));

  const std::vector<std::pair<std::string, std::vector<Handle>>> filters = {
      {R"("type":"line")", {l2, l1}},
      {R"("type":"line","parent":)" + std::to_string(fig), {l2, l1}},
      {R"("label":"position")", {item}},
      {R"("string":"grid")", {button}},
      {R"("tag":"acouwall","type":"axes")", {}},
      {R"("type":"uicontextmenu","parent":)" + std::to_string(fig), {menu}},
  };
  for (const auto& [filter, want] : filters) {
    const Json r = s.one(R"({"op":"find",)" + filter + "}");
    std::vector<Handle> got;
    for (const Json& o : r["objects"]) got.push_back(o["handle"].get<Handle>());
    EXPECT_EQ(got, want) << filter;
  }

  const Json figs = s.one(R"({"op":"figures"})");
  EXPECT_EQ(figs["figures"], Json::parse(R"([{"handle":)" + std::to_string(fig) +
                                         R"(,"tag":"acoufig","name":"","visible":"on","current":true}])"));
}

TEST(Automation, PointerEventsRunTheWindowCallbacks) {
  Session s;
  Graphics& g = s.rt.graphics();
  const Handle fig = s.makeFigure();
  const Handle ax = g.create(ObjectType::Axes, fig);
  const Handle marker = g.create(ObjectType::Line, ax);
  g.setText(marker, "buttondownfcn", "set(gcf,'windowbuttonmotionfcn','velmoracopy(''movewallpoint'')')");
  g.setText(fig, "windowbuttonupfcn", "velmoracopy('refreshmwp')");
  const std::string m = std::to_string(marker);

  EXPECT_TRUE(s.one(R"({"op":"press","handle":)" + m + R"(,"at":[2,3],"selectiontype":"alt"})")["ok"]);
  EXPECT_EQ(g.at(fig).text("windowbuttonmotionfcn"), "velmoracopy('movewallpoint')");
  EXPECT_EQ(g.at(fig).text("selectiontype"), "alt");
  EXPECT_EQ(g.currentObject(fig), marker);
  EXPECT_EQ(g.at(ax).matrix("currentpoint")(0, 0), 2);
  EXPECT_EQ(g.at(ax).matrix("currentpoint")(0, 1), 3);

  s.calls.clear();
  s.run(R"({"op":"motion","at":[4,5]})"
        "\n"
        R"({"op":"release","at":[4.5,5]})"
        "\n");
  ASSERT_EQ(s.calls.size(), 2u);
  EXPECT_EQ(s.calls[0][0], Value("movewallpoint"));
  EXPECT_EQ(s.calls[1][0], Value("refreshmwp"));
  EXPECT_EQ(g.at(ax).matrix("currentpoint")(0, 0), 4.5);

  g.setText(fig, "keypressfcn", "velmoracopy('key')");
  s.calls.clear();
  EXPECT_TRUE(s.one(R"({"op":"key","key":"e"})")["ok"]);
  EXPECT_EQ(g.at(fig).text("currentcharacter"), "e");
  ASSERT_EQ(s.calls.size(), 1u);

  g.setText(fig, "windowbuttondownfcn", "velmoracopy('figpress')");
  s.calls.clear();
  EXPECT_TRUE(s.one(R"({"op":"press","figure":)" + std::to_string(fig) + R"(,"button":2,"at":[1,1]})")["ok"]);
  EXPECT_EQ(g.at(fig).text("selectiontype"), "extend");
  ASSERT_EQ(s.calls.size(), 1u);
  EXPECT_EQ(s.calls[0][0], Value("figpress"));
}

TEST(Automation, CallbackSetsTheValueAndRunsTheControl) {
  Session s;
  Graphics& g = s.rt.graphics();
  const Handle fig = s.makeFigure();
  const Handle list = g.create(ObjectType::UiControl, fig);
  g.setText(list, "style", "listbox");
  g.setText(list, "callback", "velmoracopy('select')");
  s.calls.clear();
  EXPECT_TRUE(s.one(R"({"op":"callback","handle":)" + std::to_string(list) + R"(,"value":3})")["ok"]);
  EXPECT_EQ(g.at(list).number("value"), 3);
  ASSERT_EQ(s.calls.size(), 1u);
  EXPECT_EQ(s.calls[0][0], Value("select"));
  // No click chooses NaN: refused before the value or the callback is touched.
  const Json nan = s.one(R"({"op":"callback","handle":)" + std::to_string(list) + R"(,"value":"NaN"})");
  EXPECT_EQ(nan["error"], "a control's \"value\" must be finite numbers");
  EXPECT_EQ(g.at(list).number("value"), 3);
  EXPECT_EQ(s.calls.size(), 1u);

  const Handle menu = g.create(ObjectType::UiContextMenu, fig);
  const Handle item = g.create(ObjectType::UiMenu, menu);
  g.setText(item, "callback", "delete(gcbo)");
  EXPECT_TRUE(s.one(R"({"op":"callback","handle":)" + std::to_string(item) + "}")["ok"]);
  EXPECT_FALSE(g.exists(item));
}

TEST(Automation, RenderAndCloseGoThroughTheFrontEnd) {
  Session s;
  const Handle fig = s.makeFigure();
  const std::string f = std::to_string(fig);
  const std::string render = R"({"op":"render","handle":)" + f + R"(,"file":"/tmp/x.png"})";
  EXPECT_EQ(s.one(render), Json::parse(R"({"ok":false,"error":"rendering needs the window front end"})"));
  std::vector<std::pair<Handle, std::string>> rendered;
  std::vector<Handle> closed;
  s.setup = [&](Automation& a) {
    a.setRenderHook([&](Handle h, const std::string& p) { rendered.emplace_back(h, p); });
    a.setCloseHook([&](Handle h) {
      closed.push_back(h);
      s.rt.graphics().remove(h);
    });
  };
  const auto replies = s.run(render + "\n" + R"({"op":"close","handle":)" + f + "}\n");
  EXPECT_EQ(replies, std::vector<Json>(2, Json::parse(R"({"ok":true})")));
  EXPECT_EQ(rendered, (std::vector<std::pair<Handle, std::string>>{{fig, "/tmp/x.png"}}));
  EXPECT_EQ(closed, std::vector<Handle>{fig});
  EXPECT_TRUE(s.rt.graphics().figures().empty());
}

TEST(Automation, QuitEndsTheInput) {
  Session s;
  const auto replies = s.run(R"({"op":"quit"})"
                             "\n"
                             R"({"op":"figures"})"
                             "\n");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], Json::parse(R"({"ok":true})"));
  EXPECT_TRUE(s.automation->finished());
}

TEST(Automation, MalformedLinesChangeNothingAndTheLoopGoesOn) {
  Session s;
  Graphics& g = s.rt.graphics();
  const Handle fig = s.makeFigure();
  const Handle ax = g.create(ObjectType::Axes, fig);
  const Handle line = g.create(ObjectType::Line, ax);
  const std::string l = std::to_string(line);
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"not json", "malformed request (not JSON)"},
      {"[1,2]", "a request is a JSON object with an \"op\" text"},
      {"{}", "a request is a JSON object with an \"op\" text"},
      {R"({"op":3})", "a request is a JSON object with an \"op\" text"},
      {R"({"op":"fly"})", "unknown op \"fly\""},
      {R"({"op":"dispatch","args":{"a":1}})", "\"args\" must be an array"},
      {R"({"op":"get","handle":999,"prop":"tag"})", "no graphics object with handle 999"},
      {R"({"op":"get","handle":)" + l + R"(,"prop":"nosuch"})",
       "There is no 'nosuch' property in the 'line' class."},
      {R"({"op":"get","what":"prop"})", "\"what\" can only be \"udf\""},
      {R"({"op":"set","handle":)" + l + R"(,"prop":"xdata","value":"abc"})",
       "Bad value for line property 'xdata'"},
      {R"({"op":"set","handle":)" + l + R"(,"prop":"xdata"})", "\"value\" is missing"},
      {R"({"op":"answer","answers":[{"input":["20"]},{"input":[20]}]})",
       "an input answer is an array of texts"},
      {R"({"op":"answer","answers":[{"colour":"red"}]})", "unknown answer kind \"colour\""},
      {R"({"op":"answer","answers":{"input":["1"]}})", "\"answers\" must be an array"},
      {R"({"op":"press","handle":)" + l + R"(,"at":[1]})", "\"at\" must be [x, y]"},
      {R"({"op":"press","handle":)" + l + R"(,"at":["NaN",2]})", "\"at\" must be [x, y], two finite numbers"},
      {R"({"op":"motion","at":[1,"-Inf"]})", "\"at\" must be [x, y], two finite numbers"},
      {R"({"op":"press","handle":)" + l + R"(,"at":[1,2],"selectiontype":"twice"})", "\"selectiontype\" is"},
      {R"({"op":"press","figure":)" + std::to_string(fig) + R"(,"button":4})", "\"button\" is 1"},
      {R"({"op":"press","at":[1,2]})", "a press needs \"handle\""},
      {R"({"op":"callback","handle":)" + l + "}", "is a line, not a control or menu item"},
      {R"({"op":"find","colour":"red"})", "unknown field \"colour\" in a \"find\" request"},
      {R"({"op":"find","type":"spline"})", "unknown object type \"spline\""},
      {R"({"op":"key","key":""})", "\"key\" must not be empty"},
      {R"({"op":"close","handle":)" + l + "}", "is not a window"},
  };
  std::string input;
  for (const auto& [line, message] : bad) input += line + "\n";
  input += R"({"op":"figures"})"
           "\n";
  const auto xdata = g.at(line).get("xdata");
  const auto replies = s.run(input);
  ASSERT_EQ(replies.size(), bad.size() + 1);
  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(replies[i]["ok"], false) << bad[i].first;
    EXPECT_NE(replies[i]["error"].get<std::string>().find(bad[i].second), std::string::npos)
        << bad[i].first << " -> " << replies[i]["error"];
  }
  EXPECT_EQ(replies.back()["ok"], true);
  EXPECT_EQ(g.at(line).get("xdata"), xdata);
  EXPECT_EQ(s.ui.pending(), 0u);  // the half-valid answer list queued nothing
  EXPECT_TRUE(g.exists(line));
}

TEST(Automation, RequestsRunWhileACallWaitsAndItsReplyComesAfter) {
  Session s;
  const Handle fig = s.makeFigure();
  const std::string f = std::to_string(fig);
  const auto replies = s.run(R"({"op":"dispatch","args":["wait"]})"
                             "\n"
                             R"({"op":"figures"})"
                             "\n"
                             R"({"op":"close","handle":)" +
                             f +
                             "}\n"
                             R"({"op":"console"})"
                             "\n");
  ASSERT_EQ(replies.size(), 4u);
  EXPECT_EQ(replies[0]["figures"].size(), 1u);           // answered while the dispatch waited
  EXPECT_EQ(replies[1], Json::parse(R"({"ok":true})"));  // the close
  EXPECT_EQ(replies[2], Json::parse(R"({"ok":true})"));  // then the dispatch itself
  EXPECT_EQ(replies[3]["lines"], Json::array());
}

TEST(Automation, PointerInputTakesAPumpedPressOrKey) {
  Session s;
  const Handle fig = s.makeFigure();
  const Handle ax = s.rt.graphics().create(ObjectType::Axes, fig);
  (void)ax;
  const auto replies = s.run(R"({"op":"dispatch","args":["ginput"]})"
                             "\n"
                             R"({"op":"press","figure":)" +
                             std::to_string(fig) +
                             R"(,"button":3,"at":[1.5,-2]})"
                             "\n"
                             R"({"op":"dispatch","args":["ginput"]})"
                             "\n"
                             R"({"op":"key","key":"q"})"
                             "\n");
  ASSERT_EQ(replies.size(), 4u);
  ASSERT_EQ(s.pointer.size(), 2u);
  EXPECT_EQ(s.pointer[0].button, 3);
  EXPECT_EQ(s.pointer[0].x, 1.5);
  EXPECT_EQ(s.pointer[0].y, -2);
  EXPECT_EQ(s.pointer[1].button, 0);
  EXPECT_EQ(s.pointer[1].key, "q");
}

TEST(Automation, EndOfInputDuringAWaitCancelsItAndEnds) {
  Session s;
  s.makeFigure();
  const auto replies = s.run(R"({"op":"dispatch","args":["wait"]})"
                             "\n");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0]["ok"]);
  EXPECT_TRUE(s.automation->finished());
  EXPECT_EQ(s.ui.consoleLines().back(), "automation: wait cancelled, no more input");
}

}  // namespace
}  // namespace velmora::platform
