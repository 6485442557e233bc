#include "engine/chain.h"

#include <algorithm>

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
  const int order = std::clamp(in.order, 1, kMaxOrder);
  if (order == 1) {
    refreshsurfacevalues(si, in.xs, in.ys, r.values, progress);
    r.orders = {};
    return;
  }
  const double share = 1.0 / order;
  ProgressFn first, higher;
  if (progress) {
    first = [&](double f, const std::string& text) { progress(f * share, text); };
    higher = [&](double f, const std::string& text) { progress(share + f * (1 - share), text); };
  }
  refreshsurfacevalues(si, in.xs, in.ys, r.values, first);
  r.orders = higherordermap(in, r.images, in.xs, in.ys, r.values, higher);
}

}  // namespace velmora::engine
