#pragma once

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

// Brings the length, angle and absorption lines of every wall menu of the current main window in
// step with the drawing.
void refreshwallmenu(platform::Runtime& rt);

}  // namespace velmora::shell
