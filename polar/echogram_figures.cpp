// The arrivals of the echogram and the figures computed from them.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "polar/echogram.h"

namespace velmora::polar {

using platform::Value;

namespace {

constexpr double kEarlyD50Ms = 50;
constexpr double kEarlyC80Ms = 80;

// The shortest text that reads back as the same double, whatever the locale.
std::string exactNumber(double v) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

// RFC 4180: a field with a comma, a quote or a line end is quoted, its quotes doubled.
std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string kindOf(const Arrival& a) {
  if (!a.direct) return "reflection";
  return a.blocked ? "blocked direct" : "direct";
}

Value optionalNumber(const std::optional<double>& v) {
  return Value(v ? *v : std::numeric_limits<double>::quiet_NaN());
}

}  // namespace

EchogramFigures echogramFigures(const PolarLevels& L) {
  EchogramFigures f;
  f.arrivals.push_back({true, L.isov == 0, 0, 0.0, L.Lso, 0.0, L.Pso});
  std::vector<Arrival> reflections;
  for (std::size_t i = 0; i < L.Lwall.size(); ++i) {
    if (i >= L.irecv.size() || L.irecv[i] == 0 || std::isnan(L.Lwall[i])) continue;
    reflections.push_back({false, false, static_cast<int>(i) + 1, L.dela[i], L.Lwall[i], L.ang[i], L.Pwall[i]});
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

std::string arrivalsCsv(const EchogramFigures& f) {
  std::string out = "kind,wall,delay_ms,level_dB,angle_deg\r\n";
  for (const Arrival& a : f.arrivals) {
    out += csvField(kindOf(a)) + "," + (a.direct ? std::string() : std::to_string(a.wall)) + "," +
           exactNumber(a.delayMs) + "," + exactNumber(a.levelDb) + "," + exactNumber(a.angleDeg) + "\r\n";
  }
  return out;
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
    arrivals.items.push_back(Value(std::move(ar)));
  }
  r.set("arrivals", Value(std::move(arrivals)));
  r.set("itdg", optionalNumber(figures.itdgMs));
  r.set("d50", optionalNumber(figures.d50));
  r.set("c80", optionalNumber(figures.c80));
  r.set("summary", Value(refusal.empty() ? echogramSummary(figures) : refusal));
  return Value(std::move(r));
}

}  // namespace velmora::polar
