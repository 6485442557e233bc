// The images of the higher orders in the drawing area: one line of markers per order, lighter and
// smaller than the first order's, and the windows they are seen through (one line per order).

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "engine/beams.h"

namespace velmora::editor {

using platform::Value;
using namespace velmora::document;

namespace {

constexpr const char* kToggleLabel = "higher-order images";
const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool toggleChecked(const platform::Graphics& g, Handle fig) {
  const auto item = controlMenuItem(g, fig, tags::kObjectsButton, kToggleLabel);
  return item && g.at(*item).isOn("checked");
}

// Lighter with every order: order 2 a pale blue, order 6 nearly the background.
Value colourOf(int order) {
  const double t = std::min(0.45 + 0.1 * (order - 2), 0.85);
  return Value::row({t, t + (1 - t) * 0.3, 1});
}

void drawOrder(platform::Graphics& g, Handle axes, int order, const std::vector<engine::Beam>& beams) {
  std::vector<double> xi, yi, xw, yw;
  for (const engine::Beam& b : beams) {
    xi.push_back(b.image.x);
    yi.push_back(b.image.y);
    xw.insert(xw.end(), {b.window.x1, b.window.x2, kNaN});
    yw.insert(yw.end(), {b.window.y1, b.window.y2, kNaN});
  }
  if (xi.empty()) return;
  createObject(g, platform::ObjectType::Line, axes,
               {{"xdata", Value::row(std::move(xw))},
                {"ydata", Value::row(std::move(yw))},
                {"color", colourOf(order)},
                {"linewidth", 1.5},
                {"linestyle", "--"},
                {"tag", tags::kHigherWindow},
                {"hittest", "off"}});
  createObject(g, platform::ObjectType::Line, axes,
               {{"xdata", Value::row(std::move(xi))},
                {"ydata", Value::row(std::move(yi))},
                {"linestyle", "none"},
                {"marker", "."},
                {"markersize", std::max(4.0, 9.0 - order)},
                {"color", colourOf(order)},
                {"tag", tags::kHigherImage},
                {"hittest", "off"}});
}

}  // namespace

void refreshHigherOrderImages(Runtime& rt, Handle fig, int shown) {
  auto& g = rt.graphics();
  for (const char* tag : {tags::kHigherImage, tags::kHigherWindow})
    for (Handle h : objectsByTag(rt, fig, tag)) g.remove(h);
  const int order = caseOrder(rt, fig);
  if (order <= 1 || shown < 0 || !toggleChecked(g, fig)) return;
  engine::CaseInputs in;
  try {
    in = gatherEngineInputs(rt, fig);
  } catch (const std::exception&) {
    return;  // a window the map step refuses shows no images of higher order either
  }
  if (in.walls.empty()) return;
  const engine::ImageSet images = recordedImageSet(viewCase(rt, fig), in.walls, {in.xso, in.yso});
  const engine::BeamTree tree = engine::tracebeams(in, images, order);
  if (!tree.complete) return;
  const Handle axes = drawingAxes(rt, fig);
  for (int k = 2; k <= order && static_cast<std::size_t>(k) <= tree.orders.size(); ++k) {
    if (shown == 0 || shown == k) drawOrder(g, axes, k, tree.orders[static_cast<std::size_t>(k - 1)]);
  }
}

}  // namespace velmora::editor
