#pragma once
// Loops over grid points that the map runs for every wall, built several points at a time (see
// engine/CMakeLists.txt). Each lane does the IEEE operations of the one-point code in its order.

#include <cstddef>

namespace velmora::engine {

// pt[k] += energy[k] and rt[k] += 1 for k < n: one wall's reflection added to the map's sums.
void addreflections(double* pt, double* rt, const double* energy, std::size_t n);

// Straightness of one grid column of n points: true when every point (x[i], y[i]) lies within
// 1e-12 (|x| + |y| + 1) of (x[0] + i dx, y[0] + i dy).
bool columnOnLine(const double* x, const double* y, std::size_t n, double dx, double dy);

}  // namespace velmora::engine
