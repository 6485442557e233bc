#pragma once

#include <optional>
#include <string>

#include "platform/model/runtime.h"

namespace velmora::shell {

// The three information lines of a wall's menu for a wall from (x1, y1) to (x2, y2), and the numbers
// in them as shown (for tables that show what the menu shows).
struct WallInfo {
  std::string length;                                       // "length=5m"
  std::string angle;                                        // "angle=53°"
  std::string absorption;                                   // "absorption=25%"
  std::string lengthNumber, angleNumber, absorptionNumber;  // "5", "53", "25"
};
WallInfo wallInfo(double x1, double y1, double x2, double y2, double alpha);

// The label of a wall menu's "material..." item: "material..." without a material, "material...
// (NAME)" with one ("own bands" for bands of no library material).
std::string materialItemLabel(const std::optional<std::string>& material);

// Brings the length, angle and absorption lines of every wall menu of the current main window in
// step with the drawing, and its "material..." item with the wall's material.
void refreshwallmenu(platform::Runtime& rt);

}  // namespace velmora::shell
