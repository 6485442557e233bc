#include "platform/model/graphics_object.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/model/error.h"
#include "platform/model/graphics_properties.h"
#include "platform/model/numbers.h"

namespace velmora::platform {

using namespace properties;

namespace {

// Properties every object answers but that are not stored in the bag.
bool isSpecial(std::string_view lowered) {
  return lowered == "type" || lowered == "parent" || lowered == "children" || lowered == "userdata";
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
    for (Handle c : children()) out.items.push_back(Value::handle(c));
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
  const PropDef* def = findDef(type_, lowered);
  if (def == nullptr) return nullptr;
  const Value* v = findIn(props_, *def);
  return v != nullptr ? v : &def->initial;
}

Value& GraphicsObject::slot(std::string_view lowered) {
  const PropDef* def = findDef(type_, lowered);
  if (def == nullptr) {
    throw Error("There is no '" + std::string(lowered) + "' property in the '" +
                std::string(typeName(type_)) + "' class.");
  }
  if (Value* v = props_.findToChange(def->name)) return *v;
  return const_cast<Value&>(props_.emplace_back(def->name, Value(def->initial)));
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
  if (!extras_) return nullptr;
  auto it = extras_->appData.find(name);
  return it == extras_->appData.end() ? nullptr : &it->second;
}

const std::optional<Value>& GraphicsObject::guiData() const {
  static const std::optional<Value> none;
  return extras_ ? extras_->guiData : none;
}

const std::vector<Handle>& GraphicsObject::noHandles() {
  static const std::vector<Handle> none;
  return none;
}

GraphicsObject::GraphicsObject(const GraphicsObject& o)
    : handle_(o.handle_),
      type_(o.type_),
      parent_(o.parent_),
      kids_(o.kids_ ? std::make_unique<Children>(*o.kids_) : nullptr),
      props_(o.props_),
      userdata_(o.userdata_),
      extras_(o.extras_ ? std::make_unique<Extras>(*o.extras_) : nullptr),
      tag_(o.tag_),
      menu_(o.menu_),
      defaultsFor_(o.defaultsFor_) {}

GraphicsObject& GraphicsObject::operator=(const GraphicsObject& o) {
  if (this != &o) {
    GraphicsObject copy(o);
    *this = std::move(copy);
  }
  return *this;
}

}  // namespace velmora::platform
