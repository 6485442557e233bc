// The echo risk overlay of a main window's audience map: a thick dashed outline around the map
// points where a reflection arrives late and loud, with a legend line naming the thresholds.

#include <algorithm>
#include <cmath>

#include "document/acoustics.h"
#include "document/drawing_objects.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "polar/echogram.h"

namespace velmora::polar {

using platform::Graphics;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr const char* kSwitch = "echorisk";            // application data of the main window: 0 / 1
constexpr const char* kSettings = "echorisksettings";  // [delay ms, level dB]
constexpr const char* kOutlineTag = tags::kEchoRisk;
constexpr const char* kLegendTag = tags::kEchoRiskLegend;
constexpr double kMinDelay = 1, kMaxDelay = 500;
constexpr double kMinLevel = 0, kMaxLevel = 60;

bool switchedOn(const Graphics& g, Handle fig) {
  const Value* v = g.at(fig).appData(kSwitch);
  return v != nullptr && v->isScalar() && v->scalar() != 0;
}

std::string legendText(const engine::EchoRiskThresholds& t) {
  return "- - echo risk: a reflection more than " + shown(t.delayMs, 0.1) +
         " ms after the direct sound, at most " + shown(t.levelDb, 0.1) + " dB below it";
}

// The points at risk on the map as it was last computed.
std::vector<std::uint8_t> pointsAtRisk(const Runtime& rt, Handle fig, const engine::Matrix& xs,
                                       const engine::Matrix& ys) {
  const document::CaseRecord record = document::readCase(rt, fig);
  if (!record.Pso || !record.inRW || !record.Pwall || !record.images) return {};
  engine::EchoRiskInputs in;
  in.xs = xs;
  in.ys = ys;
  const engine::Point s = document::firstPoint(rt, document::objectInWindow(rt, fig, tags::kSource));
  in.xso = s.x;
  in.yso = s.y;
  in.Pso = record.Pso->data;
  in.inDS = record.inDS.value_or(engine::IndexList{});
  in.ina = record.ina.value_or(engine::IndexList{});
  for (const auto& im : *record.images) in.images.push_back({im.xi, im.yi});
  in.inRW = *record.inRW;
  in.Pwall = *record.Pwall;
  const engine::EchoRiskThresholds t = echoRiskThresholds(rt, fig);
  std::vector<std::uint8_t> flags = engine::echoRiskPoints(in, t);
  if (record.order > 1) {
    // Every order: the paths of orders 2..N at the same points, delays and levels.
    engine::CaseInputs c = document::gatherEngineInputs(rt, fig);
    const engine::ImageSet images = document::recordedImageSet(record, c.walls, {in.xso, in.yso});
    c.xs = {};
    c.ys = {};
    engine::higherorderechorisk(c, images, in, t, flags);
  }
  return flags;
}

// Sets a property only when its value changes, so that an unchanged overlay causes no repaint. NaN
// (the outline's separators) counts equal to NaN here.
void setIfChanged(Graphics& g, Handle h, const char* prop, const Value& v) {
  const Value old = g.get(h, prop);
  if (old.isMatrix() && v.isMatrix()) {
    const auto a = old.numbers(), b = v.numbers();
    if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](double x, double y) {
          return x == y || (std::isnan(x) && std::isnan(y));
        }))
      return;
  } else if (old == v) {
    return;
  }
  g.set(h, prop, v);
}

void removeOverlay(Graphics& g, Handle fig) {
  for (const char* tag : {kOutlineTag, kLegendTag}) {
    for (Handle h : g.findobj(fig, tag)) g.remove(h);
  }
}

}  // namespace

engine::EchoRiskThresholds echoRiskThresholds(const Runtime& rt, Handle fig) {
  engine::EchoRiskThresholds t;
  const Value* v = rt.graphics().at(fig).appData(kSettings);
  if (v != nullptr && v->isMatrix() && v->numbers().size() == 2) {
    t.delayMs = v->numbers()[0];
    t.levelDb = v->numbers()[1];
  }
  return t;
}

void refreshEchoRisk(Runtime& rt, Handle fig) {
  Graphics& g = rt.graphics();
  if (!switchedOn(g, fig)) {
    removeOverlay(g, fig);
    return;
  }
  const Handle axes = document::drawingAxes(rt, fig);
  const document::MapGrid grid = document::audienceMapGrid(rt, fig);
  const std::vector<std::uint8_t> flags = pointsAtRisk(rt, fig, grid.xs, grid.ys);
  const engine::Outline outline = engine::echoRiskOutline(grid.xs, grid.ys, flags);

  auto outlines = g.findobj(axes, kOutlineTag);
  const Handle line = !outlines.empty() ? outlines.front()
                                        : document::createObject(g, ObjectType::Line, axes,
                                                                 {{"color", "k"},
                                                                  {"linewidth", 2.5},
                                                                  {"linestyle", "--"},
                                                                  {"hittest", "off"},
                                                                  {"tag", kOutlineTag}});
  // An empty outline still needs one (invisible) point: lines hold at least one.
  setIfChanged(g, line, "xdata", outline.x.empty() ? Value(NAN) : Value::row(outline.x));
  setIfChanged(g, line, "ydata", outline.y.empty() ? Value(NAN) : Value::row(outline.y));
  const engine::EchoRiskThresholds t = echoRiskThresholds(rt, fig);
  platform::Record r;
  r.set("delay", Value(t.delayMs));
  r.set("level", Value(t.levelDb));
  std::vector<double> points;
  for (std::size_t k = 0; k < flags.size(); ++k) {
    if (flags[k]) points.push_back(static_cast<double>(k + 1));
  }
  r.set("points", Value::row(std::move(points)));
  g.setUserdata(line, platform::ValueUserData(Value(std::move(r))));

  auto legends = g.findobj(axes, kLegendTag);
  const Handle legend = !legends.empty() ? legends.front()
                                         : document::createObject(g, ObjectType::Text, axes,
                                                                  {{"units", "normalized"},
                                                                   {"position", Value::row({0.01, 0.01})},
                                                                   {"horizontalalignment", "left"},
                                                                   {"verticalalignment", "bottom"},
                                                                   {"fontsize", 8.0},
                                                                   {"tag", kLegendTag}});
  setIfChanged(g, legend, "string", Value(legendText(t)));
}

void echorisk(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle fig = document::currentMainWindow(rt);
  const bool on = !switchedOn(g, fig);
  g.setAppData(fig, kSwitch, Value(on ? 1.0 : 0.0));
  for (Handle item : g.findIf(fig, [](const platform::GraphicsObject& o) {
         return o.type() == ObjectType::UiMenu && o.text("label") == "echo risk";
       })) {
    g.setText(item, "checked", on ? "on" : "off");
  }
  refreshEchoRisk(rt, fig);
}

void echorisksettings(Runtime& rt) {
  const Handle fig = document::currentMainWindow(rt);
  const engine::EchoRiskThresholds now = echoRiskThresholds(rt, fig);
  platform::InputDialog dialog;
  dialog.title = "Echo risk settings";
  dialog.prompts = {"Delay after the direct sound (ms, 1 to 500):",
                    "Level below the direct sound (dB, 0 to 60):"};
  dialog.lines = 1;
  dialog.defaults = {shown(now.delayMs, 0.1), shown(now.levelDb, 0.1)};
  const auto answer = rt.ui().input(dialog);
  if (!answer || answer->size() < 2) return;
  const auto number = [](const std::string& s) -> std::optional<double> {
    const auto v = platform::readNumbers(s);
    if (!v || v->size() != 1 || !std::isfinite(v->front())) return std::nullopt;
    return v->front();
  };
  const auto delay = number((*answer)[0]);
  const auto level = number((*answer)[1]);
  const auto refuse = [&](const std::string& text) {
    rt.ui().message(platform::MessageKind::Error, text, "Echo risk settings");
  };
  if (!delay || *delay < kMinDelay || *delay > kMaxDelay) {
    refuse("The delay must be a number from 1 to 500 ms.");
    return;
  }
  if (!level || *level < kMinLevel || *level > kMaxLevel) {
    refuse("The level must be a number from 0 to 60 dB.");
    return;
  }
  rt.graphics().setAppData(fig, kSettings, Value::row({*delay, *level}));
  refreshEchoRisk(rt, fig);
}

void refreshlinkedviews(Runtime& rt) {
  // A view that cannot follow (a main window caught half rebuilt inside a nested call) keeps its
  // last picture: the action that ran before must not fail because of it.
  try {
    refreshEchograms(rt);
  } catch (const Error&) {
  }
  Graphics& g = rt.graphics();
  for (Handle fig : g.figures()) {
    if (!document::isMainWindow(rt, fig)) continue;
    // A window without an overlay has nothing to search for.
    if (g.at(fig).appData(kSwitch) == nullptr) continue;
    try {
      refreshEchoRisk(rt, fig);
    } catch (const Error&) {
    }
  }
}

}  // namespace velmora::polar
