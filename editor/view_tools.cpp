// The image zoom ("zoom" toggle) and the free zoom tool driven by clicks in the drawing area.

#include <algorithm>
#include <cmath>

#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "editor/editor_operations.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Graphics;
using platform::ObjectType;
using platform::Value;
using namespace velmora::document;

namespace {

constexpr double kMargin = 0.05;  // the image view leaves 5% of its larger side around the images
constexpr double kFactorMin = 1.1;
constexpr double kFactorMax = 5;
constexpr double kDefaultFactor = 1.2;

bool togglePressed(const Graphics& g, Handle control) {
  const auto v = g.at(control).numbers("value");
  return !v.empty() && v.front() == 1;
}

double appNumber(const Graphics& g, Handle fig, std::string_view name, double otherwise) {
  const Value* v = g.at(fig).appData(name);
  if (v == nullptr || !v->isScalar()) return otherwise;
  return v->scalar();
}

void showLimits(Graphics& g, Handle axes, double x0, double x1, double y0, double y1) {
  g.set(axes, "xlim", Value::row({x0, x1}));
  g.set(axes, "ylim", Value::row({y0, y1}));
}

// The "zoom" item of the settings menu.
std::optional<Handle> zoomMenuItem(const Runtime& rt, Handle fig) {
  const auto& g = rt.graphics();
  const auto hidden = findInWindow(rt, fig, "hiddensettings");
  if (!hidden) return std::nullopt;
  const Value menu = g.get(*hidden, "uicontextmenu");
  if (!menu.isObject() || !g.exists(menu.object())) return std::nullopt;
  for (Handle item : menuItemsInOrder(g, menu.object())) {
    if (g.at(item).text("label") == "zoom") return item;
  }
  return std::nullopt;
}

}  // namespace

void acouzoom(Runtime& rt, const std::optional<std::string>& mode) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle axes = drawingAxes(rt, fig);
  const auto toggle = findInWindow(rt, fig, tags::kZoomButton);
  if (toggle && mode) g.set(*toggle, "value", Value(*mode == "images" ? 1.0 : 0.0));
  const CaseRecord record = readCase(rt, fig);

  if (toggle && togglePressed(g, *toggle)) {
    double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
    for (Handle h : objectsByTag(rt, fig, tags::kImage)) {
      if (!g.at(h).visible()) continue;
      const auto xs = g.at(h).numbers("xdata");
      const auto ys = g.at(h).numbers("ydata");
      for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
        xmin = std::min(xmin, xs[i]);
        xmax = std::max(xmax, xs[i]);
        ymin = std::min(ymin, ys[i]);
        ymax = std::max(ymax, ys[i]);
      }
    }
    if (!std::isfinite(xmin)) {
      // Nothing to show beyond the zone: the toggle springs back.
      g.set(*toggle, "value", Value(0.0));
      return;
    }
    const double margin = kMargin * std::max(xmax - xmin, ymax - ymin);
    xmin = std::min(xmin - margin, record.xlim[0]);
    xmax = std::max(xmax + margin, record.xlim[1]);
    ymin = std::min(ymin - margin, record.ylim[0]);
    ymax = std::max(ymax + margin, record.ylim[1]);
    const double width = xmax - xmin, height = ymax - ymin;
    if (width > height) {
      const double ym = (ymin + ymax) / 2;
      showLimits(g, axes, xmin, xmax, ym - width / 2, ym + width / 2);
    } else {
      const double xm = (xmin + xmax) / 2;
      showLimits(g, axes, xm - height / 2, xm + height / 2, ymin, ymax);
    }
  } else {
    showLimits(g, axes, record.xlim[0], record.xlim[1], record.ylim[0], record.ylim[1]);
  }
  setsurfacefob(rt);
}

std::optional<std::array<double, 4>> zoomedView(const std::string& selectionType, double x, double y,
                                                double shownWidth, double factor) {
  double side = 0;
  if (platform::equalsIgnoreCase(selectionType, "normal")) {
    side = shownWidth / factor;
  } else if (platform::equalsIgnoreCase(selectionType, "extend")) {
    side = shownWidth * factor;
  } else {
    return std::nullopt;
  }
  return std::array<double, 4>{x - side / 2, x + side / 2, y - side / 2, y + side / 2};
}

void zoomaxes(Runtime& rt) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle caller = rt.callbackObject();
  const bool fromClick = caller != platform::kNoHandle && g.exists(caller) &&
                         g.at(caller).type() != ObjectType::UiMenu &&
                         g.ancestor(caller, ObjectType::Axes) != platform::kNoHandle;

  if (!fromClick) {
    // The menu item (or the verb alone) switches the tool; its check mark follows the state.
    const double status = appNumber(g, fig, "zoomaxesstatus", 0) == 1 ? 0.0 : 1.0;
    g.setAppData(fig, "zoomaxesstatus", Value(status));
    std::optional<Handle> item;
    if (caller != platform::kNoHandle && g.exists(caller) && g.at(caller).type() == ObjectType::UiMenu) {
      item = caller;
    } else {
      item = zoomMenuItem(rt, fig);
    }
    if (item) g.setText(*item, "checked", status == 1 ? "on" : "off");
    return;
  }

  if (appNumber(g, fig, "zoomaxesstatus", 0) != 1) return;
  const Handle clickFig = g.figureOf(caller);
  const std::string selection = g.at(clickFig).text("selectiontype");
  const bool onMap = g.at(caller).type() == ObjectType::Surface;
  if (onMap && platform::equalsIgnoreCase(selection, "alt")) return;  // the map's own menu opens instead

  const double factor = appNumber(g, fig, "zoomaxesfactor", kDefaultFactor);
  if (platform::equalsIgnoreCase(selection, "alt")) {
    platform::InputDialog dialog;
    dialog.prompts = {"Zoom factor:"};
    dialog.title = "Set zoom factor";
    dialog.lines = 1;
    dialog.defaults = {platform::formatNumber(factor)};
    const auto answer = rt.ui().input(dialog);
    if (!answer || answer->empty()) return;
    const auto numbers = platform::readNumbers(answer->front());
    if (!numbers || numbers->empty() || std::isnan(numbers->front())) return;
    g.setAppData(fig, "zoomaxesfactor", Value(std::clamp(numbers->front(), kFactorMin, kFactorMax)));
    return;
  }

  const Handle axes = g.ancestor(caller, ObjectType::Axes);
  const platform::Matrix& point = g.at(axes).matrix("currentpoint");
  if (point.rows == 0 || point.cols < 2) return;
  const auto xl = g.at(axes).numbers("xlim");
  if (xl.size() != 2) return;
  const auto view = zoomedView(selection, point(0, 0), point(0, 1), xl[1] - xl[0], factor);
  if (!view) return;
  showLimits(g, axes, (*view)[0], (*view)[1], (*view)[2], (*view)[3]);
  // Lines stay in front of the map at the new scale.
  if (axes == drawingAxes(rt, fig)) setsurfacefob(rt);
}

}  // namespace velmora::editor
