#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/model/value.h"

namespace velmora::platform {

// The properties set on one graphics object, keyed by the name in its type's table, in the order
// first set. A window holds thousands of objects with a handful of properties each, and a rebuild
// makes most of them as copies of a first one (menus, walls, image lines), and deletes as many: a
// value is held once and shared by the copies until one of them changes it, so a copy or a deletion
// costs a count per property rather than an allocation. A stored value never moves while it is held:
// a reference to it stays good while more properties are added.
//
// The counts are plain: a tree and its objects are used by one thread at a time.
class PropertyBag {
  struct Shared {
    std::size_t refs = 1;
    Value value;
  };

 public:
  // One stored property: its key (the static name of its table entry) and its value.
  class Entry {
   public:
    Entry() = default;
    std::string_view key() const { return key_; }
    const Value& value() const { return shared_->value; }

   private:
    friend class PropertyBag;
    Entry(std::string_view key, Shared* shared) : key_(key), shared_(shared) {}
    std::string_view key_;
    Shared* shared_ = nullptr;
  };

  PropertyBag() noexcept {}
  PropertyBag(const PropertyBag& o) : PropertyBag() {
    if (o.size_ > kInline) {
      // Room for a few more: a copy is usually given a property or two of its own.
      capacity_ = o.size_ - kInline + 2;
      more_ = std::make_unique<Entry[]>(capacity_);
    }
    for (std::uint32_t i = 0; i < o.size_; ++i) {
      const Entry& e = o.at(i);
      ++e.shared_->refs;
      slotAt(i) = e;
    }
    size_ = o.size_;
  }
  PropertyBag(PropertyBag&& o) noexcept : PropertyBag() { take(o); }
  PropertyBag& operator=(const PropertyBag& o) {
    if (this != &o) {
      PropertyBag copy(o);
      *this = std::move(copy);
    }
    return *this;
  }
  PropertyBag& operator=(PropertyBag&& o) noexcept {
    if (this != &o) {
      clear();
      take(o);
    }
    return *this;
  }
  ~PropertyBag() { clear(); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Entry& at(std::size_t i) const { return i < kInline ? inline_[i] : more_[i - kInline]; }

  template <class F>
  void forEach(F&& f) const {
    for (std::uint32_t i = 0; i < size_; ++i) f(at(i).key_, at(i).shared_->value);
  }

  // The same value to the bit (0 and -0 differ: they read back differently); lists and records are
  // never taken for the same.
  static bool identical(const Value& a, const Value& b) {
    const Value::Storage& x = a.storage();
    const Value::Storage& y = b.storage();
    if (x.index() != y.index()) return false;
    if (const auto* m = std::get_if<Matrix>(&x)) {
      const Matrix& n = std::get<Matrix>(y);
      return m->rows == n.rows && m->cols == n.cols && m->pages == n.pages && m->data.size() == n.data.size() &&
             (m->data.empty() ||
              std::memcmp(m->data.data(), n.data.data(), m->data.size() * sizeof(double)) == 0);
    }
    if (const auto* t = std::get_if<std::string>(&x)) return *t == std::get<std::string>(y);
    if (const auto* r = std::get_if<ObjectRef>(&x)) return *r == std::get<ObjectRef>(y);
    return false;
  }

  // The stored value of a key, compared by address: every key is the very text of its table entry.
  const Value* find(std::string_view key) const {
    for (std::uint32_t i = 0; i < size_; ++i)
      if (at(i).key_.data() == key.data()) return &at(i).shared_->value;
    return nullptr;
  }
  // The same for a change in place: the value is this bag's own from then on.
  Value* findToChange(std::string_view key) {
    for (std::uint32_t i = 0; i < size_; ++i)
      if (slotAt(i).key_.data() == key.data()) return &own(slotAt(i));
    return nullptr;
  }

  // Sets a value: in place when this bag alone holds the old one, else in a value of its own.
  const Value& store(std::string_view key, Value&& value) {
    for (std::uint32_t i = 0; i < size_; ++i) {
      Entry& e = slotAt(i);
      if (e.key_.data() != key.data()) continue;
      // The same value again (a display refresh sets most properties to what they were) is kept.
      if (identical(e.shared_->value, value)) return e.shared_->value;
      if (e.shared_->refs == 1) {
        e.shared_->value = std::move(value);
      } else {
        Shared* fresh = new Shared{1, std::move(value)};
        release(e.shared_);
        e.shared_ = fresh;
      }
      return e.shared_->value;
    }
    return append(key, new Shared{1, std::move(value)});
  }

  // Adds a key not stored yet.
  const Value& emplace_back(std::string_view key, Value&& value) {
    return append(key, new Shared{1, std::move(value)});
  }

  void clear() noexcept {
    for (std::uint32_t i = 0; i < size_; ++i) release(slotAt(i).shared_);
    more_.reset();
    capacity_ = 0;
    size_ = 0;
  }

 private:
  static constexpr std::uint32_t kInline = 4;

  static void release(Shared* s) noexcept {
    if (--s->refs == 0) delete s;
  }
  Entry& slotAt(std::size_t i) { return i < kInline ? inline_[i] : more_[i - kInline]; }
  Value& own(Entry& e) {
    if (e.shared_->refs != 1) {
      Shared* fresh = new Shared{1, e.shared_->value};
      release(e.shared_);
      e.shared_ = fresh;
    }
    return e.shared_->value;
  }
  const Value& append(std::string_view key, Shared* shared) {
    if (size_ >= kInline && size_ - kInline == capacity_) {
      const std::uint32_t grown = std::max<std::uint32_t>(4, capacity_ * 2);
      auto more = std::make_unique<Entry[]>(grown);
      std::copy(more_.get(), more_.get() + capacity_, more.get());
      more_ = std::move(more);
      capacity_ = grown;
    }
    slotAt(size_) = Entry(key, shared);
    ++size_;
    return shared->value;
  }
  void take(PropertyBag& o) noexcept {
    std::copy(o.inline_, o.inline_ + std::min(o.size_, kInline), inline_);
    more_ = std::move(o.more_);
    capacity_ = o.capacity_;
    size_ = o.size_;
    o.capacity_ = 0;
    o.size_ = 0;
  }

  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;  // of `more_`
  Entry inline_[kInline];
  std::unique_ptr<Entry[]> more_;
};

}  // namespace velmora::platform
