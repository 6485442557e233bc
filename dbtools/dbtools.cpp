#include "dbtools/dbtools.h"

#include <algorithm>
#include <cmath>

#include "document/drawing_objects.h"
#include "engine/energy.h"
#include "platform/model/graphics.h"
#include "platform/model/numbers.h"
#include "platform/model/ui.h"

namespace velmora::dbtools {

using platform::Graphics;
using platform::Handle;
using platform::ObjectType;
using platform::Value;

namespace {

// One typed field read as exactly one finite number; nothing otherwise.
std::optional<double> singleNumber(const std::string& text) {
  const auto numbers = platform::readNumbers(text);
  if (!numbers || numbers->size() != 1 || !std::isfinite(numbers->front())) return std::nullopt;
  return numbers->front();
}

// Rounds to a multiple of 1/perUnit; dividing at the end gives the nearest double of the decimal.
double roundTo(double v, double perUnit) {
  return platform::roundHalfAway(v * perUnit) / perUnit;
}

}  // namespace

std::string sumResultText(std::span<const double> levels) {
  // One signed energy sum over every level: adding the levels one after another gives the same
  // total, but a running sum that passes through zero on the way would have no level to carry on.
  const auto sum = engine::sumdb(levels);
  if (!sum || !std::isfinite(*sum)) return kNoLevelText;
  return "Sum equals to " + platform::formatNumber(roundTo(*sum, 10)) + " dB";
}

void dbsum(platform::Runtime& rt) {
  platform::InputDialog dialog;
  dialog.title = kSumTitle;
  dialog.prompts = {kSumPrompt};
  dialog.defaults = {""};
  const auto answer = rt.ui().input(dialog);
  if (!answer || answer->empty()) return;
  const auto levels = platform::readNumbers(answer->front());
  if (!levels || levels->size() < 2) return;
  if (!std::all_of(levels->begin(), levels->end(), [](double v) { return std::isfinite(v); })) return;
  rt.ui().message(platform::MessageKind::Message, sumResultText(*levels), kResultTitle);
}

std::vector<double> fadingDistances(double d) {
  std::vector<double> r;
  const double last = std::max(std::floor(2 * d), 1.0);
  for (double k = 1; k <= last; ++k) r.push_back(k);
  return r;
}

void dbdecrease(platform::Runtime& rt) {
  platform::InputDialog dialog;
  dialog.title = kDecreaseTitle;
  dialog.prompts = {"Source level (dB):", "Distance (m):"};
  dialog.defaults = {"100", "30"};
  const auto answer = rt.ui().input(dialog);
  if (!answer || answer->size() < 2) return;
  const auto typedLevel = singleNumber((*answer)[0]);
  const auto typedDistance = singleNumber((*answer)[1]);
  if (!typedLevel || !typedDistance) return;
  const double lw = std::clamp(*typedLevel, kLowestLevel, kHighestLevel);
  const double d = std::clamp(*typedDistance, 0.0, kLargestDistance);
  const double lp = engine::clp(lw, d);

  const std::vector<double> r = fadingDistances(d);
  std::vector<double> curve;
  curve.reserve(r.size());
  for (double distance : r) curve.push_back(engine::clp(lw, distance));
  const double xmax = r.back();
  const double ymax = lw + 20;

  Graphics& g = rt.graphics();
  const Handle fig = g.create(ObjectType::Figure, 0);
  document::setProperties(g, fig, {{"menubar", "none"}, {"numbertitle", "off"}, {"name", kFadingWindowName}});
  // Hold on: each plot adds to what the axes already show.
  const Handle axes = document::createObject(g, ObjectType::Axes, fig, {{"nextplot", "add"}});
  document::createObject(
      g, ObjectType::Line, axes,
      {{"xdata", Value::row({d, d})}, {"ydata", Value::row({0, lp})}, {"linestyle", ":"}, {"color", "k"}});
  document::createObject(
      g, ObjectType::Line, axes,
      {{"xdata", Value::row({0, d})}, {"ydata", Value::row({lp, lp})}, {"linestyle", ":"}, {"color", "k"}});
  document::createObject(g, ObjectType::Line, axes,
                         {{"xdata", Value::row(r)}, {"ydata", Value::row(curve)}, {"color", "b"}});
  document::createObject(g, ObjectType::Line, axes,
                         {{"xdata", Value(d)},
                          {"ydata", Value(lp)},
                          {"linestyle", "none"},
                          {"marker", "."},
                          {"markersize", 16.0},
                          {"color", "b"}});
  document::createObject(g, ObjectType::Line, axes,
                         {{"xdata", Value(0.0)},
                          {"ydata", Value(lw)},
                          {"linestyle", "none"},
                          {"marker", "."},
                          {"markersize", 16.0},
                          {"color", "r"}});
  // Square axes: a data aspect ratio equal to the two ranges gives a square plot box.
  document::setProperties(g, axes,
                          {{"xlim", Value::row({0, xmax})},
                           {"ylim", Value::row({0, ymax})},
                           {"xlimmode", "manual"},
                           {"ylimmode", "manual"},
                           {"dataaspectratio", Value::row({xmax, ymax, 1})},
                           {"dataaspectratiomode", "manual"},
                           {"box", "on"}});
  const Handle xlabel = document::createObject(g, ObjectType::Text, axes,
                                               {{"string", "distance (m)"},
                                                {"units", "normalized"},
                                                {"position", Value::row({0.5, -0.07, 0})},
                                                {"horizontalalignment", "center"},
                                                {"verticalalignment", "top"}});
  const Handle ylabel = document::createObject(g, ObjectType::Text, axes,
                                               {{"string", "Sound level (dB)"},
                                                {"units", "normalized"},
                                                {"position", Value::row({-0.1, 0.5, 0})},
                                                {"horizontalalignment", "center"},
                                                {"verticalalignment", "bottom"},
                                                {"rotation", 90.0}});
  g.set(axes, "xlabel", Value::handle(xlabel));
  g.set(axes, "ylabel", Value::handle(ylabel));
  document::createObject(g, ObjectType::Text, axes,
                         {{"string", platform::formatNumber(roundTo(lp, 100)) + " dB"},
                          {"position", Value::row({d, lp + 2, 0})},
                          {"units", "data"},
                          {"horizontalalignment", "left"},
                          {"verticalalignment", "bottom"}});
}

void registerDbToolsOperations(document::Operations& ops) {
  ops.add(document::makeOperation("dbsum", 0, 0, document::withoutArguments(dbsum)));
  ops.add(document::makeOperation("dbdecrease", 0, 0, document::withoutArguments(dbdecrease)));
}

}  // namespace velmora::dbtools
