// The reflection order of a case, end to end through the automation protocol and the dispatcher: bad
// values and too much work refused before anything changes, one history step per change, case files
// carrying the order only above 1, and the views that count every order.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>

#include "support/automation_request.h"
#include "platform/files/matfile.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Json;

class ReflectionOrder : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override { fig = openMainWindow(); }

  Json request(const Json& req) { return test_support::automationRequest(rt, ui, req); }
  Json dispatch(Json args) { return request({{"op", "dispatch"}, {"args", std::move(args)}}); }
  // The case record and every object of every window.
  Json window() {
    return Json{request({{"op", "get"}, {"what", "udf"}})["value"], request({{"op", "find"}})["objects"]};
  }
  // The labels of the "reflection order" submenu items that are checked.
  std::vector<std::string> checkedOrders() {
    std::vector<std::string> out;
    for (const char* k : {"1", "2", "3", "4", "5", "6"}) {
      for (platform::Handle item : windowItems(k)) {
        const auto parent = rt.graphics().at(item).parent();
        if (rt.graphics().at(parent).text("label") == "reflection order" &&
            rt.graphics().at(item).isOn("checked"))
          out.push_back(k);
      }
    }
    return out;
  }
  std::string path(const std::string& name) { return (std::filesystem::current_path() / name).string(); }
};

TEST_F(ReflectionOrder, BadOrdersAreRefusedNamingTheFieldAndChangeNothing) {
  // A case file holding order 7, written as the program writes files.
  CaseDescription seven = CaseDescription::fromValue(ops.call(rt, "getcurrentprop", {}, 1).at(0));
  Json file;
  for (const auto& [name, value] :
       std::vector<std::pair<std::string, platform::Value>>{{"seven.ac", platform::Value(7.0)},
                                                            {"half.ac", platform::Value(2.5)},
                                                            {"text.ac", platform::Value("3")}}) {
    platform::Value v = seven.toValue();
    v.record().set("order", value);
    platform::writeMatVariable(path(name), "prop", v);
  }
  const struct {
    const char* name;
    Json args;
    std::string message;
  } rows[] = {
      {"verb, 7",
       {"reflectionorder", "7"},
       "reflection order: order must be a whole number from 1 to 6, not \"7\""},
      {"verb, 0",
       {"reflectionorder", 0},
       "reflection order: order must be a whole number from 1 to 6, not 0"},
      {"verb, 1.5",
       {"reflectionorder", "1.5"},
       "reflection order: order must be a whole number from 1 to 6, not \"1.5\""},
      {"verb, text",
       {"reflectionorder", "two"},
       "reflection order: order must be a whole number from 1 to 6, not \"two\""},
      {"update, 7",
       {"update", {{"order", 7}}},
       "case description: field order must be a whole number from 1 to 6, got 7"},
      {"update, 2.5", {"update", {{"order", 2.5}}}, "case description: field order must be a whole number"},
      {"update, text",
       {"update", {{"order", "2"}}},
       "case description: field order must hold numbers, not a text"},
      {"file, 7",
       {"load", path("seven.ac")},
       "file " + path("seven.ac") +
           ": case description: field order must be a whole number from 1 to 6, got 7"},
      {"file, 2.5",
       {"load", path("half.ac")},
       "file " + path("half.ac") + ": case description: field order must be a whole number"},
      {"file, text",
       {"load", path("text.ac")},
       "file " + path("text.ac") + ": case description: field order must hold numbers, not a text"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Json before = window();
    const Json reply = dispatch(row.args);
    EXPECT_EQ(reply["ok"], false);
    EXPECT_EQ(reply.value("error", ""), row.message);
    EXPECT_EQ(window(), before);
  }
  EXPECT_EQ(readCase(rt, fig).order, 1);
}

TEST_F(ReflectionOrder, TooMuchWorkIsRefusedBeforeItStartsAndTheOrderStays) {
  // The most walls a case may hold, a circle of them slightly jagged: about 19000 paths at order 3,
  // over 100000 at order 6 (the beams grow with the square of the order in such rooms).
  Json x = Json::array(), y = Json::array();
  for (int k = 0; k < 1000; ++k) {
    const double r = k % 2 == 0 ? 9 : 8.99;
    x.push_back(10 + r * std::cos(k * 2 * M_PI / 1000));
    y.push_back(r * std::sin(k * 2 * M_PI / 1000));
  }
  ASSERT_EQ(dispatch({"update",
                      {{"xwall", x},
                       {"ywall", y},
                       {"xso", 13},
                       {"yso", 1},
                       {"Nsurface", 4},
                       {"xaud", {8, 12, 12, 8}},
                       {"yaud", {-2, -2, 2, 2}}}})["ok"],
            true);
  ASSERT_EQ(dispatch({"reflectionorder", "2"})["ok"], true);
  const std::size_t steps = readCase(rt, fig).actionlist.size();
  const Json before = window();
  const std::string message = "reflection order 6 refused: more than 100000 reflection paths to trace";
  for (const Json& args : {Json{"reflectionorder", "6"}, Json{"update", {{"order", 6}}}}) {
    SCOPED_TRACE(args.dump());
    const Json reply = dispatch(args);
    EXPECT_EQ(reply["ok"], false);
    EXPECT_EQ(reply.value("error", ""), message);
    EXPECT_EQ(window(), before);
  }
  EXPECT_EQ(readCase(rt, fig).order, 2);
  EXPECT_EQ(readCase(rt, fig).actionlist.size(), steps);
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"2"});
  // Chosen in the submenu: the reason is said in a box too, and the order stays.
  for (platform::Handle item : windowItems("6"))
    if (rt.graphics().at(rt.graphics().at(item).parent()).text("label") == "reflection order") rt.click(item);
  EXPECT_EQ(shownOf("error").back(), "Reflection order: " + message);
  EXPECT_EQ(readCase(rt, fig).order, 2);
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"2"});
}

TEST_F(ReflectionOrder, TheSubmenuSetsTheOrderAsOneHistoryStepThatUndoAndRedoStepOver) {
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"1"});
  const auto firstRT = *readCase(rt, fig).RT;
  // The submenu item "3", as a click on it runs it.
  platform::Handle three = platform::kNoHandle;
  for (platform::Handle item : windowItems("3"))
    if (rt.graphics().at(rt.graphics().at(item).parent()).text("label") == "reflection order") three = item;
  ASSERT_NE(three, platform::kNoHandle);
  const auto receptor =
      std::make_pair(nums(obj("acoureceptor"), "xdata"), nums(obj("acoureceptor"), "ydata"));
  rt.click(three);
  // The rebuild that recomputes the case leaves the receptor where it was (not the middle of the view).
  EXPECT_EQ(std::make_pair(nums(obj("acoureceptor"), "xdata"), nums(obj("acoureceptor"), "ydata")), receptor);
  CaseRecord r = readCase(rt, fig);
  EXPECT_EQ(r.order, 3);
  EXPECT_EQ(r.actionlist.back(), "reflection order");
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"3"});
  ASSERT_TRUE(r.RTorder && r.PTorder);
  ASSERT_EQ(r.RTorder->size(), 3u);
  EXPECT_EQ((*r.RTorder)[0], firstRT);
  for (std::size_t i = 0; i < r.RT->data.size(); ++i) {
    EXPECT_EQ(r.RT->data[i], (*r.RTorder)[0].data[i] + (*r.RTorder)[1].data[i] + (*r.RTorder)[2].data[i]);
  }
  // The value list offers each higher order apart, after the walls.
  EXPECT_EQ(text(obj("acouselectbutton"), "string"),
            "all|direct|wall 1|wall 2|wall 3|wall 4|order 2|order 3");
  rt.click(obj("acouselectbutton"), platform::Value(7.0));
  const auto cdata = nums(obj("acouaudiencesurface"), "cdata");
  ASSERT_EQ(cdata.size(), (*r.RTorder)[1].data.size());
  for (std::size_t i = 0; i < cdata.size(); ++i) EXPECT_EQ(cdata[i], (*r.RTorder)[1].data[i] + 1);

  // The higher-order images: off by default; on, one line of images and one of windows per order,
  // only the chosen order's while the list shows one order.
  const auto count = [&](const char* tag) { return objectsByTag(rt, fig, tag).size(); };
  EXPECT_EQ(count("acouhigherimage"), 0u);
  rt.click(windowItems("higher-order images").at(0));
  EXPECT_EQ(count("acouhigherimage"), 1u);  // "order 2" is shown
  EXPECT_EQ(count("acouhigherwindow"), 1u);
  rt.click(obj("acouselectbutton"), platform::Value(1.0));
  EXPECT_EQ(count("acouhigherimage"), 2u);
  EXPECT_EQ(count("acouhigherwindow"), 2u);
  rt.click(windowItems("higher-order images").at(0));
  EXPECT_EQ(count("acouhigherimage") + count("acouhigherwindow"), 0u);

  // The same order again records nothing.
  const std::size_t steps = r.actionlist.size();
  ASSERT_EQ(dispatch({"reflectionorder", "3"})["ok"], true);
  EXPECT_EQ(readCase(rt, fig).actionlist.size(), steps);

  rt.key(fig, "ctrl+z");
  r = readCase(rt, fig);
  EXPECT_EQ(r.order, 1);
  EXPECT_FALSE(r.RTorder.has_value());
  EXPECT_EQ(*r.RT, firstRT);
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"1"});
  EXPECT_EQ(text(obj("acouselectbutton"), "string"), "all|direct|wall 1|wall 2|wall 3|wall 4");
  rt.key(fig, "ctrl+shift+z");
  EXPECT_EQ(readCase(rt, fig).order, 3);
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"3"});
}

TEST_F(ReflectionOrder, CaseFilesCarryTheOrderOnlyAboveOneAndReadItBack) {
  ASSERT_EQ(dispatch({"reflectionorder", "3"})["ok"], true);
  const CaseRecord saved = readCase(rt, fig);
  ui.push(platform::ScriptedAnswer::chosenFile(path("third.ac")));
  ASSERT_EQ(dispatch({"save"})["ok"], true);
  EXPECT_EQ(platform::readMatVariable(path("third.ac"), "prop").record().find("order")->scalar(), 3);

  ASSERT_EQ(dispatch({"reflectionorder", "1"})["ok"], true);
  ui.push(platform::ScriptedAnswer::chosenFile(path("first.ac")));
  ASSERT_EQ(dispatch({"save"})["ok"], true);
  EXPECT_EQ(platform::readMatVariable(path("first.ac"), "prop").record().find("order"), nullptr);

  ASSERT_EQ(dispatch({"load", path("third.ac")})["ok"], true);
  CaseRecord loaded = readCase(rt, fig);
  EXPECT_EQ(loaded.order, 3);
  EXPECT_EQ(loaded.RT, saved.RT);
  // The file lists the audience corners newest first: the grid may run the other way, the same points.
  ASSERT_TRUE(loaded.PTorder && saved.PTorder);
  ASSERT_EQ(loaded.PTorder->size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    auto a = (*loaded.PTorder)[k].data, b = (*saved.PTorder)[k].data;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-12 * b[i]) << k;
  }
  EXPECT_EQ(checkedOrders(), std::vector<std::string>{"3"});
  // A file without the field is a first-order case, whatever the window showed before.
  ASSERT_EQ(dispatch({"load", path("first.ac")})["ok"], true);
  EXPECT_EQ(readCase(rt, fig).order, 1);
  EXPECT_FALSE(readCase(rt, fig).RTorder.has_value());
}

TEST_F(ReflectionOrder, TheEchogramCountsEveryOrderAndNamesEachPath) {
  ASSERT_EQ(dispatch({"echogram"})["ok"], true);
  const auto shownSummary = [&] {
    return request({{"op", "find"}, {"tag", "acouechogramsummary"}})["objects"][0]["props"]["string"]
        .get<std::string>();
  };
  const auto record = [&] {
    return request({{"op", "find"}, {"tag", "acouechogram"}})["objects"][0]["props"]["userdata"];
  };
  const Json first = record();
  EXPECT_EQ(shownSummary(), "first-order arrivals only:  " + first["summary"].get<std::string>());
  EXPECT_FALSE(first["arrivals"][1].contains("order"));

  ASSERT_EQ(dispatch({"reflectionorder", "2"})["ok"], true);
  const Json second = record();
  EXPECT_EQ(shownSummary(), "reflections up to order 2:  " + second["summary"].get<std::string>());
  std::size_t firstOrder = 0, secondOrder = 0;
  for (const Json& a : second["arrivals"]) {
    if (a["kind"] != "reflection") continue;
    // One wall reads as a number, more as a row.
    const Json& w = a["walls"];
    const Json walls = w.is_number() ? Json::array({w}) : w.is_array() ? w : w["data"];
    EXPECT_EQ(walls.size(), a["order"].get<std::size_t>());
    EXPECT_EQ(walls[0], a["wall"]);
    (a["order"] == 1 ? firstOrder : secondOrder) += 1;
  }
  // The default room, source and receptor on its middle line: 4 first-order paths and some of two walls.
  EXPECT_EQ(firstOrder, 4u);
  EXPECT_GT(secondOrder, 0u);
  EXPECT_LT(second["d50"].get<double>(), first["d50"].get<double>());
}

TEST_F(ReflectionOrder, TheEchoRiskCountsEveryOrder) {
  ASSERT_EQ(dispatch({"echorisk"})["ok"], true);
  const auto atRisk = [&] {
    const Json p =
        request({{"op", "find"}, {"tag", "acouechorisk"}})["objects"][0]["props"]["userdata"]["points"];
    return p.is_number() ? 1u : p.is_array() ? p.size() : p["data"].size();
  };
  // In the default room every first-order reflection follows the direct sound closely; paths of two
  // walls come late and loud enough at many points.
  EXPECT_EQ(atRisk(), 0u);
  ASSERT_EQ(dispatch({"reflectionorder", "2"})["ok"], true);
  const std::size_t second = atRisk();
  EXPECT_GT(second, 0u);
  ASSERT_EQ(dispatch({"reflectionorder", "3"})["ok"], true);
  EXPECT_GE(atRisk(), second);
}

}  // namespace
}  // namespace velmora::shell
