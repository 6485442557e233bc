#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace velmora::platform {

// Writes a file through a temporary sibling that takes the final name only once complete, so a failed
// print leaves neither a partial file nor a damaged older one. Errors read
// "cannot write file <path>: <reason>".
class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* stream() { return file_; }
  const std::string& path() const { return path_; }
  void write(std::span<const std::uint8_t> bytes);
  // Closes the file and gives it its final name.
  void commit();
  // The error for this file with a reason.
  [[noreturn]] void fail(const std::string& reason) const;

 private:
  std::string path_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

}  // namespace velmora::platform
