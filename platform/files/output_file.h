#pragma once
// The files the program writes (tables, prints, reports, exports): whole or not at all, and never over
// what may not be replaced. Errors read "cannot write file <path>: <reason>".
//
// - A regular file, new or existing, is written to a temporary sibling ".NAME.<pid>-XXXXXX.part" that
//   takes the final name only once complete, so a failed write leaves neither a partial file nor a
//   damaged older one. An existing file keeps its permissions; a link to a regular file stays a link
//   and the file it names is replaced.
// - An existing file that may not be written is refused: no write permission for the user, or none for
//   anybody (mode 444), which is refused even to root, as a read-only file is meant to be kept.
// - A target that is not a regular file (a FIFO, a character device, "-" for standard output, a link to
//   /proc/self/fd/1, any name under /dev or /proc) is written in place at commit, from memory: never
//   renamed over, never replaced. A FIFO is opened when the bytes are ready and waits for its reader.
// - A temporary file does not outlive a process ended by SIGHUP, SIGINT, SIGQUIT, SIGTERM or SIGPIPE:
//   the handler installed with the first output file (where the signal had its default action) removes
//   the temporary files in progress, with unlink only, which is async-signal-safe, then ends the process
//   by the same signal. SIGKILL cannot be caught: the next write of the same file removes what a process
//   that is gone left beside it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velmora::platform {

struct FinishedOutput;

class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* stream() { return file_; }
  const std::string& path() const { return path_; }
  void write(std::span<const std::uint8_t> bytes);
  // Completes the file and gives it its final name (or writes it to its stream). While an AllOutputs
  // lives, the completed file is handed to it instead and takes its name with the others.
  void commit();
  // The error for this file with a reason.
  [[noreturn]] void fail(const std::string& reason) const;

 private:
  std::string path_;      // as given, for messages
  std::string target_;    // where the bytes go: links to regular files resolved
  std::string temp_;      // the temporary sibling; empty for a target written in place
  bool inPlace_ = false;  // not a regular file: streamed at commit
  std::FILE* file_ = nullptr;
  char* memory_ = nullptr;  // the bytes of a target written in place (open_memstream)
  std::size_t memorySize_ = 0;
  int slot_ = -1;  // the temporary file's entry for the signal handler
};

// Every check that the constructor of OutputFile makes, without creating anything: the folder exists
// and may be written, the name is not a folder nor a file that may not be written. Throws the same error.
void checkOutputFile(const std::string& path);

// Removes the temporary files "<prefix><pid>-XXXXXX.part" in `folder` (empty: the current one) that
// writers killed halfway left: those whose process is gone.
void removeTemporariesOfGoneProcesses(const std::filesystem::path& folder, const std::string& prefix);

// Whether two output names denote the same file: the same file on disk (links, "./a" and "a", hard
// links alike), the same name once resolved for files still to be made; "-" is standard output.
bool sameOutputFile(const std::string& a, const std::string& b);

// All or nothing over several files. While one lives, each OutputFile's commit() completes its file
// and hands it here; commit() then gives them their names together: the targets written in place
// first (nothing is renamed when one fails), then every rename, during which a terminating signal
// is held back until the last is done. Destroyed uncommitted (an error on the way), it removes every
// completed file and nothing is written. One at a time, from one thread.
class AllOutputs {
 public:
  AllOutputs();
  ~AllOutputs();
  AllOutputs(const AllOutputs&) = delete;
  AllOutputs& operator=(const AllOutputs&) = delete;
  void commit();

 private:
  friend class OutputFile;
  std::vector<std::unique_ptr<FinishedOutput>> files_;
};

}  // namespace velmora::platform
