#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/model/value.h"

namespace velmora::platform {

// The properties set on one graphics object, keyed by the name in its type's table, in the order
// first set. A window holds thousands of objects with a handful of properties each, and a rebuild
// makes them anew: the first few entries live in the object itself (a menu item needs no more), the
// others in fixed blocks that are only ever appended. A stored value never moves, so a reference to
// it stays good while more properties are added.
class PropertyBag {
 public:
  using Entry = std::pair<std::string_view, Value>;

 private:
  static constexpr std::size_t kInline = 3;
  static constexpr std::size_t kBlock = 12;
  struct Block {
    Block() noexcept {}
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block() {
      for (std::size_t i = 0; i < used; ++i) entries[i].~Entry();
    }
    std::unique_ptr<Block> next;
    std::size_t used = 0;
    union {
      Entry entries[kBlock];
    };
  };

  template <bool Const>
  class Iter {
    using Bag = std::conditional_t<Const, const PropertyBag, PropertyBag>;
    using Blk = std::conditional_t<Const, const Block, Block>;

   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using reference = std::conditional_t<Const, const Entry&, Entry&>;
    using pointer = std::conditional_t<Const, const Entry*, Entry*>;

    Iter() = default;
    Iter(Bag* bag, std::size_t i) : bag_(bag), i_(i) {}
    reference operator*() const { return i_ < kInline ? bag_->inline_[i_] : block_->entries[j_]; }
    pointer operator->() const { return &**this; }
    Iter& operator++() {
      if (++i_ < kInline) return *this;
      if (i_ == kInline) {
        block_ = bag_->first_.get();
        j_ = 0;
      } else if (++j_ == kBlock) {
        block_ = block_->next.get();
        j_ = 0;
      }
      return *this;
    }
    Iter operator++(int) {
      Iter old = *this;
      ++*this;
      return old;
    }
    bool operator==(const Iter& o) const { return i_ == o.i_; }

   private:
    Bag* bag_ = nullptr;
    Blk* block_ = nullptr;
    std::size_t i_ = 0;
    std::size_t j_ = 0;
  };

 public:
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  PropertyBag() noexcept {}
  PropertyBag(const PropertyBag& o) : PropertyBag() {
    for (const Entry& e : o) emplace_back(e.first, Value(e.second));
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
  iterator begin() { return {this, 0}; }
  iterator end() { return {this, size_}; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

  Entry& emplace_back(std::string_view key, Value&& value) {
    if (size_ < kInline) {
      Entry* e = new (&inline_[size_]) Entry(key, std::move(value));
      ++size_;
      return *e;
    }
    if (last_ == nullptr || last_->used == kBlock) {
      auto block = std::make_unique<Block>();
      Block* raw = block.get();
      (last_ == nullptr ? first_ : last_->next) = std::move(block);
      last_ = raw;
    }
    Entry* e = new (&last_->entries[last_->used]) Entry(key, std::move(value));
    ++last_->used;
    ++size_;
    return *e;
  }

  void clear() noexcept {
    for (std::size_t i = 0, n = std::min(size_, kInline); i < n; ++i) inline_[i].~Entry();
    // Blocks go one by one rather than down a recursive chain.
    while (first_) first_ = std::move(first_->next);
    last_ = nullptr;
    size_ = 0;
  }

 private:
  void take(PropertyBag& o) noexcept {
    for (std::size_t i = 0, n = std::min(o.size_, kInline); i < n; ++i) {
      new (&inline_[i]) Entry(std::move(o.inline_[i]));
      o.inline_[i].~Entry();
    }
    first_ = std::move(o.first_);
    last_ = o.last_;
    size_ = o.size_;
    o.last_ = nullptr;
    o.size_ = 0;
  }

  std::size_t size_ = 0;
  std::unique_ptr<Block> first_;
  Block* last_ = nullptr;
  union {
    Entry inline_[kInline];
  };
};

}  // namespace velmora::platform
