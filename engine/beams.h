#pragma once
// Reflections of higher order by beam tracing from the source. A beam is an image source seen
// through a window, the lit part of the last wall of its path; its children are the reflections of
// its image on the parts of the walls it lights, each lit part found by sweeping the rays from the
// image through the window against every wall in the way. The zone of a beam (the room points its
// path reaches unobstructed) is the polygon bounded by the window and the lit boundary beyond it,
// rasterised onto the audience grid as the first-order exact zones are (GridScan).
//
// The first order stays the first-order chain's (surface.h): its images, seen parts, zones and
// diffusion coefficients; the beams of order 1 are only the parents of the higher orders. A curved
// stretch's walls reflect as plane facets beyond the first order, each carrying the diffusion
// coefficient of its curve for the image that lights it (computeimagec with that image as the
// source). The facets are the walls as drawn, so their zones stay exact polygons (a true curve has
// no image point beyond the first order); the coefficient, the spread of the flat facet's rays over
// that of the curve it stands for, is taken for the sound actually arriving, and at order 1 it is
// the first order's own coefficient.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/echo_risk.h"
#include "engine/geometry.h"
#include "engine/images.h"
#include "engine/surface.h"
#include "engine/zones.h"

namespace velmora::engine {

struct CaseInputs;  // case_inputs.h

inline constexpr int kMaxOrder = 6;
// Beams at most, all orders together, before a computation is refused. A beam costs about 30 us of
// one core for the map at 200 intervals (its zone swept and rasterised), so the limit keeps that map
// near 3 s, under 10 s where zones have many corners or the grid is finer; and far under 1 GiB: a
// beam holds under 100 bytes, and the map keeps at most 64 MB of zone hits at a time (besides its
// grids, two per order).
inline constexpr std::size_t kBeamLimit = 100000;
inline constexpr std::size_t kNoParent = std::numeric_limits<std::size_t>::max();

struct Beam {
  Point image;                     // image source of the path
  Wall window;                     // lit part of the last wall, running the way the wall runs
  int wall = 0;                    // last wall of the path, 1-based
  std::size_t parent = kNoParent;  // index among the beams of one order lower; kNoParent at order 1
  double factor = 1;               // product over the path's walls of diffcoef (1 - alpha / 100)
};

struct BeamTree {
  // orders[k - 1]: the beams of order k, children after their parents' order, each parent's
  // children by their place along the parent's window (a fixed order: results at any thread count).
  std::vector<std::vector<Beam>> orders;
  bool complete = true;  // false: the tracing stopped at the beam limit
  std::size_t count() const;
  // The path's walls, 1-based, first wall first (none for an order or index out of range).
  std::vector<int> walls(int order, std::size_t index) const;
};

// The beams of every order up to `order` (clamped to 1..kMaxOrder) for the first-order images of
// the case (computeimages' result on the same walls and source). Stops, incomplete, once more than
// `limit` beams are found.
BeamTree tracebeams(const CaseInputs& in, const ImageSet& images, int order, std::size_t limit = kBeamLimit);

// The zone of one beam: the polygon of the room points P for which the ray from the image through P
// crosses the window and meets no wall between the window and P; from the window's first end over
// the far boundary to its second end. Empty when the image is not strictly behind the window's line.
ZonePolygon beamzone(const Walls& walls, const Beam& beam);

// ---- the work before it starts -----------------------------------------------------------------
struct BeamEstimate {
  std::vector<std::size_t> perOrder;  // beams of each order 1..N (as far as counted)
  std::size_t total = 0;
  bool tooMuch = false;  // more than the limit: the computation is refused
  std::string message;   // for the console when tooMuch, else empty
};
// Counts the beams alive (tracing without the map, quick) up to the case's `order`, stopping past
// `limit`.
BeamEstimate estimatebeams(const CaseInputs& in, std::size_t limit = kBeamLimit);
BeamEstimate estimatebeams(const CaseInputs& in, const ImageSet& images, std::size_t limit = kBeamLimit);

// ---- the audience map --------------------------------------------------------------------------
struct HigherOrderValues {
  // Filled when the order is above 1 (empty at order 1): one grid per order 1..N, the grid shape of
  // RT. RTorder[0] and PTorder[0] are the first-order RT and PT.
  std::vector<Matrix> RTorder, PTorder;
  std::vector<std::size_t> beams;  // beams per order 1..N
  bool refused = false;            // more beams than the limit: nothing computed
  std::string message;             // why refused
};

// Orders 2..N of the map on the grid (xs, ys), added into `values` (RT counts every path, PT sums
// every path; the first-order fields stay as they are). Beams in parallel (oneTBB), summed per point
// in beam order: the same bits at any thread count. `progress`, when set and the case's
// `noprogressbar` is false, hears "processing order k: beam i on M" as the beams complete, fractions
// rising from 0 to 1, on the calling thread. Over `limit` beams: refused, `values` untouched.
HigherOrderValues higherordermap(const CaseInputs& in, const ImageSet& images, const Matrix& xs,
                                 const Matrix& ys, SurfaceValues& values, const ProgressFn& progress = {},
                                 std::size_t limit = kBeamLimit);

// ---- echo risk ----------------------------------------------------------------------------------
// The echo risk of every order: `flags` (echoRiskPoints of the first order, one per grid point) also
// gets the points where some path of order 2..N arrives more than t.delayMs after the direct sound at
// no more than t.levelDb below it, energies and delays as echoRiskPoints takes them; points without
// direct sound or outside the room never. `risk` gives the grid, the source, Pso, inDS and ina (its
// per-wall fields are not read). False, `flags` untouched, when the beams pass the limit or the grid
// and flags disagree.
bool higherorderechorisk(const CaseInputs& in, const ImageSet& images, const EchoRiskInputs& risk,
                         const EchoRiskThresholds& t, std::vector<std::uint8_t>& flags,
                         std::size_t limit = kBeamLimit);

// ---- arrivals at one receptor --------------------------------------------------------------------
struct Receptor {
  double xre = 0, yre = 0;
  double Lw = 100;            // source level, dB re 1e-12 W
  double Hr = 0;              // receptor height offset, m (distances are sqrt(d^2 + Hr^2), at least 1 m)
  double soundSpeed = 340.0;  // m/s
  int fromOrder = 1;          // arrivals of this order and above
};
struct PathArrival {
  int order = 1;
  std::vector<int> walls;  // 1-based, first wall first
  Point image;             // image source of the path
  Wall window;             // lit part of the last wall
  double distance = 1;     // from the image, with the height offset, at least 1 m
  double energy = 0;       // squared pressure, Pa^2
  double levelDb = 0;      // 10 log10(energy / (20 uPa)^2)
  double delayMs = 0;      // after the direct sound
  double angleDeg = 0;     // seen from the receptor, between the source and the image (0 at either)
};
// Every path of orders fromOrder..N (the case's `order`) that reaches the receptor, in beam order
// (order by order). Energies, delays and angles as the polar diagram computes the first order's:
// energy = factor rho c / 4 W / (pi r^2), delay (r - r_direct) / c; levelDb is -inf for a path
// that carries no energy. A receptor within 1e-7 of a zone's boundary counts as reached (the map's
// convention). Nothing when the beams pass the limit. The order-1 arrivals found here use the exact
// zones and plane images (a convex wall's reflection as a plane facet); a caller that keeps the
// polar diagram's own first order asks from order 2.
std::vector<PathArrival> higherorderarrivals(const CaseInputs& in, const ImageSet& images, const Receptor& r,
                                             std::size_t limit = kBeamLimit);
std::vector<PathArrival> higherorderarrivals(const CaseInputs& in, const Receptor& r,
                                             std::size_t limit = kBeamLimit);

// The first-order image set of a case as the chain computes it (convexity of the outline, source
// placement, wall visibility), for callers that hold only the case inputs.
ImageSet firstorderimages(const CaseInputs& in);

}  // namespace velmora::engine
