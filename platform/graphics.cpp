#include "platform/graphics.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "platform/error.h"
#include "platform/numbers.h"

namespace velmora::platform {

namespace {

enum class Kind { Number, Matrix, Text, OnOff, Color, Handle, Any };

struct PropDef {
  const char* name;
  Kind kind;
  Value initial;
};

Value rgb(double r, double g, double b) {
  return Value::row({r, g, b});
}
Value none() {
  return Value(std::string("none"));
}
Value handleNone() {
  return Value(Matrix{});
}

const std::vector<PropDef>& commonProps() {
  static const std::vector<PropDef> defs = {
      {"tag", Kind::Text, Value("")},
      {"visible", Kind::OnOff, Value("on")},
      {"hittest", Kind::OnOff, Value("on")},
      {"buttondownfcn", Kind::Text, Value("")},
      {"uicontextmenu", Kind::Handle, handleNone()},
      {"interruptible", Kind::OnOff, Value("on")},
      {"busyaction", Kind::Text, Value("queue")},
      {"handlevisibility", Kind::Text, Value("on")},
      {"selected", Kind::OnOff, Value("off")},
      {"selectionhighlight", Kind::OnOff, Value("on")},
      {"clipping", Kind::OnOff, Value("on")},
      {"deletefcn", Kind::Text, Value("")},
      {"createfcn", Kind::Text, Value("")},
  };
  return defs;
}

const std::vector<PropDef>& typeProps(ObjectType t) {
  static const std::vector<PropDef> root = {
      {"tag", Kind::Text, Value("")},
      {"currentfigure", Kind::Handle, handleNone()},
      {"screensize", Kind::Matrix, Value::row({1, 1, 1280, 1024})},
      {"units", Kind::Text, Value("pixels")},
      {"showhiddenhandles", Kind::OnOff, Value("off")},
  };
  static const std::vector<PropDef> figure = {
      {"name", Kind::Text, Value("")},
      {"color", Kind::Color, rgb(0.8, 0.8, 0.8)},
      {"colormap", Kind::Matrix, Value(Matrix{})},
      {"position", Kind::Matrix, Value::row({100, 100, 560, 420})},
      {"units", Kind::Text, Value("pixels")},
      {"resize", Kind::OnOff, Value("on")},
      {"menubar", Kind::Text, Value("figure")},
      {"numbertitle", Kind::OnOff, Value("on")},
      {"renderer", Kind::Text, Value("painters")},
      {"windowbuttondownfcn", Kind::Text, Value("")},
      {"windowbuttonmotionfcn", Kind::Text, Value("")},
      {"windowbuttonupfcn", Kind::Text, Value("")},
      {"keypressfcn", Kind::Text, Value("")},
      {"closerequestfcn", Kind::Text, Value("")},
      {"pointer", Kind::Text, Value("arrow")},
      {"selectiontype", Kind::Text, Value("normal")},
      {"currentaxes", Kind::Handle, handleNone()},
      {"currentobject", Kind::Handle, handleNone()},
      {"currentpoint", Kind::Matrix, Value::row({0, 0})},
      {"currentcharacter", Kind::Text, Value("")},
      {"paperunits", Kind::Text, Value("inches")},
      {"paperposition", Kind::Matrix, Value::row({0.25, 2.5, 8, 6})},
      {"paperorientation", Kind::Text, Value("portrait")},
      {"papertype", Kind::Text, Value("a4")},
      {"inverthardcopy", Kind::OnOff, Value("on")},
      {"windowstyle", Kind::Text, Value("normal")},
      {"nextplot", Kind::Text, Value("add")},
      {"doublebuffer", Kind::OnOff, Value("on")},
      {"integerhandle", Kind::OnOff, Value("on")},
      // Defaults given to the controls created in this window.
      {"defaultuicontrolfontname", Kind::Text, Value("default")},
      {"defaultuicontrolfontsize", Kind::Number, Value(8.0)},
      {"defaultuicontrolfontangle", Kind::Text, Value("normal")},
      {"defaultuicontrolfontweight", Kind::Text, Value("normal")},
      {"defaultuicontrolforegroundcolor", Kind::Color, rgb(0, 0, 0)},
      {"defaultuicontrolbackgroundcolor", Kind::Color, rgb(0.8, 0.8, 0.8)},
      {"defaultuicontrolinterruptible", Kind::OnOff, Value("on")},
      {"defaultuicontrolbusyaction", Kind::Text, Value("queue")},
  };
  static const std::vector<PropDef> axes = {
      {"position", Kind::Matrix, Value::row({0.13, 0.11, 0.775, 0.815})},
      {"units", Kind::Text, Value("normalized")},
      {"xlim", Kind::Matrix, Value::row({0, 1})},
      {"ylim", Kind::Matrix, Value::row({0, 1})},
      {"zlim", Kind::Matrix, Value::row({-1, 1})},
      {"xlimmode", Kind::Text, Value("auto")},
      {"ylimmode", Kind::Text, Value("auto")},
      {"zlimmode", Kind::Text, Value("auto")},
      {"clim", Kind::Matrix, Value::row({0, 1})},
      {"climmode", Kind::Text, Value("auto")},
      {"box", Kind::OnOff, Value("off")},
      {"xtick", Kind::Matrix, Value::row({0, 0.2, 0.4, 0.6, 0.8, 1})},
      {"ytick", Kind::Matrix, Value::row({0, 0.2, 0.4, 0.6, 0.8, 1})},
      {"xtickmode", Kind::Text, Value("auto")},
      {"ytickmode", Kind::Text, Value("auto")},
      {"xticklabel", Kind::Any, Value(Matrix{})},
      {"yticklabel", Kind::Any, Value(Matrix{})},
      {"xticklabelmode", Kind::Text, Value("auto")},
      {"yticklabelmode", Kind::Text, Value("auto")},
      {"xaxislocation", Kind::Text, Value("bottom")},
      {"yaxislocation", Kind::Text, Value("left")},
      {"ticklength", Kind::Matrix, Value::row({0.01, 0.025})},
      {"dataaspectratio", Kind::Matrix, Value::row({1, 1, 1})},
      {"dataaspectratiomode", Kind::Text, Value("auto")},
      {"nextplot", Kind::Text, Value("replace")},
      {"currentpoint", Kind::Matrix, Value(Matrix::zeros(2, 3))},
      {"color", Kind::Color, rgb(1, 1, 1)},
      {"xcolor", Kind::Color, rgb(0, 0, 0)},
      {"ycolor", Kind::Color, rgb(0, 0, 0)},
      {"fontsize", Kind::Number, Value(10.0)},
      {"fontname", Kind::Text, Value("Helvetica")},
      {"fontweight", Kind::Text, Value("normal")},
      {"fontangle", Kind::Text, Value("normal")},
      {"xgrid", Kind::OnOff, Value("off")},
      {"ygrid", Kind::OnOff, Value("off")},
      {"xdir", Kind::Text, Value("normal")},
      {"ydir", Kind::Text, Value("normal")},
      {"linewidth", Kind::Number, Value(0.5)},
      {"layer", Kind::Text, Value("bottom")},
      {"title", Kind::Handle, handleNone()},
      {"xlabel", Kind::Handle, handleNone()},
      {"ylabel", Kind::Handle, handleNone()},
      {"drawmode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> line = {
      {"xdata", Kind::Matrix, Value::row({0, 1})}, {"ydata", Kind::Matrix, Value::row({0, 1})},
      {"zdata", Kind::Matrix, Value(Matrix{})},    {"color", Kind::Color, rgb(0, 0, 1)},
      {"linestyle", Kind::Text, Value("-")},       {"linewidth", Kind::Number, Value(0.5)},
      {"marker", Kind::Text, Value("none")},       {"markersize", Kind::Number, Value(6.0)},
      {"markerfacecolor", Kind::Color, none()},    {"markeredgecolor", Kind::Color, Value("auto")},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> surface = {
      {"xdata", Kind::Matrix, Value(Matrix{})},      {"ydata", Kind::Matrix, Value(Matrix{})},
      {"zdata", Kind::Matrix, Value(Matrix{})},      {"cdata", Kind::Matrix, Value(Matrix{})},
      {"facecolor", Kind::Color, Value("flat")},     {"edgecolor", Kind::Color, rgb(0, 0, 0)},
      {"linestyle", Kind::Text, Value("-")},         {"linewidth", Kind::Number, Value(0.5)},
      {"marker", Kind::Text, Value("none")},         {"markersize", Kind::Number, Value(6.0)},
      {"faceoffsetbias", Kind::Number, Value(0.0)},  {"facealpha", Kind::Number, Value(1.0)},
      {"cdatamapping", Kind::Text, Value("scaled")}, {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> patch = {
      {"xdata", Kind::Matrix, Value(Matrix{})},   {"ydata", Kind::Matrix, Value(Matrix{})},
      {"zdata", Kind::Matrix, Value(Matrix{})},   {"cdata", Kind::Matrix, Value(Matrix{})},
      {"facecolor", Kind::Color, rgb(0, 0, 0)},   {"edgecolor", Kind::Color, rgb(0, 0, 0)},
      {"linestyle", Kind::Text, Value("-")},      {"linewidth", Kind::Number, Value(0.5)},
      {"marker", Kind::Text, Value("none")},      {"markersize", Kind::Number, Value(6.0)},
      {"facealpha", Kind::Number, Value(1.0)},    {"cdatamapping", Kind::Text, Value("scaled")},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> text = {
      {"string", Kind::Any, Value("")},
      {"position", Kind::Matrix, Value::row({0, 0, 0})},
      {"units", Kind::Text, Value("data")},
      {"fontsize", Kind::Number, Value(10.0)},
      {"fontname", Kind::Text, Value("Helvetica")},
      {"fontweight", Kind::Text, Value("normal")},
      {"fontangle", Kind::Text, Value("normal")},
      {"horizontalalignment", Kind::Text, Value("left")},
      {"verticalalignment", Kind::Text, Value("middle")},
      {"interpreter", Kind::Text, Value("tex")},
      {"color", Kind::Color, rgb(0, 0, 0)},
      {"rotation", Kind::Number, Value(0.0)},
      {"backgroundcolor", Kind::Color, none()},
      {"edgecolor", Kind::Color, none()},
      {"margin", Kind::Number, Value(2.0)},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> image = {
      {"cdata", Kind::Matrix, Value(Matrix{})},    {"xdata", Kind::Matrix, Value::row({1, 1})},
      {"ydata", Kind::Matrix, Value::row({1, 1})}, {"cdatamapping", Kind::Text, Value("direct")},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> uicontrol = {
      {"style", Kind::Text, Value("pushbutton")},
      {"string", Kind::Any, Value("")},
      {"position", Kind::Matrix, Value::row({20, 20, 60, 20})},
      {"units", Kind::Text, Value("pixels")},
      {"value", Kind::Matrix, Value(0.0)},
      {"min", Kind::Number, Value(0.0)},
      {"max", Kind::Number, Value(1.0)},
      {"enable", Kind::Text, Value("on")},
      {"tooltipstring", Kind::Text, Value("")},
      {"callback", Kind::Text, Value("")},
      {"backgroundcolor", Kind::Color, rgb(0.8, 0.8, 0.8)},
      {"foregroundcolor", Kind::Color, rgb(0, 0, 0)},
      {"fontname", Kind::Text, Value("default")},
      {"fontsize", Kind::Number, Value(8.0)},
      {"fontweight", Kind::Text, Value("normal")},
      {"fontangle", Kind::Text, Value("normal")},
      {"horizontalalignment", Kind::Text, Value("center")},
      {"cdata", Kind::Matrix, Value(Matrix{})},
      {"listboxtop", Kind::Number, Value(1.0)},
      {"sliderstep", Kind::Matrix, Value::row({0.01, 0.1})},
  };
  static const std::vector<PropDef> uimenu = {
      {"label", Kind::Text, Value("")},
      {"checked", Kind::OnOff, Value("off")},
      {"separator", Kind::OnOff, Value("off")},
      {"enable", Kind::OnOff, Value("on")},
      {"callback", Kind::Text, Value("")},
      {"accelerator", Kind::Text, Value("")},
      {"foregroundcolor", Kind::Color, rgb(0, 0, 0)},
  };
  static const std::vector<PropDef> uicontextmenu = {
      {"callback", Kind::Text, Value("")},
  };
  switch (t) {
    case ObjectType::Root:
      return root;
    case ObjectType::Figure:
      return figure;
    case ObjectType::Axes:
      return axes;
    case ObjectType::Line:
      return line;
    case ObjectType::Surface:
      return surface;
    case ObjectType::Patch:
      return patch;
    case ObjectType::Text:
      return text;
    case ObjectType::Image:
      return image;
    case ObjectType::UiControl:
      return uicontrol;
    case ObjectType::UiMenu:
      return uimenu;
    case ObjectType::UiContextMenu:
      return uicontextmenu;
  }
  return root;
}

// Every property access looks its name up here: one hash table per type, the type's own
// properties before the common ones.
const PropDef* findDef(ObjectType t, std::string_view lowered) {
  constexpr std::size_t kTypes = static_cast<std::size_t>(ObjectType::UiContextMenu) + 1;
  using Index = std::unordered_map<std::string_view, const PropDef*>;
  static const std::array<Index, kTypes> indexes = [] {
    std::array<Index, kTypes> out;
    for (std::size_t i = 0; i < kTypes; ++i) {
      const auto type = static_cast<ObjectType>(i);
      for (const PropDef& d : typeProps(type)) out[i].emplace(d.name, &d);
      if (type != ObjectType::Root) {
        for (const PropDef& d : commonProps()) out[i].emplace(d.name, &d);
      }
    }
    return out;
  }();
  const Index& index = indexes[static_cast<std::size_t>(t)];
  const auto it = index.find(lowered);
  return it == index.end() ? nullptr : it->second;
}

// The name in lower case; without a copy when it is already (as the program's own names are).
std::string_view lowered(std::string_view name, std::string& buffer) {
  if (std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) return name;
  buffer = lower(name);
  return buffer;
}

using Props = std::vector<std::pair<const char*, Value>>;

const Value* findIn(const Props& props, std::string_view name) {
  for (const auto& [key, value] : props)
    if (name == key) return &value;
  return nullptr;
}

// How many properties an object of this type can hold: the room made at its first set.
std::size_t roomFor(ObjectType t) {
  return typeProps(t).size() + (t == ObjectType::Root ? 0 : commonProps().size());
}

// Sets a stored property; `name` is the static name of a property of type `t`.
const Value& store(Props& props, ObjectType t, const char* name, Value v) {
  if (auto* old = const_cast<Value*>(findIn(props, name))) {
    *old = std::move(v);
    return *old;
  }
  if (props.capacity() < roomFor(t)) props.reserve(roomFor(t));
  return props.emplace_back(name, std::move(v)).second;
}

// Properties every object answers but that are not stored in the bag.
bool isSpecial(std::string_view lowered) {
  return lowered == "type" || lowered == "parent" || lowered == "children" || lowered == "userdata";
}

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

struct ColorName {
  const char* letter;
  const char* name;
  Rgb rgb;
};
constexpr std::array<ColorName, 8> kColors = {{
    {"r", "red", {1, 0, 0}},
    {"g", "green", {0, 1, 0}},
    {"b", "blue", {0, 0, 1}},
    {"c", "cyan", {0, 1, 1}},
    {"m", "magenta", {1, 0, 1}},
    {"y", "yellow", {1, 1, 0}},
    {"k", "black", {0, 0, 0}},
    {"w", "white", {1, 1, 1}},
}};

}  // namespace

std::string_view typeName(ObjectType type) {
  switch (type) {
    case ObjectType::Root:
      return "root";
    case ObjectType::Figure:
      return "figure";
    case ObjectType::Axes:
      return "axes";
    case ObjectType::Line:
      return "line";
    case ObjectType::Surface:
      return "surface";
    case ObjectType::Patch:
      return "patch";
    case ObjectType::Text:
      return "text";
    case ObjectType::Image:
      return "image";
    case ObjectType::UiControl:
      return "uicontrol";
    case ObjectType::UiMenu:
      return "uimenu";
    case ObjectType::UiContextMenu:
      return "uicontextmenu";
  }
  return "root";
}

std::optional<ObjectType> typeFromName(std::string_view name) {
  const std::string l = lower(name);
  for (ObjectType t : {ObjectType::Root, ObjectType::Figure, ObjectType::Axes, ObjectType::Line,
                       ObjectType::Surface, ObjectType::Patch, ObjectType::Text, ObjectType::Image,
                       ObjectType::UiControl, ObjectType::UiMenu, ObjectType::UiContextMenu}) {
    if (typeName(t) == l) return t;
  }
  return std::nullopt;
}

std::optional<Rgb> colorOf(const Value& v) {
  if (v.isText()) {
    const std::string l = lower(v.text());
    for (const ColorName& c : kColors) {
      if (l == c.letter || l == c.name) return c.rgb;
    }
    return std::nullopt;
  }
  if (v.isMatrix() && v.matrix().numel() == 3) {
    const auto& d = v.matrix().data;
    return Rgb{d[0], d[1], d[2]};
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------

bool GraphicsObject::hasProperty(std::string_view name) const {
  std::string buffer;
  const std::string_view l = lowered(name, buffer);
  return isSpecial(l) || findDef(type_, l) != nullptr;
}

Value GraphicsObject::get(std::string_view name) const {
  std::string buffer;
  const std::string_view l = lowered(name, buffer);
  if (l == "type") return Value(std::string(typeName(type_)));
  if (l == "parent") return parent_ == kNoHandle ? Value(Matrix{}) : Value::handle(parent_);
  if (l == "children") {
    List out;
    for (Handle c : children_) out.items.push_back(Value::handle(c));
    return Value(std::move(out));
  }
  if (l == "userdata") return userdata_ ? userdata_->toValue() : Value(Matrix{});
  const Value* v = find(l);
  if (v == nullptr) {
    throw Error("There is no '" + std::string(name) + "' property in the '" + std::string(typeName(type_)) +
                "' class.");
  }
  return *v;
}

const Value* GraphicsObject::find(std::string_view lowered) const {
  if (const Value* v = findIn(props_, lowered)) return v;
  const PropDef* def = findDef(type_, lowered);
  return def == nullptr ? nullptr : &def->initial;
}

Value& GraphicsObject::slot(std::string_view lowered) {
  if (const Value* v = findIn(props_, lowered)) return const_cast<Value&>(*v);
  const PropDef* def = findDef(type_, lowered);
  if (def == nullptr) {
    throw Error("There is no '" + std::string(lowered) + "' property in the '" + std::string(typeName(type_)) +
                "' class.");
  }
  return const_cast<Value&>(store(props_, type_, def->name, def->initial));
}

std::vector<std::string> GraphicsObject::propertyNames() const {
  std::vector<std::string> names;
  for (const PropDef& d : typeProps(type_)) names.emplace_back(d.name);
  if (type_ != ObjectType::Root) {
    for (const PropDef& d : commonProps()) names.emplace_back(d.name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (const char* special : {"type", "parent", "children", "userdata"}) names.emplace_back(special);
  return names;
}

namespace {
const Value& stored(const GraphicsObject& o, std::string_view name) {
  std::string buffer;
  const Value* v = o.find(lowered(name, buffer));
  if (v == nullptr) {
    throw Error("There is no '" + std::string(name) + "' property in the '" +
                std::string(typeName(o.type())) + "' class.");
  }
  return *v;
}
}  // namespace

std::string GraphicsObject::text(std::string_view name) const {
  std::string buffer;
  if (lowered(name, buffer) == "type") return std::string(typeName(type_));
  const Value& v = stored(*this, name);
  if (v.isText()) return v.text();
  if (v.isList()) {
    // Several lines: joined with newlines for a plain read.
    std::string out;
    for (const Value& item : v.list().items) {
      if (!out.empty()) out += '\n';
      if (item.isText()) out += item.text();
    }
    return out;
  }
  if (v.isEmptyMatrix()) return std::string();
  return v.text();
}

double GraphicsObject::number(std::string_view name) const {
  return stored(*this, name).scalar();
}

const Matrix& GraphicsObject::matrix(std::string_view name) const {
  return stored(*this, name).matrix();
}

std::vector<double> GraphicsObject::numbers(std::string_view name) const {
  return matrix(name).data;
}

bool GraphicsObject::isOn(std::string_view name) const {
  return text(name) == "on";
}

std::optional<Rgb> GraphicsObject::color(std::string_view name) const {
  return colorOf(stored(*this, name));
}

const Value* GraphicsObject::appData(std::string_view name) const {
  auto it = appData_.find(name);
  return it == appData_.end() ? nullptr : &it->second;
}

// ---------------------------------------------------------------------------------------------

Graphics::Graphics() {
  auto root = std::make_unique<GraphicsObject>();
  root->handle_ = kRoot;
  root->type_ = ObjectType::Root;
  objects_.push_back(std::move(root));
  byTag_[""].insert(kRoot);
}

const GraphicsObject* Graphics::find(Handle h) const {
  if (h < 0 || static_cast<std::size_t>(h) >= objects_.size()) return nullptr;
  return objects_[static_cast<std::size_t>(h)].get();
}

GraphicsObject& Graphics::object(Handle h) {
  auto& o = const_cast<GraphicsObject&>(at(h));
  if (!journals_.empty()) keep(h, o);
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

Handle Graphics::create(ObjectType type, Handle parent) {
  GraphicsObject& p = object(parent);
  if (!canHold(p.type_, type)) {
    throw Error("a " + std::string(typeName(type)) + " cannot be created in a " +
                std::string(typeName(p.type_)));
  }
  auto obj = std::make_unique<GraphicsObject>();
  obj->handle_ = next_++;
  obj->type_ = type;
  obj->parent_ = parent;
  // Defaults a window gives to objects created in it ("defaultuicontrolfontsize" and the like).
  const Handle fig = figureOf(parent);
  if (fig != kNoHandle) {
    const std::string prefix = "default" + std::string(typeName(type));
    for (const auto& [key, value] : at(fig).props_) {
      const std::string_view name(key);
      if (!name.starts_with(prefix)) continue;
      if (const PropDef* def = findDef(type, name.substr(prefix.size())))
        store(obj->props_, type, def->name, value);
    }
  }
  const Handle h = obj->handle_;
  objects_.push_back(std::move(obj));
  auto& untagged = byTag_[""];
  untagged.insert(untagged.begin(), h);  // the newest handle goes first
  p.children_.insert(p.children_.begin(), h);
  if (type == ObjectType::Figure) {
    object(kRoot).slot("currentfigure") = Value::handle(h);
  } else if (type == ObjectType::Axes) {
    object(parent).slot("currentaxes") = Value::handle(h);
  }
  for (GraphicsObserver* o : observers_) o->objectCreated(h);
  return h;
}

void Graphics::remove(Handle h) {
  if (h == kRoot) throw Error("the root cannot be deleted");
  if (!exists(h)) throw Error("Invalid handle: " + std::to_string(h));
  std::vector<Handle> subtree;
  collect(
      h, [](const GraphicsObject&) { return true; }, subtree);  // newest first: descendants before h
  std::sort(subtree.begin(), subtree.end(), std::greater<>());
  for (GraphicsObserver* o : observers_) {
    for (Handle d : subtree) o->objectDeleted(d);
  }
  const Handle parent = at(h).parent_;
  auto& siblings = object(parent).children_;
  // Searched from the bottom of the stack, where the oldest objects (the ones rebuilds delete) are.
  const auto found = std::find(siblings.rbegin(), siblings.rend(), h);
  if (found != siblings.rend()) siblings.erase(std::next(found).base());
  for (Handle d : subtree) {
    const GraphicsObject& o = at(d);
    setMenuUse(o, handleNone());
    auto tagged = byTag_.find(o.tag_);
    if (tagged != byTag_.end()) tagged->second.erase(d);
    menuUsers_.erase(d);
    discard(d);
  }

  // Current objects that went away.
  GraphicsObject& root = object(kRoot);
  const Value& cf = root.slot("currentfigure");
  if (cf.isObject() && !exists(cf.object())) {
    const auto& figs = root.children_;
    root.slot("currentfigure") = figs.empty() ? handleNone() : Value::handle(figs.front());
  }
  for (Handle fig : root.children_) {
    GraphicsObject& f = object(fig);
    Value& ca = f.slot("currentaxes");
    if (ca.isObject() && !exists(ca.object())) {
      ca = handleNone();
      for (Handle c : f.children_) {
        if (at(c).type_ == ObjectType::Axes) {
          ca = Value::handle(c);
          break;
        }
      }
    }
    Value& co = f.slot("currentobject");
    if (co.isObject() && !exists(co.object())) co = handleNone();
  }
}

void Graphics::notifyChanged(Handle h, std::string_view name) {
  for (GraphicsObserver* o : observers_) o->propertyChanged(h, name);
}

void Graphics::set(Handle h, std::string_view name, const Value& v) {
  GraphicsObject& obj = object(h);
  std::string buffer;
  const std::string_view l = lowered(name, buffer);
  if (l == "userdata") {
    setUserdata(h, std::make_shared<ValueUserData>(v));
    return;
  }
  if (l == "children") {
    std::vector<Handle> order;
    if (v.isList()) {
      for (const Value& item : v.list().items) order.push_back(item.object());
    } else {
      for (double d : v.numbers()) order.push_back(static_cast<Handle>(d));
    }
    setChildren(h, order);
    return;
  }
  if (l == "type" || l == "parent")
    throw Error("Attempt to modify read-only property: '" + std::string(name) + "'.");
  const PropDef* def = findDef(obj.type_, l);
  if (def == nullptr) {
    throw Error("There is no '" + std::string(name) + "' property in the '" +
                std::string(typeName(obj.type_)) + "' class.");
  }
  const auto bad = [&](const char* wanted) {
    return Error("Bad value for " + std::string(typeName(obj.type_)) + " property '" + std::string(name) +
                 "': expected " + wanted + ", got " + v.kindName() + ".");
  };
  Value value = v;
  switch (def->kind) {
    case Kind::Number:
      if (!v.isMatrix() || v.matrix().numel() != 1) throw bad("a single number");
      value = Value(v.matrix().data[0]);
      break;
    case Kind::Matrix:
      if (!v.isMatrix()) throw bad("a number or matrix");
      break;
    case Kind::Text:
      if (v.isEmptyMatrix()) {
        value = Value("");
      } else if (!v.isText()) {
        throw bad("a text");
      }
      break;
    case Kind::OnOff: {
      if (!v.isText()) throw bad("'on' or 'off'");
      const std::string t = lower(v.text());
      if (t != "on" && t != "off" && !(l == "enable" && t == "inactive")) throw bad("'on' or 'off'");
      value = Value(t);
      break;
    }
    case Kind::Color: {
      if (v.isText()) {
        const std::string t = lower(v.text());
        if (auto c = colorOf(v)) {
          value = rgb(c->r, c->g, c->b);
        } else if (t == "none" || t == "interp" || t == "flat" || t == "auto") {
          value = Value(t);
        } else {
          throw bad("a colour");
        }
      } else if (!(v.isMatrix() && v.matrix().numel() == 3)) {
        throw bad("a colour");
      } else {
        value = Value::row(v.matrix().data);
      }
      break;
    }
    case Kind::Handle:
      if (v.isObject()) {
        if (!exists(v.object())) throw bad("a valid graphics object");
      } else if (v.isEmptyMatrix()) {
        value = handleNone();
      } else if (v.isScalar() && exists(static_cast<Handle>(v.scalar()))) {
        value = Value::handle(static_cast<Handle>(v.scalar()));
      } else {
        throw bad("a graphics object");
      }
      break;
    case Kind::Any:
      break;
  }
  if (l == "uicontextmenu") setMenuUse(obj, value);
  if (l == "tag" && value.text() != obj.tag_) {
    byTag_[obj.tag_].erase(h);
    obj.tag_ = value.text();
    byTag_[obj.tag_].insert(h);
  }
  const Value& stored = store(obj.props_, obj.type_, def->name, std::move(value));
  if (l == "currentfigure" && stored.isObject()) {
    // Making a window current brings it to the front of the root's children.
    const Handle fig = stored.object();
    auto& kids = obj.children_;
    kids.erase(std::remove(kids.begin(), kids.end(), fig), kids.end());
    kids.insert(kids.begin(), fig);
  }
  if (obj.type_ == ObjectType::Axes) {
    if (const char* mode = modeFor(l)) store(obj.props_, obj.type_, findDef(obj.type_, mode)->name, Value("manual"));
  }
  notifyChanged(h, def->name);
}

void Graphics::setUserdata(Handle h, std::shared_ptr<const UserData> data) {
  object(h).userdata_ = std::move(data);
  notifyChanged(h, "userdata");
}

void Graphics::setAppData(Handle h, std::string_view name, Value v) {
  object(h).appData_[std::string(name)] = std::move(v);
}

void Graphics::setGuiData(Handle h, std::optional<Value> v) {
  object(h).guiData_ = std::move(v);
}

void Graphics::collect(Handle h, const std::function<bool(const GraphicsObject&)>& match,
                       std::vector<Handle>& out) const {
  const GraphicsObject& o = at(h);
  if (match(o)) out.push_back(h);
  for (Handle c : o.children_) collect(c, match, out);
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
  std::vector<Handle> out;
  if (!exists(parent)) return out;
  auto tagged = byTag_.find(tag);
  if (tagged == byTag_.end()) return out;
  for (Handle h : tagged->second) {
    if (isWithin(h, parent)) out.push_back(h);
  }
  return out;
}

void Graphics::setMenuUse(const GraphicsObject& o, const Value& menu) {
  const Value* old = findIn(o.props_, "uicontextmenu");
  if (old != nullptr && old->isObject()) {
    auto it = menuUsers_.find(old->object());
    if (it != menuUsers_.end() && --it->second == 0) menuUsers_.erase(it);
  }
  if (menu.isObject()) ++menuUsers_[menu.object()];
}

std::size_t Graphics::contextMenuUsers(Handle menu) const {
  auto it = menuUsers_.find(menu);
  return it == menuUsers_.end() ? 0 : it->second;
}

void Graphics::setChildren(Handle parent, const std::vector<Handle>& order) {
  GraphicsObject& p = object(parent);
  std::vector<Handle> a = p.children_, b = order;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  if (a != b) throw Error("Children may only be set to a permutation of itself");
  p.children_ = order;
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
  return at(kRoot).children_;
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
