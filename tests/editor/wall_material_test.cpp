// The "material..." item of a wall's menu driven end to end through the scripted list dialog: a
// material sets the wall's bands and its absorption (the mean of 500 and 1000 Hz) in one undo step,
// "none" and a typed absorption clear it, a cancelled or unchanged choice records nothing, and the
// material survives a split, an undo and a save and load.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/drawing_objects.h"
#include "document/materials.h"
#include "document/room_acoustics.h"
#include "document/window.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"

namespace velmora::editor {
namespace {

using platform::ScriptedAnswer;
using platform::Value;
using namespace velmora::document;

class WallMaterialTest : public test_support::MainWindowFixture<> {
 protected:
  WallMaterialTest() {
    fig = openMainWindow();
    showShoebox({10, 20, 30, 40});
  }
  Handle wall(std::size_t k) { return wallsInWallOrder(rt, fig).at(k - 1); }
  Handle item(std::size_t k, std::size_t i) {
    return menuItemsInOrder(rt.graphics(), rt.graphics().get(wall(k), "uicontextmenu").object()).at(i);
  }
  // Right click on wall k, "material...", and the dialog answered with `choice` (nothing: cancel).
  void chooseMaterial(std::size_t k, std::optional<std::string> choice) {
    ui.push(ScriptedAnswer::chosenItem(std::move(choice)));
    const Handle it = item(k, kWallMenuMaterial);
    const auto x = rt.graphics().at(wall(k)).numbers("xdata");
    const auto y = rt.graphics().at(wall(k)).numbers("ydata");
    rt.press(wall(k), (x[0] + x[1]) / 2, (y[0] + y[1]) / 2, "alt");
    rt.click(it);
  }
  std::optional<SurfaceMaterial> material(std::size_t k) { return wallMaterials(rt, fig).at(k - 1); }
  std::vector<std::string> labels() { return readCase(rt, fig).actionlist; }
  std::string absorptionLabel(std::size_t k) {
    return rt.graphics().at(item(k, kWallMenuFirstInfo + 2)).text("label");
  }
};

TEST_F(WallMaterialTest, AChosenMaterialSetsTheBandsAndTheAbsorptionInOneStep) {
  const Material& carpet = *materialLibrary().find("carpet (heavy; on foam rubber)");
  const std::size_t steps = labels().size();
  // Typed in the search field: the one material it leaves is chosen.
  chooseMaterial(2, "heavy; on FOAM");
  ASSERT_TRUE(material(2).has_value());
  EXPECT_EQ(material(2)->name, carpet.name);
  EXPECT_EQ(material(2)->bands, carpet.absorption);
  EXPECT_EQ(wallAbsorptions(rt, fig), (std::vector<double>{10, 63, 30, 40}));
  EXPECT_EQ(absorptionLabel(2), "absorption=63%");
  // The menu names the material; the other walls' menus do not.
  EXPECT_EQ(rt.graphics().at(item(2, kWallMenuMaterial)).text("label"), "material... (" + carpet.name + ")");
  EXPECT_EQ(rt.graphics().at(item(1, kWallMenuMaterial)).text("label"), "material...");
  EXPECT_EQ(labels().size(), steps + 1);
  EXPECT_EQ(labels().back(), "change wall material");
  // The dialog listed "none" first, then the library, and named the wall.
  platform::ScriptedUi::Shown shown;
  for (const auto& d : ui.shown())
    if (d.kind == "choose") shown = d;
  EXPECT_EQ(shown.title, "Wall material");
  EXPECT_NE(shown.text.find("wall 2"), std::string::npos);
  // The room's bands follow: wall 2 absorbs as carpet, the others their absorption in every band.
  const RoomAcoustics room = roomAcoustics(rt, fig);
  EXPECT_EQ(room.wallBands[1], carpet.absorption);
  EXPECT_EQ(room.wallBands[0], uniformBands(10));

  // Cancelled, or the same material again: nothing changes and no step is recorded.
  chooseMaterial(2, std::nullopt);
  chooseMaterial(2, carpet.name);
  // A search that leaves several materials chooses none.
  chooseMaterial(2, "carpet");
  EXPECT_EQ(labels().size(), steps + 1);
  EXPECT_EQ(material(2)->name, carpet.name);

  // Split: both halves keep the material; undo goes back to four walls with it.
  ui.push(ScriptedAnswer::chosenItem(std::nullopt));
  rt.press(wall(2), 10, 4, "alt");
  rt.click(item(2, 0));
  ASSERT_EQ(wallsInWallOrder(rt, fig).size(), 5u);
  EXPECT_EQ(material(2)->name, carpet.name);
  EXPECT_EQ(material(3)->name, carpet.name);
  EXPECT_FALSE(material(4).has_value());
  shell::velmoracopy(rt, ops, {Value("historyback")});
  ASSERT_EQ(wallsInWallOrder(rt, fig).size(), 4u);
  EXPECT_EQ(material(2)->name, carpet.name);
  // Undo once more: the room before the material (the window's initial state).
  shell::velmoracopy(rt, ops, {Value("historyback")});
  EXPECT_FALSE(material(2).has_value());
}

TEST_F(WallMaterialTest, NoneAndATypedAbsorptionClearTheMaterial) {
  chooseMaterial(1, "glass (ordinary window)");
  EXPECT_EQ(wallAbsorptions(rt, fig)[0], 15);
  // "none": the material goes, the absorption stays, every band is that absorption.
  chooseMaterial(1, "none");
  EXPECT_FALSE(material(1).has_value());
  EXPECT_EQ(wallAbsorptions(rt, fig)[0], 15);
  EXPECT_EQ(roomAcoustics(rt, fig).wallBands[0], uniformBands(15));
  EXPECT_EQ(rt.graphics().at(item(1, kWallMenuMaterial)).text("label"), "material...");
  EXPECT_EQ(labels().back(), "change wall material");

  // An absorption typed the usual way clears it too, even the same value.
  chooseMaterial(1, "glass (ordinary window)");
  answer("15");
  rt.press(wall(1), 5, 0, "alt");
  rt.click(item(1, kWallMenuChangeAbsorption));
  EXPECT_FALSE(material(1).has_value());
  // "set absorption to 100%" as well.
  chooseMaterial(1, "glass (ordinary window)");
  rt.press(wall(1), 5, 0, "alt");
  rt.click(item(1, kWallMenuAbsorptionFull));
  EXPECT_FALSE(material(1).has_value());
  EXPECT_EQ(wallAbsorptions(rt, fig)[0], 100);
}

TEST_F(WallMaterialTest, MaterialsSurviveSaveAndLoad) {
  chooseMaterial(3, "brick (unglazed)");
  ui.push(ScriptedAnswer::chosenFile((std::filesystem::current_path() / "bricks.ac").string()));
  shell::velmoracopy(rt, ops, {Value("save")});
  chooseMaterial(3, "none");
  EXPECT_FALSE(material(3).has_value());
  shell::velmoracopy(rt, ops, {Value("load"), Value("bricks.ac")});
  ASSERT_TRUE(material(3).has_value());
  EXPECT_EQ(material(3)->name, "brick (unglazed)");
  EXPECT_EQ(wallAbsorptions(rt, fig)[2], 3.5);
  EXPECT_FALSE(material(1).has_value());
}

TEST_F(WallMaterialTest, ASymmetryCopiesTheMaterialsAndKeepsTheRoomsHeight) {
  chooseMaterial(1, "glass (ordinary window)");
  changeCase(rt, fig, [](CaseRecord& r) { r.roomheight = 5; });
  // Mirrored across wall 2: six walls, the bottom wall and its image glass.
  ui.push(ScriptedAnswer::button("Yes"));
  rt.press(wall(2), 10, 4, "alt");
  rt.click(item(2, 2));
  ASSERT_EQ(wallsInWallOrder(rt, fig).size(), 6u);
  std::size_t glass = 0;
  for (const auto& m : wallMaterials(rt, fig)) glass += m && m->name == "glass (ordinary window)";
  EXPECT_EQ(glass, 2u);
  EXPECT_EQ(roomAcoustics(rt, fig).height, 5);
}

}  // namespace
}  // namespace velmora::editor
