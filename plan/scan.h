#pragma once
// Scanned plan import: a room traced with the pointer over a plan image (straight walls, circular and
// parabolic arcs), oriented and scaled, shown in metres, straightened, then saved as a case file or sent
// to a main window.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/case_record.h"
#include "document/operations.h"
#include "engine/geometry.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::plan {

using engine::Point;
using platform::Handle;

inline constexpr std::string_view kScanWindowTag = "scancase";
inline constexpr std::string_view kScanWindowName = "VELMORA - Scan room plan";
inline constexpr std::string_view kScanImageFilter = "*.jpg;*.jpeg;*.bmp;*.tif";

// ---- geometry of the tracing (image pixel coordinates: x right, y down) ----

// The circle through three points, in the coordinates given; nothing when they are (almost) collinear.
struct Circle {
  Point centre;
  double radius = 0;
};
std::optional<Circle> circleThrough(Point p1, Point p2, Point p3);

// The m points after P1 of the circular arc from P1 to P2 through P3 (the last one is P2); nothing when
// the three points are collinear.
std::optional<std::vector<Point>> circleArcPoints(Point p1, Point p2, Point p3, int m);
// The full circle through the three points sampled every 5 degrees (73 points): the green preview.
std::optional<std::vector<Point>> circlePreview(Point p1, Point p2, Point p3);

// The parabola x(t), y(t) with x(0) = P1, x(1/2) = P3, x(1) = P2 at parameter t.
Point parabolaAt(Point p1, Point p2, Point p3, double t);
// The points at t = 1/m, 2/m, ..., 1 (the last one is P2).
std::vector<Point> parabolaArcPoints(Point p1, Point p2, Point p3, int m);

// The cut-out of an image of width x height pixels for two clicked corners, widened to the image's
// aspect ratio and kept inside it: columns i1..i2, rows j1..j2 (1-based, inclusive).
struct CropBox {
  int i1 = 1, i2 = 1, j1 = 1, j2 = 1;
  bool operator==(const CropBox&) const = default;
};
CropBox cropBox(Point corner1, Point corner2, int width, int height);

// ---- conversion to metres ----

// A traced outline with its source and curve table (one nine-number row per arc).
struct Tracing {
  std::vector<Point> vertices;
  std::optional<Point> source;
  platform::Matrix curves;  // rows x 9
};

// A wall picked as the horizontal or vertical reference.
struct OrientationReference {
  Point a, b;
  bool horizontal = true;
};

// Moves vertex 1 to the origin, turns the outline so that the reference line is exactly horizontal or
// vertical, turns image rows upwards, scales by `metres / pixels` and rounds to whole millimetres. A
// clockwise outline is reversed (`reversed` tells), its arcs renumbered to the new wall numbers and
// their ends swapped, so every curve row still names its own walls from its start to its end.
Tracing toMetres(Tracing t, const std::optional<OrientationReference>& orientation, double pixels,
                 double metres, bool* reversed = nullptr);

// The square view of the result: [xmin xmax ymin ymax].
std::array<double, 4> resultLimits(const std::vector<Point>& vertices);

// Walls within 15 degrees of the horizontal or the vertical (which straightening offers).
bool nearHorizontal(Point a, Point b);
bool nearVertical(Point a, Point b);

// ---- the window ----

// The record held by the "save" and "update"/"open" buttons of the result.
struct ScanButtonRecord : platform::UserData {
  Handle ha = platform::kNoHandle;  // the axes of the result
  std::optional<double> xso, yso;   // the source; absent when skipped
  std::optional<Handle> hf0;        // second button only: the main window of origin (none: kNoHandle)
  platform::Value toValue() const override;
};

// The links of a result wall line: the lines of the previous and the next wall.
struct ScanWallLinks : platform::UserData {
  Handle previous = platform::kNoHandle;
  Handle next = platform::kNoHandle;
  platform::Value toValue() const override;
};

// Shows the result of a tracing (in metres) in the scan window's axes: walls, source, straightening
// menus, square view and the two buttons. `origin` is the main window the import came from, if any.
void showScanResult(platform::Runtime& rt, Handle fig, Handle axes, const Tracing& result,
                    std::optional<Handle> origin);

// The case description of the result shown in a scan window.
document::CaseDescription scanDescription(const platform::Runtime& rt, Handle fig);

// The whole interactive import, from the image chooser to the result window.
void scancase(platform::Runtime& rt);
// The result window's actions: "horizontal", "vertical", "save", "update".
void scancasecbfcn(platform::Runtime& rt, const std::string& action);

// Registers scancase (no argument) and scancasecbfcn (1 input).
void registerScanOperations(document::Operations& ops);

}  // namespace velmora::plan
