#pragma once
// The drawing objects of a case: wall chains, the audience area and the audience map, with their
// object records and context menus. The new main window and the display rebuild make them the
// same way.

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/model/graphics.h"
#include "platform/model/value.h"

namespace velmora::document {

using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Value;

// One property to set. The value is handed over, not copied: a list is written in place and used
// once, so its values may be moved out although the list itself is const.
struct Property {
  Property(std::string_view n, Value v) : name(n), value(std::move(v)) {}
  Property(std::string_view n, const char* text) : name(n), value(text) {}
  Property(std::string_view n, double number) : name(n), value(number) {}
  std::string_view name;
  mutable Value value;
};
using PropertyList = std::initializer_list<Property>;

// Sets properties by name, in the order given.
void setProperties(Graphics& g, Handle h, PropertyList props);
// The defaults every window of the program gives its controls: the default font at size 6, light,
// black, not interruptible, clicks queued while a callback runs.
void setControlDefaults(Graphics& g, Handle figure);
// Creates an object in `parent` and sets its properties.
Handle createObject(Graphics& g, ObjectType type, Handle parent, PropertyList props);

// One entry of a menu. Items are created in the order of a menu's list.
struct MenuItem {
  MenuItem(std::string label_, std::string callback_ = "", bool separator_ = false, bool checked_ = false,
           std::string tag_ = "")
      : label(std::move(label_)),
        callback(std::move(callback_)),
        separator(separator_),
        checked(checked_),
        tag(std::move(tag_)) {}
  std::string label;
  std::string callback;
  bool separator = false;  // a line above the item
  bool checked = false;
  std::string tag;
};
// Creates a menu item (in a context menu or as a submenu entry).
Handle addMenuItem(Graphics& g, Handle parent, const MenuItem& item);
// Creates a context menu in `figure` with these items, and attaches it to `owner` when given.
Handle makeContextMenu(Graphics& g, Handle figure, std::span<const MenuItem> items,
                       Handle owner = platform::kNoHandle);

// The callback texts of the drawing objects.
inline constexpr std::string_view kWallVertexPress =
    "set(gcf,'windowbuttonmotionfcn','velmoracopy(''movewallpoint'')')";
inline constexpr std::string_view kAudienceVertexPress =
    "set(gcf,'windowbuttonmotionfcn','velmoracopy(''moveaudiencepoint'')')";

// Index of the information items "length", "angle", "absorption" in a wall menu's item list
// (creation order): they are the last three.
inline constexpr std::size_t kWallMenuItems = 10;
inline constexpr std::size_t kWallMenuFirstInfo = 7;
// Index of the absorption items "change absorption", "set absorption to 0%", "set absorption to 100%".
inline constexpr std::size_t kWallMenuChangeAbsorption = 3;
inline constexpr std::size_t kWallMenuAbsorptionZero = 4;
inline constexpr std::size_t kWallMenuAbsorptionFull = 5;
// Index of "material...", which carries the wall line as the absorption items do.
inline constexpr std::size_t kWallMenuMaterial = 6;

// The objects of a wall chain in wall order: wall k runs from vertex k to vertex k+1.
struct WallChain {
  std::vector<Handle> walls;
  std::vector<Handle> vertices;
};
// Makes N wall lines and N vertex markers in `axes` with their linking records, properties and
// context menus. `alpha` may be shorter than the outline: missing absorptions are 0.
WallChain makeWallChain(Graphics& g, Handle axes, std::span<const double> x, std::span<const double> y,
                        std::span<const double> alpha);

// Builds a wall line's context menu (ten items) and attaches it; as a copy of `like`, another wall's
// menu whose information items were not filled yet, when given.
Handle makeWallMenu(Graphics& g, Handle wall, Handle like = platform::kNoHandle);

// The four audience edges and corner markers, from the first four corners given.
struct AudienceArea {
  std::vector<Handle> edges;
  std::vector<Handle> corners;
};
AudienceArea makeAudienceArea(Graphics& g, Handle axes, std::span<const double> x, std::span<const double> y);

// The audience map: a surface over the unit parameter grid 0, 1/N, ..., 1 in both directions, at
// height `z`, colour value 1 everywhere, with its context menu.
Handle makeAudienceMap(Graphics& g, Handle axes, int intervals, double z = -0.5);

// The items of a menu in the order they were created (children list the newest first).
std::vector<Handle> menuItemsInOrder(const Graphics& g, Handle menu);

}  // namespace velmora::document
