// The core of the shell read against its reference: several main windows side by side, the main
// window that operations find while a secondary window is in front, and zone answers at the edges.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/operation_table.h"
#include "document/case_record.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "shell/init.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ObjectType;
using platform::ScriptedAnswer;
using platform::Value;

class CoreConformanceTest : public test_support::MainWindowFixture<> {
 protected:
  Handle open(const std::string& zone) {
    ui.push(ScriptedAnswer::inputs(std::vector<std::string>{zone}));
    velmoracopy(rt, ops, {Value("init")});
    return rt.graphics().currentFigure();
  }
};

TEST_F(CoreConformanceTest, EachInitMakesANewCurrentWindowWithACaseOfItsOwn) {
  const Handle first = open("20");
  const Handle second = open("40");
  ASSERT_NE(first, second);
  EXPECT_EQ(rt.graphics().currentFigure(), second);
  EXPECT_EQ(currentMainWindow(rt), second);
  EXPECT_EQ(readCase(rt, first).height, 20);
  EXPECT_EQ(readCase(rt, second).height, 40);
  EXPECT_EQ(readCase(rt, second).gsize, 1);
  // Each window records its own start.
  EXPECT_EQ(readCase(rt, first).actionlist, std::vector<std::string>{"initial state"});
  EXPECT_EQ(readCase(rt, second).actionlist, std::vector<std::string>{"initial state"});

  // A secondary window in front: operations still find a main window, and its case is whole.
  const Handle polar = rt.graphics().create(ObjectType::Figure, platform::kRoot);
  rt.graphics().setText(polar, "tag", "acoupolar");
  rt.graphics().setCurrentFigure(polar);
  const Handle found = currentMainWindow(rt);
  EXPECT_TRUE(found == first || found == second);
  EXPECT_TRUE(isMainWindow(rt, found));

  // Closing a main window discards its case; the other keeps its own.
  rt.graphics().remove(second);
  rt.graphics().remove(polar);
  EXPECT_EQ(currentMainWindow(rt), first);
  EXPECT_EQ(readCase(rt).height, 20);
  rt.graphics().remove(first);
  EXPECT_FALSE(findMainWindow(rt).has_value());
  EXPECT_THROW(currentMainWindow(rt), Error);
}

TEST_F(CoreConformanceTest, ZoneAnswersAtTheEdges) {
  struct Row {
    std::optional<std::string> answer;
    std::optional<double> zone;
  };
  const std::vector<Row> rows = {
      {"4", 4},     {"640", 640},   {"641", 640}, {"-5", 4},         {"0", 4},           {"5", 6},
      {"39.2", 40}, {"1e400", 640}, {"", {}},     {"20 metres", {}}, {std::nullopt, {}}, {"[10 30]", 30},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.answer.value_or("<cancel>"));
    ui.push(ScriptedAnswer::inputs(row.answer ? std::optional(std::vector<std::string>{*row.answer})
                                              : std::nullopt));
    EXPECT_EQ(getzonesize(rt), row.zone);
  }
}

}  // namespace
}  // namespace velmora::shell
