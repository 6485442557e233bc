#pragma once
// The property tables of the graphics object types: each property's name, kind and default, and how
// an object's bag stores them. Private to the object model (graphics.cpp, graphics_object.cpp,
// graphics_properties.cpp).

#include <string>
#include <string_view>
#include <vector>

#include "platform/model/object_type.h"
#include "platform/model/property_bag.h"
#include "platform/model/value.h"

namespace velmora::platform::properties {

enum class Kind { Number, Matrix, Text, OnOff, Color, Handle, Any };

struct PropDef {
  std::string_view name;  // a static text: stored keys are compared with it by address
  Kind kind;
  Value initial;
};

Value rgb(double r, double g, double b);
Value handleNone();

// The properties every object but the root has.
const std::vector<PropDef>& commonProps();
// The properties of one type, without the common ones.
const std::vector<PropDef>& typeProps(ObjectType t);
// A property of the type by its lower-case name; null for a name the type does not have.
const PropDef* findDef(ObjectType t, std::string_view lowered);

// The name in lower case; without a copy when it is already (as the program's own names are).
std::string_view lowered(std::string_view name, std::string& buffer);
// The stored value of a property by its table entry: every key is the very text of its entry.
const Value* findIn(const PropertyBag& props, const PropDef& def);
// Sets a stored property; `name` is the static name of a property in the object's type table, the
// very text its key was stored with.
const Value& store(PropertyBag& props, std::string_view name, Value&& v);

}  // namespace velmora::platform::properties
