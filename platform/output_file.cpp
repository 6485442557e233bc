#include "platform/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/error.h"

namespace velmora::platform {

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  if (path_.empty()) throw Error("cannot write file: no file name given");
  std::error_code ec;
  if (std::filesystem::is_directory(path_, ec)) fail("it is a folder");
  temp_ = path_ + ".partial";
  file_ = std::fopen(temp_.c_str(), "wb");
  if (!file_) fail(std::strerror(errno));
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
  if (!committed_) std::remove(temp_.c_str());
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!file_) fail("the file is closed");
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    fail(std::strerror(errno));
}

void OutputFile::commit() {
  if (!file_) fail("the file is closed");
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  const int err = errno;
  std::fclose(file_);
  file_ = nullptr;
  if (!flushed) fail(std::strerror(err));
  std::error_code ec;
  std::filesystem::rename(temp_, path_, ec);
  if (ec) fail(ec.message());
  committed_ = true;
}

void OutputFile::fail(const std::string& reason) const {
  throw Error("cannot write file " + path_ + ": " + reason);
}

}  // namespace velmora::platform
