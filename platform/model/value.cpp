#include "platform/model/value.h"

#include "platform/model/error.h"

namespace velmora::platform {

bool List::operator==(const List& o) const {
  return items == o.items;
}

bool Record::has(std::string_view name) const {
  return find(name) != nullptr;
}

const Value* Record::find(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) return &values_[i];
  }
  return nullptr;
}

Value* Record::find(std::string_view name) {
  return const_cast<Value*>(static_cast<const Record*>(this)->find(name));
}

const Value& Record::at(std::string_view name) const {
  if (const Value* v = find(name)) return *v;
  throw Error("reference to non-existent field '" + std::string(name) + "'");
}

void Record::set(std::string_view name, Value v) {
  if (Value* existing = find(name)) {
    *existing = std::move(v);
    return;
  }
  names_.emplace_back(name);
  values_.push_back(std::move(v));
}

void Record::append(std::string name, Value v) {
  names_.push_back(std::move(name));
  values_.push_back(std::move(v));
}

bool Record::remove(std::string_view name) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) {
      names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
      values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

bool Record::operator==(const Record& o) const {
  return names_ == o.names_ && values_ == o.values_;
}

namespace {
[[noreturn]] void wrongKind(const Value& v, const char* wanted) {
  throw Error(std::string("expected ") + wanted + ", got " + v.kindName());
}
}  // namespace

const Matrix& Value::matrix() const {
  if (auto* m = std::get_if<Matrix>(&v_)) return *m;
  wrongKind(*this, "a number or matrix");
}
Matrix& Value::matrix() {
  if (auto* m = std::get_if<Matrix>(&v_)) return *m;
  wrongKind(*this, "a number or matrix");
}
const std::string& Value::text() const {
  if (auto* s = std::get_if<std::string>(&v_)) return *s;
  wrongKind(*this, "a text");
}
const List& Value::list() const {
  if (auto* l = std::get_if<List>(&v_)) return *l;
  wrongKind(*this, "a list");
}
List& Value::list() {
  if (auto* l = std::get_if<List>(&v_)) return *l;
  wrongKind(*this, "a list");
}
const Record& Value::record() const {
  if (auto* r = std::get_if<Record>(&v_)) return *r;
  wrongKind(*this, "a record");
}
Record& Value::record() {
  if (auto* r = std::get_if<Record>(&v_)) return *r;
  wrongKind(*this, "a record");
}
Handle Value::object() const {
  if (auto* o = std::get_if<ObjectRef>(&v_)) return o->handle;
  wrongKind(*this, "a graphics object");
}
double Value::scalar() const {
  const Matrix& m = matrix();
  if (m.numel() != 1) wrongKind(*this, "a single number");
  return m.data[0];
}
std::vector<double> Value::numbers() const {
  return matrix().data;
}

const char* Value::kindName() const {
  switch (v_.index()) {
    case 0:
      return matrix().numel() == 1 ? "a number" : "a matrix";
    case 1:
      return "a text";
    case 2:
      return "a list";
    case 3:
      return "a record";
    default:
      return "a graphics object";
  }
}

}  // namespace velmora::platform
