#include "editor/placement.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "document/acoustics.h"
#include "document/case_record.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/numbers.h"

namespace velmora::editor {

using platform::Handle;
using platform::Runtime;
using platform::Value;
using namespace velmora::document;

namespace {

constexpr double kLevelMin = 10, kLevelMax = 200;    // sound power level of the source, dB
constexpr double kShiftMin = -640, kShiftMax = 640;  // height shift of the receptor, m

struct Kind {
  const char* tag;
  const char* title;
  const char* positionPrompt;
  const char* valuePrompt;
  double low, high;
  bool receptor;
};
constexpr Kind kSource{tags::kSource,
                       "Set source position and/or level",
                       "Enter source position:",
                       "Enter source level (dB):",
                       kLevelMin,
                       kLevelMax,
                       false};
constexpr Kind kReceptor{tags::kReceptor,
                         "Set receptor position and/or height",
                         "Enter receptor position:",
                         "Enter receptor shift :",
                         kShiftMin,
                         kShiftMax,
                         true};

// What was typed or given: a position and a value, already validated.
struct Typed {
  engine::Point position;
  double value = 0;
};

std::string pairText(engine::Point p) {
  return platform::formatNumber(p.x + 0.0) + " " + platform::formatNumber(p.y + 0.0);
}

// The numbers of a given argument or typed text; nothing when unreadable.
std::optional<std::vector<double>> numbersOf(const Value& v) {
  if (v.isText()) return platform::readNumbers(v.text());
  if (v.isMatrix()) return v.numbers();
  return std::nullopt;
}

bool mentionsReset(const Value& v) {
  return v.isText() && platform::lower(v.text()).find("reset") != std::string::npos;
}

// Asks (or takes what was given), reads and validates. Nothing: stop with no change.
std::optional<Typed> readPlacement(Runtime& rt, Handle fig, const Kind& kind, engine::Point current,
                                   double currentValue, const std::optional<Placement>& given) {
  Value position, value;
  if (given) {
    position = given->position;
    value = given->value;
  } else {
    platform::InputDialog dialog;
    dialog.prompts = {kind.positionPrompt, kind.valuePrompt};
    dialog.title = kind.title;
    dialog.lines = 1;
    dialog.defaults = {pairText(current), platform::formatNumber(currentValue + 0.0)};
    const auto answer = rt.ui().input(dialog);
    if (!answer) return std::nullopt;
    position = Value(answer->size() > 0 ? (*answer)[0] : std::string());
    value = Value(answer->size() > 1 ? (*answer)[1] : std::string());
  }

  std::optional<std::vector<double>> xy;
  if (kind.receptor && mentionsReset(position)) {
    // The first wall vertex the drawing area lists.
    const auto vertices = objectsByTag(rt, fig, tags::kWallVertex);
    if (vertices.empty()) return std::nullopt;
    const engine::Point p = firstPoint(rt, vertices.front());
    xy = std::vector<double>{p.x, p.y};
  } else {
    xy = numbersOf(position);
  }
  const auto v = numbersOf(value);
  if (!xy || !v) return std::nullopt;
  if (xy->empty() && v->empty()) return std::nullopt;
  if (xy->size() != 2 || v->size() != 1) return std::nullopt;
  // A point must be a real place; a level or shift may be infinite (it is clamped), never NaN.
  if (!std::isfinite((*xy)[0]) || !std::isfinite((*xy)[1]) || std::isnan(v->front())) return std::nullopt;
  return Typed{{(*xy)[0], (*xy)[1]}, v->front()};
}

// Runs steps 1 to 6 for either marker. Gives whether the position was tried (it differed) and whether
// the value changed; nothing when the operation stopped.
struct Outcome {
  bool positionTried = false;
  bool valueChanged = false;
};
std::optional<Outcome> place(Runtime& rt, const Kind& kind, const std::optional<Placement>& given) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  const Handle marker = objectInWindow(rt, fig, kind.tag);
  const engine::Point current = firstPoint(rt, marker);
  const CaseRecord before = readCase(rt, fig);
  const double currentValue = kind.receptor ? before.Hr : before.Lw;

  const auto typed = readPlacement(rt, fig, kind, current, currentValue, given);
  if (!typed) return std::nullopt;
  const double value = std::clamp(typed->value, kind.low, kind.high);

  Outcome out;
  if (typed->position.x != current.x || typed->position.y != current.y) {
    out.positionTried = true;
    if (checksource(rt, typed->position.x, typed->position.y, fig) != 0) {
      g.set(marker, "xdata", Value(typed->position.x));
      g.set(marker, "ydata", Value(typed->position.y));
    }
  }
  CaseRecord record = readCase(rt, fig);
  (kind.receptor ? record.Hr : record.Lw) = value;
  out.valueChanged = value != currentValue;
  storeCase(rt, fig, std::move(record));
  return out;
}

std::optional<Placement> givenPlacement(const std::vector<Value>& args) {
  if (args.empty()) return std::nullopt;
  return Placement{args[0], args.size() > 1 ? args[1] : Value()};
}

}  // namespace

void setsourceposition(Runtime& rt, const Operations& ops, const std::optional<Placement>& given) {
  const auto outcome = place(rt, kSource, given);
  if (!outcome) return;
  if (outcome->positionTried) {
    auto& g = rt.graphics();
    const Handle fig = currentMainWindow(rt);
    g.setText(fig, "pointer", "watch");
    try {
      ops.call(rt, "refreshimages");
      ops.call(rt, "refreshsurfacevalues");
      ops.call(rt, "selectvalue");
    } catch (...) {
      if (g.exists(fig)) g.setText(fig, "pointer", "arrow");
      throw;
    }
    g.setText(fig, "pointer", "arrow");
  } else if (outcome->valueChanged) {
    // The map of levels follows the level alone.
    ops.call(rt, "selectvalue");
  }
}

void setreceptorposition(Runtime& rt, const std::optional<Placement>& given) {
  // Nothing to recompute: the polar diagram reads the receptor and `Hr` when it is next drawn.
  place(rt, kReceptor, given);
}

void registerPlacementOperations(Operations& ops) {
  const Operations* table = &ops;
  Operation source;
  source.name = "setsourceposition";
  source.inputs = 2;
  source.run = [table](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
    setsourceposition(rt, *table, givenPlacement(args));
    return {};
  };
  ops.add(std::move(source));
  Operation receptor;
  receptor.name = "setreceptorposition";
  receptor.inputs = 2;
  receptor.run = [](Runtime& rt, const std::vector<Value>& args) -> std::vector<Value> {
    setreceptorposition(rt, givenPlacement(args));
    return {};
  };
  ops.add(std::move(receptor));
}

}  // namespace velmora::editor
