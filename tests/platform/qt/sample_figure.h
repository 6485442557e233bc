#pragma once

#include "platform/model/graphics.h"

namespace velmora::platform::testing {

// Handles of the small figure the rendering and printing tests draw.
struct SampleFigure {
  Handle figure = kNoHandle;
  Handle barAxes = kNoHandle, barPatch = kNoHandle;
  Handle axes = kNoHandle, xAxis = kNoHandle, wall = kNoHandle, surface = kNoHandle;
  Handle source = kNoHandle, receptor = kNoHandle, status = kNoHandle;
};

// A 640 x 560 window laid out like the main window: a colour bar, and a drawing area of 20 m with equal
// scale holding an axis line, a wall, an interpolated map, a red source, a yellow receptor and a status line.
SampleFigure makeSampleFigure(Graphics& g);

}  // namespace velmora::platform::testing
