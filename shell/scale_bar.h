#pragma once
// Reading aids of the main window kept in step with it after every dispatcher call: a metric scale
// bar in the lower right corner of the drawing area (a round length near a fifth of its width,
// shown unless the "objects" menu item "scale bar" is unchecked, printed as shown) and the unit
// caption above the colour bar ("dB" for levels, "refl." for reflection counts).

#include <string>
#include <string_view>

#include "document/operations.h"
#include "document/tags.h"
#include "platform/model/runtime.h"

namespace velmora::shell {

using document::Operations;

inline constexpr std::string_view kScaleBarAxesTag = tags::kScaleBarAxes;
inline constexpr std::string_view kScaleBarTag = tags::kScaleBar;
inline constexpr std::string_view kScaleBarBackTag = tags::kScaleBarBack;
inline constexpr std::string_view kScaleBarTextTag = tags::kScaleBarText;
inline constexpr std::string_view kColorBarUnitTag = tags::kColorBarUnit;
inline constexpr std::string_view kScaleBarItem = "scale bar";

// 1, 2 or 5 times a power of ten, the nearest such length (by ratio) to a fifth of `width`.
double scaleBarLength(double width);
// "5 m", "0.5 m", "200 m".
std::string scaleBarLabel(double length);

// Creates or moves the scale bar and caption of every main window to match its view and display.
void refreshReadingAids(platform::Runtime& rt);
// The "scale bar" item of the "objects" menu: checks or unchecks it.
void togglescalebar(platform::Runtime& rt);

// Registers togglescalebar.
void registerScaleBarOperations(Operations& ops);

}  // namespace velmora::shell
