// The material library and the case fields it brings: the shipped table reads, a malformed one is
// refused naming its line and field, materials, room height, floor and ceiling go through a case file
// and back, a case without them describes and saves as before, and bad values are refused naming the
// field with the window left as it was.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "document/case_file.h"
#include "document/materials.h"
#include "document/room_acoustics.h"
#include "platform/files/matfile.h"
#include "platform/model/error.h"
#include "shell/case_files.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::ScriptedAnswer;
using platform::Value;

TEST(MaterialLibrary, TheShippedTableReads) {
  const MaterialLibrary& library = materialLibrary();
  ASSERT_GE(library.materials().size(), 30u);
  std::set<std::string> names;
  for (const Material& m : library.materials()) {
    EXPECT_TRUE(names.insert(m.name).second) << m.name;
    EXPECT_FALSE(m.source.empty()) << m.name;
    for (double b : m.absorption) EXPECT_TRUE(b >= 0 && b <= 1) << m.name;
    // The single absorption a material sets: the mean of 500 and 1000 Hz, in percent.
    EXPECT_NEAR(midAbsorption(m.absorption), (m.absorption[2] + m.absorption[3]) * 50, 1e-6) << m.name;
    EXPECT_EQ(library.find(m.name), &m);
  }
  EXPECT_EQ(midAbsorption({0, 0, 0.02, 0.03, 0, 0}), 2.5);
  EXPECT_EQ(library.search("CARPET").size(), 4u);
  EXPECT_EQ(library.find("none"), nullptr);
}

TEST(MaterialLibrary, AMalformedTableNamesLineAndField) {
  const std::string header = "# comment\nname,125,250,500,1000,2000,4000,source\n";
  struct Row {
    std::string text, message;
  };
  const std::vector<Row> rows = {
      {header + "glass,0.1,0.1,0.1,0.1,0.1,0.1,[x]\nbrick,0.1,0.1,x,0.1,0.1,0.1,[x]\n",
       "materials m.csv: line 4, field 500 Hz: must be a number from 0 to 1, not \"x\""},
      {header + "brick,0.1,0.1,0.1,1.5,0.1,0.1,[x]\n",
       "materials m.csv: line 3, field 1000 Hz: must be a number from 0 to 1, not 1.5"},
      {header + "brick,0.1,0.1,0.1,0.1,0.1,[x]\n",
       "materials m.csv: line 3, field source: a material has 8 fields (name, six coefficients, source), not "
       "7"},
      {header + "brick,0.1,0.1,0.1,0.1,0.1,0.1,\n",
       "materials m.csv: line 3, field source: is empty: every material cites where its figures come from"},
      {header + "brick,0.1,0.1,0.1,0.1,0.1,0.1,[x]\nbrick,0.2,0.1,0.1,0.1,0.1,0.1,[x]\n",
       "materials m.csv: line 4, field name: \"brick\" is listed twice"},
      {header + "None,0.1,0.1,0.1,0.1,0.1,0.1,[x]\n",
       "materials m.csv: line 3, field name: \"none\" is kept for no material"},
      {"name,125,250,500,1000,2000,8000,source\n",
       "materials m.csv: line 1, field 4000: the header must read name,125,250,500,1000,2000,4000,source"},
      {header, "materials m.csv: no material"},
  };
  for (const Row& row : rows) {
    try {
      MaterialLibrary::parse(row.text, "m.csv");
      ADD_FAILURE() << "read: " << row.text;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), row.message);
    }
  }
  EXPECT_THROW(MaterialLibrary::load("/nonexistent/materials.csv"), Error);
}

class MaterialCaseTest : public test_support::MainWindowFixture<> {
 protected:
  MaterialCaseTest() { fig = openMainWindow(); }

  void save(const std::string& path) {
    ui.push(ScriptedAnswer::chosenFile((std::filesystem::current_path() / path).string()));
    dispatch({Value("save")});
  }
  CaseDescription drawing() { return describeCase(rt, currentMainWindow(rt), "x"); }

  // A 10 by 8 room, wall 1 carpeted, wall 3 with bands of no library material, 4.5 m high, a
  // carpeted floor and an acoustic ceiling.
  static CaseDescription furnished() {
    const MaterialLibrary& lib = materialLibrary();
    const Material& carpet = *lib.find("carpet (heavy; on foam rubber)");
    const Material& tiles = *lib.find("acoustic ceiling tile (mineral fibre; suspended)");
    CaseDescription d;
    d.xwall = {0, 10, 10, 0};
    d.ywall = {0, 0, 8, 8};
    d.alpha = {midAbsorption(carpet.absorption), 10, 20, 5};
    d.wallmaterial = {carpet.name, "", "", ""};
    d.wallbands = platform::Matrix::zeros(4, 6);
    for (std::size_t b = 0; b < 6; ++b) {
      (*d.wallbands)(0, b) = carpet.absorption[b];
      (*d.wallbands)(1, b) = 0.1;
      (*d.wallbands)(2, b) = 0.05 * static_cast<double>(b + 1);
      (*d.wallbands)(3, b) = 0.05;
    }
    d.roomheight = 4.5;
    d.floormaterial = carpet.name;
    d.floorbands = std::vector<double>(carpet.absorption.begin(), carpet.absorption.end());
    d.ceilingmaterial = tiles.name;
    d.ceilingbands = std::vector<double>(tiles.absorption.begin(), tiles.absorption.end());
    return d;
  }
};

TEST_F(MaterialCaseTest, MaterialsGoThroughACaseFileAndBack) {
  const CaseDescription d = furnished();
  dispatch({Value("update"), d.toValue()});
  const RoomAcoustics room = roomAcoustics(rt, fig);
  EXPECT_EQ(room.wallMaterials, (std::vector<std::string>{d.wallmaterial->front(), "", "", ""}));
  EXPECT_EQ(room.height, 4.5);
  EXPECT_EQ(room.floorMaterial->name, *d.floormaterial);
  EXPECT_DOUBLE_EQ(room.wallBands[2][5], 0.3);
  // Walls 2 and 4 have no material: their rows only repeat their absorption.
  EXPECT_FALSE(wallMaterials(rt, fig)[1].has_value());

  save("furnished.ac");
  const CaseDescription file = readCaseFile("furnished.ac", "furnished.ac");
  EXPECT_EQ(file.wallmaterial, d.wallmaterial);
  EXPECT_EQ(file.wallbands, d.wallbands);
  EXPECT_EQ(file.roomheight, d.roomheight);
  EXPECT_EQ(file.floormaterial, d.floormaterial);
  EXPECT_EQ(file.floorbands, d.floorbands);
  EXPECT_EQ(file.ceilingmaterial, d.ceilingmaterial);
  EXPECT_EQ(file.ceilingbands, d.ceilingbands);

  // A case without materials, then the saved one loaded: everything comes back.
  dispatch(
      {Value("update"), CaseDescription::fromValue(
                            platform::readMatVariable(std::string(VELMORA_FIXTURES) + "/l-room.ac", "prop"))
                            .toValue()});
  EXPECT_EQ(roomAcoustics(rt, fig).height, kDefaultRoomHeight);
  EXPECT_FALSE(roomAcoustics(rt, fig).floorMaterial.has_value());
  dispatch({Value("load"), Value("furnished.ac")});
  const RoomAcoustics again = roomAcoustics(rt, fig);
  EXPECT_EQ(again.wallBands, room.wallBands);
  EXPECT_EQ(again.reverberation.sabine, room.reverberation.sabine);
  EXPECT_EQ(again.ceilingMaterial, room.ceilingMaterial);
}

// A case saved with a material the library no longer has (renamed, or from a colleague's own library)
// still opens: the name stays as a label and the bands saved with it are used.
TEST_F(MaterialCaseTest, MaterialsTheLibraryLacksOpenWithTheirSavedBands) {
  CaseDescription d = furnished();
  (*d.wallmaterial)[1] = "marzipan";
  d.ceilingmaterial = "felt";
  platform::writeMatVariable("elsewhere.ac", "prop", d.toValue());
  dispatch({Value("load"), Value("elsewhere.ac")});
  const RoomAcoustics room = roomAcoustics(rt, fig);
  EXPECT_EQ(room.wallMaterials[1], "marzipan");
  EXPECT_EQ(room.ceilingMaterial->name, "felt");
  const auto& ceiling = room.ceilingMaterial->bands;
  EXPECT_EQ(std::vector<double>(ceiling.begin(), ceiling.end()), *d.ceilingbands);
  EXPECT_DOUBLE_EQ(room.wallBands[1][4], 0.1);
  save("again.ac");
  EXPECT_EQ(readCaseFile("again.ac", "again.ac").wallmaterial, d.wallmaterial);
}

TEST_F(MaterialCaseTest, ACaseWithoutMaterialsDescribesAndSavesAsBefore) {
  for (const char* file : {"l-room.ac", "curved-room.ac", "default-room-z20.ac"}) {
    const std::string path = std::string(VELMORA_FIXTURES) + "/" + file;
    dispatch({Value("load"), Value(path)});
    const CaseDescription d = drawing();
    EXPECT_FALSE(d.wallmaterial || d.wallbands || d.roomheight || d.floormaterial || d.floorbands ||
                 d.ceilingmaterial || d.ceilingbands)
        << file;
    save("again.ac");
    // The same fields, in the same order, as the fixture's.
    const Value before = platform::readMatVariable(path, "prop");
    const Value after = platform::readMatVariable("again.ac", "prop");
    EXPECT_EQ(before.record().names(), after.record().names()) << file;
  }
}

TEST_F(MaterialCaseTest, BadValuesAreRefusedNamingTheField) {
  struct Row {
    std::function<void(CaseDescription&)> change;
    std::string message;
  };
  const std::vector<Row> rows = {
      {[](CaseDescription& d) { (*d.wallbands)(2, 3) = 1.5; },
       "field wallbands must hold coefficients from 0 to 1, got 1.5"},
      {[](CaseDescription& d) { (*d.wallbands)(0, 0) = -0.1; },
       "field wallbands must hold coefficients from 0 to 1, got -0.1"},
      {[](CaseDescription& d) { d.wallbands = platform::Matrix::zeros(4, 5); },
       "field wallbands must have six columns (125 to 4000 Hz), not 5"},
      {[](CaseDescription& d) { d.wallbands = platform::Matrix::zeros(3, 6); },
       "field wallbands must have one row per wall (4), not 3"},
      {[](CaseDescription& d) { d.wallmaterial->pop_back(); },
       "field wallmaterial must name one material per wall (4), not 3"},
      {[](CaseDescription& d) { d.roomheight = 0; },
       "field roomheight must be a height above 0 and at most 1000 m, got 0"},
      {[](CaseDescription& d) { d.floorbands->pop_back(); },
       "field floorbands must hold six band coefficients (125 to 4000 Hz), got 5"},
      {[](CaseDescription& d) { (*d.ceilingbands)[0] = 2; },
       "field ceilingbands must hold coefficients from 0 to 1, got 2"},
      {[](CaseDescription& d) { d.floorbands.reset(); },
       "field floorbands is missing: floormaterial and floorbands go together"},
      {[](CaseDescription& d) { d.wallbands.reset(); },
       "field wallbands is missing: wallmaterial and wallbands go together"},
  };
  dispatch({Value("update"), furnished().toValue()});
  const CaseDescription drawn = drawing();
  for (std::size_t k = 0; k < rows.size(); ++k) {
    CaseDescription d = furnished();
    rows[k].change(d);
    // Written past the description's own check, as a damaged or hand-made file would be.
    const std::string name = "bad" + std::to_string(k) + ".ac";
    platform::writeMatVariable(name, "prop", d.toValue());
    const std::string message = failure({Value("load"), Value(name)});
    EXPECT_NE(message.find(rows[k].message), std::string::npos) << message;
    EXPECT_EQ(message.rfind("file " + name + ": ", 0), 0u) << message;
    EXPECT_EQ(drawing(), drawn) << rows[k].message;
    // The automation's update refuses the same description the same way.
    EXPECT_NE(failure({Value("update"), d.toValue()}).find(rows[k].message), std::string::npos);
    EXPECT_EQ(drawing(), drawn) << rows[k].message;
  }
}

}  // namespace
}  // namespace velmora::shell
