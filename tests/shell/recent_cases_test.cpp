// The "recent cases" submenu of the "objects" menu: the five cases saved or loaded last, newest
// first, each loading its case as "load NAME" does; the undo snapshot file never shows.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files/recent_cases.h"
#include "shell/case_files.h"
#include "shell/recent_cases.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::Value;

TEST(RecentListTest, NewestFirstWithoutRepeatsAtMostFive) {
  std::vector<std::string> list;
  for (const char* p : {"a", "b", "c", "b", "d", "e", "f", "g"}) list = platform::withRecent(list, p);
  EXPECT_EQ(list, (std::vector<std::string>{"g", "f", "e", "d", "b"}));
}

class RecentCasesTest : public test_support::MainWindowFixture<> {
 protected:
  RecentCasesTest() {
    platform::installRecentCases(&recent);
    fig = openMainWindow();
  }
  ~RecentCasesTest() override { platform::installRecentCases(nullptr); }
  std::string path(const std::string& name) { return (std::filesystem::current_path() / name).string(); }
  void save(const std::string& name) {
    ui.push(platform::ScriptedAnswer::chosenFile(path(name)));
    velmoracopy(rt, ops, {Value("save")});
  }
  std::vector<Handle> entries() {
    const auto menus = windowItems("recent cases");
    EXPECT_EQ(menus.size(), 1u);
    return menuItemsInOrder(rt.graphics(), menus.front());
  }
  std::vector<std::string> labels() {
    std::vector<std::string> out;
    for (Handle h : entries()) out.push_back(text(h, "label"));
    return out;
  }
  platform::InMemoryRecentCases recent;
};

TEST_F(RecentCasesTest, SavedCasesListNewestFirstAndLoadFromTheMenu) {
  EXPECT_TRUE(labels().empty());
  EXPECT_EQ(text(windowItems("recent cases").front(), "enable"), "off");
  for (const char* name : {"one.ac", "two.ac", "three.ac", "four.ac", "five.ac", "six.ac"}) save(name);
  EXPECT_EQ(labels(), (std::vector<std::string>{path("six.ac"), path("five.ac"), path("four.ac"),
                                                path("three.ac"), path("two.ac")}));

  // Moving the source records a step (and writes the undo snapshot file): the list stays as it was.
  ui.push(platform::ScriptedAnswer::inputs(std::vector<std::string>{"4 1", "100"}));
  velmoracopy(rt, ops, {Value("setsourceposition")});
  ASSERT_TRUE(std::filesystem::exists("temporarysave.ac"));
  EXPECT_EQ(labels().front(), path("six.ac"));

  rt.click(entries()[3]);  // three.ac, saved with the source where it was first
  const CaseRecord loaded = readCase(rt, fig);
  EXPECT_EQ(loaded.name, "three");
  EXPECT_EQ(loaded.actionlist, std::vector<std::string>{"case three loaded"});
  EXPECT_EQ(nums(obj("acousource"), "xdata"), std::vector<double>{3.5});
  EXPECT_EQ(labels().front(), path("three.ac"));
}

TEST_F(RecentCasesTest, AVanishedCaseSaysSoAndChangesNothing) {
  save("gone.ac");
  std::filesystem::remove("gone.ac");
  const CaseDescription before = describeCase(rt, fig, "x");
  const auto history = readCase(rt, fig).actionlist;
  rt.click(entries().front());
  EXPECT_EQ(ui.consoleLines().back(), "file " + path("gone.ac") + " not found ...");
  // Also in a box: a window's user sees no console.
  EXPECT_EQ(shownOf("error").back(), "Recent cases: file " + path("gone.ac") + " not found ...");
  EXPECT_EQ(describeCase(rt, fig, "x"), before);
  EXPECT_EQ(readCase(rt, fig).actionlist, history);
  // A file that is no case any more: its reason in the box, nothing changed.
  std::ofstream("gone.ac") << "not a case";
  rt.click(entries().front());
  EXPECT_EQ(shownOf("error").back(), "Recent cases: " + ui.consoleLines().back());
  EXPECT_EQ(describeCase(rt, fig, "x"), before);
}

}  // namespace
}  // namespace velmora::shell
