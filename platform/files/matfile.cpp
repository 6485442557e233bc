#include "platform/files/matfile.h"

#include <matio.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/files/mat5_reader.h"
#include "platform/files/output_file.h"
#include "platform/model/error.h"

namespace velmora::platform {

namespace {

struct VarDeleter {
  void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using VarPtr = std::unique_ptr<matvar_t, VarDeleter>;

struct FileCloser {
  void operator()(mat_t* m) const { Mat_Close(m); }
};
using FilePtr = std::unique_ptr<mat_t, FileCloser>;

// Quiet library: its own messages would go to stderr; errors come back as our messages instead.
void quietLog(int, char*) {}
void quietMatio() {
  static const bool once = [] {
    Mat_LogInitFunc("velmora", quietLog);
    return true;
  }();
  (void)once;
}

namespace fs = std::filesystem;

// The part file of a save in progress: ".NAME.<pid>-XXXXXX.part" beside NAME, removed again unless
// the save renamed it into place.
struct TempFile {
  explicit TempFile(const std::string& target) {
    const fs::path t(target);
    std::string pattern = (t.parent_path() / (std::string(".") + t.filename().string() + "." +
                                              std::to_string(::getpid()) + "-XXXXXX.part"))
                              .string();
    const int fd = ::mkstemps(pattern.data(), 5);
    if (fd < 0) throw Error("cannot write file " + target);
    // mkstemps makes the file private; a case file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    path = pattern;
  }
  ~TempFile() {
    if (path.empty()) return;
    std::error_code ec;
    fs::remove(path, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string path;
};

// Part files that a killed save of the same file left behind: those of processes that are gone, and
// the single "NAME.part" of older versions.
void removeStaleSaves(const std::string& target) {
  const fs::path t(target);
  const std::string prefix = std::string(".") + t.filename().string() + ".";
  std::error_code ec;
  if (fs::is_regular_file(target + ".part", ec)) fs::remove(target + ".part", ec);
  removeTemporariesOfGoneProcesses(t.parent_path(), prefix);
}

std::u16string toUtf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    int len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 && i + 1 < s.size()) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if ((c >> 4) == 0xE && i + 2 < s.size()) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if ((c >> 3) == 0x1E && i + 3 < s.size()) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
      len = 4;
    }
    i += static_cast<std::size_t>(len);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

VarPtr toVar(const std::string& name, const Value& v) {
  matvar_t* out = nullptr;
  if (v.isMatrix()) {
    const Matrix& m = v.matrix();
    size_t dims[3] = {m.rows, m.cols, m.pages};
    const int rank = m.pages > 1 ? 3 : 2;
    std::vector<double> data = m.data;
    out = Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, rank, dims,
                        data.empty() ? nullptr : data.data(), 0);
  } else if (v.isObject()) {
    size_t dims[2] = {1, 1};
    double h = static_cast<double>(v.object());
    out = Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &h, 0);
  } else if (v.isText()) {
    std::u16string units = toUtf16(v.text());
    size_t dims[2] = {units.empty() ? 0u : 1u, units.size()};
    out = Mat_VarCreate(name.c_str(), MAT_C_CHAR, MAT_T_UINT16, 2, dims,
                        units.empty() ? nullptr : units.data(), 0);
  } else if (v.isList()) {
    const auto& items = v.list().items;
    size_t dims[2] = {items.empty() ? 0u : 1u, items.size()};
    out = Mat_VarCreate(name.c_str(), MAT_C_CELL, MAT_T_CELL, 2, dims, nullptr, 0);
    if (out) {
      for (std::size_t i = 0; i < items.size(); ++i) {
        Mat_VarSetCell(out, static_cast<int>(i), toVar("", items[i]).release());
      }
    }
  } else {
    const Record& r = v.record();
    std::vector<const char*> fields;
    for (const std::string& f : r.names()) fields.push_back(f.c_str());
    fields.push_back(nullptr);
    size_t dims[2] = {1, 1};
    out = Mat_VarCreateStruct2(name.c_str(), 2, dims, fields.data());
    if (out) {
      // By index: setting by name searches the fields, quadratic in a large record.
      for (std::size_t i = 0; i < r.size(); ++i) {
        Mat_VarSetStructFieldByIndex(out, i, 0, toVar(r.names()[i], r.values()[i]).release());
      }
    }
  }
  if (out == nullptr) throw Error("cannot store the field '" + name + "'");
  return VarPtr(out);
}

}  // namespace

void writeMatVariable(const std::string& path, const std::string& name, const Value& value) {
  quietMatio();
  // Never over what may not be replaced: a file nobody may write (mode 444, kept even from root), or
  // something that is not a file at all (a FIFO, a device).
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) throw Error("cannot write file " + path + ": it is not a regular file");
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
      throw Error("cannot write file " + path + ": Permission denied");
  }
  VarPtr var = toVar(name, value);
  removeStaleSaves(path);
  // Written beside the target under a name of its own first, so a failed write leaves an existing
  // file whole and two saves never share a half-written file.
  TempFile temp(path);
  {
    FilePtr file(Mat_CreateVer(temp.path.c_str(), nullptr, MAT_FT_MAT5));
    if (!file) throw Error("cannot write file " + path);
    if (Mat_VarWrite(file.get(), var.get(), MAT_COMPRESSION_NONE) != 0)
      throw Error("cannot write file " + path);
  }
  std::error_code ec;
  std::filesystem::rename(temp.path, path, ec);
  if (ec) throw Error("cannot write file " + path);
  temp.path.clear();
}

Value readMatVariable(const std::string& path, const std::string& name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw Error("file " + path + " not found ...");
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) throw Error("file " + path + " cannot be read");
  // Refused before a byte is read: the decoder would refuse it anyway.
  if (size > kMatMaxBytes)
    throw Error("file " + path + " is too large for a case file (" + std::to_string(size) +
                " bytes, at most " + std::to_string(kMatMaxBytes) + ")");
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    throw Error("file " + path + " cannot be read");
  return decodeMatVariable(bytes, name, path);
}

}  // namespace velmora::platform
