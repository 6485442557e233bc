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
  std::vector<std::vector<double>> xpol, ypol;  // per wall, the traced zone polygon (empty if none)
  std::vector<std::string> console;             // diagnostics and the timing line, in order
  int beeps = 0;                                // one per wall whose zone tracing asked for one
  std::vector<int> exactWalls;  // 1-based walls whose zone was evaluated point by point (tracing gave up)
};

// One pass per wall over the grid; per-wall results kept only at the reached points. `progress`,
// when set and `noprogressbar` is false, is told "processing wall i on N" before each wall.
SurfaceValues refreshsurfacevalues(const SurfaceInputs& in, const ProgressFn& progress = {});

using ColorTable = std::vector<std::array<double, 3>>;
// Resamples a colour table to n rows by linear interpolation (two copies of the first row when
// n <= 1 or the table has one row; empty for an empty table).
ColorTable calculate_colormap(const ColorTable& cm0, int n);

}  // namespace velmora::engine
