#include "platform/files/matfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/model/error.h"

namespace velmora::platform {
namespace {

std::string fixture(const char* name) {
  return std::string(VELMORA_FIXTURES) + "/" + name;
}

std::filesystem::path tempDir() {
  auto dir = std::filesystem::temp_directory_path() / ("velmora-matfile-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(MatFile, ReadsCaseFilesWrittenByAnotherProgram) {
  for (const char* f : {"l-room.ac", "l-room-v7.ac"}) {
    const Value prop = readMatVariable(fixture(f), "prop");
    const Record& r = prop.record();
    EXPECT_EQ(r.at("name"), Value("l-room")) << f;
    EXPECT_EQ(r.at("height").scalar(), 14);
    EXPECT_EQ(r.at("xwall").matrix(), Matrix::row({0, 10, 10, 5, 5, 0}));
    EXPECT_EQ(r.at("alpha").numbers(), (std::vector<double>{0, 10, 20, 30, 40, 100}));
    EXPECT_EQ(r.at("Nsurface").scalar(), 40);
    EXPECT_FALSE(r.has("curves"));
    EXPECT_EQ(r.names().front(), "name");
    EXPECT_EQ(r.names().back(), "Nsurface");
  }
  const Record curved = readMatVariable(fixture("curved-room.ac"), "prop").record();
  const Record& anim = curved.at("animationparameters").record();
  EXPECT_EQ(anim.at("output"), Value("no output"));
  EXPECT_TRUE(anim.at("axis").isEmptyMatrix());
  EXPECT_EQ(anim.at("level").numbers(), (std::vector<double>{40, 100}));
  EXPECT_EQ(curved.at("curves").matrix(), Matrix::row({2, 18, -8, 18, 8, 15, 0, 2, 5}));
}

TEST(MatFile, RoundTripKeepsEveryKindOfValue) {
  Record inner;
  inner.set("ptype", Value("linear"));
  inner.set("axis", Value(Matrix{}));
  Record r;
  r.set("name", Value("hall ünïcode"));
  r.set("xlim", Value::row({0, 20}));
  r.set("grid", Value(Matrix{2, 3, {1, 2, 3, 4, 5, 6}, 1}));
  r.set("image", Value(Matrix{2, 2, {0, 0.25, 0.5, 1, 1, 1, 1, 1, 0, 0, 0, 0}, 3}));
  r.set("labels", Value(List{{Value("move wall"), Value("split wall")}}));
  r.set("empty", Value(List{}));
  r.set("blank", Value(""));
  r.set("nested", Value(inner));
  const auto path = (tempDir() / "round.ac").string();
  writeMatVariable(path, "prop", Value(r));
  const Value back = readMatVariable(path, "prop");
  EXPECT_EQ(back.record().names(), r.names());
  for (const std::string& name : r.names()) {
    if (name == "empty") {
      // An empty cell reads back as an empty list.
      EXPECT_TRUE(back.record().at(name).list().items.empty());
      continue;
    }
    EXPECT_EQ(back.record().at(name), r.at(name)) << name;
  }
}

TEST(MatFile, BadFilesGiveClearMessagesAndLeaveOldFilesWhole) {
  const auto dir = tempDir();
  const auto garbage = (dir / "garbage.ac").string();
  std::ofstream(garbage) << "this is not a case file";
  EXPECT_THROW(readMatVariable(garbage, "prop"), Error);
  EXPECT_THROW(readMatVariable((dir / "missing.ac").string(), "prop"), Error);
  try {
    readMatVariable(fixture("l-room.ac"), "other");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("holds no variable other"), std::string::npos);
  }
  EXPECT_THROW(writeMatVariable((dir / "no-such-folder" / "x.ac").string(), "prop", Value(1.0)), Error);
}

}  // namespace
}  // namespace velmora::platform
