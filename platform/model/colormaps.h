#pragma once

#include "platform/model/graphics.h"
#include "platform/model/value.h"

namespace velmora::platform {

// The "jet" colour table, n rows x 3 columns in [0, 1]: dark blue, blue, cyan, yellow, red, dark red.
Matrix jetColormap(int n = 256);
// A grey ramp of n rows from black to white.
Matrix grayColormap(int n = 256);

// The row of a colour table (n x 3) as a colour; rows count from 0.
Rgb colormapRow(const Matrix& map, std::size_t row);

}  // namespace velmora::platform
