#pragma once
// The property tables of the graphics object types: each property's name, kind and default. Private
// to the object model (graphics.cpp, graphics_properties.cpp).

#include <string_view>
#include <vector>

#include "platform/graphics.h"

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

}  // namespace velmora::platform::properties
