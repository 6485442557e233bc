// The window program's start, from its command-line words to its exit status, with every operation
// registered as the program registers them and dialogs answered by script: the zone question asked
// again after an answer that holds no number, and a case file given at start-up that cannot be read
// shown in an error box, with no window left behind.

#include "app/start_up.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "shell/init.h"
#include "support/main_window.h"

namespace velmora::app {
namespace {

using platform::ScriptedUi;

class StartUpTest : public test_support::MainWindowFixture<> {
 protected:
  // The words as typed after the program's name, through the same front-end choice as main().
  std::optional<int> startWith(const std::vector<std::string>& commandLine) {
    const Start start = chooseFrontEnd(commandLine);
    EXPECT_EQ(start.frontEnd, FrontEnd::Window);
    return runStartUpWords(rt, start.words);
  }
  std::size_t windows() const { return rt.graphics().figures().size(); }
};

TEST_F(StartUpTest, ZoneAnswersAreAskedAgainUntilTheyHoldANumber) {
  struct Row {
    std::vector<std::optional<std::string>> answers;  // nothing: Cancel
    std::optional<double> zone;                       // nothing: no window, exit status 0
    int errors;                                       // error boxes between the questions
  };
  const std::vector<Row> rows = {
      {{"20"}, 20, 0},
      {{"abc", "30"}, 30, 1},
      {{"20 m", std::nullopt}, {}, 1},
      {{"", "", "7"}, 8, 2},
      {{"1+1", "[10 30]"}, 30, 1},
      {{std::nullopt}, {}, 0},
      {{"700"}, 640, 0},
      {{"metres", "3"}, 4, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.answers.front().value_or("<cancel>"));
    for (const auto& a : row.answers) answer(a);
    const std::size_t shownBefore = ui.shown().size();
    const std::optional<int> ended = startWith({});
    EXPECT_EQ(ui.pending(), 0u);  // every answer was asked for, none more
    std::vector<std::string> kinds;
    for (std::size_t i = shownBefore; i < ui.shown().size(); ++i) {
      const auto& s = ui.shown()[i];
      if (s.kind == "progress") continue;  // the new window's map
      kinds.push_back(s.kind);
      EXPECT_EQ(s.title, "Zone definition");
      if (s.kind == "error") {
        EXPECT_EQ(s.text, shell::kZoneAnswerError);
      }
    }
    // Question, then an error box and the question again for each answer without a number.
    std::vector<std::string> expected = {"input"};
    for (int i = 0; i < row.errors; ++i) expected.insert(expected.end(), {"error", "input"});
    EXPECT_EQ(kinds, expected);
    if (!row.zone) {
      EXPECT_EQ(ended, 0);
      EXPECT_EQ(windows(), 0u);
      continue;
    }
    EXPECT_EQ(ended, std::nullopt);
    ASSERT_EQ(windows(), 1u);
    EXPECT_EQ(document::readCase(rt, document::currentMainWindow(rt)).height, *row.zone);
    rt.graphics().remove(document::currentMainWindow(rt));
  }
}

TEST_F(StartUpTest, ACaseFileThatCannotBeReadIsShownInABoxAndOpensNoWindow) {
  const std::string fixtures = VELMORA_FIXTURES;
  const std::filesystem::path here = std::filesystem::current_path();
  const std::string damaged = (here / "damaged.ac").string();
  std::ofstream(damaged, std::ios::binary) << std::string("MATLAB 5.0 MAT-file") + std::string(200, '\0');
  const std::string empty = (here / "empty.ac").string();
  std::ofstream(empty, std::ios::binary).flush();
  const std::string folder = (here / "folder.ac").string();
  std::filesystem::create_directory(folder);

  struct Row {
    std::vector<std::string> commandLine;
    std::optional<int> status;  // nothing: the program goes on with one window
    std::string box;            // the error box's text, or how it starts; empty: no box
    std::string caseName;       // of the window left open
  };
  const std::vector<Row> rows = {
      {{"load", "/nope/room.ac"}, 1, "file /nope/room.ac not found ...", ""},
      {{"--open", "/nope/room.ac"}, 1, "file /nope/room.ac not found ...", ""},
      {{"--open", damaged}, 1, "file " + damaged, ""},
      {{"load", empty}, 1, "file " + empty, ""},
      {{"load", folder}, 1, "file " + folder + " not found ...", ""},
      {{"load", fixtures + "/README.md"}, 1, "file " + fixtures + "/README.md is not a velmoracopy file ...", ""},
      {{"LOAD", fixtures + "/l-room.ac"}, {}, "", "l-room"},
      {{"--open", fixtures + "/curved-room.ac"}, {}, "", "curved-room"},
      {{"nosuchverb"}, 2, "", ""},
      {{"a", "b", "c"}, 2, "", ""},
      {{"--", "--nosuchverb"}, 2, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.commandLine.back());
    const std::size_t shownBefore = ui.shown().size();
    ui.takeConsole();
    const std::optional<int> ended = startWith(row.commandLine);
    EXPECT_EQ(ended, row.status);
    std::vector<ScriptedUi::Shown> boxes;
    for (std::size_t i = shownBefore; i < ui.shown().size(); ++i) {
      if (ui.shown()[i].kind == "error") boxes.push_back(ui.shown()[i]);
    }
    const auto console = ui.takeConsole();
    if (row.box.empty()) {
      EXPECT_TRUE(boxes.empty());
    } else {
      // The console line and the box say the same, the box under the program's name.
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].title, kStartFileErrorTitle);
      EXPECT_EQ(boxes[0].text.rfind(row.box, 0), 0u) << boxes[0].text;
      ASSERT_FALSE(console.empty());
      EXPECT_EQ(console.back(), boxes[0].text);
    }
    if (row.status == 2) {
      ASSERT_FALSE(console.empty());  // the dispatcher's own line: "unknown argument", ...
    }
    if (row.caseName.empty()) {
      EXPECT_EQ(windows(), 0u);  // no untitled room in place of the file
      continue;
    }
    ASSERT_EQ(windows(), 1u);
    EXPECT_EQ(document::readCase(rt, document::currentMainWindow(rt)).name, row.caseName);
    rt.graphics().remove(document::currentMainWindow(rt));
  }
}

}  // namespace
}  // namespace velmora::app
