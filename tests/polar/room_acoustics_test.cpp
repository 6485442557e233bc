// The room acoustics window on a shoebox: the figures it shows against the formulas worked by hand,
// its buttons (height, floor and ceiling) as undo steps, the refresh after a change of the room, and
// the CSV export read back.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/materials.h"
#include "document/room_acoustics.h"
#include "document/tags.h"
#include "document/window.h"
#include "polar/room_acoustics.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::polar {
namespace {

using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::document;

class RoomAcousticsTest : public test_support::MainWindowFixture<> {
 protected:
  RoomAcousticsTest() {
    fig = openMainWindow();
    showShoebox({10, 10, 10, 10});
    dispatch({Value("roomacoustics")});
    window = rt.graphics().currentFigure();
  }
  // A press on one of the window's buttons, as the user's click.
  void press(const char* tag) {
    const auto buttons = rt.graphics().findobj(window, tag);
    ASSERT_EQ(buttons.size(), 1u) << tag;
    rt.graphics().setCurrentFigure(window);
    rt.click(buttons.front());
  }
  Value shown() { return rt.graphics().at(window).userdata()->toValue(); }
  std::vector<double> shownRow(const char* field) { return shown().record().at(field).numbers(); }
  std::vector<std::string> labels() { return readCase(rt, fig).actionlist; }

  Handle window = platform::kNoHandle;
};

TEST_F(RoomAcousticsTest, AShoeboxShowsTheFormulasFigures) {
  ASSERT_EQ(rt.graphics().at(window).tag(), tags::kRoomAcousticsWindow);
  // V = 10 x 8 x 3 = 240 m³; S = 2 (10 + 8) 3 + 2 x 80 = 268 m²; walls, floor and ceiling at 0.1 give
  // A = 26.8 m²; Sabine 0.161 V / A = 1.4418 s; Eyring 0.161 V / (-S ln 0.9) = 1.3685 s in every band.
  EXPECT_DOUBLE_EQ(shown().record().at("planarea").scalar(), 80);
  EXPECT_DOUBLE_EQ(shown().record().at("volume").scalar(), 240);
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    EXPECT_NEAR(shownRow("absorption")[b], 26.8, 1e-9);
    EXPECT_NEAR(shownRow("sabine")[b], 0.161 * 240 / 26.8, 1e-9);
    EXPECT_NEAR(shownRow("eyring")[b], 0.161 * 240 / (-268 * std::log(0.9)), 1e-9);
  }
  // The plot and the table say the same.
  const auto sabine = rt.graphics().findobj(window, tags::kRoomAcousticsSabine);
  ASSERT_EQ(sabine.size(), 1u);
  EXPECT_NEAR(rt.graphics().at(sabine.front()).numbers("ydata")[3], 1.4418, 1e-4);
  const auto table = roomAcousticsTable(roomAcoustics(rt, fig));
  EXPECT_EQ(table[4], (std::vector<std::string>{"1k", "26.8", "0.100", "1.44", "1.37"}));
  EXPECT_EQ(roomAcousticsSummary(roomAcoustics(rt, fig)),
            "plan 80.0 m²   height 3 m   volume 240.0 m³   surfaces 268.0 m²");
}

TEST_F(RoomAcousticsTest, ButtonsChangeTheRoomAsUndoStepsAndTheWindowFollows) {
  const std::size_t steps = labels().size();
  answer("6");
  press(tags::kRoomAcousticsHeight);
  EXPECT_DOUBLE_EQ(shown().record().at("volume").scalar(), 480);
  EXPECT_EQ(labels().size(), steps + 1);
  EXPECT_EQ(labels().back(), "change room height");
  // A height out of range: the message, nothing changed, no step.
  answer("-2");
  press(tags::kRoomAcousticsHeight);
  EXPECT_EQ(shownOf("error").back(),
            "Room acoustics: The room height must be a number above 0 and at most 1000 m.");
  EXPECT_EQ(labels().size(), steps + 1);

  const Material& carpet = *materialLibrary().find("carpet (heavy; on concrete)");
  ui.push(ScriptedAnswer::chosenItem(carpet.name));
  press(tags::kRoomAcousticsFloor);
  EXPECT_EQ(labels().back(), "change floor material");
  // Floor 80 m² of carpet, the rest 0.1: at 4 kHz A = 0.1 (348 - 80) + 0.65 x 80.
  EXPECT_NEAR(shownRow("absorption")[5], 0.1 * (2 * 18 * 6 + 80) + carpet.absorption[5] * 80, 1e-9);
  ui.push(ScriptedAnswer::chosenItem(std::nullopt));
  press(tags::kRoomAcousticsCeiling);
  EXPECT_EQ(labels().size(), steps + 2);

  // A change of a wall in the main window redraws the window.
  CaseDescription wider;
  wider.xwall = {0, 20, 20, 0};
  wider.ywall = {0, 0, 8, 8};
  wider.alpha = {10, 10, 10, 10};
  wider.roomheight = 6;
  wider.floormaterial = carpet.name;
  wider.floorbands = std::vector<double>(carpet.absorption.begin(), carpet.absorption.end());
  rt.graphics().setCurrentFigure(fig);
  dispatch({Value("update"), wider.toValue()});
  EXPECT_DOUBLE_EQ(shown().record().at("volume").scalar(), 960);
  // Undo (the update is no step of its own): the 10 m room 6 m high, before its floor was carpeted.
  dispatch({Value("historyback")});
  EXPECT_DOUBLE_EQ(shown().record().at("volume").scalar(), 480);
  EXPECT_NEAR(shownRow("absorption")[5], 0.1 * (2 * 18 * 6 + 160), 1e-9);
  // The window's first room, before the height was set: 3 m.
  dispatch({Value("historyback")});
  EXPECT_DOUBLE_EQ(shown().record().at("height").scalar(), 3);
  EXPECT_DOUBLE_EQ(shown().record().at("volume").scalar(), 3 * shown().record().at("planarea").scalar());
}

// With its main window closed, the window's buttons change no other main window's room: they say
// why in an error box and record nothing.
TEST_F(RoomAcousticsTest, ButtonsOfAWindowWhoseMainWindowIsClosedTouchNoOtherRoom) {
  const Handle other = openMainWindow();
  ASSERT_NE(other, fig);
  const std::vector<std::string> before = readCase(rt, other).actionlist;
  rt.graphics().remove(fig);
  ASSERT_EQ(document::currentMainWindow(rt), other);
  answer("9");
  press(tags::kRoomAcousticsHeight);
  EXPECT_FALSE(readCase(rt, other).roomheight);
  EXPECT_EQ(readCase(rt, other).actionlist, before);
  EXPECT_EQ(shownOf("error").back(),
            "Room acoustics: the main window of this room acoustics window is closed: nothing to change");
}

TEST_F(RoomAcousticsTest, TheExportWritesOneRowPerBand) {
  const std::string path = (std::filesystem::current_path() / "reverberation.csv").string();
  ui.push(ScriptedAnswer::chosenFile(path));
  press(tags::kRoomAcousticsExport);
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0].rfind("# room acoustics of not saved: plan area 80 m2, height 3 m, volume 240 m3", 0),
            0u);
  EXPECT_EQ(lines[1], "band_hz,absorption_m2,mean_alpha,sabine_s,eyring_s");
  EXPECT_EQ(lines[2], "125,26.8,0.1,1.4418,1.3684");
  EXPECT_EQ(lines[7].rfind("4000,", 0), 0u);
  // A folder that cannot be written: an error, and no file left behind.
  ui.push(ScriptedAnswer::chosenFile("/nonexistent/folder/r.csv"));
  press(tags::kRoomAcousticsExport);
  EXPECT_FALSE(std::filesystem::exists("/nonexistent/folder/r.csv"));
  const auto console = ui.consoleLines();
  ASSERT_FALSE(console.empty());
  EXPECT_NE(console.back().find("/nonexistent/folder/r.csv"), std::string::npos) << console.back();
}

}  // namespace
}  // namespace velmora::polar
