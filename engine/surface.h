#pragma once
// The audience map: which reflections reach every grid point and with what energy, the direct
// sound, and the colour-table resampling of the map display.

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "engine/images.h"

namespace velmora::engine {

// Map point (i, j), i, j = 0..n, at P1 + xi (P2 - P1) + eta (P4 - P1) + xi eta (P1 - P2 + P3 - P4) with
// xi = i / n (first index, rows) and eta = j / n (columns). Corners in order around the area.
struct AudienceGrid {
  Matrix xs, ys;
};
AudienceGrid audiencegrid(std::span<const double> xaud, std::span<const double> yaud, int nsurface);

// Progress of the map computation: fraction 0..1 and the progress bar's text.
using ProgressFn = std::function<void(double fraction, const std::string& text)>;

struct SurfaceInputs {
  Walls walls;                // the walls in wall order
  std::vector<double> alpha;  // absorption per wall, percent
  double xso = 0, yso = 0;    // source as placed by the image refresh
  Matrix xs, ys;              // audience-map grid
  // From the case record (checkroomconvexity and the image refresh):
  int iscnvx = 1;
  std::vector<double> diffcoef;
  std::vector<int> iwv;
  Walls visible;  // xwv, ywv
  std::vector<ImageRecord> images;
  bool noprogressbar = false;
};

struct SurfaceValues {
  Matrix PT, RT, Pso;                      // grid shaped
  std::vector<std::vector<double>> Pwall;  // per wall, energies at the points of inRW
  IndexList inDS;                          // 1-based, points the source does not see; empty in a convex room
  std::vector<IndexList> inRW;             // per wall, 1-based, increasing
  // Per wall, the reflection zone polygon (empty if none): in a room that is not convex the exact
  // zone seen from the image through the wall's seen part, from the first end of that part over the
  // far boundary to its second end; the traced polygon where the source stands on the wall's line.
  std::vector<std::vector<double>> xpol, ypol;
  std::vector<std::string> console;  // diagnostics and the timing line, in order
  int beeps = 0;                     // one per wall whose zone tracing asked for one
  std::vector<int> exactWalls;  // 1-based walls whose zone tracing gave up (diagnostic; the zone is exact)
};

// Per-wall results kept only at the reached points. The walls are computed in parallel (oneTBB; a
// tbb::global_control limits the threads) and added up in wall order: the result is the same bits at
// any thread count. Pure and reentrant. `progress`, when set and `noprogressbar` is false, is told
// "processing wall 0 on N" first and then "processing wall i on N" for every wall in order as the
// walls complete, always on the calling thread.
SurfaceValues refreshsurfacevalues(const SurfaceInputs& in, const ProgressFn& progress = {});
// The same on the grid (xs, ys) given apart; `in.xs` and `in.ys` are not read (the chain passes its
// own grid without copying it).
SurfaceValues refreshsurfacevalues(const SurfaceInputs& in, const Matrix& xs, const Matrix& ys,
                                   const ProgressFn& progress = {});
// The same into `out`, every field replaced, reusing the buffers of the result it held (the three
// maps, each wall's list and energies): recomputing the map of the same grid, as after a move of
// the source, then takes no fresh memory for them. Should `progress` throw, `out` is left partly
// filled.
void refreshsurfacevalues(const SurfaceInputs& in, const Matrix& xs, const Matrix& ys, SurfaceValues& out,
                          const ProgressFn& progress = {});

using ColorTable = std::vector<std::array<double, 3>>;
// Resamples a colour table to n rows by linear interpolation (two copies of the first row when
// n <= 1 or the table has one row; empty for an empty table).
ColorTable calculate_colormap(const ColorTable& cm0, int n);

}  // namespace velmora::engine
