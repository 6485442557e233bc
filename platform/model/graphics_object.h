#pragma once
// One object of the graphics tree and the types it is made of: object types, typed userdata, colours.
// The tree that holds the objects and changes them is platform/model/graphics.h.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model/object_type.h"
#include "platform/model/property_bag.h"
#include "platform/model/value.h"

namespace velmora::platform {

// Typed userdata: records such as the case record keep their C++ type in the model and turn into
// a dynamic value only for automation and case files.
class UserData {
 public:
  virtual ~UserData() = default;
  virtual Value toValue() const = 0;
};

// Userdata that is just a value (anything set by name).
class ValueUserData : public UserData {
 public:
  explicit ValueUserData(Value v) : value(std::move(v)) {}
  Value toValue() const override { return value; }
  Value value;
};

struct Rgb {
  double r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Reads a colour value: a 1x3 matrix in [0, 1], or one of the letters / names
// "r" "g" "b" "c" "m" "y" "k" "w" ("red" ... "white"). Nothing for "none", "interp", "flat", "auto".
std::optional<Rgb> colorOf(const Value& v);

class Graphics;

// One object of the retained tree: a property bag typed underneath. Property names are
// compared ignoring case; an unknown name raises an Error naming the property and the class.
class GraphicsObject {
 public:
  Handle handle() const { return handle_; }
  ObjectType type() const { return type_; }
  Handle parent() const { return parent_; }
  // Stacking order: the first child is drawn on top.
  const std::vector<Handle>& children() const {
    if (!kids_) return noHandles();
    if (kids_->topDownStale) {
      const auto& kids = bottomUpKids();
      kids_->topDown.assign(kids.rbegin(), kids.rend());
      kids_->topDownStale = false;
    }
    return kids_->topDown;
  }
  // The children from the bottom of the stack up (the reverse of `children`), read without building
  // the stacking order.
  const std::vector<Handle>& childrenBottomUp() const { return kids_ ? bottomUpKids() : noHandles(); }

  GraphicsObject() = default;
  GraphicsObject(const GraphicsObject& o);
  GraphicsObject& operator=(const GraphicsObject& o);
  GraphicsObject(GraphicsObject&&) noexcept = default;
  GraphicsObject& operator=(GraphicsObject&&) noexcept = default;
  ~GraphicsObject() = default;

  bool hasProperty(std::string_view name) const;
  // A stored property by its lower-case name; null for a name the type does not have.
  const Value* find(std::string_view lowered) const;
  Value get(std::string_view name) const;
  // Every property name of the object (automation lists them all): the stored ones in alphabetical
  // order, then "type", "parent", "children" and "userdata".
  std::vector<std::string> propertyNames() const;
  // Typed reads; each raises an Error when the stored value has another kind.
  std::string text(std::string_view name) const;
  double number(std::string_view name) const;
  const Matrix& matrix(std::string_view name) const;
  std::vector<double> numbers(std::string_view name) const;
  bool isOn(std::string_view name) const;  // an "on"/"off" property
  std::optional<Rgb> color(std::string_view name) const;

  const std::string& tag() const { return tag_; }
  bool visible() const { return isOn("visible"); }

  // Typed userdata. `userdataAs<T>()` is null when the userdata is absent or of another type.
  std::shared_ptr<const UserData> userdata() const { return userdata_; }
  template <class T>
  const T* userdataAs() const {
    return dynamic_cast<const T*>(userdata_.get());
  }

  // Named application data and the GUI data slot (used on figures).
  const Value* appData(std::string_view name) const;
  const std::optional<Value>& guiData() const;

 private:
  friend class Graphics;
  Handle handle_ = kNoHandle;
  ObjectType type_ = ObjectType::Root;
  Handle parent_ = kNoHandle;
  // Children from the bottom of the stack up: a new object goes on top, at the end, without moving
  // the thousands of others a drawing area holds. The stacking order is built when read after a change.
  // A deleted child leaves a hole (kNoHandle) that is closed when the list is next read: a rebuild
  // deletes hundreds of the oldest children one by one, and closing each at once moves all the rest.
  // Only objects that ever held children have the lists: most are leaves, and a window's thousands
  // of objects are made, copied and deleted at every rebuild.
  struct Children {
    std::vector<Handle> bottomUp;
    std::size_t holes = 0;
    std::size_t liveFrom = 0;  // where the last deleted child was: the next search starts there
    std::vector<Handle> topDown;
    bool topDownStale = false;
  };
  mutable std::unique_ptr<Children> kids_;
  static const std::vector<Handle>& noHandles();
  std::vector<Handle>& bottomUpKids() const {
    if (!kids_) kids_ = std::make_unique<Children>();
    if (kids_->holes != 0) {
      std::erase(kids_->bottomUp, kNoHandle);
      kids_->holes = 0;
      kids_->liveFrom = 0;
    }
    return kids_->bottomUp;
  }
  Children& kids() {
    if (!kids_) kids_ = std::make_unique<Children>();
    return *kids_;
  }
  // Only the properties set since creation; the others read their type's default.
  PropertyBag props_;
  Value& slot(std::string_view lowered);  // the stored value, made from the default when absent
  std::shared_ptr<const UserData> userdata_;
  // Named application data and the GUI data slot, which few objects have.
  struct Extras {
    std::map<std::string, Value, std::less<>> appData;
    std::optional<Value> guiData;
  };
  std::unique_ptr<Extras> extras_;
  Extras& extras() {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
  }
  std::string tag_;  // a copy of the "tag" property: tag searches read it without a lookup
  Handle menu_ = kNoHandle;  // the object its "uicontextmenu" names: deletions read it without a lookup
  // The types (bit 1 << type) for which a "default<type>..." property was set: objects of those types
  // made within read them.
  unsigned defaultsFor_ = 0;
};

}  // namespace velmora::platform
