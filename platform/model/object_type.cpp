#include "platform/model/object_type.h"

#include <string>

#include "platform/model/numbers.h"

namespace velmora::platform {

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

}  // namespace velmora::platform
