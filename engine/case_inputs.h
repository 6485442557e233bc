#pragma once
// What the whole computation chain is given of a case (engine/chain.h runs it; the beams of higher
// orders read it too).

#include <vector>

#include "engine/geometry.h"
#include "engine/images.h"

namespace velmora::engine {

struct CaseInputs {
  Walls walls;
  std::vector<double> alpha;  // percent per wall
  double xso = 0, yso = 0;
  Matrix xs, ys;  // audience-map grid
  std::vector<Curve> curves;
  bool diffusion = true;
  bool noprogressbar = true;
  int order = 1;  // reflection order 1..kMaxOrder; above 1 the map adds the paths of every order
};

}  // namespace velmora::engine
