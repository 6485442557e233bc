#pragma once

#include <string>

#include "platform/render/canvas.h"
#include "platform/model/graphics.h"

namespace velmora::platform {

// Draws one axes and its children (stacking order: the first child is drawn last, on top) into
// `rect` of the canvas: data limits mapped with equal aspect when the axes asks for it, box,
// ticks, texts with label markup, lines and markers, patches and surfaces with interpolated colours.
void renderAxes(const Graphics& g, Handle axes, Canvas& canvas, const PixelRect& rect);

// How a figure is drawn: on screen as it is, or for print on white paper.
struct RenderOptions {
  bool whiteBackground = false;  // printed windows leave out their grey window colour
};

// Draws a figure's background and all its visible axes into a canvas of the figure's pixel size.
// Controls are not drawn here: a printed window leaves them out, and the screen shows real widgets.
void renderFigure(const Graphics& g, Handle figure, Canvas& canvas, const RenderOptions& options = {});

}  // namespace velmora::platform

namespace velmora::platform {

// How an axes maps data to canvas pixels: the plot box (after equal-aspect adjustment) and the
// data limits it shows. Renderer and pointer handling share it, so a click lands where it is drawn.
struct AxesMapping {
  PixelRect box;  // canvas pixels, origin top-left
  double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
  bool xReverse = false;  // "xdir" "reverse": x grows to the left
  bool yReverse = false;  // "ydir" "reverse": y grows downwards, as image rows do
  double toPixelX(double x) const {
    const double f = (x - xmin) / (xmax - xmin);
    return box.x + (xReverse ? 1 - f : f) * box.width;
  }
  double toPixelY(double y) const {
    const double f = (ymax - y) / (ymax - ymin);
    return box.y + (yReverse ? 1 - f : f) * box.height;
  }
  double toDataX(double px) const {
    const double f = (px - box.x) / box.width;
    return xmin + (xReverse ? 1 - f : f) * (xmax - xmin);
  }
  double toDataY(double py) const {
    const double f = (py - box.y) / box.height;
    return ymax - (yReverse ? 1 - f : f) * (ymax - ymin);
  }
};

// The mapping of an axes of a figure drawn on a canvas of the figure's size (width x height pixels).
AxesMapping axesMapping(const Graphics& g, Handle axes, double width, double height);

// The object a press at canvas pixel (px, py) lands on: the topmost visible object of the topmost axes
// under the point whose `hittest` is "on" (lines and markers within a few pixels, patches, surfaces
// and images inside), else that axes when the point is inside its box, else the figure itself.
Handle hitTest(const Graphics& g, Handle figure, double px, double py, double width, double height);

}  // namespace velmora::platform
