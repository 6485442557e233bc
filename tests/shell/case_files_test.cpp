// Case files and the undo history, driven through the dispatcher with scripted dialogs and the real
// registered operations, in a temporary current folder.

#include "shell/case_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/operation_table.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/files/matfile.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "shell/update.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

namespace fs = std::filesystem;
using platform::Handle;
using platform::ObjectType;
using platform::Record;
using platform::ScriptedAnswer;
using platform::Value;

std::string fixture(const std::string& name) {
  return std::string(VELMORA_FIXTURES) + "/" + name;
}

// The whole case record, derived fields included.
bool sameRecord(const CaseRecord& a, const CaseRecord& b) {
  return a.toValue() == b.toValue();
}

std::vector<double> reversed(std::vector<double> v) {
  std::reverse(v.begin(), v.end());
  return v;
}

class CaseFilesTest : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override {
    addStandIns();
    oldFolder = fs::current_path();
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder = fs::temp_directory_path() / ("velmora-case-files-" + std::to_string(::getpid()) + "-" + test);
    fs::remove_all(folder);
    fs::create_directories(folder);
    folder = fs::canonical(folder);
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(oldFolder);
    fs::remove_all(folder);
  }

  // The history tests split wall 1 at its middle with a stand-in (through the display rebuild, keeping
  // everything else), so they do not depend on how the wall split picks its wall.
  void addStandIns() {
    ops.add({"splitwall", 0, 0, 1, [this](platform::Runtime& r, const std::vector<Value>&) {
               CaseDescription d = describeCase(r, currentMainWindow(r), "x");
               const double mx = ((*d.xwall)[0] + (*d.xwall)[1]) / 2;
               const double my = ((*d.ywall)[0] + (*d.ywall)[1]) / 2;
               d.xwall->insert(d.xwall->begin() + 1, mx);
               d.ywall->insert(d.ywall->begin() + 1, my);
               d.alpha->insert(d.alpha->begin() + 1, (*d.alpha)[0]);
               d.name.reset();
               d.Nsurface.reset();
               d.noselectchange = true;
               update(r, ops, d);
               return std::vector<Value>{};
             }});
  }

  Handle open() { return openMainWindow(); }
  CaseRecord record() const { return readCase(rt, currentMainWindow(rt)); }
  CaseDescription drawing() const { return describeCase(rt, currentMainWindow(rt), "x"); }
  void saveAs(const std::string& path, std::optional<std::string> overwrite = std::nullopt) {
    ui.push(ScriptedAnswer::chosenFile(path));
    if (overwrite) ui.push(ScriptedAnswer::button(*overwrite));
    dispatch({Value("save")});
  }
  CaseDescription readBack(const std::string& path) const {
    return CaseDescription::fromValue(platform::readMatVariable(path, "prop"));
  }
  void dragVertex(std::size_t k, double x, double y) {
    const Handle fig = currentMainWindow(rt);
    const auto markers = objectsInCreationOrder(rt, fig, "acouwallvertex");
    const engine::Point from = firstPoint(rt, markers.at(k - 1));
    rt.press(markers.at(k - 1), from.x, from.y);
    rt.motion(fig, x, y);
    rt.release(fig, x, y);
  }
  std::vector<Handle> historyLists() const {
    return rt.graphics().findIf(currentMainWindow(rt), [](const platform::GraphicsObject& o) {
      return o.type() == ObjectType::UiControl && o.text("style") == "listbox" &&
             o.text("callback") == "guidata(gcf,get(gcbo,'value'));delete(gcbo)";
    });
  }
  // Runs the "history" verb and clicks entry `position` of the list it shows (nothing: no click).
  // Returns the entries shown.
  std::vector<std::string> chooseFromHistory(std::optional<int> position) {
    std::vector<std::string> shown;
    bool clicked = false;
    ui.setPump([&] {
      if (clicked || !position) return false;
      const auto lists = historyLists();
      if (lists.size() != 1) return false;
      const auto& o = rt.graphics().at(lists.front());
      const Value entries = o.get("string");
      for (const Value& item : entries.list().items) shown.push_back(item.text());
      EXPECT_EQ(o.text("units"), "normalized");
      EXPECT_EQ(o.numbers("position"), (std::vector<double>{0.3, 0.3, 0.4, 0.4}));
      EXPECT_EQ(o.number("fontsize"), 12);
      EXPECT_EQ(o.text("callback"), "guidata(gcf,get(gcbo,'value'));delete(gcbo)");
      clicked = true;
      rt.click(lists.front(), Value(static_cast<double>(*position)));
      return true;
    });
    dispatch({Value("history")});
    ui.setPump({});
    return shown;
  }

  fs::path oldFolder;
  fs::path folder;
};

// ---- undo step and snapshots ---------------------------------------------------------------------

TEST_F(CaseFilesTest, InitRecordsTheInitialStateAsASnapshot) {
  open();
  const CaseRecord r = record();
  ASSERT_EQ(r.actionlist, std::vector<std::string>{"initial state"});
  ASSERT_EQ(r.proplist.size(), 1u);
  const CaseDescription& s = r.proplist.front();
  EXPECT_EQ(s.name, "temporarysave");  // snapshots never carry the case name
  EXPECT_EQ(r.name, "not saved");
  EXPECT_EQ(s.xwall, (std::vector<double>{3, 17, 17, 3}));
  EXPECT_EQ(s.ywall, (std::vector<double>{-7, -7, 7, 7}));
  EXPECT_EQ(s.alpha, (std::vector<double>{0, 0, 0, 0}));
  // Corners as the drawing area lists them: corner 4 first.
  EXPECT_EQ(s.xaud, (std::vector<double>{5, 15, 15, 5}));
  EXPECT_EQ(s.yaud, (std::vector<double>{5, 5, -5, -5}));
  EXPECT_EQ(s.Nsurface, 20);
  EXPECT_FALSE(s.curves.has_value());
  EXPECT_FALSE(s.animationparameters.has_value());
  EXPECT_TRUE(fs::is_regular_file(folder / "temporarysave.ac"));
}

TEST_F(CaseFilesTest, DescriptionFieldsInFileOrder) {
  open();
  CaseRecord r = record();
  r.animationparameters = AnimationParameters{};
  r.curves = platform::Matrix::row({2, 17, -7, 17, 7, 16, 0, 2, 2});
  storeCase(rt, currentMainWindow(rt), r);
  const auto files = [&] { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); };
  const auto before = files();
  dispatch({Value("save")});  // no answer queued: the chooser is cancelled, nothing written
  EXPECT_EQ(files(), before);
  saveAs((folder / "ordered.ac").string());
  const Record file = platform::readMatVariable((folder / "ordered.ac").string(), "prop").record();
  EXPECT_EQ(file.names(),
            (std::vector<std::string>{"name", "height", "gsize", "xlim", "ylim", "xwall", "ywall", "alpha",
                                      "xaud", "yaud", "xso", "yso", "xre", "yre", "Lw", "animationparameters",
                                      "curves", "Nsurface"}));
  // Without animation parameters and curves neither is written.
  r = record();
  r.animationparameters.reset();
  r.curves = {};
  storeCase(rt, currentMainWindow(rt), r);
  saveAs((folder / "plain.ac").string());
  const Record plain = platform::readMatVariable((folder / "plain.ac").string(), "prop").record();
  EXPECT_FALSE(plain.has("animationparameters"));
  EXPECT_FALSE(plain.has("curves"));
  EXPECT_EQ(plain.size(), 16u);
}

TEST_F(CaseFilesTest, FailedSnapshotWriteRecordsNoStaleStep) {
  open();
  ASSERT_TRUE(fs::is_regular_file(folder / "temporarysave.ac"));
  // The snapshot cannot be put in place: its name is taken by a folder that is not empty.
  fs::remove(folder / "temporarysave.ac");
  fs::create_directories(folder / "temporarysave.ac" / "inside");
  EXPECT_EQ(failure({Value("matchroom")}), "");
  EXPECT_EQ(record().actionlist, std::vector<std::string>{"initial state"});
  const auto& lines = ui.consoleLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("no undo snapshot: cannot write file ", 0) == 0;
  }));
}

// ---- saving --------------------------------------------------------------------------------------

TEST_F(CaseFilesTest, SaveNamingAndOverwriteQuestion) {
  struct Row {
    const char* chosen;                 // file name typed in the chooser
    bool exists;                        // the file to be written is already there
    std::optional<std::string> answer;  // to the overwrite question, when one is asked
    const char* written;                // file expected afterwards (empty: nothing written)
    const char* name;                   // case name afterwards
  };
  const std::vector<Row> rows = {
      {"hall", false, {}, "hall.ac", "hall"},
      {"hall.txt", false, {}, "hall.txt.ac", "hall"},
      {"hall.ac", false, {}, "hall.ac", "hall"},
      {"hall.ac", true, {}, "hall.ac", "hall"},  // the chooser itself asked about this name
      {"hall.AC", false, {}, "hall.AC.ac", "hall"},
      {"a.b.c", false, {}, "a.b.c.ac", "a.b"},
      {"hall", true, "Yes", "hall.ac", "hall"},
      {"hall", true, "YES", "hall.ac", "hall"},
      {"hall", true, "No", "", "not saved"},
      {"hall", true, std::nullopt, "", "not saved"},
  };
  open();
  const Handle fig = currentMainWindow(rt);
  int i = 0;
  for (const Row& row : rows) {
    const fs::path dir = folder / ("row" + std::to_string(i++));
    fs::create_directories(dir);
    CaseRecord r = record();
    r.name = "not saved";
    storeCase(rt, fig, r);
    const fs::path target = dir / (std::string(row.chosen) + (std::string(row.written).empty() ? ".ac" : ""));
    const fs::path expected = dir / row.written;
    if (row.exists) std::ofstream(std::string(row.written).empty() ? target : expected) << "old";
    const std::size_t shownBefore = ui.shown().size();
    ui.push(ScriptedAnswer::chosenFile((dir / row.chosen).string()));
    const bool asks = row.exists && std::string(row.chosen).find(".ac") == std::string::npos;
    if (asks) ui.push(ScriptedAnswer::button(row.answer));
    dispatch({Value("save")});
    EXPECT_EQ(ui.pending(), 0u) << row.chosen;

    const auto& shown = ui.shown();
    ASSERT_GT(shown.size(), shownBefore);
    EXPECT_EQ(shown[shownBefore].kind, "save");
    EXPECT_EQ(shown[shownBefore].title, "Save current case");
    EXPECT_EQ(shown[shownBefore].text, "*.ac");
    if (asks) {
      ASSERT_GT(shown.size(), shownBefore + 1);
      EXPECT_EQ(shown[shownBefore + 1].kind, "question");
      EXPECT_EQ(shown[shownBefore + 1].title, "Confirm");
      EXPECT_EQ(shown[shownBefore + 1].text,
                " File " + std::string(row.chosen) + ".ac already exist. Overwrite ?");
    }
    EXPECT_EQ(record().name, row.name) << row.chosen;
    if (std::string(row.written).empty()) {
      std::ifstream in(target);
      std::string content;
      in >> content;
      EXPECT_EQ(content, "old") << row.chosen << ": refused overwrite left the file";
      EXPECT_EQ(fs::current_path(), folder) << row.chosen;
      continue;
    }
    EXPECT_EQ(readBack(expected.string()).name, row.name) << row.chosen;
    EXPECT_EQ(fs::current_path(), dir) << "the current folder follows the chosen file";
    // Undo snapshots now go to the new folder.
    dispatch({Value("matchroom")});
    EXPECT_TRUE(fs::is_regular_file(dir / "temporarysave.ac")) << row.chosen;
    fs::current_path(folder);
  }
}

TEST_F(CaseFilesTest, TemporarySaveKeepsTheCaseName) {
  open();
  saveAs((folder / "hall").string());
  ASSERT_EQ(record().name, "hall");
  // Any letter case of the temporary name leaves the case name alone.
  ops.call(rt, "savecase", {Value((folder / "TemporarySave.ac").string())});
  EXPECT_EQ(record().name, "hall");
  EXPECT_EQ(readBack((folder / "TemporarySave.ac").string()).name, "TemporarySave");
  // The direct form writes the name as given, without a question.
  ops.call(rt, "savecase", {Value((folder / "direct.txt").string())});
  EXPECT_EQ(record().name, "direct");
  EXPECT_EQ(readBack((folder / "direct.txt").string()).name, "direct");
  EXPECT_EQ(ui.pending(), 0u);
}

// ---- loading -------------------------------------------------------------------------------------

TEST_F(CaseFilesTest, SaveLoadRoundTripsEveryField) {
  open();
  const Handle fig = currentMainWindow(rt);
  // An L-shaped room with absorptions, its own view and grid, a finer map, curves and an animation.
  CaseDescription d;
  d.xlim = {-2, 12};
  d.ylim = {-2, 12};
  d.gsize = 0.25;
  d.xwall = {0, 10, 10, 5, 5, 0};
  d.ywall = {0, 0, 10, 10, 5, 5};
  d.alpha = {0, 10, 20, 30, 40, 100};
  d.xaud = {1, 4, 4, 1};
  d.yaud = {1, 1, 4, 4};
  d.xso = 2;
  d.yso = 3;
  d.xre = 8;
  d.yre = 7.5;
  d.Lw = 93.5;
  d.Nsurface = 12;
  d.curves = platform::Matrix::row({2, 10, 0, 10, 10, 9, 5, 2, 2});
  dispatch({Value("update"), d.toValue()});
  CaseRecord r = record();
  AnimationParameters anim;
  anim.animationtype = AnimationType::ImagesOnly;
  anim.level = {40, 90};
  anim.ptype = "manual";
  anim.xp = {1, 2};
  anim.yp = {3, 4};
  r.animationparameters = anim;
  r.Hr = 2.5;
  storeCase(rt, fig, r);
  const CaseDescription before = describeCase(rt, fig, "round");

  saveAs((folder / "round.ac").string());
  const CaseDescription file = readBack((folder / "round.ac").string());
  EXPECT_EQ(file, before);

  // Into a fresh window.
  open();
  dispatch({Value("load"), Value("round.ac")});
  const CaseRecord loaded = record();
  const CaseDescription after = describeCase(rt, currentMainWindow(rt), "round");
  EXPECT_EQ(loaded.name, "round");
  EXPECT_EQ(loaded.Hr, 0);
  EXPECT_EQ(loaded.animationparameters, anim);
  EXPECT_EQ(loaded.curves, *d.curves);
  EXPECT_EQ(after.height, before.height);
  EXPECT_EQ(after.gsize, before.gsize);
  EXPECT_EQ(after.xlim, before.xlim);
  EXPECT_EQ(after.ylim, before.ylim);
  EXPECT_EQ(after.xwall, before.xwall);
  EXPECT_EQ(after.ywall, before.ywall);
  EXPECT_EQ(after.alpha, before.alpha);
  // The file lists the corners newest first, and loading numbers them in that order: the corners
  // come back the other way round.
  EXPECT_EQ(after.xaud, reversed(*before.xaud));
  EXPECT_EQ(after.yaud, reversed(*before.yaud));
  EXPECT_EQ(after.xso, before.xso);
  EXPECT_EQ(after.yso, before.yso);
  EXPECT_EQ(after.xre, before.xre);
  EXPECT_EQ(after.yre, before.yre);
  EXPECT_EQ(after.Lw, before.Lw);
  EXPECT_EQ(after.Nsurface, before.Nsurface);
  EXPECT_EQ(after.curves, before.curves);
  EXPECT_EQ(after.animationparameters, before.animationparameters);
  EXPECT_EQ(loaded.actionlist, std::vector<std::string>{"case round loaded"});
  ASSERT_EQ(loaded.proplist.size(), 1u);
  EXPECT_EQ(loaded.proplist.front().xwall, before.xwall);
}

TEST_F(CaseFilesTest, FixturesLoadWithTheirValues) {
  struct Row {
    const char* file;
    const char* name;
    std::vector<double> xwall, ywall, alpha, xaud, yaud;
    double xso, yso, xre, yre, Lw, gsize;
    std::array<double, 2> xlim, ylim;
    int Nsurface;
    bool curved;
  };
  const std::vector<Row> rows = {
      {"default-room-z20.ac",
       "default-room-z20",
       {3, 17, 17, 3},
       {-7, -7, 7, 7},
       {0, 0, 0, 0},
       {5, 15, 15, 5},
       {-5, -5, 5, 5},
       3.5,
       0,
       16.5,
       0,
       100,
       0.5,
       {0, 20},
       {-10, 10},
       20,
       false},
      {"l-room.ac",
       "l-room",
       {0, 10, 10, 5, 5, 0},
       {0, 0, 10, 10, 5, 5},
       {0, 10, 20, 30, 40, 100},
       {1, 9, 9, 1},
       {1, 1, 9, 9},
       2,
       2,
       8,
       8,
       95,
       0.25,
       {-2, 12},
       {-2, 12},
       40,
       false},
      {"l-room-v7.ac",
       "l-room-v7",
       {0, 10, 10, 5, 5, 0},
       {0, 0, 10, 10, 5, 5},
       {0, 10, 20, 30, 40, 100},
       {1, 9, 9, 1},
       {1, 1, 9, 9},
       2,
       2,
       8,
       8,
       95,
       0.25,
       {-2, 12},
       {-2, 12},
       40,
       false},
      {"curved-room.ac",
       "curved-room",
       {2, 18, 15.775, 15, 15.775, 18, 2},
       {-8, -8, -4.272, 0, 4.272, 8, 8},
       {10, 20, 20, 20, 20, 10, 30},
       {6, 12, 12, 6},
       {-5, -5, 5, 5},
       4,
       0,
       12,
       3,
       90,
       0.5,
       {0, 20},
       {-10, 10},
       20,
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    open();
    const Handle fig = currentMainWindow(rt);
    CaseRecord r = record();
    r.Hr = 3;
    storeCase(rt, fig, r);
    dispatch({Value("load"), Value(fixture(row.file))});
    const CaseRecord loaded = record();
    const CaseDescription now = describeCase(rt, fig, "x");
    EXPECT_EQ(loaded.name, row.name);
    EXPECT_EQ(loaded.Hr, 0);
    EXPECT_EQ(now.xwall, row.xwall);
    EXPECT_EQ(now.ywall, row.ywall);
    EXPECT_EQ(now.alpha, row.alpha);
    EXPECT_EQ(now.xaud, reversed(row.xaud));  // as the drawing area lists the corners
    EXPECT_EQ(now.yaud, reversed(row.yaud));
    EXPECT_EQ(now.xso, row.xso);
    EXPECT_EQ(now.yso, row.yso);
    EXPECT_EQ(now.xre, row.xre);
    EXPECT_EQ(now.yre, row.yre);
    EXPECT_EQ(loaded.Lw, row.Lw);
    EXPECT_EQ(loaded.gsize, row.gsize);
    EXPECT_EQ(loaded.xlim, row.xlim);
    EXPECT_EQ(loaded.ylim, row.ylim);
    EXPECT_EQ(now.Nsurface, row.Nsurface);
    EXPECT_EQ(loaded.actionlist, std::vector<std::string>{"case " + std::string(row.name) + " loaded"});
    ASSERT_EQ(loaded.proplist.size(), 1u);
    EXPECT_EQ(loaded.proplist.front().xwall, row.xwall);
    EXPECT_EQ(fs::current_path(), folder) << "loading by name keeps the current folder";
    if (!row.curved) {
      EXPECT_TRUE(loaded.curves.empty());
      EXPECT_FALSE(loaded.animationparameters.has_value());
      continue;
    }
    EXPECT_EQ(loaded.curves, platform::Matrix::row({2, 18, -8, 18, 8, 15, 0, 2, 5}));
    ASSERT_TRUE(loaded.animationparameters.has_value());
    const AnimationParameters& a = *loaded.animationparameters;
    EXPECT_EQ(a.animationtype, AnimationType::SurfaceAndImages);
    EXPECT_EQ(a.movingobject, 1);
    EXPECT_EQ(a.level, (std::vector<double>{40, 100}));
    EXPECT_TRUE(a.axis.empty());
    EXPECT_EQ(a.step, 6);
    EXPECT_EQ(a.output, "no output");
    EXPECT_EQ(a.ptype, "linear");
    EXPECT_EQ(a.xp, (std::vector<double>{4, 8, 12}));
    EXPECT_EQ(a.yp, (std::vector<double>{0, 3, 0}));
    ASSERT_TRUE(a.xpath && a.ypath);
    const std::vector<double> xpath = {4, 4 + 4.0 / 3, 4 + 8.0 / 3, 8, 8 + 4.0 / 3, 8 + 8.0 / 3, 12};
    const std::vector<double> ypath = {0, 1, 2, 3, 2, 1, 0};
    ASSERT_EQ(a.xpath->size(), xpath.size());
    for (std::size_t k = 0; k < xpath.size(); ++k) {
      EXPECT_NEAR((*a.xpath)[k], xpath[k], 1e-12);
      EXPECT_NEAR((*a.ypath)[k], ypath[k], 1e-12);
    }
    // The loaded case has one entry: nothing to choose from.
    EXPECT_TRUE(chooseFromHistory(2).empty());
    EXPECT_TRUE(historyLists().empty());
  }
}

TEST_F(CaseFilesTest, InteractiveLoadFollowsTheChosenFolder) {
  open();
  const fs::path dir = folder / "cases";
  fs::create_directories(dir);
  fs::copy_file(fixture("l-room.ac"), dir / "l-room.ac");
  fs::copy_file(fixture("l-room.ac"), dir / "upper.AC");

  // Cancel, and an extension that is not exactly ".ac", end silently.
  const CaseRecord before = record();
  ui.push(ScriptedAnswer::chosenFile(std::nullopt));
  EXPECT_EQ(failure({Value("load")}), "");
  ui.push(ScriptedAnswer::chosenFile((dir / "upper.AC").string()));
  EXPECT_EQ(failure({Value("load")}), "");
  EXPECT_TRUE(sameRecord(record(), before));
  EXPECT_EQ(fs::current_path(), folder);

  ui.push(ScriptedAnswer::chosenFile((dir / "l-room.ac").string()));
  dispatch({Value("LOAD")});
  const auto& shown = ui.shown();
  const auto chooser =
      std::find_if(shown.begin(), shown.end(), [](const auto& s) { return s.kind == "open"; });
  ASSERT_NE(chooser, shown.end());
  EXPECT_EQ(chooser->title, "Load an existing case");
  EXPECT_EQ(chooser->text, "*.ac");
  EXPECT_EQ(fs::current_path(), dir);
  EXPECT_EQ(record().name, "l-room");
  EXPECT_EQ(record().actionlist, std::vector<std::string>{"case l-room loaded"});
  EXPECT_TRUE(fs::is_regular_file(dir / "temporarysave.ac"));
}

TEST_F(CaseFilesTest, BadNamesAndBadFilesChangeNothing) {
  // A valid case under names a case file may not have.
  for (const char* name : {"room.txt", "room.Txt", "room.AC.bak", "room", "room.a"})
    fs::copy_file(fixture("l-room.ac"), folder / name);
  std::ofstream(folder / "garbage.ac") << "this is not a case file at all, just some text\n";
  std::ofstream(folder / "empty.ac");
  Record other;
  other.set("xwall", Value::row({0, 1, 1}));
  platform::writeMatVariable((folder / "noprop.ac").string(), "other", Value(other));
  Record textWalls;
  textWalls.set("xwall", Value("abc"));
  textWalls.set("ywall", Value::row({0, 1, 1}));
  platform::writeMatVariable((folder / "textwalls.ac").string(), "prop", Value(textWalls));
  platform::writeMatVariable((folder / "number.ac").string(), "prop", Value(5.0));
  Record twoVertices;
  twoVertices.set("xwall", Value::row({0, 1}));
  twoVertices.set("ywall", Value::row({0, 1}));
  platform::writeMatVariable((folder / "twovertices.ac").string(), "prop", Value(twoVertices));
  Record listAlpha;
  listAlpha.set("alpha", Value(platform::List{{Value(1.0)}}));
  platform::writeMatVariable((folder / "listalpha.ac").string(), "prop", Value(listAlpha));
  fs::create_directory(folder / "folder.ac");

  struct Row {
    std::string name;
    std::string message;  // exact, or the start of it when `prefix`
    bool prefix;
  };
  const std::vector<Row> rows = {
      {"missing.ac", "file missing.ac not found ...", false},
      {"folder.ac", "file folder.ac not found ...", false},
      {"room.txt", "file room.txt is not a velmoracopy file ...", false},
      {"room.Txt", "file room.Txt is not a velmoracopy file ...", false},
      {"room.AC.bak", "file room.AC.bak is not a velmoracopy file ...", false},
      {"room", "file room is not a velmoracopy file ...", false},
      {"room.a", "file room.a is not a velmoracopy file ...", false},
      {"garbage.ac", "file " + (folder / "garbage.ac").string() + " cannot be read", false},
      {"empty.ac", "file " + (folder / "empty.ac").string() + " holds no variable prop", false},
      {"noprop.ac", "file " + (folder / "noprop.ac").string() + " holds no variable prop", false},
      {"textwalls.ac", "file textwalls.ac: case description: field xwall must hold numbers", true},
      {"number.ac", "file number.ac: case description: field xwall", true},
      {"twovertices.ac", "file twovertices.ac: case description: field xwall must have at least 3 vertices",
       false},
      {"listalpha.ac", "file listalpha.ac: case description: field alpha must hold numbers", true},
  };
  open();
  saveAs((folder / "kept.ac").string());
  const CaseRecord before = record();
  const CaseDescription drawn = drawing();
  for (const Row& row : rows) {
    // The number record is refused as a whole, not by field.
    const std::string message = failure({Value("load"), Value(row.name)});
    if (row.name == "number.ac") {
      EXPECT_EQ(message, "file number.ac: case description must be a record, not a number");
    } else if (row.prefix) {
      EXPECT_EQ(message.rfind(row.message, 0), 0u) << message;
    } else {
      EXPECT_EQ(message, row.message);
    }
    // The operation itself, without the dispatcher, says the same.
    try {
      ops.call(rt, "loadcase", {Value(row.name)});
      ADD_FAILURE() << row.name << " loaded";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_TRUE(sameRecord(record(), before)) << row.name;
    EXPECT_EQ(drawing(), drawn) << row.name;
  }
  // A case file whose extension is ".ac" in other letters is one.
  fs::copy_file(fixture("l-room.ac"), folder / "upper.AC");
  dispatch({Value("load"), Value("upper.AC")});
  EXPECT_EQ(record().name, "upper");
  EXPECT_EQ(drawing().xwall->size(), 6u);
}

// A save or load picked in its dialog that fails says why in a box as well as on the console: a window's
// user who closes the window after a save that silently failed loses the case. Named by a script,
// the error is the reply's alone, as before.
TEST_F(CaseFilesTest, FailedSaveOrLoadPickedInTheDialogSaysWhyInABox) {
  open();
  std::ofstream(folder / "locked.ac") << "";
  fs::permissions(folder / "locked.ac", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string locked = (folder / "locked.ac").string();
  const std::string refusal = "cannot write file " + locked + ": Permission denied";
  ui.push(ScriptedAnswer::chosenFile(locked));
  EXPECT_EQ(failure({Value("save")}), refusal);
  EXPECT_EQ(shownOf("error").back(), "Save current case: " + refusal);

  std::ofstream(folder / "garbage.ac") << "this is not a case file\n";
  const std::string garbage = (folder / "garbage.ac").string();
  const CaseDescription drawn = drawing();
  ui.push(ScriptedAnswer::chosenFile(garbage));
  EXPECT_EQ(failure({Value("load")}), "file " + garbage + " cannot be read");
  EXPECT_EQ(shownOf("error").back(), "Load an existing case: file " + garbage + " cannot be read");
  EXPECT_EQ(drawing(), drawn);

  const std::size_t boxes = shownOf("error").size();
  EXPECT_EQ(failure({Value("load"), Value("garbage.ac")}), "file " + garbage + " cannot be read");
  EXPECT_EQ(shownOf("error").size(), boxes);
}

// Fields that set how much the window builds: refused by the loader with the field named, before the
// rebuild allocates anything, and the window keeps its case.
TEST_F(CaseFilesTest, LoadRefusesFieldsBeyondTheirLimits) {
  const CaseDescription room =
      CaseDescription::fromValue(platform::readMatVariable(fixture("curved-room.ac"), "prop"));
  struct Row {
    const char* file;
    std::function<void(CaseDescription&)> change;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"map1e5.ac", [](CaseDescription& d) { d.Nsurface = 100000; },
       "case description: field Nsurface must be a whole number from 1 to 400, got 100000"},
      {"map1e9.ac", [](CaseDescription& d) { d.Nsurface = 1000000000; },
       "case description: field Nsurface must be a whole number from 1 to 400, got 1000000000"},
      {"zone.ac",
       [](CaseDescription& d) {
         d.xlim = {0, 1e7};
       },
       "case description: field xlim must hold finite coordinates within 1000000 m of the origin, got "
       "10000000"},
      {"widezone.ac",
       [](CaseDescription& d) {
         d.xlim = {0, 5e5};
       },
       "field xlim must rise by more than 0 and at most 10000 m, not 500000"},
      {"flat.ac",
       [](CaseDescription& d) {
         d.ylim = {3, 3};
       },
       "case description: field ylim must run from a lower to a higher limit"},
      {"curvewall.ac", [](CaseDescription& d) { (*d.curves)(0, 8) = 99; },
       "field curves (wall number) must be between 1 and 7, not 99"},
      {"steps.ac", [](CaseDescription& d) { d.animationparameters->step = 1000000; },
       "case description: field animationparameters must be a whole number from 5 to 2000, got 1000000"},
      {"pause.ac", [](CaseDescription& d) { d.animationparameters->pause = 3600; },
       "field animationparameters.pause must be between 0 and 2, not 3600"},
      {"axis.ac",
       [](CaseDescription& d) {
         d.animationparameters->axis = {1, 2, 3};
       },
       "field animationparameters.axis must hold 0 or 4 values, not 3 values"},
      {"path.ac", [](CaseDescription& d) { d.animationparameters->xpath->pop_back(); },
       "fields animationparameters.xpath and ypath must hold as many values"},
  };
  open();
  saveAs((folder / "kept.ac").string());
  const CaseRecord before = record();
  const CaseDescription drawn = drawing();
  for (const Row& row : rows) {
    CaseDescription d = room;
    row.change(d);
    platform::writeMatVariable((folder / row.file).string(), "prop", d.toValue());
    EXPECT_EQ(failure({Value("load"), Value(row.file)}),
              "file " + std::string(row.file) + ": " + row.message);
    EXPECT_TRUE(sameRecord(record(), before)) << row.file;
    EXPECT_EQ(drawing(), drawn) << row.file;
  }
  // The largest map loads.
  CaseDescription finest = room;
  finest.Nsurface = 400;
  platform::writeMatVariable((folder / "finest.ac").string(), "prop", finest.toValue());
  dispatch({Value("load"), Value("finest.ac")});
  EXPECT_EQ(drawing().Nsurface, 400);
}

// The L-room cut at every length and changed at sampled bytes, loaded from a menu callback: a console
// line naming the file for every refusal, the window exactly as it was.
TEST_F(CaseFilesTest, DamagedFilesLeaveTheWindowAsItWas) {
  std::ifstream in(fixture("l-room.ac"), std::ios::binary);
  const std::string room((std::istreambuf_iterator<char>(in)), {});
  open();
  saveAs((folder / "kept.ac").string());
  dispatch({Value("load"), Value("kept.ac")});  // the state a reload after a surviving change returns to
  const CaseRecord before = record();
  const CaseDescription drawn = drawing();
  const std::string path = (folder / "damaged.ac").string();
  const Handle fig = currentMainWindow(rt);
  std::size_t refusals = 0;
  const auto load = [&](const std::string& bytes, const std::string& what) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const std::size_t lines = ui.consoleLines().size();
    rt.runCallback(fig, "velmoracopy('load','damaged.ac')");
    if (record().name == "damaged") {
      // A change the file survives: load the kept case again before the next one.
      rt.runCallback(fig, "velmoracopy('load','kept.ac')");
      return;
    }
    ++refusals;
    ASSERT_EQ(ui.consoleLines().size(), lines + 1) << what;
    const std::string& line = ui.consoleLines().back();
    EXPECT_EQ(line.rfind("file ", 0), 0u) << what << ": " << line;
    EXPECT_NE(line.find("damaged.ac"), std::string::npos) << what << ": " << line;
    EXPECT_TRUE(sameRecord(record(), before)) << what;
    EXPECT_EQ(drawing(), drawn) << what;
  };
#if defined(__SANITIZE_ADDRESS__)
  const std::size_t step = 4;  // each load is slow under the sanitizers: fewer of them
#else
  const std::size_t step = 1;
#endif
  for (std::size_t cut = 0; cut < room.size(); cut += 7 * step)
    load(room.substr(0, cut), "cut " + std::to_string(cut));
  for (std::size_t at = 128; at < room.size(); at += 61 * step) {
    for (int v : {0x00, 0x7F, 0xFF}) {
      std::string changed = room;
      changed[at] = static_cast<char>(v);
      load(changed, "byte " + std::to_string(at) + "=" + std::to_string(v));
    }
  }
  EXPECT_GT(refusals, room.size() / (7 * step));
}

// ---- history -------------------------------------------------------------------------------------

TEST_F(CaseFilesTest, HistoryAfterDragAndSplit) {
  open();
  const Handle fig = currentMainWindow(rt);
  // Nothing to choose from with one entry.
  EXPECT_TRUE(chooseFromHistory(1).empty());
  EXPECT_TRUE(historyLists().empty());

  dragVertex(2, 18, -8);
  ASSERT_EQ(record().actionlist.size(), 2u) << "the drag's release records a step";
  const CaseDescription moved = drawing();
  ASSERT_NE(moved.xwall, (std::vector<double>{3, 17, 17, 3}));
  dispatch({Value("splitwall")});
  ASSERT_EQ(drawing().xwall->size(), 5u);

  EXPECT_EQ(historyEntries(record()),
            (std::vector<std::string>{"cancel", "split wall (5 walls)", "move wall (4 walls)",
                                      "initial state (4 walls)"}));

  // "cancel" changes nothing.
  const CaseRecord before = record();
  const CaseDescription drawn = drawing();
  const auto shown = chooseFromHistory(1);
  EXPECT_EQ(shown, historyEntries(before));
  EXPECT_TRUE(historyLists().empty());
  EXPECT_FALSE(rt.graphics().at(fig).guiData().has_value()) << "the hand-back is emptied";
  EXPECT_TRUE(sameRecord(record(), before));
  EXPECT_EQ(drawing(), drawn);

  // A view and grid change that records nothing; the newest entry brings them back and moves nothing.
  ops.call(rt, "expandzone", {Value::row({-10, 30, -20, 20})});
  ops.call(rt, "changegrid", {Value(1.0)});
  ASSERT_NE(record().xlim, before.xlim);
  ASSERT_NE(record().gsize, before.gsize);
  chooseFromHistory(2);
  const CaseRecord restored = record();
  EXPECT_EQ(restored.xlim, before.xlim);
  EXPECT_EQ(restored.ylim, before.ylim);
  EXPECT_EQ(restored.gsize, before.gsize);
  const CaseDescription again = drawing();
  EXPECT_EQ(again.xwall, drawn.xwall);
  EXPECT_EQ(again.ywall, drawn.ywall);
  EXPECT_EQ(again.xso, drawn.xso);
  EXPECT_EQ(again.xre, drawn.xre);
  EXPECT_EQ(again.yre, drawn.yre);
  // Corners come back as they were shown, in the reverse numbering the snapshot lists them in.
  EXPECT_EQ(again.xaud, reversed(*drawn.xaud));
  EXPECT_EQ(restored.actionlist, before.actionlist) << "a restore records nothing";

  // The move entry: four walls with the dragged vertex.
  chooseFromHistory(3);
  EXPECT_EQ(drawing().xwall, moved.xwall);
  EXPECT_EQ(drawing().ywall, moved.ywall);
  EXPECT_EQ(record().actionlist.size(), 3u);
}

TEST_F(CaseFilesTest, RestoreKeepsNameMapPrecisionAndDropsLaterCurves) {
  open();
  const Handle fig = currentMainWindow(rt);
  dispatch({Value("splitwall")});
  saveAs((folder / "hall").string());
  // A finer map and a curve table that the first room never had.
  CaseDescription finer;
  finer.Nsurface = 7;
  dispatch({Value("update"), finer.toValue()});
  CaseRecord r = record();
  r.curves = platform::Matrix::row({2, 17, -7, 17, 7, 16, 0, 2, 2});
  storeCase(rt, fig, r);

  chooseFromHistory(3);  // "initial state"
  const CaseRecord restored = record();
  EXPECT_EQ(drawing().xwall, (std::vector<double>{3, 17, 17, 3}));
  EXPECT_EQ(restored.name, "hall");
  EXPECT_EQ(drawing().Nsurface, 7);
  EXPECT_TRUE(restored.curves.empty()) << "curves of a later room do not survive into a room without them";
}

TEST_F(CaseFilesTest, HistoryWaitWithoutChoiceRestoresNothing) {
  open();
  dispatch({Value("splitwall")});
  const CaseRecord before = record();
  EXPECT_TRUE(chooseFromHistory(std::nullopt).empty());
  EXPECT_TRUE(historyLists().empty()) << "the list does not stay behind";
  EXPECT_TRUE(sameRecord(record(), before));
  // An entry position outside the list (a hand-back from elsewhere) restores nothing either.
  ui.setPump([&] {
    const auto lists = historyLists();
    if (lists.empty()) return false;
    rt.click(lists.front(), Value(9.0));
    return true;
  });
  dispatch({Value("history")});
  ui.setPump({});
  EXPECT_TRUE(sameRecord(record(), before));
}

// ---- other readers -------------------------------------------------------------------------------

TEST_F(CaseFilesTest, SavedFileReadsBackInOctave) {
  if (std::system("which octave > /dev/null 2>&1") != 0) GTEST_SKIP() << "GNU Octave is not installed";
  open();
  saveAs((folder / "octave.ac").string());
  const std::string script = "load('-mat','" + (folder / "octave.ac").string() +
                             "'); assert(prop.name,'octave'); assert(prop.xwall,[3 17 17 3]); "
                             "assert(prop.Nsurface,20); exit(0)";
  EXPECT_EQ(std::system(("octave --no-gui --quiet --eval \"" + script + "\" > /dev/null 2>&1").c_str()), 0);
}

}  // namespace
}  // namespace velmora::shell
