#pragma once
// First-order image sources: the mirror image of the source in each wall and the three lines that
// bound the zone its reflection can reach; convex walls of a curved stretch get three tangent images
// and a diffusion coefficient.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/geometry.h"

namespace velmora::engine {

// a x + b y + c = 0 with side sign s: (x, y) is on the reflection side when s (a x + b y + c) >= 0.
struct Line {
  double a = 0;
  double b = 0;
  double c = 0;
  double s = 0;
  double value(double x, double y) const { return a * x + b * y + c; }
  bool operator==(const Line&) const = default;
};

// One image record per wall (the case record's `images` entry). A plane wall stores 15 values, a
// convex wall 19; `toRow` / `fromRow` convert to and from that row form.
struct ImageRecord {
  double xi = 0, yi = 0;  // image; for a convex wall the image of the middle of the wall
  Line line0, line1, line2;
  double validity = 0;  // `in` times the wall's visibility class: 0 no reflection, 1, 2 or 3
  bool convex = false;
  double xi1 = 0, yi1 = 0, xi2 = 0, yi2 = 0;  // convex walls: images by the end tangents

  std::vector<double> toRow() const;
  // Rows shorter than 15 values are refused.
  static std::optional<ImageRecord> fromRow(std::span<const double> row);
  // End images: for a plane wall both are the image itself.
  Point image1() const { return convex ? Point{xi1, yi1} : Point{xi, yi}; }
  Point image2() const { return convex ? Point{xi2, yi2} : Point{xi, yi}; }
  bool operator==(const ImageRecord&) const = default;
};

// One row of the case record's curve table.
struct Curve {
  double type = 2;  // 1 parabola, anything else circular arc
  double xc1 = 0, yc1 = 0, xc2 = 0, yc2 = 0, xc3 = 0, yc3 = 0;
  int i1 = 0, i2 = 0;  // first and last wall of the stretch, 1-based
  // Rows shorter than 9 values are refused.
  static std::optional<Curve> fromRow(std::span<const double> row);
};

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
