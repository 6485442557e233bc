// Every test process works in a folder of its own. The program writes its undo snapshot
// "temporarysave.ac" into the current folder, and CTest runs test processes side by side.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

class IsolatedFolder {
 public:
  IsolatedFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr && chdir(pattern.c_str()) == 0) folder_ = pattern;
  }
  ~IsolatedFolder() {
    if (folder_.empty()) return;
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(folder_, ec);
  }
  IsolatedFolder(const IsolatedFolder&) = delete;
  IsolatedFolder& operator=(const IsolatedFolder&) = delete;

 private:
  std::string folder_;
};

const IsolatedFolder folder;

}  // namespace
