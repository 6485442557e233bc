#pragma once
// Window adapters of the acoustic engine: each reads the drawing and the case record of the current
// main window, calls the engine and stores what it returns.

#include <optional>
#include <vector>

#include "document/case_record.h"
#include "document/operations.h"
#include "engine/chain.h"
#include "engine/geometry.h"
#include "engine/images.h"
#include "engine/surface.h"
#include "platform/model/runtime.h"

namespace velmora::document {

// The audience-map grid of the window: the surface's xdata and ydata.
struct MapGrid {
  engine::Matrix xs, ys;
};
MapGrid audienceMapGrid(const platform::Runtime& rt, platform::Handle fig);
// Intervals along each side of an audience map: its grid's rows less one; nothing under two rows.
// Raises the same Error as audienceMapGrid for a map finer than any precision (changed from outside).
std::optional<int> audienceMapIntervals(const platform::Graphics& g, platform::Handle map);

engine::Matrix toEngine(const platform::Matrix& m);
platform::Matrix toPlatform(const engine::Matrix& m);

// What the engine is given of a window besides its walls: the source's place, the convex walls of
// the curve table (one row each) and whether their diffusion factor is on.
std::optional<engine::Point> sourcePoint(const platform::Runtime& rt, platform::Handle fig);
std::vector<engine::Curve> convexCurves(const platform::Matrix& table);
bool diffusionChecked(const platform::Runtime& rt, platform::Handle fig);

// What a drag in progress puts in place of what the window holds; everything left unset is read from
// the window. An empty curve table stands for none.
struct InputOverrides {
  std::optional<engine::Walls> walls;
  std::optional<std::vector<double>> alpha;
  std::optional<engine::Point> source;
  std::optional<std::vector<double>> xaud, yaud;  // audience corners
  std::optional<int> intervals;
  std::optional<platform::Matrix> curves;
  // The audience corners are being dragged: the grid follows them (and the precision), not the map.
  bool gridFromCorners = false;
};

// The one place that gathers what the engine is given of a window: walls and absorptions, the source,
// the audience-map grid, the convex curves, whether their diffusion factor is on, and whether the
// progress bar is wanted. The release, the live map and the rebuild's early map all read through it.
// Without a source marker the source is at the origin. The grid is the map's own unless corners or
// the precision are given (or `gridFromCorners`); then it is laid out from them, and left empty when
// there are not four corners or no precision. Raises the map-size Error for a map finer than any
// precision (changed from outside).
engine::CaseInputs gatherEngineInputs(const platform::Runtime& rt, platform::Handle fig,
                                      const InputOverrides& overrides = {});

// The case's reflection order (the record's; 1 for a window without one).
int caseOrder(const platform::Runtime& rt, platform::Handle fig);
// Raises an Error with the engine's message ("reflection order N refused: ...") when the beams of
// `in.order` pass the limit; nothing at order 1. Quick: beams are counted, no map is made.
void refuseTooMuchWork(const engine::CaseInputs& in);
// The first-order image set a record holds (as refreshimages stored it) for a source at `source`;
// the walls with a tangent image (convex stretches) are those whose image says so.
engine::ImageSet recordedImageSet(const CaseRecord& record, const engine::Walls& walls, engine::Point source);

// The map step's inputs: the case's inputs with what the record holds of convexity and images.
engine::SurfaceInputs surfaceInputs(engine::CaseInputs in, const CaseRecord& record);

// The derived fields of a case record from the engine's results: convexity (`iscnvx`, `ang`, `ina`),
// the image set (`images`, `iwv`, `xwv`, `ywv`, `diffcoef`) and the map's values.
void recordConvexity(CaseRecord& record, engine::RoomConvexity convexity);
// Moves the results in: nothing is left to fail once the record changes.
void recordImages(CaseRecord& record, engine::ImageSet set);
void recordSurfaceValues(CaseRecord& record, engine::SurfaceValues values);
// `RTorder` and `PTorder` from the higher orders' grids; removed when there are none (order 1, refused).
void recordOrders(CaseRecord& record, engine::HigherOrderValues orders);

// Stores `iscnvx`, `ang` and `ina` for the current walls and audience map.
void checkroomconvexity(platform::Runtime& rt);
// Class (0 outside, 1 inside, 2 on a wall, 3 on a vertex) of a point against the window's walls.
int checksource(const platform::Runtime& rt, double x, double y, platform::Handle fig);
// 1 when the audience map lies wholly inside the room, -1 otherwise.
int checkaudience(const platform::Runtime& rt);
// The source position moved off a vertex into the room (unchanged elsewhere).
engine::Point shiftsource(const platform::Runtime& rt, double xso, double yso);
// Computes the audience map's energies and stores them; progress bar and console lines through the UI.
// Above order 1 the higher orders are added (RT, PT) and kept apart (RTorder, PTorder); a case whose
// beams pass the limit keeps the first order and says why on the console.
void refreshsurfacevalues(platform::Runtime& rt);
// Highlights each wall in turn: green for a second, then black again.
void test(platform::Runtime& rt);

void registerAcousticsOperations(Operations& ops);

}  // namespace velmora::document
