#pragma once
// First-order image sources: the mirror image of the source in each wall and the three lines that
// bound the zone its reflection can reach; convex walls of a curved stretch get three tangent images
// and a diffusion coefficient.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "engine/image_record.h"

namespace velmora::engine {

// Plane wall (x1, y1)-(x2, y2) and source: validity holds `in` (0 when the source is behind the wall).
ImageRecord computeimage(double x1, double y1, double x2, double y2, double xso, double yso);

struct ConvexImage {
  ImageRecord image;  // 19-value record, validity holds `in`
  double dcoef = 1;   // finite and positive (1 when the spread is undefined)
};
// Wall `iwall` (1-based) of a convex stretch, visibility class iw (2 = partly seen: the wall end
// points are its seen part). A wall listed in no row of `curves`, or a stretch whose three points
// define no arc, falls back to the plane image with dcoef = 1.
ConvexImage computeimagec(int iwall, int iw, std::span<const Curve> curves, double x1, double y1, double x2,
                          double y2, double xso, double yso);

// Moves a source lying within 1e-6 (distance) of a vertex along the corner bisector into the room by 1e-3 of
// the shorter adjacent wall; any other source comes back unchanged. `ang` is the per-vertex convexity.
Point shiftsource(double xso, double yso, const Walls& walls, std::span<const int> ang);

struct CorrectImage {
  double xi = 0, yi = 0;         // effective image for the receptor
  std::vector<double> xim, yim;  // the 21 interpolated images
  std::vector<double> xw, yw;    // the 21 wall points
};
// Effective image of a convex wall seen from receptor (xre, yre); a plane record gives its image.
CorrectImage computecorrectimage(const ImageRecord& ima1, double x1, double y1, double x2, double y2,
                                 double xre, double yre);

// ---- the image refresh: source class, wall visibility, one image per wall ---------------------
struct ImageSetInputs {
  Walls walls;
  std::vector<int> ang;  // from checkroomconvexity
  int iscnvx = 1;
  std::vector<Curve> curves;
  double xso = 0, yso = 0;
  bool diffusion = true;       // the menu item "diffusion factor for convex walls" is checked
  bool noprogressbar = false;  // the case record has `noprogressbar`
};
struct ImageSet {
  double xso = 0, yso = 0;   // source position used (moved off a vertex or into the room)
  bool sourceMoved = false;  // the source marker must be moved to (xso, yso)
  std::vector<ImageRecord> images;
  std::vector<int> iwv;
  Walls visible;  // xwv, ywv: the seen part of each wall (see wallXMatrix / wallYMatrix)
  std::vector<double> diffcoef;
  std::vector<int> convexWalls;      // 1-based numbers of the walls that got tangent images
  std::vector<std::string> console;  // lines for the console, in order
};
ImageSet computeimages(const ImageSetInputs& in);

}  // namespace velmora::engine
