#pragma once
// The energies of a point source over many grid points at once (engine/energy_kernels.cpp is built
// for several points at a time; see engine/CMakeLists.txt).

#include <cstddef>
#include <span>

namespace velmora::engine {

// out[k] = factor * pointsourceenergy(distance(xs[k] - x0, ys[k] - y0)) for k < n, the same bits,
// computed several points at a time.
void pointsourceenergies(const double* xs, const double* ys, std::size_t n, double x0, double y0,
                         double factor, double* out);
// The same at the grid points `hits` (1-based, increasing): out[h] for the point hits[h].
void pointsourceenergies(const double* xs, const double* ys, std::span<const std::size_t> hits, double x0,
                         double y0, double factor, double* out);

}  // namespace velmora::engine
