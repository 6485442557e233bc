#include "platform/model/graphics.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>

#include "platform/model/error.h"
#include "platform/model/graphics_properties.h"
#include "platform/model/numbers.h"

namespace velmora::platform {

using namespace properties;

namespace {

// Setting a limit, tick or colour range by hand fixes its mode, as plotting objects do.
const char* modeFor(std::string_view lowered) {
  if (lowered == "xlim") return "xlimmode";
  if (lowered == "ylim") return "ylimmode";
  if (lowered == "zlim") return "zlimmode";
  if (lowered == "clim") return "climmode";
  if (lowered == "xtick") return "xtickmode";
  if (lowered == "ytick") return "ytickmode";
  if (lowered == "xticklabel") return "xticklabelmode";
  if (lowered == "yticklabel") return "yticklabelmode";
  if (lowered == "dataaspectratio") return "dataaspectratiomode";
  return nullptr;
}

bool canHold(ObjectType parent, ObjectType child) {
  switch (child) {
    case ObjectType::Root:
      return false;
    case ObjectType::Figure:
      return parent == ObjectType::Root;
    case ObjectType::Axes:
    case ObjectType::UiControl:
    case ObjectType::UiContextMenu:
      return parent == ObjectType::Figure;
    case ObjectType::UiMenu:
      return parent == ObjectType::Figure || parent == ObjectType::UiContextMenu ||
             parent == ObjectType::UiMenu;
    default:
      return parent == ObjectType::Axes;
  }
}

// Whether `order` holds each of `kids` (distinct handles) once and nothing else: a mark per handle over
// the newest of them (a drawing area's thousands of children, made together by a rebuild and reordered
// at once), the few older ones compared sorted.
bool isPermutation(const std::vector<Handle>& kids, const std::vector<Handle>& order) {
  if (kids.size() != order.size()) return false;
  if (kids.empty()) return true;
  const auto [lo, hi] = std::minmax_element(kids.begin(), kids.end());
  const Handle first = std::max(*lo, *hi - static_cast<Handle>(8 * kids.size() + 4096));
  std::vector<unsigned char> mark(static_cast<std::size_t>(*hi - first) + 1, 0);
  std::vector<Handle> olderKids, olderOrder;
  for (Handle k : kids) {
    if (k < first)
      olderKids.push_back(k);
    else
      mark[static_cast<std::size_t>(k - first)] = 1;
  }
  for (Handle o : order) {
    if (o > *hi) return false;
    if (o < first) {
      olderOrder.push_back(o);
      continue;
    }
    if (mark[static_cast<std::size_t>(o - first)] != 1) return false;
    mark[static_cast<std::size_t>(o - first)] = 2;
  }
  std::sort(olderKids.begin(), olderKids.end());
  std::sort(olderOrder.begin(), olderOrder.end());
  return olderKids == olderOrder;
}

// Whether setting `v` would store exactly `now`, the value stored: the same value to the bit, or a colour
// letter or name whose components are the stored ones.
bool storedAlready(const PropDef& def, const Value& now, const Value& v) {
  if (PropertyBag::identical(now, v)) return true;
  if (def.kind != Kind::Color || !v.isText() || !now.isMatrix()) return false;
  const Matrix& m = now.matrix();
  if (m.rows != 1 || m.cols != 3 || m.pages != 1 || m.data.size() != 3) return false;
  const std::optional<Rgb> c = colorOf(v);
  if (!c) return false;
  const double rgbOf[3] = {c->r, c->g, c->b};
  return std::memcmp(rgbOf, m.data.data(), sizeof rgbOf) == 0;
}

}  // namespace

Graphics::Graphics() {
  auto root = std::make_unique<GraphicsObject>();
  root->handle_ = kRoot;
  root->type_ = ObjectType::Root;
  objects_.put(kRoot, std::move(root));
}

void Graphics::index(const std::string& tag, Handle h) {
  if (tag.empty()) return;
  auto& list = byTag_[tag];
  if (list.empty() || list.back() < h)
    list.push_back(h);
  else
    list.insert(std::lower_bound(list.begin(), list.end(), h), h);
}

void Graphics::unindex(const std::string& tag, Handle h) {
  if (tag.empty()) return;
  auto found = byTag_.find(tag);
  if (found == byTag_.end()) return;
  auto& list = found->second;
  const auto it = std::lower_bound(list.begin(), list.end(), h);
  if (it != list.end() && *it == h) list.erase(it);
  if (list.empty()) byTag_.erase(found);
}

const GraphicsObject* Graphics::find(Handle h) const {
  return objects_.get(h);
}

GraphicsObject& Graphics::object(Handle h) {
  auto& o = const_cast<GraphicsObject&>(at(h));
  if (!journals_.empty() && h < journalsNewFrom_) keep(h, o);
  return o;
}

const GraphicsObject& Graphics::at(Handle h) const {
  const GraphicsObject* o = find(h);
  if (o == nullptr) throw Error("Invalid handle: " + std::to_string(h));
  return *o;
}

bool Graphics::exists(Handle h) const {
  return find(h) != nullptr;
}

GraphicsObject& Graphics::holder(Handle parent, ObjectType type) {
  GraphicsObject& p = object(parent);
  if (!canHold(p.type_, type)) {
    throw Error("a " + std::string(typeName(type)) + " cannot be created in a " +
                std::string(typeName(p.type_)));
  }
  return p;
}

Handle Graphics::adopt(std::unique_ptr<GraphicsObject> obj, GraphicsObject& parent) {
  const Handle h = next_++;
  obj->handle_ = h;
  obj->parent_ = parent.handle_;
  objects_.put(h, std::move(obj));
  GraphicsObject::Children& kids = parent.kids();
  kids.bottomUp.push_back(h);
  kids.topDownStale = true;
  return h;
}

Handle Graphics::create(ObjectType type, Handle parent) {
  GraphicsObject& p = holder(parent, type);
  auto obj = std::make_unique<GraphicsObject>();
  obj->type_ = type;
  // Defaults a window gives to objects created in it ("defaultuicontrolfontsize" and the like).
  const Handle fig = figureOf(parent);
  if (fig != kNoHandle && (at(fig).defaultsFor_ & (1u << static_cast<unsigned>(type))) != 0) {
    const std::string_view kind = typeName(type);
    at(fig).props_.forEach([&](std::string_view key, const Value& value) {
      if (!key.starts_with("default") || !key.substr(7).starts_with(kind)) return;
      if (const PropDef* def = findDef(type, key.substr(7 + kind.size())))
        store(obj->props_, def->name, Value(value));
    });
  }
  const Handle h = adopt(std::move(obj), p);
  if (type == ObjectType::Figure) {
    object(kRoot).slot("currentfigure") = Value::handle(h);
  } else if (type == ObjectType::Axes) {
    object(parent).slot("currentaxes") = Value::handle(h);
  }
  for (GraphicsObserver* o : observers_) o->objectCreated(h);
  return h;
}

Handle Graphics::copy(Handle source, Handle parent) {
  const GraphicsObject& from = at(source);
  if (from.type_ == ObjectType::Root || from.type_ == ObjectType::Figure || from.type_ == ObjectType::Axes)
    throw Error("a " + std::string(typeName(from.type_)) + " cannot be copied");
  GraphicsObject& p = holder(parent, from.type_);
  const std::vector<Handle> kids = from.childrenBottomUp();  // before the copy can join them
  // Everything but the tree links and the children, which the copy makes its own (the properties'
  // values are shared until changed).
  auto obj = std::make_unique<GraphicsObject>();
  obj->type_ = from.type_;
  obj->props_ = from.props_;
  obj->userdata_ = from.userdata_;
  if (from.extras_) obj->extras_ = std::make_unique<GraphicsObject::Extras>(*from.extras_);
  obj->tag_ = from.tag_;
  obj->menu_ = from.menu_;
  obj->defaultsFor_ = from.defaultsFor_;
  const Handle h = adopt(std::move(obj), p);
  const GraphicsObject& made = at(h);
  index(made.tag_, h);
  if (made.menu_ != kNoHandle) ++menuUsers_[made.menu_];
  for (GraphicsObserver* o : observers_) o->objectCreated(h);
  if (!kids.empty()) object(h).kids().bottomUp.reserve(kids.size());
  for (Handle c : kids) copy(c, h);
  return h;
}

void Graphics::remove(Handle h) {
  if (h == kRoot) throw Error("the root cannot be deleted");
  if (!exists(h)) throw Error("Invalid handle: " + std::to_string(h));
  // Newest first: a child is always newer than its parent. Most deletions are of a single object.
  std::vector<Handle> subtreeBuffer;
  Handle single = h;
  std::span<const Handle> subtree(&single, 1);
  if (!at(h).childrenBottomUp().empty()) {
    collectSubtree(h, subtreeBuffer);
    std::sort(subtreeBuffer.begin(), subtreeBuffer.end(), std::greater<>());
    subtree = subtreeBuffer;
  }
  for (GraphicsObserver* o : observers_) {
    for (Handle d : subtree) o->objectDeleted(d);
  }
  const Handle parent = at(h).parent_;
  GraphicsObject& from = object(parent);
  GraphicsObject::Children& family = from.kids();
  auto& siblings = family.bottomUp;
  // Rebuilds delete a run of children made one after the other (newest or oldest first): the search
  // goes both ways from where the previous one was.
  auto found = siblings.end();
  const std::size_t start = std::min(family.liveFrom, siblings.size());
  for (std::size_t d = 0; start + d < siblings.size() || d <= start; ++d) {
    if (start + d < siblings.size() && siblings[start + d] == h) {
      found = siblings.begin() + static_cast<std::ptrdiff_t>(start + d);
      break;
    }
    if (d != 0 && d <= start && siblings[start - d] == h) {
      found = siblings.begin() + static_cast<std::ptrdiff_t>(start - d);
      break;
    }
  }
  if (found != siblings.end()) {
    family.liveFrom = static_cast<std::size_t>(found - siblings.begin());
    if (found + 1 == siblings.end()) {
      siblings.pop_back();
    } else {
      *found = kNoHandle;
      ++family.holes;
    }
  }
  family.topDownStale = true;
  for (Handle d : subtree) {
    const GraphicsObject& o = at(d);
    setMenuUse(o, kNoHandle);
    unindex(o.tag_, d);
    menuUsers_.erase(d);
    discard(d);
  }

  // Current objects that went away. The slots are read in place (this runs for every deletion), and
  // the objects that hold them changed (and kept for the snapshots) only when a slot is missing or
  // names an object gone.
  static const PropDef* const figureDef = findDef(ObjectType::Root, "currentfigure");
  static const PropDef* const axesDef = findDef(ObjectType::Figure, "currentaxes");
  static const PropDef* const objectDef = findDef(ObjectType::Figure, "currentobject");
  const auto gone = [&](const Value* v) { return v == nullptr || (v->isObject() && !exists(v->object())); };
  if (gone(at(kRoot).props_.find(figureDef->name))) {
    GraphicsObject& root = object(kRoot);
    const Value& cf = root.slot("currentfigure");
    if (cf.isObject() && !exists(cf.object())) {
      const auto& figs = root.childrenBottomUp();
      root.slot("currentfigure") = figs.empty() ? handleNone() : Value::handle(figs.back());
    }
  }
  for (Handle fig : at(kRoot).childrenBottomUp()) {
    const GraphicsObject& window = at(fig);
    if (!gone(window.props_.find(axesDef->name)) && !gone(window.props_.find(objectDef->name))) continue;
    GraphicsObject& f = object(fig);
    const Value* ca = f.props_.find(axesDef->name);
    if (ca == nullptr) ca = &f.slot(axesDef->name);
    if (ca->isObject() && !exists(ca->object())) {
      Value& changed = f.slot(axesDef->name);
      changed = handleNone();
      const auto& kids = f.childrenBottomUp();
      for (auto c = kids.rbegin(); c != kids.rend(); ++c) {
        if (at(*c).type_ == ObjectType::Axes) {
          changed = Value::handle(*c);
          break;
        }
      }
    }
    const Value* co = f.props_.find(objectDef->name);
    if (co == nullptr) co = &f.slot(objectDef->name);
    if (co->isObject() && !exists(co->object())) f.slot(objectDef->name) = handleNone();
  }
}

void Graphics::notifyChanged(Handle h, std::string_view name) {
  for (GraphicsObserver* o : observers_) o->propertyChanged(h, name);
}

void Graphics::set(Handle h, std::string_view name, Value v) {
  GraphicsObject& obj = object(h);
  std::string buffer;
  const std::string_view l = lowered(name, buffer);
  if (setUnstored(h, name, l, v)) return;
  const PropDef* def = findDef(obj.type_, l);
  if (def == nullptr) {
    throw Error("There is no '" + std::string(name) + "' property in the '" +
                std::string(typeName(obj.type_)) + "' class.");
  }
  // A value equal to the stored one was checked when it was stored and needs no conversion (a display
  // refresh sets most properties to what they were); a handle is checked again, its object may be gone.
  const Value* now = def->kind != Kind::Handle ? obj.props_.find(def->name) : nullptr;
  // The very value stored (a colour by the letter of its stored components): nothing changes but the
  // observers hear of the set, unless setting it does more (a window made current, an axis mode).
  static const PropDef* const currentFigureDef = findDef(ObjectType::Root, "currentfigure");
  if (now != nullptr && def != currentFigureDef && obj.type_ != ObjectType::Axes && storedAlready(*def, *now, v)) {
    notifyChanged(h, def->name);
    return;
  }
  std::optional<Value> converted;
  if (now == nullptr || !(*now == v)) converted = checkedValue(obj.type_, *def, name, v);
  storeValue(h, obj, *def, converted ? std::move(*converted) : std::move(v));
}

bool Graphics::setUnstored(Handle h, std::string_view name, std::string_view l, Value& v) {
  if (l == "userdata") {
    setUserdata(h, std::make_shared<ValueUserData>(std::move(v)));
    return true;
  }
  if (l == "children") {
    std::vector<Handle> order;
    if (v.isList()) {
      for (const Value& item : v.list().items) order.push_back(item.object());
    } else {
      for (double d : v.numbers()) order.push_back(static_cast<Handle>(d));
    }
    setChildren(h, order);
    return true;
  }
  if (l == "type" || l == "parent")
    throw Error("Attempt to modify read-only property: '" + std::string(name) + "'.");
  return false;
}

std::optional<Value> Graphics::checkedValue(ObjectType type, const PropDef& def, std::string_view name,
                                            const Value& v) const {
  const auto bad = [&](const char* wanted) {
    return Error("Bad value for " + std::string(typeName(type)) + " property '" + std::string(name) +
                 "': expected " + wanted + ", got " + v.kindName() + ".");
  };
  std::optional<Value> converted;
  switch (def.kind) {
    case Kind::Number:
      if (!v.isMatrix() || v.matrix().numel() != 1) throw bad("a single number");
      if (!v.matrix().isScalar() || v.matrix().pages != 1) converted = Value(v.matrix().data[0]);
      break;
    case Kind::Matrix:
      if (!v.isMatrix()) throw bad("a number or matrix");
      break;
    case Kind::Text:
      if (v.isEmptyMatrix()) {
        converted = Value("");
      } else if (!v.isText()) {
        throw bad("a text");
      }
      break;
    case Kind::OnOff: {
      if (!v.isText()) throw bad("'on' or 'off'");
      std::string t = lower(v.text());
      if (t != "on" && t != "off" && !(def.name == "enable" && t == "inactive")) throw bad("'on' or 'off'");
      if (t != v.text()) converted = Value(std::move(t));
      break;
    }
    case Kind::Color: {
      if (v.isText()) {
        const std::string t = lower(v.text());
        if (auto c = colorOf(v)) {
          converted = rgb(c->r, c->g, c->b);
        } else if (t == "none" || t == "interp" || t == "flat" || t == "auto") {
          converted = Value(t);
        } else {
          throw bad("a colour");
        }
      } else if (!(v.isMatrix() && v.matrix().numel() == 3)) {
        throw bad("a colour");
      } else if (v.matrix().rows != 1 || v.matrix().pages != 1) {
        converted = Value::row(v.matrix().data);
      }
      break;
    }
    case Kind::Handle:
      if (v.isObject()) {
        if (!exists(v.object())) throw bad("a valid graphics object");
      } else if (v.isEmptyMatrix()) {
        converted = handleNone();
      } else if (v.isScalar() && exists(static_cast<Handle>(v.scalar()))) {
        converted = Value::handle(static_cast<Handle>(v.scalar()));
      } else {
        throw bad("a graphics object");
      }
      break;
    case Kind::Any:
      break;
  }
  return converted;
}

void Graphics::storeValue(Handle h, GraphicsObject& obj, const PropDef& def, Value value) {
  const std::string_view l = def.name;
  if (l == "uicontextmenu") {
    setMenuUse(obj, value.isObject() ? value.object() : kNoHandle);
    obj.menu_ = value.isObject() ? value.object() : kNoHandle;
  }
  if (l.starts_with("default")) {
    for (ObjectType t : {ObjectType::Root, ObjectType::Figure, ObjectType::Axes, ObjectType::Line,
                         ObjectType::Surface, ObjectType::Patch, ObjectType::Text, ObjectType::Image,
                         ObjectType::UiControl, ObjectType::UiMenu, ObjectType::UiContextMenu}) {
      if (l.substr(7).starts_with(typeName(t))) obj.defaultsFor_ |= 1u << static_cast<unsigned>(t);
    }
  }
  if (l == "tag" && value.text() != obj.tag_) {
    unindex(obj.tag_, h);
    obj.tag_ = value.text();
    index(obj.tag_, h);
  }
  const Value& stored = store(obj.props_, def.name, std::move(value));
  if (l == "currentfigure" && stored.isObject()) {
    // Making a window current brings it to the front of the root's children.
    const Handle fig = stored.object();
    auto& kids = obj.bottomUpKids();
    kids.erase(std::remove(kids.begin(), kids.end(), fig), kids.end());
    kids.push_back(fig);
    obj.kids().topDownStale = true;
  }
  if (obj.type_ == ObjectType::Axes) {
    if (const char* mode = modeFor(l)) store(obj.props_, findDef(obj.type_, mode)->name, Value("manual"));
  }
  notifyChanged(h, def.name);
}

void Graphics::setUserdata(Handle h, std::shared_ptr<const UserData> data) {
  object(h).userdata_ = std::move(data);
  notifyChanged(h, "userdata");
}

void Graphics::setAppData(Handle h, std::string_view name, Value v) {
  object(h).extras().appData[std::string(name)] = std::move(v);
}

void Graphics::setGuiData(Handle h, std::optional<Value> v) {
  object(h).extras().guiData = std::move(v);
}

void Graphics::collect(Handle h, const std::function<bool(const GraphicsObject&)>& match,
                       std::vector<Handle>& out) const {
  const GraphicsObject& o = at(h);
  if (match(o)) out.push_back(h);
  for (Handle c : o.childrenBottomUp()) collect(c, match, out);
}

void Graphics::collectSubtree(Handle h, std::vector<Handle>& out) const {
  out.push_back(h);
  for (Handle c : at(h).childrenBottomUp()) collectSubtree(c, out);
}

std::vector<Handle> Graphics::findIf(Handle parent,
                                     const std::function<bool(const GraphicsObject&)>& match) const {
  std::vector<Handle> out;
  if (!exists(parent)) return out;
  collect(parent, match, out);
  std::sort(out.begin(), out.end(), std::greater<>());  // newest first
  return out;
}

bool Graphics::isWithin(Handle h, Handle ancestorHandle) const {
  while (h != kNoHandle) {
    if (h == ancestorHandle) return true;
    const GraphicsObject* o = find(h);
    if (o == nullptr) return false;
    h = o->parent_;
  }
  return false;
}

std::vector<Handle> Graphics::findobj(Handle parent, std::string_view tag) const {
  if (tag.empty()) return findIf(parent, [](const GraphicsObject& o) { return o.tag_.empty(); });
  std::vector<Handle> out;
  if (!exists(parent)) return out;
  auto tagged = byTag_.find(tag);
  if (tagged == byTag_.end()) return out;
  for (auto it = tagged->second.rbegin(); it != tagged->second.rend(); ++it) {
    if (isWithin(*it, parent)) out.push_back(*it);
  }
  return out;
}

void Graphics::setMenuUse(const GraphicsObject& o, Handle menu) {
  if (o.menu_ != kNoHandle) {
    auto it = menuUsers_.find(o.menu_);
    if (it != menuUsers_.end() && --it->second == 0) menuUsers_.erase(it);
  }
  if (menu != kNoHandle) ++menuUsers_[menu];
}

std::size_t Graphics::contextMenuUsers(Handle menu) const {
  auto it = menuUsers_.find(menu);
  return it == menuUsers_.end() ? 0 : it->second;
}

void Graphics::setChildren(Handle parent, const std::vector<Handle>& order) {
  GraphicsObject& p = object(parent);
  if (!isPermutation(p.childrenBottomUp(), order)) throw Error("Children may only be set to a permutation of itself");
  p.kids().bottomUp.assign(order.rbegin(), order.rend());
  p.kids().topDownStale = true;
  for (GraphicsObserver* o : observers_) o->childrenReordered(parent);
}

Handle Graphics::ancestor(Handle h, ObjectType type) const {
  while (h != kNoHandle && exists(h)) {
    const GraphicsObject& o = at(h);
    if (o.type_ == type) return h;
    h = o.parent_;
  }
  return kNoHandle;
}

std::vector<Handle> Graphics::figures() const {
  return at(kRoot).children();
}

namespace {
Handle handleIn(const Value& v) {
  return v.isObject() ? v.object() : kNoHandle;
}
}  // namespace

Handle Graphics::currentFigure() const {
  return handleIn(*at(kRoot).find("currentfigure"));
}

void Graphics::setCurrentFigure(Handle fig) {
  if (at(fig).type_ != ObjectType::Figure) throw Error("not a figure: " + std::to_string(fig));
  set(kRoot, "currentfigure", Value::handle(fig));
}

Handle Graphics::currentAxes(Handle fig) const {
  if (!exists(fig)) return kNoHandle;
  return handleIn(*at(fig).find("currentaxes"));
}

Handle Graphics::currentObject(Handle fig) const {
  if (!exists(fig)) return kNoHandle;
  return handleIn(*at(fig).find("currentobject"));
}

void Graphics::addObserver(GraphicsObserver* o) {
  observers_.push_back(o);
}

void Graphics::removeObserver(GraphicsObserver* o) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

}  // namespace velmora::platform
