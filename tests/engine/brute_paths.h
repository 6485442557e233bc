#pragma once
// Reflection paths of every order found by brute force: every sequence of walls (no wall twice in a
// row), the path from the source to a point unfolded through the images and checked segment by
// segment.

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/brute.h"

namespace velmora::engine::brute {

// Where the line through p and q meets the line through a and b (nothing when they are parallel).
inline std::optional<P> lineMeet(P p, P q, P a, P b) {
  const double dx = q.x - p.x, dy = q.y - p.y, ex = b.x - a.x, ey = b.y - a.y;
  const double det = dx * ey - dy * ex;
  if (det == 0) return std::nullopt;
  const double u = ((a.x - p.x) * ey - (a.y - p.y) * ex) / det;
  return P{p.x + u * dx, p.y + u * dy};
}

struct BrutePath {
  std::vector<std::size_t> walls;  // 0-based, first wall first
  std::vector<P> images;           // images[i]: image after walls[0..i]
  double factor = 1;               // product of (1 - alpha / 100)
  // Points of the last wall's line where the answer may change, seen from the last image: filled on
  // first use (most paths never come near a point).
  mutable std::vector<P> critical;
  mutable bool criticalReady = false;
};

class PathBrute {
 public:
  // Paths of order 1..maxOrder from source s; alpha in percent per wall (a wall at 100 % ends paths).
  PathBrute(const Brute& room, P s, int maxOrder, std::vector<double> alpha)
      : room_(room), s_(s), alpha_(std::move(alpha)) {
    BrutePath start;
    grow(start, s, maxOrder);
  }
  const std::vector<BrutePath>& paths() const { return paths_; }

  // The path reaches p: every reflection point on its wall (ends included), every point of the path
  // strictly on the room side of the walls it reflects on, and no wall crossed or touched between.
  bool reaches(const BrutePath& path, P p) const {
    const std::size_t k = path.walls.size();
    std::vector<P> q(k + 2);
    q[0] = s_;
    q[k + 1] = p;
    for (std::size_t i = k; i >= 1; --i) {
      const std::optional<P> r = room_.reflectionPoint(path.walls[i - 1], path.images[i - 1], q[i + 1]);
      if (!r) return false;
      q[i] = *r;
    }
    for (std::size_t i = 1; i <= k; ++i) {
      const std::size_t w = path.walls[i - 1];
      if (!(cross(room_.a(w), room_.b(w), q[i - 1]) > 0) || !(cross(room_.a(w), room_.b(w), q[i + 1]) > 0))
        return false;
    }
    for (std::size_t i = 0; i <= k; ++i)
      if (!room_.clear(q[i], q[i + 1], room_.n())) return false;
    return true;
  }

  // p is within kBoundary of a line on which the answer for this path may change.
  bool nearBoundary(const BrutePath& path, P p) const {
    const std::size_t last = path.walls.back();
    const P image = path.images.back();
    if (distanceToLine(p, room_.a(last), room_.b(last)) < kBoundary) return true;
    if (!path.criticalReady) {
      path.critical = criticalPoints(path);
      path.criticalReady = true;
    }
    for (const P& c : path.critical)
      if (distanceToLine(p, image, c) < kBoundary) return true;
    for (const P& v : room_.v)
      if (distanceToLine(p, image, v) < kBoundary) return true;
    return false;
  }

  // Whether p is far from the wedge of the last image through the last wall: the path cannot reach p
  // nor any point within kBoundary of it.
  bool farOutside(const BrutePath& path, P p) const {
    const std::size_t last = path.walls.back();
    const P image = path.images.back();
    if (room_.reflectionPoint(last, image, p)) return false;
    return distanceToLine(p, image, room_.a(last)) >= kBoundary &&
           distanceToLine(p, image, room_.b(last)) >= kBoundary &&
           distanceToLine(p, room_.a(last), room_.b(last)) >= kBoundary;
  }

  double energy(const BrutePath& path, P p) const {
    const P image = path.images.back();
    return path.factor * pointsourceenergy(std::hypot(p.x - image.x, p.y - image.y));
  }

 private:
  void grow(const BrutePath& prefix, P image, int left) {
    if (left == 0) return;
    for (std::size_t w = 0; w < room_.n(); ++w) {
      if (!prefix.walls.empty() && prefix.walls.back() == w) continue;
      const double alpha = w < alpha_.size() ? alpha_[w] : 0.0;
      if (alpha >= 100) continue;
      // A path leaves the image's side of the wall: an image on the wall's line or behind it reflects
      // nothing there (the reflection point would have to lie on the far side).
      if (!(cross(room_.a(w), room_.b(w), image) > 0)) continue;
      BrutePath path = prefix;
      path.walls.push_back(w);
      const P next = room_.image(w, image);
      path.images.push_back(next);
      path.factor *= 1 - alpha / 100;
      paths_.push_back(path);
      grow(path, next, left - 1);
    }
  }

  // Stage by stage along the path: the points of wall i's line where the reflection point meets a
  // wall end, where the way from the previous point passes a vertex, or where the previous
  // reflection point falls on wall i's line; and where the previous stage's critical points project.
  std::vector<P> criticalPoints(const BrutePath& path) const {
    std::vector<P> current;
    P from = s_;
    for (std::size_t i = 0; i < path.walls.size(); ++i) {
      const std::size_t w = path.walls[i];
      std::vector<P> next;
      const auto project = [&](P q) {
        if (const auto m = lineMeet(from, q, room_.a(w), room_.b(w))) next.push_back(*m);
      };
      for (const P& v : room_.v) project(v);
      for (const P& c : current) project(c);
      if (i > 0) {
        const std::size_t before = path.walls[i - 1];
        if (const auto x = lineMeet(room_.a(before), room_.b(before), room_.a(w), room_.b(w)))
          next.push_back(*x);
      }
      current = std::move(next);
      from = path.images[i];
    }
    return current;
  }

  const Brute& room_;
  P s_;
  std::vector<double> alpha_;
  std::vector<BrutePath> paths_;
};

}  // namespace velmora::engine::brute
