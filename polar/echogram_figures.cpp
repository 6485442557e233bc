// The arrivals of the echogram and the figures computed from them.

#include <algorithm>
#include <cmath>
#include <limits>

#include "polar/echogram.h"

namespace velmora::polar {

using platform::Value;

namespace {

constexpr double kEarlyD50Ms = 50;
constexpr double kEarlyC80Ms = 80;

std::string kindOf(const Arrival& a) {
  if (!a.direct) return "reflection";
  return a.blocked ? "blocked direct" : "direct";
}

Value optionalNumber(const std::optional<double>& v) {
  return Value(v ? *v : std::numeric_limits<double>::quiet_NaN());
}

}  // namespace

EchogramFigures echogramFigures(const PolarLevels& L, int order) {
  EchogramFigures f;
  f.order = order;
  f.arrivals.push_back({true, L.isov == 0, 0, 0.0, L.Lso, 0.0, L.Pso, 0, {}});
  std::vector<Arrival> reflections;
  for (std::size_t i = 0; i < L.Lwall.size(); ++i) {
    if (i >= L.irecv.size() || L.irecv[i] == 0 || std::isnan(L.Lwall[i])) continue;
    const int wall = static_cast<int>(i) + 1;
    reflections.push_back({false, false, wall, L.dela[i], L.Lwall[i], L.ang[i], L.Pwall[i], 1, {wall}});
  }
  for (std::size_t p = 0; p < L.higher.size(); ++p) {
    const engine::PathArrival& a = L.higher[p];
    reflections.push_back({false, false, a.walls.empty() ? 0 : a.walls.front(), a.delayMs, a.levelDb,
                           a.angleDeg, a.energy, a.order, a.walls, static_cast<int>(p)});
  }
  std::stable_sort(reflections.begin(), reflections.end(),
                   [](const Arrival& a, const Arrival& b) { return a.delayMs < b.delayMs; });
  f.arrivals.insert(f.arrivals.end(), reflections.begin(), reflections.end());
  if (!reflections.empty()) f.itdgMs = reflections.front().delayMs;

  // A blocked direct sound is heard by nobody: it counts in neither ratio.
  double total = 0, upTo50 = 0, upTo80 = 0, after80 = 0;
  for (const Arrival& a : f.arrivals) {
    if (a.blocked) continue;
    total += a.energy;
    if (a.delayMs <= kEarlyD50Ms) upTo50 += a.energy;
    (a.delayMs <= kEarlyC80Ms ? upTo80 : after80) += a.energy;
  }
  if (total > 0) {
    f.d50 = 100 * upTo50 / total;
    if (after80 == 0) {
      f.c80 = std::numeric_limits<double>::infinity();
    } else if (upTo80 == 0) {
      f.c80 = -std::numeric_limits<double>::infinity();
    } else {
      f.c80 = 10 * std::log10(upTo80 / after80);
    }
  }
  return f;
}

std::string echogramSummary(const EchogramFigures& f) {
  // No energy at all (direct sound blocked, no reflection): none of the three figures exists.
  if (!f.d50) return "nothing reaches the receptor: ITDG, D50 and C80 = none";
  std::string s = "ITDG = " + (f.itdgMs ? shown(*f.itdgMs, 0.1) + " ms" : std::string("none"));
  s += "    D50 = " + (f.d50 ? shown(*f.d50, 0.1) + " %" : std::string("none"));
  s += "    C80 = ";
  if (!f.c80) {
    s += "none";
  } else if (std::isinf(*f.c80)) {
    s += *f.c80 > 0 ? "no late energy" : "no early energy";
  } else {
    s += shown(*f.c80, 0.1) + " dB";
  }
  return s;
}

std::string echogramTitle(const EchogramFigures& f) {
  const std::string lead = f.order > 1 ? "reflections up to order " + std::to_string(f.order) + ":  "
                                       : "first-order arrivals only:  ";
  return lead + echogramSummary(f);
}

std::vector<EchogramLabel> echogramLabels(const std::vector<Arrival>& arrivals, double msPerPixel,
                                          double dbPerPixel) {
  // Generous for 7-pixel digits and commas, so that neighbouring texts keep a gap.
  constexpr double kCharPixels = 5, kMarginPixels = 3, kLinePixels = 9, kBarPixels = 4;
  struct Box {
    double centre, width, low, high;
  };
  std::vector<Box> taken;
  for (const Arrival& a : arrivals) taken.push_back({a.delayMs, kBarPixels * msPerPixel, -INFINITY, a.levelDb});

  // Arrivals come by delay: a reflection within 1 ms of the one before joins its group.
  std::vector<std::vector<const Arrival*>> groups;
  double previous = -INFINITY;
  for (const Arrival& a : arrivals) {
    if (a.direct || a.order > 1) continue;
    if (groups.empty() || a.delayMs - previous >= kLabelMergeMs) groups.emplace_back();
    groups.back().push_back(&a);
    previous = a.delayMs;
  }
  std::vector<EchogramLabel> labels;
  for (auto& group : groups) {
    std::vector<int> walls;
    double level = -INFINITY;
    for (const Arrival* a : group) {
      walls.push_back(a->wall);
      level = std::max(level, a->levelDb);
    }
    std::sort(walls.begin(), walls.end());
    EchogramLabel label;
    for (int w : walls) {
      if (!label.text.empty()) label.text += ", ";
      label.text += std::to_string(w);
    }
    label.delayMs = (group.front()->delayMs + group.back()->delayMs) / 2;
    label.widthMs = (static_cast<double>(label.text.size()) * kCharPixels + kMarginPixels) * msPerPixel;
    label.heightDb = kLinePixels * dbPerPixel;
    label.levelDb = level;
    // Up past whatever it would cover; every step goes strictly up, so this ends.
    for (bool moved = true; moved;) {
      moved = false;
      for (const Box& b : taken) {
        const bool acrossX = std::abs(label.delayMs - b.centre) < (label.widthMs + b.width) / 2;
        const bool acrossY = label.levelDb < b.high && b.low < label.levelDb + label.heightDb;
        if (acrossX && acrossY) {
          label.levelDb = b.high;
          moved = true;
        }
      }
    }
    taken.push_back({label.delayMs, label.widthMs, label.levelDb, label.levelDb + label.heightDb});
    labels.push_back(std::move(label));
  }
  return labels;
}

Value EchogramRecord::toValue() const {
  platform::Record r;
  r.set("mainwindow", Value::handle(mainWindow));
  r.set("xso", Value(xso));
  r.set("yso", Value(yso));
  r.set("xre", Value(xre));
  r.set("yre", Value(yre));
  r.set("refusal", Value(refusal));
  platform::List arrivals;
  for (const Arrival& a : figures.arrivals) {
    platform::Record ar;
    ar.set("kind", Value(kindOf(a)));
    ar.set("wall", Value(static_cast<double>(a.wall)));
    ar.set("delay", Value(a.delayMs));
    ar.set("level", Value(a.levelDb));
    ar.set("angle", Value(a.angleDeg));
    // Above order 1 the paths: order 1 reads as it always did (its wall is its path).
    if (figures.order > 1) {
      ar.set("order", Value(static_cast<double>(a.order)));
      std::vector<double> walls(a.walls.begin(), a.walls.end());
      ar.set("walls", Value::row(std::move(walls)));
    }
    arrivals.items.push_back(Value(std::move(ar)));
  }
  r.set("arrivals", Value(std::move(arrivals)));
  r.set("itdg", optionalNumber(figures.itdgMs));
  r.set("d50", optionalNumber(figures.d50));
  r.set("c80", optionalNumber(figures.c80));
  r.set("summary", Value(refusal.empty() ? echogramSummary(figures) : refusal));
  // The impulse response's figures, read from all of it.
  platform::Record response;
  response.set("edt", optionalNumber(decay.edt));
  response.set("t20", optionalNumber(decay.t20));
  response.set("t30", optionalNumber(decay.t30));
  response.set("d50", optionalNumber(decay.d50));
  response.set("c80", optionalNumber(decay.c80));
  response.set("transition", Value(transitionMs));
  r.set("response", Value(std::move(response)));
  r.set("dry", Value(static_cast<double>(dryChoice)));
  r.set("dryfile", Value(dryPath));
  return Value(std::move(r));
}

}  // namespace velmora::polar
