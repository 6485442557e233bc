#include "platform/matfile.h"

#include <matio.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/error.h"

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

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
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
      for (std::size_t i = 0; i < r.size(); ++i) {
        Mat_VarSetStructFieldByName(out, r.names()[i].c_str(), 0,
                                    toVar(r.names()[i], r.values()[i]).release());
      }
    }
  }
  if (out == nullptr) throw Error("cannot store the field '" + name + "'");
  return VarPtr(out);
}

template <class T>
void copyNumbers(const matvar_t* var, std::size_t n, std::vector<double>& out) {
  const T* p = static_cast<const T*>(var->data);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<double>(p[i]);
}

Value fromVar(const matvar_t* var, const std::string& where) {
  std::size_t n = 1;
  for (int i = 0; i < var->rank; ++i) n *= var->dims[i];
  const std::size_t rows = var->rank > 0 ? var->dims[0] : 0;
  const std::size_t cols = var->rank > 1 ? n / std::max<std::size_t>(rows, 1) : 1;
  if (var->isComplex) throw Error("the field '" + where + "' holds complex numbers");
  switch (var->class_type) {
    case MAT_C_EMPTY:
      return Value(Matrix{});
    case MAT_C_CHAR: {
      // Character arrays arrive as UTF-8 bytes or as UTF-16 code units.
      std::vector<char32_t> units(n);
      if (var->data != nullptr) {
        const std::size_t width = Mat_SizeOf(var->data_type);
        for (std::size_t i = 0; i < n; ++i) {
          if (width == 1)
            units[i] = static_cast<const unsigned char*>(var->data)[i];
          else if (width == 2)
            units[i] = static_cast<const std::uint16_t*>(var->data)[i];
          else
            units[i] = static_cast<const std::uint32_t*>(var->data)[i];
        }
      }
      auto rowText = [&](std::size_t r) {
        std::string s;
        for (std::size_t c = 0; c < cols; ++c) {
          char32_t u = units[c * rows + r];
          // A surrogate pair of UTF-16 makes one character.
          if (u >= 0xD800 && u < 0xDC00 && c + 1 < cols) {
            const char32_t low = units[(c + 1) * rows + r];
            if (low >= 0xDC00 && low < 0xE000) {
              u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
              ++c;
            }
          }
          appendUtf8(s, u);
        }
        return s;
      };
      if (rows <= 1) return Value(rows == 0 ? std::string() : rowText(0));
      List lines;
      for (std::size_t r = 0; r < rows; ++r) lines.items.emplace_back(rowText(r));
      return Value(std::move(lines));
    }
    case MAT_C_CELL: {
      List out;
      for (std::size_t i = 0; i < n; ++i) {
        matvar_t* cell = Mat_VarGetCell(const_cast<matvar_t*>(var), static_cast<int>(i));
        out.items.push_back(cell ? fromVar(cell, where) : Value(Matrix{}));
      }
      return Value(std::move(out));
    }
    case MAT_C_STRUCT: {
      const unsigned nf = Mat_VarGetNumberOfFields(const_cast<matvar_t*>(var));
      char* const* names = Mat_VarGetStructFieldnames(var);
      List records;
      for (std::size_t k = 0; k < n; ++k) {
        Record r;
        for (unsigned f = 0; f < nf; ++f) {
          matvar_t* field = Mat_VarGetStructFieldByIndex(const_cast<matvar_t*>(var), f, k);
          const std::string fname = names[f] ? names[f] : "";
          r.set(fname, field ? fromVar(field, fname) : Value(Matrix{}));
        }
        records.items.emplace_back(std::move(r));
      }
      if (n == 1) return records.items.front();
      return Value(std::move(records));
    }
    case MAT_C_DOUBLE:
    case MAT_C_SINGLE:
    case MAT_C_INT8:
    case MAT_C_UINT8:
    case MAT_C_INT16:
    case MAT_C_UINT16:
    case MAT_C_INT32:
    case MAT_C_UINT32:
    case MAT_C_INT64:
    case MAT_C_UINT64: {
      Matrix m;
      m.rows = rows;
      m.cols = var->rank > 1 ? var->dims[1] : 1;
      m.pages = (m.rows * m.cols) == 0 ? 1 : n / (m.rows * m.cols);
      if (var->rank > 3) throw Error("the field '" + where + "' has more than three dimensions");
      m.data.assign(n, 0.0);
      if (n > 0 && var->data == nullptr) throw Error("the field '" + where + "' has no data");
      switch (var->class_type) {
        case MAT_C_DOUBLE:
          copyNumbers<double>(var, n, m.data);
          break;
        case MAT_C_SINGLE:
          copyNumbers<float>(var, n, m.data);
          break;
        case MAT_C_INT8:
          copyNumbers<std::int8_t>(var, n, m.data);
          break;
        case MAT_C_UINT8:
          copyNumbers<std::uint8_t>(var, n, m.data);
          break;
        case MAT_C_INT16:
          copyNumbers<std::int16_t>(var, n, m.data);
          break;
        case MAT_C_UINT16:
          copyNumbers<std::uint16_t>(var, n, m.data);
          break;
        case MAT_C_INT32:
          copyNumbers<std::int32_t>(var, n, m.data);
          break;
        case MAT_C_UINT32:
          copyNumbers<std::uint32_t>(var, n, m.data);
          break;
        case MAT_C_INT64:
          copyNumbers<std::int64_t>(var, n, m.data);
          break;
        default:
          copyNumbers<std::uint64_t>(var, n, m.data);
          break;
      }
      if (n == 0) m.rows = m.cols = 0;
      return Value(std::move(m));
    }
    default:
      throw Error("the field '" + where + "' holds data of a kind a case cannot hold");
  }
}

}  // namespace

void writeMatVariable(const std::string& path, const std::string& name, const Value& value) {
  quietMatio();
  VarPtr var = toVar(name, value);
  // Written beside the target first, so a failed write leaves an existing file whole.
  const std::string temp = path + ".part";
  {
    FilePtr file(Mat_CreateVer(temp.c_str(), nullptr, MAT_FT_MAT5));
    if (!file) throw Error("cannot write file " + path);
    if (Mat_VarWrite(file.get(), var.get(), MAT_COMPRESSION_NONE) != 0) {
      file.reset();
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw Error("cannot write file " + path);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw Error("cannot write file " + path);
  }
}

Value readMatVariable(const std::string& path, const std::string& name) {
  quietMatio();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw Error("file " + path + " not found ...");
  FilePtr file(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
  if (!file) throw Error("file " + path + " cannot be read");
  VarPtr var(Mat_VarRead(file.get(), name.c_str()));
  if (!var) throw Error("file " + path + " holds no variable " + name);
  return fromVar(var.get(), name);
}

}  // namespace velmora::platform
