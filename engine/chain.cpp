#include "engine/chain.h"

namespace velmora::engine {

CaseResults computecase(const CaseInputs& in, const ProgressFn& progress) {
  CaseResults r;
  computecase(in, r, progress);
  return r;
}

void computecase(const CaseInputs& in, CaseResults& r, const ProgressFn& progress) {
  checkroomconvexity(in.walls, in.xs, in.ys, r.convexity);
  ImageSetInputs ii;
  ii.walls = in.walls;
  ii.ang = r.convexity.ang;
  ii.iscnvx = r.convexity.iscnvx;
  ii.curves = in.curves;
  ii.xso = in.xso;
  ii.yso = in.yso;
  ii.diffusion = in.diffusion;
  ii.noprogressbar = in.noprogressbar;
  r.images = computeimages(ii);
  SurfaceInputs si;
  si.walls = in.walls;
  si.alpha = in.alpha;
  si.xso = r.images.xso;
  si.yso = r.images.yso;
  si.iscnvx = r.convexity.iscnvx;
  si.diffcoef = r.images.diffcoef;
  si.iwv = r.images.iwv;
  si.visible = r.images.visible;
  si.images = r.images.images;
  si.noprogressbar = in.noprogressbar;
  refreshsurfacevalues(si, in.xs, in.ys, r.values, progress);
}

}  // namespace velmora::engine
