// The automation protocol read against its reference: which window "get udf" reads when a secondary
// window is in front, and dispatch arguments that are texts looking like special numbers.

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/automation/automation.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"

namespace velmora::platform {
namespace {

// A runtime whose dispatcher opens main windows ("main NAME") and secondary windows ("polar"), and
// keeps every argument list it receives.
struct Protocol {
  ScriptedUi ui;
  Runtime rt{ui};
  std::vector<std::vector<Value>> calls;

  Protocol() {
    rt.setDispatcher([this](Runtime& r, const std::vector<Value>& args) {
      calls.push_back(args);
      Graphics& g = r.graphics();
      if (args.size() == 2 && args[0].isText() && args[0].text() == "main") {
        const Handle fig = g.create(ObjectType::Figure, kRoot);
        g.setText(fig, "tag", "acoufig");
        Record udf;
        udf.set("name", args[1]);
        g.setUserdata(fig, std::make_shared<ValueUserData>(Value(udf)));
        g.setCurrentFigure(fig);
      } else if (args.size() == 1 && args[0].isText() && args[0].text() == "polar") {
        const Handle fig = g.create(ObjectType::Figure, kRoot);
        g.setText(fig, "tag", "acoupolar");
        g.setCurrentFigure(fig);
      }
    });
  }

  // Answers one request line.
  Json one(const std::string& line) {
    std::istringstream in;
    std::ostringstream out;
    Automation automation(rt, ui, in, out);
    automation.setMainWindowTag("acoufig");
    return Json::parse(automation.handle(line));
  }
};

TEST(AutomationConformance, CaseRecordOfTheMainWindowWhileASecondaryWindowIsCurrent) {
  Protocol p;
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["main","hall"]})")["ok"]);
  const Handle hall = p.rt.graphics().currentFigure();
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["polar"]})")["ok"]);
  ASSERT_NE(p.rt.graphics().currentFigure(), hall);

  // The polar window is in front: the record is still the main window's, as operations see it.
  Json r = p.one(R"({"op":"get","what":"udf"})");
  ASSERT_EQ(r["ok"], true) << r.dump();
  EXPECT_EQ(r["value"]["name"], "hall");

  // A second main window, made current and then hidden behind a polar window again.
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["main","studio"]})")["ok"]);
  EXPECT_EQ(p.one(R"({"op":"get","what":"udf"})")["value"]["name"], "studio");
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["polar"]})")["ok"]);
  r = p.one(R"({"op":"get","what":"udf"})");
  ASSERT_EQ(r["ok"], true) << r.dump();
  const Handle top = [&] {
    for (Handle f : p.rt.graphics().figures())
      if (p.rt.graphics().at(f).tag() == "acoufig") return f;
    return kNoHandle;
  }();
  EXPECT_EQ(r["value"]["name"], top == hall ? "hall" : "studio");

  // Asking for a window by handle still reads that window.
  EXPECT_EQ(p.one(R"({"op":"get","what":"udf","figure":)" + std::to_string(hall) + "}")["value"]["name"],
            "hall");
}

TEST(AutomationConformance, NoMainWindowBehindASecondaryOneIsAnError) {
  Protocol p;
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["polar"]})")["ok"]);
  EXPECT_EQ(p.one(R"({"op":"get","what":"udf"})"),
            Json::parse(R"({"ok":false,"error":"no main window is current"})"));
}

// The protocol knows the program's main windows only by the tag the program gives it.
TEST(AutomationConformance, MainWindowsAreThoseOfTheTagTheProgramGives) {
  Protocol p;
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["main","hall"]})")["ok"]);
  const Handle hall = p.rt.graphics().currentFigure();
  std::istringstream in;
  std::ostringstream out;
  const auto ask = [&](const char* tag, const std::string& line) {
    Automation automation(p.rt, p.ui, in, out);
    if (tag != nullptr) automation.setMainWindowTag(tag);
    return Json::parse(automation.handle(line));
  };
  const Json none = Json::parse(R"({"ok":false,"error":"no main window is current"})");
  EXPECT_EQ(ask(nullptr, R"({"op":"get","what":"udf"})"), none);
  EXPECT_EQ(ask("acoupolar", R"({"op":"get","what":"udf"})"), none);
  EXPECT_EQ(ask("acoufig", R"({"op":"get","what":"udf"})")["value"]["name"], "hall");
  // A window named by handle is read whatever its tag.
  EXPECT_EQ(
      ask(nullptr, R"({"op":"get","what":"udf","figure":)" + std::to_string(hall) + "}")["value"]["name"],
      "hall");
}

TEST(AutomationConformance, DispatchTextsStayTextsAndOtherValuesDecode) {
  Protocol p;
  struct Row {
    const char* args;
    std::vector<Value> expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Row> rows = {
      {R"(["NaN"])", {Value("NaN")}},
      {R"(["Inf"])", {Value("Inf")}},
      {R"(["load","-Inf"])", {Value("load"), Value("-Inf")}},
      {R"(["init"])", {Value("init")}},
      {R"([20])", {Value(20.0)}},
      {R"([[1,2,3]])", {Value::row({1, 2, 3})}},
      {R"([{"xso":"NaN"}])", {[&] {
         Record r;
         r.set("xso", Value(nan));
         return Value(r);
       }()}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args);
    p.calls.clear();
    const Json reply = p.one(std::string(R"({"op":"dispatch","args":)") + row.args + "}");
    EXPECT_EQ(reply["ok"], true);
    ASSERT_EQ(p.calls.size(), 1u);
    ASSERT_EQ(p.calls[0].size(), row.expected.size());
    for (std::size_t i = 0; i < row.expected.size(); ++i)
      EXPECT_EQ(encodeValue(p.calls[0][i]).dump(), encodeValue(row.expected[i]).dump());
    if (row.expected[0].isText()) {
      EXPECT_TRUE(p.calls[0][0].isText());
    }
  }
}

TEST(AutomationConformance, DialogsReportWhatWasShownOnceEach) {
  Protocol p;
  p.rt.setDispatcher([](Runtime& r, const std::vector<Value>&) {
    r.ui().message(MessageKind::Message, "Sum equals to 63 dB", "Result");
    r.ui().input({{"Enter wall absorption coefficient (%):"}, "Set wall property", 1, {"0"}});
  });
  ASSERT_TRUE(p.one(R"({"op":"dispatch","args":["dbsum"]})")["ok"]);
  const Json r = p.one(R"({"op":"dialogs"})");
  ASSERT_EQ(r["ok"], true) << r.dump();
  ASSERT_EQ(r["dialogs"].size(), 2u);
  EXPECT_EQ(r["dialogs"][0]["kind"], "message");
  EXPECT_EQ(r["dialogs"][0]["title"], "Result");
  EXPECT_EQ(r["dialogs"][0]["text"], "Sum equals to 63 dB");
  EXPECT_EQ(r["dialogs"][1]["kind"], "input");
  EXPECT_EQ(r["dialogs"][1]["text"], "Enter wall absorption coefficient (%):");
  EXPECT_TRUE(p.one(R"({"op":"dialogs"})")["dialogs"].empty());
  EXPECT_EQ(p.one(R"({"op":"dialogs","extra":1})")["ok"], false);
}

}  // namespace
}  // namespace velmora::platform
