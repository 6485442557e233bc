#include "shell/wall_menu.h"

#include <cmath>
#include <numbers>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/numbers.h"

namespace velmora::shell {

using namespace velmora::document;

WallInfo wallInfo(double x1, double y1, double x2, double y2, double alpha) {
  const double length = std::hypot(x2 - x1, y2 - y1);
  // Angle with the horizontal, 0 to 90 degrees whatever the wall's direction.
  const double angle = length >= 0.000001 ? std::acos(std::min(1.0, std::abs(x2 - x1) / length)) : 0.0;
  const double degrees = platform::roundHalfAway(angle * 180 / std::numbers::pi);
  const double shownLength = platform::roundHalfAway(10 * length) / 10;
  WallInfo info;
  info.lengthNumber = platform::formatNumber(shownLength);
  info.angleNumber = platform::formatNumber(degrees);
  info.absorptionNumber = platform::formatNumber(alpha);
  info.length = "length=" + info.lengthNumber + "m";
  info.angle = "angle=" + info.angleNumber + "°";
  info.absorption = "absorption=" + info.absorptionNumber + "%";
  return info;
}

std::string materialItemLabel(const std::optional<std::string>& material) {
  if (!material) return "material...";
  return "material... (" + (material->empty() ? std::string("own bands") : *material) + ")";
}

void refreshwallmenu(platform::Runtime& rt) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  for (Handle wall : objectsByTag(rt, fig, tags::kWall)) {
    const auto& line = g.at(wall);
    const auto* record = line.userdataAs<WallRecord>();
    // Read in place: only the menu items change below, never the line.
    const auto& x = line.matrix("xdata").data;
    const auto& y = line.matrix("ydata").data;
    if (x.size() < 2 || y.size() < 2) continue;
    const WallInfo info = wallInfo(x[0], y[0], x[1], y[1], record != nullptr ? record->alpha : 0.0);
    const platform::Value* menu = line.find("uicontextmenu");
    if (menu == nullptr || !menu->isObject() || !g.exists(menu->object())) continue;
    const auto items = menuItemsInOrder(g, menu->object());
    if (items.size() < 3) continue;
    const std::size_t n = items.size();
    g.setText(items[n - 3], "label", info.length);
    g.setText(items[n - 2], "label", info.angle);
    g.setText(items[n - 1], "label", info.absorption);
    // "material..." names the wall's material, when it has one.
    if (n == kWallMenuItems) {
      const auto& material = record != nullptr ? record->material : std::nullopt;
      const std::string label =
          materialItemLabel(material ? std::optional<std::string>(material->name) : std::nullopt);
      if (g.at(items[kWallMenuMaterial]).text("label") != label)
        g.setText(items[kWallMenuMaterial], "label", label);
    }
  }
}

}  // namespace velmora::shell
