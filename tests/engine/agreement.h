#pragma once
// The computed audience map against brute force, point by point, away from zone boundaries.

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/brute.h"

namespace velmora::engine::brute {

struct Agreement {
  int compared = 0;                   // wall-and-point pairs compared
  int mismatches = 0;                 // of inRW, inDS and RT together
  std::vector<std::string> messages;  // the first few mismatches
};

// Compares inRW (per wall), inDS and RT of `r` with brute force at every grid point inside the room,
// off the walls, and not within kBoundary of a line on which the answer may change. Walls listed in
// `ignored` (0-based) are left out: the map is not expected to show their reflections.
inline Agreement compareMap(const Brute& brute, P s, const Matrix& xs, const Matrix& ys,
                            const SurfaceValues& sv, const std::vector<bool>& ignored = {}) {
  Agreement a;
  const auto report = [&](const std::string& what, P p, double expected) {
    ++a.mismatches;
    if (a.messages.size() >= 5) return;
    std::ostringstream o;
    o << what << " at (" << p.x << ", " << p.y << "): brute force " << expected;
    a.messages.push_back(o.str());
  };
  const std::set<std::size_t> inDS(sv.inDS.begin(), sv.inDS.end());
  std::vector<std::set<std::size_t>> inRW;
  for (const auto& l : sv.inRW) inRW.emplace_back(l.begin(), l.end());
  inRW.resize(brute.n());
  for (std::size_t k = 0; k < xs.size(); ++k) {
    const P p{xs.data[k], ys.data[k]};
    if (!brute.inside(p) || brute.distanceToWalls(p) < kBoundary) continue;
    if (!brute.nearShadowLine(s, p)) {
      const bool seen = brute.clear(s, p, brute.n());
      if ((inDS.count(k + 1) == 0) != seen) report("direct sound", p, seen);
    }
    bool anyNear = false;
    int count = 0;
    for (std::size_t w = 0; w < brute.n(); ++w) {
      if (w < ignored.size() && ignored[w]) continue;
      const bool reached = brute.reaches(w, s, p);
      count += reached;
      if (brute.nearZoneBoundary(w, s, p)) {
        anyNear = true;
        continue;
      }
      ++a.compared;
      if ((inRW[w].count(k + 1) != 0) != reached) report("wall " + std::to_string(w + 1), p, reached);
    }
    if (!anyNear && sv.RT.data[k] != count) report("RT", p, count);
  }
  return a;
}

}  // namespace velmora::engine::brute

namespace velmora::engine::brute {

// Compares `ina` (the grid points outside the room) with a crossing-number test, away from walls.
inline Agreement compareOutside(const Brute& brute, const Matrix& xs, const Matrix& ys,
                                const IndexList& ina) {
  Agreement a;
  const std::set<std::size_t> out(ina.begin(), ina.end());
  for (std::size_t k = 0; k < xs.size(); ++k) {
    const P p{xs.data[k], ys.data[k]};
    if (brute.distanceToWalls(p) < kBoundary) continue;
    ++a.compared;
    if ((out.count(k + 1) != 0) == brute.inside(p)) {
      ++a.mismatches;
      if (a.messages.size() < 5) {
        std::ostringstream o;
        o << "ina at (" << p.x << ", " << p.y << "): brute force inside " << brute.inside(p);
        a.messages.push_back(o.str());
      }
    }
  }
  return a;
}

}  // namespace velmora::engine::brute
