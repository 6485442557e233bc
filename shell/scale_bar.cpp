#include "shell/scale_bar.h"

#include <cmath>
#include <vector>

#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::shell {

using namespace velmora::document;

namespace {

using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Value;

// Sets a property only when it changes, so that an unchanged view repaints nothing.
void put(Graphics& g, Handle h, std::string_view name, const Value& v) {
  if (!(g.get(h, name) == v)) g.set(h, name, v);
}

Handle childWithTag(Graphics& g, Handle parent, std::string_view tag, ObjectType type) {
  for (Handle h : g.at(parent).children())
    if (g.at(h).tag() == tag) return h;
  const Handle h = g.create(type, parent);
  g.setText(h, "tag", std::string(tag));
  g.setText(h, "hittest", "off");
  // Last in the stacking order, out of the way of the holder's own order.
  std::vector<Handle> order = g.at(parent).children();
  std::erase(order, h);
  order.push_back(h);
  g.setChildren(parent, order);
  return h;
}

std::optional<Handle> scaleBarItem(const Graphics& g, Handle fig) {
  return controlMenuItem(g, fig, tags::kObjectsButton, kScaleBarItem);
}

// A see-through axes over the drawing area, with its place and limits: the bar lives there, so the
// drawing area's own objects and their order stay as they are, and clicks pass through to them.
Handle overlayAxes(Graphics& g, Handle fig, Handle drawing) {
  Handle overlay = platform::kNoHandle;
  for (Handle h : g.at(fig).children())
    if (g.at(h).tag() == kScaleBarAxesTag) overlay = h;
  if (overlay == platform::kNoHandle) {
    const Value current = g.get(fig, "currentaxes");
    overlay = g.create(ObjectType::Axes, fig);
    g.setText(overlay, "tag", std::string(kScaleBarAxesTag));
    g.setText(overlay, "visible", "off");
    g.setText(overlay, "hittest", "off");
    g.set(fig, "currentaxes", current);  // the drawing area stays the current axes
  }
  for (const char* name :
       {"units", "position", "dataaspectratio", "dataaspectratiomode", "xdir", "ydir", "xlim", "ylim"})
    put(g, overlay, name, g.get(drawing, name));
  return overlay;
}

void refreshScaleBar(Graphics& g, Handle fig, Handle drawing) {
  const Handle axes = overlayAxes(g, fig, drawing);
  const auto xl = g.at(axes).numbers("xlim"), yl = g.at(axes).numbers("ylim");
  if (xl.size() != 2 || yl.size() != 2) return;
  const double w = xl[1] - xl[0], h = yl[1] - yl[0];
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return;
  const auto item = scaleBarItem(g, fig);
  const std::string visible = !item || g.at(*item).isOn("checked") ? "on" : "off";

  const double length = scaleBarLength(w);
  const double right = xl[1] - 0.04 * w, left = right - length;
  const double y = yl[0] + 0.05 * h, tick = 0.012 * h;
  const Value xs = Value::row({left, left, right, right}), ys = Value::row({y + tick, y, y, y + tick});
  for (const auto& [tag, colour, width, depth] :
       {std::tuple{kScaleBarBackTag, "w", 5.0, 0.99}, std::tuple{kScaleBarTag, "k", 2.0, 1.0}}) {
    const Handle line = childWithTag(g, axes, tag, ObjectType::Line);
    put(g, line, "xdata", xs);
    put(g, line, "ydata", ys);
    put(g, line, "zdata", Value::row({depth, depth, depth, depth}));
    put(g, line, "color", Value(colour));
    put(g, line, "linewidth", Value(width));
    put(g, line, "visible", Value(visible));
  }
  const Handle text = childWithTag(g, axes, kScaleBarTextTag, ObjectType::Text);
  put(g, text, "position", Value::row({(left + right) / 2, y + tick}));
  put(g, text, "string", Value(scaleBarLabel(length)));
  put(g, text, "horizontalalignment", Value("center"));
  put(g, text, "verticalalignment", Value("bottom"));
  put(g, text, "fontsize", Value(8.0));
  put(g, text, "visible", Value(visible));
}

void refreshCaption(platform::Runtime& rt, Handle fig) {
  Graphics& g = rt.graphics();
  const auto bars = g.findobj(fig, tags::kColorBarAxes);
  const auto* record = g.at(fig).userdataAs<CaseRecord>();
  if (bars.empty() || record == nullptr) return;
  const Handle text = childWithTag(g, bars.front(), kColorBarUnitTag, ObjectType::Text);
  put(g, text, "units", Value("normalized"));
  put(g, text, "position", Value::row({0.5, 1.0}));
  put(g, text, "string", Value(record->displayvalue == "decibel" ? "dB" : "refl."));
  put(g, text, "horizontalalignment", Value("center"));
  put(g, text, "verticalalignment", Value("bottom"));
  put(g, text, "fontsize", Value(7.0));  // fits between the bar and the wall list
}

}  // namespace

double scaleBarLength(double width) {
  const double target = width / 5;
  if (!(target > 0) || !std::isfinite(target)) return 1;
  const double decade = std::pow(10.0, std::floor(std::log10(target)));
  double best = decade;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (std::abs(std::log(m * decade / target)) < std::abs(std::log(best / target))) best = m * decade;
  }
  return best;
}

std::string scaleBarLabel(double length) {
  return platform::formatNumber(length) + " m";
}

void refreshReadingAids(platform::Runtime& rt) {
  Graphics& g = rt.graphics();
  for (Handle fig : g.figures()) {
    if (!isMainWindow(rt, fig)) continue;
    const auto axes = g.findobj(fig, std::string(kDrawingAxesTag));
    if (axes.empty()) continue;
    refreshScaleBar(g, fig, axes.front());
    refreshCaption(rt, fig);
  }
}

void togglescalebar(platform::Runtime& rt) {
  Graphics& g = rt.graphics();
  std::optional<Handle> item;
  const Handle caller = rt.callbackObject();
  if (caller != platform::kNoHandle && g.exists(caller) && g.at(caller).type() == ObjectType::UiMenu &&
      g.at(caller).text("label") == kScaleBarItem) {
    item = caller;
  } else {
    item = scaleBarItem(g, currentMainWindow(rt));
  }
  if (!item) return;
  g.setText(*item, "checked", g.at(*item).isOn("checked") ? "off" : "on");
  refreshReadingAids(rt);
}

void registerScaleBarOperations(Operations& ops) {
  ops.add(makeOperation("togglescalebar", 0, 0, withoutArguments(togglescalebar)));
}

}  // namespace velmora::shell
