#pragma once
// Rooms worked by hand for the receptor's views (polar diagram, echogram): which image sources a
// receptor hears, and the level of each at the receptor.

#include <cmath>
#include <numbers>
#include <vector>

#include "document/case_record.h"

namespace velmora::test_support {

// Level at the receptor of a source of level lw at distance r (at least 1 m), times a factor.
inline double levelAt(double lw, double r, double factor = 1) {
  const double w = 1e-12 * std::pow(10.0, lw / 10);
  return 10 * std::log10(factor * 100 * w / std::numbers::pi / (r * r) / 4e-10);
}

// An image source heard at the receptor: its wall, its place, and what is left after the wall.
struct HeardImage {
  int wall;
  double xi, yi, factor;
};

struct HandRoom {
  const char* name;
  std::vector<double> xw, yw, alpha;
  double xso, yso, xre, yre, lw;
  bool blocked;  // the direct sound does not reach the receptor
  std::vector<HeardImage> heard;
};

// The room as `update` takes it (the audience area left as the case gives it).
inline document::CaseDescription describe(const std::vector<double>& xw, const std::vector<double>& yw,
                                          const std::vector<double>& alpha, double xso, double yso,
                                          double xre, double yre, double lw) {
  document::CaseDescription d;
  d.xwall = xw;
  d.ywall = yw;
  d.alpha = alpha;
  d.xso = xso;
  d.yso = yso;
  d.xre = xre;
  d.yre = yre;
  d.Lw = lw;
  return d;
}

}  // namespace velmora::test_support
