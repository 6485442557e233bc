// Joining the pieces of a DXF plan into closed outlines and cutting an outline into walls.

#include "plan/dxf_outline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/model/numbers.h"

namespace velmora::plan {

namespace {

constexpr double kPi = std::numbers::pi;
// Areas below this (square metres, or square drawing units) count as zero in the crossing tests.
constexpr double kAreaTolerance = 1e-9;
// Arcs turning less than this (radians) are drawn straight.
constexpr double kNegligibleSweep = 1e-9;

Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
double cross(Point a, Point b) {
  return a.x * b.y - a.y * b.x;
}
double dot(Point a, Point b) {
  return a.x * b.x + a.y * b.y;
}
double distance(Point a, Point b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}
bool same(Point a, Point b) {
  return a.x == b.x && a.y == b.y;
}

struct Arc {
  Point centre;
  double radius = 0;
  double startAngle = 0;
};

// The circle of an arc piece from its chord and sweep: the centre lies off the chord's middle by
// (chord/2) / tan(sweep/2) along the chord's left normal.
Arc arcOf(const DxfSegment& s) {
  const double chord = distance(s.a, s.b);
  const Point mid{(s.a.x + s.b.x) / 2, (s.a.y + s.b.y) / 2};
  const Point normal{-(s.b.y - s.a.y) / chord, (s.b.x - s.a.x) / chord};
  const double d = chord / 2 / std::tan(s.sweep / 2);
  Arc arc;
  arc.centre = {mid.x + normal.x * d, mid.y + normal.y * d};
  arc.radius = distance(s.a, arc.centre);
  arc.startAngle = std::atan2(s.a.y - arc.centre.y, s.a.x - arc.centre.x);
  return arc;
}

Point arcPoint(const DxfSegment& s, const Arc& arc, double t) {
  const double phi = arc.startAngle + s.sweep * t;
  return {arc.centre.x + arc.radius * std::cos(phi), arc.centre.y + arc.radius * std::sin(phi)};
}

DxfSegment reversed(const DxfSegment& s) {
  return {s.b, s.a, -s.sweep};
}

Point millimetres(Point p) {
  // + 0.0: no negative zero
  return {platform::roundHalfAway(p.x * 1000) / 1000 + 0.0, platform::roundHalfAway(p.y * 1000) / 1000 + 0.0};
}

// Ends closer than the tolerance share one node: a grid of tolerance-sized cells finds the candidates.
class EndJoiner {
 public:
  explicit EndJoiner(double tolerance) : tolerance_(tolerance) {}
  int node(Point p) {
    const auto [cx, cy] = cell(p);
    int found = -1;
    for (std::int64_t dx = -1; dx <= 1; ++dx) {
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const auto it = cells_.find({cx + dx, cy + dy});
        if (it == cells_.end()) continue;
        for (int n : it->second) {
          if (distance(points[n], p) <= tolerance_ && (found < 0 || n < found)) found = n;
        }
      }
    }
    if (found >= 0) return found;
    points.push_back(p);
    cells_[{cx, cy}].push_back(static_cast<int>(points.size()) - 1);
    return static_cast<int>(points.size()) - 1;
  }
  std::vector<Point> points;

 private:
  std::pair<std::int64_t, std::int64_t> cell(Point p) const {
    const auto index = [&](double v) {
      return static_cast<std::int64_t>(std::clamp(std::floor(v / tolerance_), -1e15, 1e15));
    };
    return {index(p.x), index(p.y)};
  }
  struct CellHash {
    std::size_t operator()(const std::pair<std::int64_t, std::int64_t>& c) const {
      return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(c.first) * 0x9e3779b97f4a7c15ULL ^
                                        static_cast<std::uint64_t>(c.second));
    }
  };
  double tolerance_;
  // Hashed: a layer of a million ends looks up nine cells for each end.
  std::unordered_map<std::pair<std::int64_t, std::int64_t>, std::vector<int>, CellHash> cells_;
};

double orientation(Point a, Point b, Point c) {
  const double o = cross(b - a, c - a);
  return std::abs(o) <= kAreaTolerance ? 0.0 : o;
}

bool within(Point a, Point b, Point p) {
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
         p.y <= std::max(a.y, b.y);
}

// Where walls a-b and c-d meet, touching included.
std::optional<Point> meeting(Point a, Point b, Point c, Point d) {
  const double d1 = orientation(c, d, a), d2 = orientation(c, d, b);
  const double d3 = orientation(a, b, c), d4 = orientation(a, b, d);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
    const double t = d1 / (d1 - d2);
    return Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
  }
  if (d1 == 0 && within(c, d, a)) return a;
  if (d2 == 0 && within(c, d, b)) return b;
  if (d3 == 0 && within(a, b, c)) return c;
  if (d4 == 0 && within(a, b, d)) return d;
  return std::nullopt;
}

}  // namespace

std::vector<DxfSegment> arcSegments(Point centre, double radius, double start, double end) {
  double sweep = std::fmod(end - start, 2 * kPi);
  if (sweep <= 1e-12) sweep += 2 * kPi;  // equal angles: the whole circle
  const auto at = [&](double phi) {
    return Point{centre.x + radius * std::cos(phi), centre.y + radius * std::sin(phi)};
  };
  if (sweep <= kPi) return {DxfSegment{at(start), at(start + sweep), sweep}};
  const double half = sweep / 2;
  return {DxfSegment{at(start), at(start + half), half}, DxfSegment{at(start + half), at(start + sweep), half}};
}

DxfSegment bulgeSegment(Point a, Point b, double bulge) {
  // A bulge too small to lift the arc off its chord is a straight piece: the arc's circle would be
  // beyond any number.
  const double sweep = std::isfinite(bulge) ? 4 * std::atan(bulge) : 0.0;
  return {a, b, std::abs(sweep) < kNegligibleSweep ? 0.0 : sweep};
}

Chains chainSegments(const std::vector<DxfSegment>& pieces, double tolerance) {
  EndJoiner joiner(tolerance);
  struct Edge {
    int u, v;
    DxfSegment s;
  };
  std::vector<Edge> edges;
  std::set<std::pair<int, int>> straight;  // a wall drawn twice counts once
  for (const DxfSegment& s : pieces) {
    const int u = joiner.node(s.a), v = joiner.node(s.b);
    if (u == v) continue;  // shorter than the tolerance
    if (s.sweep == 0 && !straight.insert({std::min(u, v), std::max(u, v)}).second) continue;
    edges.push_back({u, v, s});
  }
  const std::vector<Point>& nodes = joiner.points;
  std::vector<std::vector<int>> at(nodes.size());
  for (std::size_t e = 0; e < edges.size(); ++e) {
    at[edges[e].u].push_back(static_cast<int>(e));
    at[edges[e].v].push_back(static_cast<int>(e));
  }

  Chains out;
  std::vector<bool> seen(nodes.size(), false);
  for (std::size_t start = 0; start < nodes.size(); ++start) {
    if (seen[start] || at[start].empty()) continue;
    // The connected piece of drawing that holds this node.
    std::vector<int> component{static_cast<int>(start)};
    seen[start] = true;
    for (std::size_t k = 0; k < component.size(); ++k) {
      for (int e : at[component[k]]) {
        for (int n : {edges[e].u, edges[e].v}) {
          if (!seen[n]) {
            seen[n] = true;
            component.push_back(n);
          }
        }
      }
    }
    bool closed = true;
    for (int n : component) {
      if (at[n].size() == 1) out.freeEnds.push_back(nodes[n]);
      if (at[n].size() >= 3) out.branchPoints.push_back(nodes[n]);
      closed = closed && at[n].size() == 2;
    }
    if (!closed) continue;
    std::vector<DxfSegment> loop;
    int node = static_cast<int>(start);
    int edge = at[start].front();
    do {
      const Edge& e = edges[edge];
      DxfSegment s = e.u == node ? e.s : reversed(e.s);
      const int next = e.u == node ? e.v : e.u;
      s.a = nodes[node];  // ends meet exactly
      s.b = nodes[next];
      loop.push_back(s);
      node = next;
      edge = at[node][0] == edge ? at[node][1] : at[node][0];
    } while (node != static_cast<int>(start));
    out.loops.push_back(std::move(loop));
  }
  return out;
}

int arcWallCount(const DxfSegment& s) {
  if (s.sweep == 0) return 1;
  const double turn = std::abs(s.sweep);
  // Arc length over chord is (turn/2) / sin(turn/2): between 1 and pi/2 up to half a turn, and finite
  // however small the turn.
  const double length = distance(s.a, s.b) * (turn / 2 / std::sin(turn / 2));
  const double byTurn = std::ceil(turn * 180 / kPi / kMaxArcWallDegrees - 1e-9);
  const double byLength = std::floor(length / kMinArcWallLength);
  return static_cast<int>(std::max(1.0, std::min(byTurn, byLength)));
}

std::vector<Point> outlineVertices(const std::vector<DxfSegment>& loop) {
  std::vector<Point> out;
  for (const DxfSegment& s : loop) {
    out.push_back(s.a);
    const int m = arcWallCount(s);
    if (m < 2) continue;
    const Arc arc = arcOf(s);
    for (int k = 1; k < m; ++k) out.push_back(arcPoint(s, arc, static_cast<double>(k) / m));
  }
  return out;
}

double signedArea(const std::vector<Point>& v) {
  double a = 0;
  for (std::size_t k = 0; k < v.size(); ++k) a += cross(v[k], v[(k + 1) % v.size()]);
  return a / 2;
}

double loopArea(const std::vector<DxfSegment>& loop) {
  double area = 0;
  for (const DxfSegment& s : loop) {
    area += cross(s.a, s.b) / 2;
    if (s.sweep == 0) continue;
    const double r = distance(s.a, s.b) / (2 * std::sin(std::abs(s.sweep) / 2));
    area += r * r / 2 * (s.sweep - std::sin(s.sweep));  // the circular segment beyond the chord
  }
  return area;
}

std::size_t loopWallCount(const std::vector<DxfSegment>& loop, double scale) {
  std::size_t n = 0;
  for (const DxfSegment& s : loop)
    n += static_cast<std::size_t>(arcWallCount({{s.a.x * scale, s.a.y * scale}, {s.b.x * scale, s.b.y * scale}, s.sweep}));
  return n;
}

DxfRoom roomFromLoop(std::vector<DxfSegment> loop, double scale) {
  for (DxfSegment& s : loop) {
    s.a = {s.a.x * scale, s.a.y * scale};
    s.b = {s.b.x * scale, s.b.y * scale};
  }
  if (loopArea(loop) < 0) {
    std::reverse(loop.begin(), loop.end());
    for (DxfSegment& s : loop) s = reversed(s);
  }

  struct ArcWalls {
    std::size_t first;  // index of the vertex where the arc starts
    int walls;
    Point a, b, middle;
  };
  std::vector<Point> all;
  std::vector<ArcWalls> arcs;
  for (const DxfSegment& s : loop) {
    const int m = arcWallCount(s);
    if (m >= 2) arcs.push_back({all.size(), m, s.a, s.b, arcPoint(s, arcOf(s), 0.5)});
    all.push_back(s.a);
    if (m < 2) continue;
    const Arc arc = arcOf(s);
    for (int k = 1; k < m; ++k) all.push_back(arcPoint(s, arc, static_cast<double>(k) / m));
  }

  // Whole millimetres; a vertex that rounds onto the one before it goes, and the walls renumber.
  DxfRoom room;
  std::vector<std::size_t> kept(all.size());
  for (std::size_t k = 0; k < all.size(); ++k) {
    const Point p = millimetres(all[k]);
    if (room.vertices.empty() || !same(p, room.vertices.back())) room.vertices.push_back(p);
    kept[k] = room.vertices.size() - 1;
  }
  while (room.vertices.size() > 1 && same(room.vertices.back(), room.vertices.front())) room.vertices.pop_back();
  const std::size_t n = room.vertices.size();

  std::vector<std::vector<double>> rows;
  for (const ArcWalls& arc : arcs) {
    const std::size_t end = arc.first + static_cast<std::size_t>(arc.walls);
    const double first = static_cast<double>(std::min(kept[arc.first], n)) + 1;
    const double last = end >= all.size() ? static_cast<double>(n) : static_cast<double>(std::min(kept[end], n));
    if (last < first + 1) continue;  // the arc shrank to one wall
    const Point a = millimetres(arc.a), b = millimetres(arc.b), m = millimetres(arc.middle);
    rows.push_back({2, a.x, a.y, b.x, b.y, m.x, m.y, first, last});
  }
  if (!rows.empty()) {
    room.curves = platform::Matrix::zeros(rows.size(), 9);
    for (std::size_t r = 0; r < rows.size(); ++r)
      for (std::size_t c = 0; c < 9; ++c) room.curves(r, c) = rows[r][c];
  }
  return room;
}

std::optional<Point> firstCrossing(const std::vector<Point>& v) {
  const std::size_t n = v.size();
  if (n < 3) return std::nullopt;
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = v[i], b = v[(i + 1) % n], c = v[(i + 2) % n];
    // The next wall turns straight back along this one.
    if (orientation(a, b, c) == 0 && dot(b - a, c - b) < 0) return b;
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // the last wall ends where the first starts
      if (const auto p = meeting(a, b, v[j], v[(j + 1) % n])) return p;
    }
  }
  return std::nullopt;
}

Point insidePoint(const std::vector<Point>& v, double fraction) {
  double ymin = v.front().y, ymax = ymin;
  for (const Point& p : v) {
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  }
  const auto clearOfWalls = [&](Point p) {
    for (std::size_t k = 0; k < v.size(); ++k) {
      const Point a = v[k], b = v[(k + 1) % v.size()];
      const double len2 = dot(b - a, b - a);
      const double t = len2 > 0 ? std::clamp(dot(p - a, b - a) / len2, 0.0, 1.0) : 0.0;
      if (distance(p, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}) < 0.001) return false;
    }
    return true;
  };
  std::optional<Point> first;
  for (double height : {0.5, 0.45, 0.55, 0.35, 0.65, 0.25, 0.75}) {
    // Slightly off the chosen height, so that the line passes through no vertex of a plan on a grid.
    const double y = ymin + (ymax - ymin) * (height + 1e-7 * std::numbers::sqrt2);
    std::vector<double> xs;
    for (std::size_t k = 0; k < v.size(); ++k) {
      const Point a = v[k], b = v[(k + 1) % v.size()];
      if ((a.y > y) != (b.y > y)) xs.push_back(a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x));
    }
    std::sort(xs.begin(), xs.end());
    double from = 0, length = -1;
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
      if (xs[k + 1] - xs[k] > length) {
        from = xs[k];
        length = xs[k + 1] - xs[k];
      }
    }
    if (length < 0) continue;
    const Point p = millimetres({from + length * fraction, y});
    if (!first) first = p;
    if (clearOfWalls(p)) return p;
  }
  return first.value_or(millimetres(v.front()));
}

}  // namespace velmora::plan
