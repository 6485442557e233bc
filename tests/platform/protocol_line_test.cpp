// Request lines that are too deep, too long or too wide for a naive reader: each gets its own clear
// refusal (or, when well formed, its normal answer) and the loop goes on with the next line.

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/automation/automation.h"
#include "platform/model/error.h"
#include "platform/automation/protocol_line.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"

namespace velmora::platform {
namespace {

struct Loop {
  ScriptedUi ui;
  Runtime rt{ui};
  std::vector<std::vector<Value>> calls;
  Loop() {
    rt.setDispatcher([this](Runtime&, const std::vector<Value>& args) { calls.push_back(args); });
  }
  // Runs the input; the replies, one per line.
  std::vector<Json> run(const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    Automation automation(rt, ui, in, out);
    automation.run();
    std::vector<Json> replies;
    std::istringstream lines(out.str());
    for (std::string l; std::getline(lines, l);) replies.push_back(Json::parse(l));
    return replies;
  }
};

std::string nested(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

std::string repeated(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST(ProtocolLine, RefusesWhatNoRequestNeedsAndGoesOn) {
  const std::string figures = R"({"op":"figures"})";
  const struct {
    const char* name;
    std::string line;
    std::string message;
  } rows[] = {
      // Once a stack overflow in the parser and in the value conversion.
      {"arrays 20000 deep", R"({"op":"dispatch","args":[)" + nested(20000) + "]}",
       "request nested too deeply: more than 64 levels of arrays and objects"},
      {"objects 100 deep", R"({"op":"dispatch","args":[)" + repeated(R"({"a":)", 100) + "1" + std::string(100, '}') + "]}",
       "request nested too deeply"},
      {"a line over 16 MiB", R"({"op":"dispatch","args":[")" + std::string(kMostLineBytes, 'a') + "\"]}",
       "request line too long: 16777245 bytes, at most 16777216"},
      {"a broken line quotes a short excerpt", "{\"op\":\"" + std::string(100000, 'x'), "malformed request (not JSON)"},
      {"a wrapping matrix shape", R"({"op":"dispatch","args":[{"shape":[4294967296,4294967296],"data":[]}]})",
       "a matrix of shape [4294967296,4294967296] is too large"},
      {"a handle beyond any count", R"({"op":"get","handle":1e300,"prop":"tag"})", "\"handle\" must be a handle"},
      {"a huge unsigned handle", R"({"op":"get","handle":18446744073709551615,"prop":"tag"})",
       "\"handle\" must be a handle"},
  };
  std::string input;
  for (const auto& row : rows) input += row.line + "\n" + figures + "\n";
  Loop loop;
  const auto replies = loop.run(input);
  ASSERT_EQ(replies.size(), 2 * std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(replies[2 * i]["ok"], false);
    const std::string error = replies[2 * i]["error"];
    EXPECT_NE(error.find(rows[i].message), std::string::npos) << error;
    EXPECT_LT(error.size(), 400u);
    EXPECT_EQ(replies[2 * i + 1]["ok"], true);
  }
  EXPECT_TRUE(loop.calls.empty());  // no refused line reached the dispatcher
}

// Once quadratic in the number of fields: a 10 MB line waited minutes for its answer.
TEST(ProtocolLine, WideRecordArrivesWholeInItsOrder) {
  std::string line = R"({"op":"dispatch","args":[{)";
  constexpr std::size_t kFields = 600000;
  for (std::size_t i = 0; i < kFields; ++i) line += "\"f" + std::to_string(i) + "\":" + std::to_string(i % 7) + ",";
  line += R"("f3":"last"}]})";
  ASSERT_GT(line.size(), 7000000u);
  Loop loop;
  const auto replies = loop.run(line + "\n");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0]["ok"], true);
  ASSERT_EQ(loop.calls.size(), 1u);
  const Record& r = loop.calls[0][0].record();
  ASSERT_EQ(r.size(), kFields);
  EXPECT_EQ(r.names()[kFields - 1], "f" + std::to_string(kFields - 1));
  // A repeated name keeps its first place and its last value, as before.
  EXPECT_EQ(r.names()[3], "f3");
  EXPECT_EQ(r.values()[3], Value("last"));
}

TEST(ProtocolLine, ValuesNestedWithinTheBoundDecode) {
  Value v = decodeValue(parseProtocolLine(nested(kDeepestNesting)));
  for (std::size_t depth = 1; depth < kDeepestNesting; ++depth) {
    ASSERT_TRUE(v.isList());
    ASSERT_EQ(v.list().items.size(), 1u);
    v = Value(v.list().items[0]);
  }
  EXPECT_TRUE(v.isList());
  // A document built in the program is bounded the same way.
  Json deep = Json::array();
  for (int i = 0; i < 200; ++i) deep = Json::array({std::move(deep), "x"});
  EXPECT_THROW(decodeValue(deep), Error);
}

}  // namespace
}  // namespace velmora::platform
