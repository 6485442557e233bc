#pragma once

#include <optional>
#include <string>

#include "platform/model/value.h"

namespace velmora::document {

// The grey behind the arrow, the colour of a push button's face.
inline constexpr double kArrowBackground = 0.7529;

// The 16 x 16 x 3 picture of a pan button: a black triangle pointing "right", "down", "left" or
// "up" on the button grey (any other text: right). Without a direction (or when the argument was
// not text) the result is a 16 x 16 black matrix with a single plane.
platform::Matrix createarrow(const std::optional<std::string>& direction);

}  // namespace velmora::document
