#pragma once

#include <optional>
#include <string_view>

namespace velmora::platform {

enum class ObjectType {
  Root,
  Figure,
  Axes,
  Line,
  Surface,
  Patch,
  Text,
  Image,
  UiControl,
  UiMenu,
  UiContextMenu
};

// "root", "figure", "axes", "line", "surface", "patch", "text", "image", "uicontrol", "uimenu",
// "uicontextmenu".
std::string_view typeName(ObjectType type);
std::optional<ObjectType> typeFromName(std::string_view name);

}  // namespace velmora::platform
