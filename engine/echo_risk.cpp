#include "engine/echo_risk.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>

namespace velmora::engine {

std::vector<std::uint8_t> echoRiskPoints(const EchoRiskInputs& in, const EchoRiskThresholds& t) {
  const std::size_t n = in.xs.size();
  std::vector<std::uint8_t> flags(n, 0);
  if (in.ys.size() != n || in.Pso.size() != n) return flags;

  // Points that have no direct sound to be an echo of.
  std::vector<std::uint8_t> excluded(n, 0);
  for (const IndexList* list : {&in.inDS, &in.ina}) {
    for (std::size_t k : *list) {
      if (k >= 1 && k <= n) excluded[k - 1] = 1;
    }
  }
  // Comparing energies rather than levels keeps the test exact and free of logarithms.
  const double levelFactor = std::pow(10.0, -t.levelDb / 10);
  const std::size_t walls = std::min({in.images.size(), in.inRW.size(), in.Pwall.size()});
  for (std::size_t w = 0; w < walls; ++w) {
    const IndexList& reached = in.inRW[w];
    const std::vector<double>& energy = in.Pwall[w];
    const Point image = in.images[w];
    for (std::size_t m = 0; m < reached.size() && m < energy.size(); ++m) {
      const std::size_t k = reached[m] - 1;
      if (reached[m] < 1 || k >= n || excluded[k] || flags[k]) continue;
      const double x = in.xs.data[k], y = in.ys.data[k];
      const double direct = std::max(1.0, std::hypot(x - in.xso, y - in.yso));
      const double reflected = std::max(1.0, std::hypot(x - image.x, y - image.y));
      const double delayMs = (reflected - direct) / kEchoSoundSpeed * 1000;
      if (delayMs > t.delayMs && energy[m] >= in.Pso[k] * levelFactor) flags[k] = 1;
    }
  }
  return flags;
}

namespace {

// The grid grown by one ring of unflagged points that sit on their border neighbours, so that the
// outline closes through the flagged border points instead of leaving the map.
struct PaddedGrid {
  const Matrix& xs;
  const Matrix& ys;
  const std::vector<std::uint8_t>& flags;
  long rows, cols;

  bool inside(long i, long j) const { return i >= 0 && j >= 0 && i < rows && j < cols; }
  bool flag(long i, long j) const { return inside(i, j) && flags[static_cast<std::size_t>(i + j * rows)] != 0; }
  Point at(long i, long j) const {
    const auto k = static_cast<std::size_t>(std::clamp(i, 0L, rows - 1) + std::clamp(j, 0L, cols - 1) * rows);
    return {xs.data[k], ys.data[k]};
  }
  // Grid edges: from (i, j) to (i+1, j) (kind 0) or to (i, j+1) (kind 1), i and j from -1.
  long edgeId(long i, long j, int kind) const { return ((i + 1) * (cols + 2) + (j + 1)) * 2 + kind; }
};

struct Segment {
  long a, b;  // edge ids
};

}  // namespace

Outline echoRiskOutline(const Matrix& xs, const Matrix& ys, const std::vector<std::uint8_t>& flags) {
  Outline out;
  if (xs.rows == 0 || xs.cols == 0 || ys.size() != xs.size() || flags.size() != xs.size()) return out;
  const PaddedGrid grid{xs, ys, flags, static_cast<long>(xs.rows), static_cast<long>(xs.cols)};

  std::unordered_map<long, Point> crossing;  // edge id -> midpoint of the edge
  std::vector<Segment> segments;
  for (long i = -1; i < grid.rows; ++i) {
    for (long j = -1; j < grid.cols; ++j) {
      // Corners c0..c3 around the cell; edge e_k runs from c_k to c_(k+1).
      const std::array<std::array<long, 2>, 4> c = {{{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}}};
      const std::array<long, 4> e = {grid.edgeId(i, j, 0), grid.edgeId(i + 1, j, 1), grid.edgeId(i, j + 1, 0),
                                     grid.edgeId(i, j, 1)};
      std::array<bool, 4> f{};
      for (int k = 0; k < 4; ++k) f[k] = grid.flag(c[k][0], c[k][1]);
      std::vector<int> crossed;
      for (int k = 0; k < 4; ++k) {
        if (f[k] == f[(k + 1) % 4]) continue;
        crossed.push_back(k);
        const Point p = grid.at(c[k][0], c[k][1]), q = grid.at(c[(k + 1) % 4][0], c[(k + 1) % 4][1]);
        crossing[e[k]] = {(p.x + q.x) / 2, (p.y + q.y) / 2};
      }
      if (crossed.size() == 2) {
        segments.push_back({e[crossed[0]], e[crossed[1]]});
      } else if (crossed.size() == 4) {
        // A saddle: the two flagged corners stay apart, each cut off on its own.
        if (f[0]) {
          segments.push_back({e[3], e[0]});
          segments.push_back({e[1], e[2]});
        } else {
          segments.push_back({e[0], e[1]});
          segments.push_back({e[2], e[3]});
        }
      }
    }
  }

  // Every crossing point lies on two cells at most, so the segments chain into paths and loops.
  std::unordered_map<long, std::vector<std::size_t>> touching;
  for (std::size_t s = 0; s < segments.size(); ++s) {
    touching[segments[s].a].push_back(s);
    touching[segments[s].b].push_back(s);
  }
  std::vector<bool> used(segments.size(), false);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto next = [&](long edge) -> std::optional<std::size_t> {
    for (std::size_t s : touching[edge]) {
      if (!used[s]) return s;
    }
    return std::nullopt;
  };
  for (std::size_t start = 0; start < segments.size(); ++start) {
    if (used[start]) continue;
    used[start] = true;
    std::vector<long> chain = {segments[start].a, segments[start].b};
    // Forwards from the end, then backwards from the beginning.
    for (auto s = next(chain.back()); s; s = next(chain.back())) {
      used[*s] = true;
      chain.push_back(segments[*s].a == chain.back() ? segments[*s].b : segments[*s].a);
    }
    std::vector<long> before;
    for (auto s = next(chain.front()); s; s = next(before.empty() ? chain.front() : before.back())) {
      used[*s] = true;
      const long from = before.empty() ? chain.front() : before.back();
      before.push_back(segments[*s].a == from ? segments[*s].b : segments[*s].a);
    }
    if (!out.x.empty()) {
      out.x.push_back(nan);
      out.y.push_back(nan);
    }
    for (auto it = before.rbegin(); it != before.rend(); ++it) {
      out.x.push_back(crossing[*it].x);
      out.y.push_back(crossing[*it].y);
    }
    for (long edge : chain) {
      out.x.push_back(crossing[edge].x);
      out.y.push_back(crossing[edge].y);
    }
  }
  return out;
}

}  // namespace velmora::engine
