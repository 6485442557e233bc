#pragma once
// The whole computation chain after a change of geometry, for callers that hold plain data (the
// path animation's frames, the benchmark, tests): convexity, images, audience map.

#include "engine/beams.h"
#include "engine/case_inputs.h"
#include "engine/geometry.h"
#include "engine/images.h"
#include "engine/surface.h"

namespace velmora::engine {

struct CaseResults {
  RoomConvexity convexity;  // iscnvx, ang, ina
  ImageSet images;          // images, iwv, xwv/ywv, diffcoef, moved source
  SurfaceValues values;     // PT, RT, Pso, Pwall, inDS, inRW, xpol, ypol
  // Order above 1: RTorder, PTorder, beams per order (RT and PT then count every order).
  HigherOrderValues orders;
};

// At order 1 the first-order chain alone. Above, the first order's progress fills the first
// 1 / order of the bar and the higher orders (higherordermap) the rest.
CaseResults computecase(const CaseInputs& in, const ProgressFn& progress = {});
// The same into `out`, every field replaced, reusing the buffers of the results it held (see
// refreshsurfacevalues): the live map recomputed after each move gets by without fresh memory.
void computecase(const CaseInputs& in, CaseResults& out, const ProgressFn& progress = {});

}  // namespace velmora::engine
