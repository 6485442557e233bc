// Every kind of target an output file may be given, one row each: what ends up there, what the error
// says, and that no temporary file is left beside it; then several files written all or nothing.

#include "platform/files/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/model/error.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeAll(const std::string& path, const std::string& text) {
  OutputFile f(path);
  f.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  f.commit();
}

// The names in a folder, hidden ones included.
std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class OutputFileTargets : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("velmora_outputs_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  std::string at(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

// What a FIFO's reader receives while `write` runs.
std::string readFifoWhile(const std::string& fifo, const std::function<void()>& write) {
  auto reader = std::async(std::launch::async, [&] { return slurp(fifo); });
  write();
  return reader.get();
}

TEST_F(OutputFileTargets, EachKindOfTargetIsWrittenOrRefusedAsItShouldBe) {
  struct Row {
    const char* what;
    std::function<std::string()> prepare;  // makes the target, returns its name
    std::optional<std::string> error;       // the message, or nothing when the write succeeds
    std::function<void(const std::string&)> check;
    bool foundBeforeWriting = true;  // by checkOutputFile, when there is an error
  };
  const std::string text = "x,y\r\n1,2\r\n";
  const std::vector<Row> rows = {
      {"a new file gets the usual permissions", [&] { return at("new.csv"); }, std::nullopt,
       [&](const std::string& p) {
         EXPECT_EQ(slurp(p), text);
         const mode_t mask = ::umask(0);
         ::umask(mask);
         EXPECT_EQ(static_cast<mode_t>(fs::status(p).permissions()), 0666 & ~mask);
       }},
      {"an existing file is replaced and keeps its permissions",
       [&] {
         std::ofstream(at("old.csv")) << "old";
         fs::permissions(at("old.csv"), fs::perms(0640));
         return at("old.csv");
       },
       std::nullopt,
       [&](const std::string& p) {
         EXPECT_EQ(slurp(p), text);
         EXPECT_EQ(fs::status(p).permissions(), fs::perms(0640));
       }},
      {"a read-only file (mode 444) is refused, even to root",
       [&] {
         std::ofstream(at("kept.csv")) << "kept";
         fs::permissions(at("kept.csv"), fs::perms(0444));
         return at("kept.csv");
       },
       "cannot write file " + at("kept.csv") + ": Permission denied",
       [&](const std::string& p) { EXPECT_EQ(slurp(p), "kept"); }},
      {"a link to a regular file stays a link, the file it names is replaced",
       [&] {
         std::ofstream(at("real.csv")) << "old";
         fs::create_symlink("real.csv", at("link.csv"));
         return at("link.csv");
       },
       std::nullopt,
       [&](const std::string& p) {
         EXPECT_TRUE(fs::is_symlink(p));
         EXPECT_EQ(slurp(at("real.csv")), text);
       }},
      {"a link to a read-only file is refused",
       [&] {
         std::ofstream(at("frozen.csv")) << "kept";
         fs::permissions(at("frozen.csv"), fs::perms(0444));
         fs::create_symlink("frozen.csv", at("to-frozen.csv"));
         return at("to-frozen.csv");
       },
       "cannot write file " + at("to-frozen.csv") + ": Permission denied",
       [&](const std::string&) { EXPECT_EQ(slurp(at("frozen.csv")), "kept"); }},
      {"a missing folder", [&] { return at("missing/a.csv"); },
       "cannot write file " + at("missing/a.csv") + ": No such file or directory", nullptr},
      {"a folder", [&] { return dir.string(); }, "cannot write file " + dir.string() + ": it is a folder",
       nullptr},
      {"no name", [] { return std::string(); }, "cannot write file: no file name given", nullptr},
      {"a character device is written in place", [] { return std::string("/dev/null"); }, std::nullopt,
       [](const std::string& p) { EXPECT_TRUE(fs::is_character_file(p)); }},
      {"a device that is full says so", [] { return std::string("/dev/full"); },
       "cannot write file /dev/full: No space left on device",
       [](const std::string& p) { EXPECT_TRUE(fs::is_character_file(p)); }, false},
      {"no file is ever made under /dev", [] { return std::string("/dev/velmora-no-such-device"); },
       "cannot write file /dev/velmora-no-such-device: No such file or directory",
       [](const std::string& p) { EXPECT_FALSE(fs::exists(p)); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = row.prepare();
    std::optional<std::string> error;
    try {
      checkOutputFile(path);
    } catch (const Error& e) {
      error = e.what();
    }
    EXPECT_EQ(error, row.foundBeforeWriting ? row.error : std::nullopt) << "checked before writing";
    error.reset();
    try {
      writeAll(path, text);
    } catch (const Error& e) {
      error = e.what();
    }
    EXPECT_EQ(error, row.error);
    if (row.check) row.check(path);
    for (const std::string& name : namesIn(dir)) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  }
}

TEST_F(OutputFileTargets, FifosAndStandardOutputAreStreamedNeverReplaced) {
  const std::string text = "kind,wall\r\ndirect,\r\n";
  const std::string fifo = at("pipe.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(readFifoWhile(fifo, [&] { writeAll(fifo, text); }), text);
  EXPECT_TRUE(fs::is_fifo(fifo));

  // A link to /proc/self/fd/N (here a pipe's end) and "-" with standard output on a pipe.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string link = at("to-fd.csv");
  fs::create_symlink("/proc/self/fd/" + std::to_string(ends[1]), link);
  writeAll(link, text);
  EXPECT_TRUE(fs::is_symlink(link));
  const int saved = ::dup(STDOUT_FILENO);
  ::fflush(stdout);
  ::dup2(ends[1], STDOUT_FILENO);
  writeAll("-", "to stdout\n");
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(ends[1]);
  std::string got;
  char buffer[256];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<size_t>(n));
  ::close(ends[0]);
  EXPECT_EQ(got, text + "to stdout\n");

  // A reader that went away: an error, not the end of the process.
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  const int kept = ::dup(STDOUT_FILENO);
  ::dup2(ends[1], STDOUT_FILENO);
  std::optional<std::string> error;
  try {
    writeAll("-", text);
  } catch (const Error& e) {
    error = e.what();
  }
  ::dup2(kept, STDOUT_FILENO);
  ::close(kept);
  EXPECT_EQ(error, "cannot write file -: Broken pipe");
  ::close(ends[1]);
}

TEST_F(OutputFileTargets, SeveralFilesTakeTheirNamesTogetherOrNotAtAll) {
  const std::string text = "new";
  std::ofstream(at("b.csv")) << "old b";
  {
    AllOutputs all;
    writeAll(at("a.csv"), text);
    writeAll(at("b.csv"), text);
    // Completed, but not yet under their names.
    EXPECT_FALSE(fs::exists(at("a.csv")));
    EXPECT_EQ(slurp(at("b.csv")), "old b");
    EXPECT_EQ(namesIn(dir).size(), 3u);
    // One file twice in one run is refused.
    EXPECT_THROW(writeAll(at("./a.csv"), text), Error);
    all.commit();
  }
  EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a.csv", "b.csv"}));
  EXPECT_EQ(slurp(at("b.csv")), text);

  // A failure on the way: nothing of the run is written, no temporary file is left.
  try {
    AllOutputs all;
    writeAll(at("c.csv"), text);
    writeAll(at("b.csv"), "newer");
    writeAll(at("missing/d.csv"), text);
    all.commit();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write file " + at("missing/d.csv") + ": No such file or directory");
  }
  EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a.csv", "b.csv"}));
  EXPECT_EQ(slurp(at("b.csv")), text);

  // A stream that fails is written first: nothing is renamed after it.
  try {
    AllOutputs all;
    writeAll(at("c.csv"), text);
    writeAll("/dev/full", text);
    all.commit();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write file /dev/full: No space left on device");
  }
  EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a.csv", "b.csv"}));
}

TEST_F(OutputFileTargets, SameFileWhateverItsName) {
  std::ofstream(at("a.csv")) << "a";
  fs::create_symlink("a.csv", at("link.csv"));
  fs::create_hard_link(at("a.csv"), at("hard.csv"));
  EXPECT_TRUE(sameOutputFile(at("a.csv"), at("link.csv")));
  EXPECT_TRUE(sameOutputFile(at("a.csv"), at("hard.csv")));
  EXPECT_TRUE(sameOutputFile(at("a.csv"), (dir / "." / "a.csv").string()));
  EXPECT_TRUE(sameOutputFile(at("new.csv"), (dir / "sub" / ".." / "new.csv").string()));
  EXPECT_FALSE(sameOutputFile(at("new.csv"), at("other.csv")));
  EXPECT_FALSE(sameOutputFile(at("a.csv"), at("new.csv")));
  EXPECT_TRUE(sameOutputFile("-", "/dev/stdout"));
  EXPECT_TRUE(sameOutputFile("-", "-"));
}

// A writer killed before it could finish: the temporary file of its pid is removed by the next write
// of the same file, that of a live process is not.
TEST_F(OutputFileTargets, TemporaryFilesOfProcessesThatAreGoneAreRemoved) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string gone = ".map.csv." + std::to_string(child) + "-a1b2c3.part";
  const std::string alive = ".map.csv." + std::to_string(::getppid()) + "-d4e5f6.part";
  std::ofstream(dir / gone) << "half";
  std::ofstream(dir / alive) << "busy";
  std::ofstream(dir / "map.csv.partial") << "half";  // what older versions left
  writeAll(at("map.csv"), "new");
  EXPECT_EQ(namesIn(dir), (std::vector<std::string>{alive, "map.csv"}));
}

}  // namespace
}  // namespace velmora::platform
