#include "platform/files/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/model/error.h"

namespace velmora::platform {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void failFor(const std::string& path, const std::string& reason) {
  throw Error("cannot write file " + path + ": " + reason);
}

// ---- temporary files known to the signal handler -------------------------------------------------
// Fixed slots, so that the handler reads no memory that may be freed under it: a slot is claimed,
// filled, then marked live; the handler unlinks live slots only.

constexpr int kSlots = 64;
constexpr std::size_t kSlotPath = 4096;
constexpr int kFree = 0, kFilling = 1, kLive = 2;
struct TempSlot {
  std::atomic<int> state{kFree};
  char path[kSlotPath];
};
TempSlot g_slots[kSlots];
std::atomic<int> g_publishing{0};  // renames in progress: a signal waits for them
std::atomic<int> g_deferred{0};    // the signal that waited
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};

void removeLiveTemporaries() {
  for (TempSlot& s : g_slots) {
    if (s.state.load() == kLive) ::unlink(s.path);
  }
}

// Async-signal-safe throughout: atomics, unlink, sigaction, raise.
void endBySignal(int sig) {
  removeLiveTemporaries();
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  ::sigaction(sig, &byDefault, nullptr);
  ::raise(sig);  // held while the handler runs; ends the process as it returns
}

extern "C" void onEndingSignal(int sig) {
  if (g_publishing.load() != 0) {
    g_deferred.store(sig);
    return;
  }
  endBySignal(sig);
}

void installSignalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int sig : kEndingSignals) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 ||
          old.sa_handler != SIG_DFL)
        continue;  // ignored, or somebody else's: left alone
      struct sigaction ours {};
      ours.sa_handler = onEndingSignal;
      sigemptyset(&ours.sa_mask);
      for (int other : kEndingSignals) sigaddset(&ours.sa_mask, other);
      ours.sa_flags = SA_RESTART;
      ::sigaction(sig, &ours, nullptr);
    }
  });
}

int registerTemporary(const std::string& path) {
  if (path.size() >= kSlotPath) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
    g_slots[i].state.store(kLive);
    return i;
  }
  return -1;  // more at once than slots: left to the next write's clean-up of stale files
}

void unregisterTemporary(int& slot) {
  if (slot >= 0) g_slots[slot].state.store(kFree);
  slot = -1;
}

// ---- where the bytes go --------------------------------------------------------------------------

bool underDevOrProc(const fs::path& p) {
  const std::string s = p.lexically_normal().string();
  return s.rfind("/dev/", 0) == 0 || s.rfind("/proc/", 0) == 0;
}

// A name under /dev or /proc, or a chain of links that passes there (/dev/stdout, /proc/self/fd/1).
bool throughDevOrProc(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) return false;
  for (int hop = 0; hop < 40; ++hop) {
    if (underDevOrProc(p)) return true;
    if (!fs::is_symlink(p, ec)) return false;
    fs::path next = fs::read_symlink(p, ec);
    if (ec) return false;
    p = next.is_relative() ? p.parent_path() / next : next;
  }
  return false;
}

// Whether a regular file starts as case files do: the text header of a Level 5 MAT-file.
bool holdsCase(const std::string& path) {
  static constexpr char kHeader[] = "MATLAB 5.0 MAT-file";
  char head[sizeof kHeader - 1] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  return n == static_cast<ssize_t>(sizeof head) && std::memcmp(head, kHeader, sizeof head) == 0;
}

struct Plan {
  std::string target;
  bool inPlace = false;
  std::optional<mode_t> mode;  // of the file replaced
};

Plan planOutput(const std::string& path) {
  if (path.empty()) throw Error("cannot write file: no file name given");
  if (path == "-") return {path, true, std::nullopt};
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  const int statError = errno;
  if (exists && S_ISDIR(st.st_mode)) failFor(path, "it is a folder");
  if ((exists && !S_ISREG(st.st_mode)) || throughDevOrProc(path)) {
    if (!exists) failFor(path, std::strerror(statError));  // no file is ever made there
    if (::access(path.c_str(), W_OK) != 0) failFor(path, std::strerror(errno));
    return {path, true, std::nullopt};
  }
  Plan plan{path, false, std::nullopt};
  if (exists) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (!ec) plan.target = real.string();
    // Read-only for everybody is kept even from root, whom access() would let through.
    if ((st.st_mode & 0222) == 0) failFor(path, std::strerror(EACCES));
    if (::access(plan.target.c_str(), W_OK) != 0) failFor(path, std::strerror(errno));
    // A table, print or sound written over a case (the one open in the window, say) would lose it.
    if (holdsCase(plan.target)) failFor(path, "it is a case file, which an export never replaces");
    plan.mode = st.st_mode & 07777;
  } else if (statError != ENOENT) {
    failFor(path, std::strerror(statError));
  }
  const fs::path parent = fs::path(plan.target).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  struct stat fst {};
  if (::stat(folder.c_str(), &fst) != 0) failFor(path, std::strerror(errno));
  if (!S_ISDIR(fst.st_mode)) failFor(path, std::strerror(ENOTDIR));
  if (::access(folder.c_str(), W_OK | X_OK) != 0) failFor(path, std::strerror(errno));
  return plan;
}

}  // namespace

void removeTemporariesOfGoneProcesses(const fs::path& parent, const std::string& prefix) {
  std::error_code ec;
  const fs::path folder = parent.empty() ? fs::path(".") : parent;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= prefix.size() + 5 || file.compare(0, prefix.size(), prefix) != 0 ||
        file.compare(file.size() - 5, 5, ".part") != 0)
      continue;
    const std::string rest = file.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || rest.find_first_not_of("0123456789") != dash) continue;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still writing
    std::error_code removeError;
    fs::remove(it->path(), removeError);
  }
}

namespace {

// ".NAME.<pid>-" for a target: the start of its temporary files' names (NAME cut so that the whole
// stays within a file name's length).
std::string temporaryPrefix(const fs::path& target) {
  constexpr std::size_t kNameKept = 100;
  return "." + target.filename().string().substr(0, kNameKept) + ".";
}

// What killed writes of the same file left: temporary files of processes that are gone, and the single
// "NAME.partial" of older versions.
void removeStaleTemporaries(const std::string& target) {
  const fs::path t(target);
  std::error_code ec;
  if (fs::is_regular_file(target + ".partial", ec)) fs::remove(target + ".partial", ec);
  const std::string prefix = temporaryPrefix(t);
  removeTemporariesOfGoneProcesses(t.parent_path(), prefix);
}

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

AllOutputs* g_all = nullptr;

}  // namespace

// ---- a completed file, waiting for its name ------------------------------------------------------

struct FinishedOutput {
  std::string path, target, temp;
  bool inPlace = false;
  std::string bytes;  // of a target written in place
  int slot = -1;

  FinishedOutput() = default;
  FinishedOutput(const FinishedOutput&) = delete;
  FinishedOutput& operator=(const FinishedOutput&) = delete;
  ~FinishedOutput() {
    if (!temp.empty()) ::unlink(temp.c_str());
    unregisterTemporary(slot);
  }

  // Streams the bytes into the target as it is: opened for writing, neither created nor truncated.
  // SIGPIPE is held in this thread, so a reader that went away is an error, not the end of the process.
  void writeInPlace() {
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    int error = 0;
    int fd = STDOUT_FILENO;
    if (target == "-") {
      std::fflush(stdout);
    } else {
      do {
        fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
      } while (fd < 0 && errno == EINTR);
      if (fd < 0) error = errno;
    }
    for (std::size_t done = 0; error == 0 && done < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = n < 0 ? errno : EIO;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    if (fd >= 0 && fd != STDOUT_FILENO && ::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error == EPIPE) {
      const timespec now{};
      sigtimedwait(&pipeSignal, nullptr, &now);  // the SIGPIPE of that write, consumed
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (error != 0) failFor(path, std::strerror(error));
  }

  void rename() {
    if (::rename(temp.c_str(), target.c_str()) != 0) failFor(path, std::strerror(errno));
    temp.clear();
    unregisterTemporary(slot);
  }

  void publish() {
    if (inPlace) {
      writeInPlace();
    } else {
      rename();
    }
  }
};

// ---- one file ------------------------------------------------------------------------------------

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  const Plan plan = planOutput(path_);
  target_ = plan.target;
  inPlace_ = plan.inPlace;
  if (inPlace_) {
    file_ = ::open_memstream(&memory_, &memorySize_);
    if (!file_) fail(std::strerror(errno));
    return;
  }
  installSignalHandlers();
  removeStaleTemporaries(target_);
  const fs::path t(target_);
  std::string pattern =
      (t.parent_path() / (temporaryPrefix(t) + std::to_string(::getpid()) + "-XXXXXX.part")).string();
  const int fd = ::mkstemps(pattern.data(), 5);
  if (fd < 0) fail(std::strerror(errno));
  temp_ = pattern;
  slot_ = registerTemporary(temp_);
  // mkstemps makes the file private: it gets the replaced file's permissions, or a new file's.
  ::fchmod(fd, plan.mode.value_or(newFileMode()));
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    ::close(fd);
    fail(std::strerror(error));
  }
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
  std::free(memory_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
  unregisterTemporary(slot_);
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!file_) fail("the file is closed");
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    fail(std::strerror(errno));
}

void OutputFile::commit() {
  if (!file_) fail("the file is closed");
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  int error = errno;
  const bool closed = std::fclose(file_) == 0;
  if (flushed && !closed) error = errno;
  file_ = nullptr;
  if (!flushed || !closed) fail(std::strerror(error));

  auto done = std::make_unique<FinishedOutput>();
  done->path = path_;
  done->target = target_;
  done->inPlace = inPlace_;
  if (inPlace_) {
    done->bytes.assign(memory_, memorySize_);
    std::free(memory_);
    memory_ = nullptr;
  }
  done->temp = std::exchange(temp_, std::string());
  done->slot = std::exchange(slot_, -1);
  if (g_all == nullptr) return done->publish();
  for (const auto& other : g_all->files_) {
    if (sameOutputFile(other->target, done->target)) fail("it is written twice in one run");
  }
  g_all->files_.push_back(std::move(done));
}

void OutputFile::fail(const std::string& reason) const {
  failFor(path_, reason);
}

void checkOutputFile(const std::string& path) {
  planOutput(path);
}

namespace {

struct Identity {
  bool onDisk = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;
};

Identity identify(const std::string& path) {
  Identity id;
  struct stat st {};
  if (path == "-" ? ::fstat(STDOUT_FILENO, &st) == 0 : ::stat(path.c_str(), &st) == 0) {
    id.onDisk = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    return id;
  }
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  const fs::path resolved = ec ? fs::path(path) : fs::weakly_canonical(absolute, ec);
  id.name = ec ? absolute.lexically_normal().string() : resolved.string();
  return id;
}

}  // namespace

bool sameOutputFile(const std::string& a, const std::string& b) {
  const Identity x = identify(a), y = identify(b);
  if (x.onDisk != y.onDisk) return false;
  return x.onDisk ? x.device == y.device && x.inode == y.inode : x.name == y.name;
}

// ---- several files -------------------------------------------------------------------------------

AllOutputs::AllOutputs() {
  if (g_all != nullptr) throw Error("output files are already gathered for one run");
  g_all = this;
}

AllOutputs::~AllOutputs() {
  g_all = nullptr;
}

void AllOutputs::commit() {
  for (const auto& f : files_) {
    if (f->inPlace) f->writeInPlace();
  }
  g_publishing.store(1);
  std::optional<Error> failure;
  for (const auto& f : files_) {
    if (f->inPlace) continue;
    try {
      f->rename();
    } catch (const Error& e) {
      failure = e;
      break;
    }
  }
  g_publishing.store(0);
  files_.clear();  // what a failed rename left is removed with them
  if (const int sig = g_deferred.exchange(0)) endBySignal(sig);
  if (failure) throw *failure;
}

}  // namespace velmora::platform
