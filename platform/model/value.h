#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora::platform {

// Graphics object handles; numbers increase with creation, 0 is the root.
using Handle = std::int64_t;
inline constexpr Handle kRoot = 0;
inline constexpr Handle kNoHandle = -1;

// A real matrix stored column-major, as case files and automation carry it.
struct Matrix {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<double> data;
  std::size_t pages = 1;  // third dimension: 3 for an RGB image (rows x cols x 3)

  static Matrix scalar(double v) { return Matrix{1, 1, {v}, 1}; }
  static Matrix row(std::vector<double> v) {
    const std::size_t n = v.size();
    return Matrix{n == 0 ? 0u : 1u, n, std::move(v), 1};
  }
  static Matrix column(std::vector<double> v) {
    const std::size_t n = v.size();
    return Matrix{n, n == 0 ? 0u : 1u, std::move(v), 1};
  }
  static Matrix zeros(std::size_t r, std::size_t c) {
    return Matrix{r, c, std::vector<double>(r * c, 0.0), 1};
  }

  std::size_t numel() const { return data.size(); }
  bool empty() const { return data.empty(); }
  bool isScalar() const { return rows == 1 && cols == 1; }
  double& operator()(std::size_t r, std::size_t c) { return data[c * rows + r]; }
  double operator()(std::size_t r, std::size_t c) const { return data[c * rows + r]; }
  double at3(std::size_t r, std::size_t c, std::size_t p) const { return data[(p * cols + c) * rows + r]; }
  bool operator==(const Matrix&) const = default;
};

struct ObjectRef {
  Handle handle = kNoHandle;
  bool operator==(const ObjectRef&) const = default;
};

class Value;

// Several values (a cell row).
struct List {
  std::vector<Value> items;
  bool operator==(const List&) const;
};

// Named fields in their order.
class Record {
 public:
  bool has(std::string_view name) const;
  const Value* find(std::string_view name) const;
  Value* find(std::string_view name);
  const Value& at(std::string_view name) const;  // throws Error when absent
  void set(std::string_view name, Value v);      // replaces in place or appends
  // Appends a field the caller knows is not there yet, in constant time (set() searches first):
  // for decoders that checked the names of a whole record at once.
  void append(std::string name, Value v);
  bool remove(std::string_view name);
  std::size_t size() const { return names_.size(); }
  const std::vector<std::string>& names() const { return names_; }
  const std::vector<Value>& values() const { return values_; }
  bool operator==(const Record&) const;

 private:
  std::vector<std::string> names_;
  std::vector<Value> values_;
};

// The small dynamic value used only at the edges: case files, automation, callback texts,
// properties set by name, and userdata that must hold any record.
class Value {
 public:
  using Storage = std::variant<Matrix, std::string, List, Record, ObjectRef>;

  Value() : v_(Matrix{}) {}
  Value(double d) : v_(Matrix::scalar(d)) {}
  Value(int i) : v_(Matrix::scalar(i)) {}
  Value(Matrix m) : v_(std::move(m)) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(List l) : v_(std::move(l)) {}
  Value(Record r) : v_(std::move(r)) {}
  Value(ObjectRef r) : v_(r) {}

  static Value row(std::vector<double> v) { return Value(Matrix::row(std::move(v))); }
  static Value handle(Handle h) { return Value(ObjectRef{h}); }

  bool isMatrix() const { return std::holds_alternative<Matrix>(v_); }
  bool isText() const { return std::holds_alternative<std::string>(v_); }
  bool isList() const { return std::holds_alternative<List>(v_); }
  bool isRecord() const { return std::holds_alternative<Record>(v_); }
  bool isObject() const { return std::holds_alternative<ObjectRef>(v_); }
  bool isEmptyMatrix() const { return isMatrix() && matrix().empty(); }
  bool isScalar() const { return isMatrix() && matrix().isScalar(); }

  const Matrix& matrix() const;  // each accessor throws Error on the wrong kind
  Matrix& matrix();
  const std::string& text() const;
  const List& list() const;
  List& list();
  const Record& record() const;
  Record& record();
  Handle object() const;
  double scalar() const;                // a 1-by-1 matrix
  std::vector<double> numbers() const;  // all elements of a matrix, column order

  const char* kindName() const;
  const Storage& storage() const { return v_; }
  bool operator==(const Value& o) const { return v_ == o.v_; }

 private:
  Storage v_;
};

}  // namespace velmora::platform
