#pragma once

#include <concepts>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/model/graphics_object.h"
#include "platform/model/object_slots.h"
#include "platform/model/value.h"

namespace velmora::platform {

namespace properties {
struct PropDef;  // platform/model/graphics_properties.h
}

// Told of every change, so a front end can follow the model without holding state of its own.
class GraphicsObserver {
 public:
  virtual ~GraphicsObserver() = default;
  virtual void objectCreated(Handle h) = 0;
  virtual void propertyChanged(Handle h, std::string_view name) = 0;
  virtual void childrenReordered(Handle parent) = 0;
  virtual void objectDeleted(Handle h) = 0;  // called before the object is gone
};

// The tree of graphics objects under the root (handle 0).
class Graphics {
 public:
  Graphics();
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  // Creates an object in `parent` with the defaults of its type, as the first child (on top).
  // Figures are created in the root and become the current figure; axes become their figure's
  // current axes. Raises an Error for a parent that cannot hold that type.
  Handle create(ObjectType type, Handle parent);
  // A copy of an object and its descendants, made in `parent` as a new object on top: the same
  // properties, userdata and children order, under new handles given in the order of creation. A
  // window or a drawing area is not copied (an Error says so), nor is the parent checked otherwise than
  // by `create`.
  Handle copy(Handle source, Handle parent);
  // Deletes an object and its descendants (menus given as `uicontextmenu` stay).
  void remove(Handle h);
  bool exists(Handle h) const;
  const GraphicsObject& at(Handle h) const;  // raises an Error for a deleted handle

  Value get(Handle h, std::string_view name) const { return at(h).get(name); }
  // Sets a property by name with the checks of its kind; raises an Error with a clear message for an
  // unknown name, a read-only property or a value of the wrong kind, and then changes nothing.
  void set(Handle h, std::string_view name, Value v);
  void setText(Handle h, std::string_view name, std::string v) { set(h, name, Value(std::move(v))); }
  void setNumber(Handle h, std::string_view name, double v) { set(h, name, Value(v)); }
  void setRow(Handle h, std::string_view name, std::vector<double> v) {
    set(h, name, Value::row(std::move(v)));
  }

  void setUserdata(Handle h, std::shared_ptr<const UserData> data);
  template <class T>
  requires std::derived_from<T, UserData>
  void setUserdata(Handle h, T data) {
    setUserdata(h, std::shared_ptr<const UserData>(std::make_shared<T>(std::move(data))));
  }
  // The userdata of type T for a change in place, when this object alone holds it (no snapshot and no
  // reader shares it); null otherwise, and then a changed copy is to be set. Tell of the change with
  // `userdataChanged`.
  template <class T>
  requires std::derived_from<T, UserData> T* userdataToChange(Handle h) {
    GraphicsObject& o = object(h);
    if (o.userdata_.use_count() != 1) return nullptr;
    return const_cast<T*>(dynamic_cast<const T*>(o.userdata_.get()));
  }
  void userdataChanged(Handle h) { notifyChanged(h, "userdata"); }
  void setAppData(Handle h, std::string_view name, Value v);
  void setGuiData(Handle h, std::optional<Value> v);

  // The object and its descendants whose tag equals `tag` (exactly), newest first.
  std::vector<Handle> findobj(Handle parent, std::string_view tag) const;
  // The object and its descendants for which `match` holds, newest first.
  std::vector<Handle> findIf(Handle parent, const std::function<bool(const GraphicsObject&)>& match) const;
  // How many objects name this context menu as their `uicontextmenu`.
  std::size_t contextMenuUsers(Handle menu) const;
  // Sets the children order; `order` must be a permutation of the current children.
  void setChildren(Handle parent, const std::vector<Handle>& order);

  // Nearest ancestor (or the object itself) of a type; kNoHandle when none.
  Handle ancestor(Handle h, ObjectType type) const;
  Handle figureOf(Handle h) const { return ancestor(h, ObjectType::Figure); }
  std::vector<Handle> figures() const;  // children of the root, in stacking order

  // Current objects: the root's current figure, a figure's current axes and current object.
  Handle currentFigure() const;
  void setCurrentFigure(Handle fig);
  Handle currentAxes(Handle fig) const;
  Handle currentObject(Handle fig) const;

  void addObserver(GraphicsObserver* o);
  void removeObserver(GraphicsObserver* o);

  // The whole tree as it is now, for `restore` when an operation that replaces a window's content
  // fails half-way (graphics_snapshot.cpp). Handles are never reused: `restore` deletes the objects
  // made since, brings back the ones deleted since under their old handles, puts back every property,
  // userdata and children order, and tells the observers of each difference.
  // Taking one copies nothing: while it lives, the tree keeps the old state of each object it changes
  // or deletes for the first time (a rebuild replaces thousands of objects and changes a handful).
  struct Journal;
  struct Snapshot {
    std::shared_ptr<Journal> journal;
  };
  Snapshot snapshot();
  void restore(Snapshot snapshot);

 private:
  GraphicsObject& object(Handle h);  // for a change: the live snapshots keep the old state first
  // The parent a new object of `type` goes into; an Error when it cannot hold one.
  GraphicsObject& holder(Handle parent, ObjectType type);
  // Gives a new object the next handle and puts it on top of its parent's children.
  Handle adopt(std::unique_ptr<GraphicsObject> obj, GraphicsObject& parent);
  void keep(Handle h, const GraphicsObject& o);
  void remember(Handle h, const GraphicsObject& o, std::unique_ptr<GraphicsObject> gone);
  void discard(Handle h);  // drops the object, into the live snapshots when they need its old state
  void collect(Handle h, const std::function<bool(const GraphicsObject&)>& match,
               std::vector<Handle>& out) const;
  void collectSubtree(Handle h, std::vector<Handle>& out) const;
  void notifyChanged(Handle h, std::string_view name);
  // The steps of `set`: the properties answered but not stored ("userdata", "children"; "type" and
  // "parent" are read-only), true when `name` was one; the value checked against its property's kind
  // (an Error when it does not fit), converted when stored otherwise than given; and the checked value
  // stored with what it brings along (the tag index, a mode set to manual, the window order).
  bool setUnstored(Handle h, std::string_view name, std::string_view lowered, Value& v);
  std::optional<Value> checkedValue(ObjectType type, const properties::PropDef& def, std::string_view name,
                                    const Value& v) const;
  void storeValue(Handle h, GraphicsObject& obj, const properties::PropDef& def, Value value);

  const GraphicsObject* find(Handle h) const;
  bool isWithin(Handle h, Handle ancestorHandle) const;
  void setMenuUse(const GraphicsObject& o, Handle menu);

  // Handles are never reused: the slot of handle h is empty once deleted. Together with the tag index
  // this keeps a window with thousands of objects as quick to search as a small one.
  ObjectSlots objects_;
  // Tagged objects by tag, oldest first (objects are made untagged, and most stay so: menu items,
  // lines of the images; a search for the empty tag walks the tree).
  std::map<std::string, std::vector<Handle>, std::less<>> byTag_;
  void index(const std::string& tag, Handle h);
  void unindex(const std::string& tag, Handle h);
  std::unordered_map<Handle, std::size_t> menuUsers_;
  Handle next_ = 1;
  std::vector<GraphicsObserver*> observers_;
  // The journals of the snapshots still held. Most changes are to objects made since a snapshot,
  // which it never keeps: `firstNew` tells so without reaching the journal.
  struct LiveJournal {
    std::weak_ptr<Journal> weak;
    Journal* journal;  // valid while `weak` has not expired
    Handle firstNew;
  };
  std::vector<LiveJournal> journals_;
  Handle journalsNewFrom_ = 0;  // no journal keeps objects from this handle on (made since them all)
};

}  // namespace velmora::platform
